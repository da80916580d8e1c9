// Kelvra.Record: load a hit, store a new record, read its number and text.
#include "Record.h"

#include "store/errors.h"

namespace kelvra {

int32_t CKelvraRecord::Load(com::ComPtr<CKelvraRecordSet> recordSet, int32_t n) {
  if (!recordSet) return -1;
  StoredRecord r;
  if (!recordSet->Fetch(n, r)) return -1;
  record_ = std::move(r);
  loaded_ = true;
  return 0;
}

// The text is the 8-character record prefix and internal record text; the prefix is not
// kept. A text that begins with "<marc>" itself is taken as it is. Answers the new record's
// number, or -1.
int32_t CKelvraRecord::Save(com::ComPtr<CKelvraDbase> dbase, const std::u16string& text) {
  if (!dbase) return -1;
  std::optional<CKelvraDbase::Opened> open = dbase->Current();
  if (!open) return -1;
  if (!open->database.records) {
    open->server->Fail(kNotRecordDatabase);
    return -1;
  }
  constexpr std::u16string_view marc = u"<marc>";
  std::u16string_view body = text;
  if (body.substr(0, marc.size()) != marc) {
    if (body.size() < kPrefix.size() || body.substr(kPrefix.size(), marc.size()) != marc) {
      open->server->Fail(kBadRecord);
      return -1;
    }
    body.remove_prefix(kPrefix.size());
  }
  int32_t number = 0;
  if (int32_t rc = open->store->addRecord(open->database.id, body, &number)) {
    open->server->Fail(rc);
    return -1;
  }
  record_ = StoredRecord{number, std::u16string(body)};
  loaded_ = true;
  open->server->Fail(kOk);
  return number;
}

int32_t CKelvraRecord::GetNumber() { return loaded_ ? record_.number : 0; }

std::u16string CKelvraRecord::GetText() {
  if (!loaded_) return {};
  return std::u16string(kPrefix) + record_.text;
}

}  // namespace kelvra
