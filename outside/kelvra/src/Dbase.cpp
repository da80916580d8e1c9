// Kelvra.Dbase: list the databases, open one, fetch its named documents.
#include "Dbase.h"

#include "store/errors.h"

namespace kelvra {

std::u16string CKelvraDbase::GetDatabaseList() {
  if (!server_) return {};
  std::shared_ptr<Store> store = server_->Session();
  if (!store) return {};
  int32_t error = kOk;
  std::u16string list;
  for (const DatabaseInfo& db : store->databases(&error)) list += db.name + u";";
  if (error) {
    server_->Fail(error);
    return {};
  }
  return list;
}

int32_t CKelvraDbase::SetServer(com::ComPtr<CKelvraServer> server, int32_t) {
  server_ = std::move(server);
  store_.reset();
  database_.reset();
  return server_ ? int32_t(kOk) : int32_t(kNotConnected);
}

// An empty name closes the database (the retry after a failed search begins so).
int32_t CKelvraDbase::Open(com::ComPtr<CKelvraServer> server, const std::u16string& database) {
  SetServer(std::move(server), -1);
  if (!server_) return kNotConnected;
  if (database.empty()) return server_->Fail(kOk);
  std::shared_ptr<Store> store = server_->Session();
  if (!store) return server_->GetErrorCode();
  int32_t error = kOk;
  std::optional<DatabaseInfo> found = store->findDatabase(database, &error);
  if (!found) return server_->Fail(error);
  store_ = std::move(store);
  database_ = std::move(found);
  return server_->Fail(kOk);
}

std::optional<CKelvraDbase::Opened> CKelvraDbase::Current() {
  if (!server_) return std::nullopt;
  std::shared_ptr<Store> store = server_->Session();
  if (!store) return std::nullopt;
  // A database opened over an earlier connection of the server is gone with it.
  if (!database_ || store != store_) {
    server_->Fail(kDatabaseNotOpen);
    return std::nullopt;
  }
  return Opened{server_, store_, *database_};
}

std::u16string CKelvraDbase::GetDocument(const std::u16string& name) {
  std::optional<Opened> open = Current();
  if (!open) return {};
  std::u16string text;
  if (int32_t rc = open->store->document(open->database.id, name, text)) server_->Fail(rc);
  return text;
}

}  // namespace kelvra
