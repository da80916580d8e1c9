// The Kelvra wrappers, with the record server's dispatch identifiers.
#include <com/drivers/KelvraDrivers.h>

CKelvraDriver::Arg CKelvraDriver::ObjectArg(com::IDispatch* d) {
  Arg a(int32_t(0));
  if (d) d->AddRef();
  a.v = com::Variant(d);  // the argument holds its own reference while the call lasts
  return a;
}

int32_t CKelvraServerDriver::GetErrorCode() { return InvokeLong(1); }
int32_t CKelvraServerDriver::Connect(std::u16string_view host, std::u16string_view code) {
  return InvokeLong(2, {host, code});
}
std::u16string CKelvraServerDriver::GetErrorText() { return InvokeText(3); }
int32_t CKelvraServerDriver::Login(std::u16string_view user, std::u16string_view password) {
  return InvokeLong(4, {user, password});
}
int32_t CKelvraServerDriver::Disconnect() { return InvokeLong(5); }

std::u16string CKelvraDbaseDriver::GetDatabaseList() { return InvokeText(1); }
int32_t CKelvraDbaseDriver::SetServer(com::IDispatch* server, int32_t reserved) {
  return InvokeLong(6, {ObjectArg(server), reserved});
}
int32_t CKelvraDbaseDriver::Open(com::IDispatch* server, std::u16string_view database) {
  return InvokeLong(7, {ObjectArg(server), database});
}
std::u16string CKelvraDbaseDriver::GetDocument(std::u16string_view name) { return InvokeText(9, {name}); }

int32_t CKelvraRecordSetDriver::GetCount(int32_t reserved) { return InvokeLong(2, {reserved}); }
int32_t CKelvraRecordSetDriver::Search(com::IDispatch* dbase, std::u16string_view query) {
  return InvokeLong(3, {ObjectArg(dbase), query});
}
int32_t CKelvraRecordSetDriver::MoveFirst() { return InvokeLong(8); }
int32_t CKelvraRecordSetDriver::Move(int32_t n) { return InvokeLong(12, {n}); }

int32_t CKelvraRecordDriver::Load(com::IDispatch* recordSet, int32_t n) { return InvokeLong(1, {ObjectArg(recordSet), n}); }
int32_t CKelvraRecordDriver::Save(com::IDispatch* dbase, std::u16string_view text) {
  return InvokeLong(3, {ObjectArg(dbase), text});
}
int32_t CKelvraRecordDriver::GetNumber() { return InvokeLong(6); }
std::u16string CKelvraRecordDriver::GetText() { return InvokeText(7); }
