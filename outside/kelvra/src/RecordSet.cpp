// Kelvra.RecordSet: search a record database with the record-server query language.
#include "RecordSet.h"

#include "store/errors.h"
#include "store/query.h"

namespace kelvra {

int32_t CKelvraRecordSet::GetCount(int32_t) { return int32_t(hits_.size()); }

int32_t CKelvraRecordSet::Search(com::ComPtr<CKelvraDbase> dbase, const std::u16string& query) {
  hits_.clear();
  searched_ = positioned_ = false;
  cursor_ = 0;
  store_.reset();
  server_ = dbase ? dbase->Server() : nullptr;
  if (!dbase) return kDatabaseNotOpen;
  std::optional<CKelvraDbase::Opened> open = dbase->Current();
  if (!open) return server_ ? server_->GetErrorCode() : int32_t(kDatabaseNotOpen);
  if (!open->database.records) return server_->Fail(kNotRecordDatabase);
  std::optional<std::vector<Condition>> conditions = parseQuery(query);
  if (!conditions) return server_->Fail(kBadQuery);
  if (int32_t rc = open->store->search(open->database.id, *conditions, hits_)) {
    hits_.clear();
    return server_->Fail(rc);
  }
  store_ = open->store;
  database_ = open->database.id;
  searched_ = true;
  return server_->Fail(kOk);
}

int32_t CKelvraRecordSet::MoveFirst() { return Move(0); }

int32_t CKelvraRecordSet::Move(int32_t n) {
  positioned_ = true;
  if (n < 0 || size_t(n) >= hits_.size()) return -1;
  cursor_ = n;
  return 0;
}

bool CKelvraRecordSet::Fetch(int32_t n, StoredRecord& out) {
  if (!searched_) {
    if (server_) server_->Fail(kNoSearch);
    return false;
  }
  int64_t target = positioned_ ? int64_t(n) : int64_t(cursor_) + n;
  if (target < 0 || target >= int64_t(hits_.size())) {
    server_->Fail(kNoSuchRecord);
    return false;
  }
  int32_t number = hits_[size_t(target)];
  if (int32_t rc = store_->record(database_, number, out.text)) {
    if (rc == kNoSuchRecord)
      server_->Fail(kRetry, "the record was removed since the search");
    else
      server_->Fail(rc, store_->reason());
    return false;
  }
  out.number = number;
  cursor_ = int32_t(target);
  return true;
}

}  // namespace kelvra
