#include "result_set.h"

#include "connection.h"

namespace z3950 {

ResultSet::ResultSet(std::shared_ptr<Connection> connection, ZOOM_resultset set)
    : connection_(std::move(connection)), set_(set) {}

ResultSet::~ResultSet() { Delete(); }

void ResultSet::adopt(ZOOM_resultset set) {
  Delete();
  set_ = set;
}

int32_t ResultSet::GetSize() const {
  if (!set_) return 0;
  size_t n = ZOOM_resultset_size(set_);
  return n > size_t(INT32_MAX) ? INT32_MAX : int32_t(n);
}

std::unique_ptr<Record> ResultSet::GetRecord(int32_t which) { return fetch(which, "F"); }

std::unique_ptr<Record> ResultSet::BriefRecord(int32_t which) { return fetch(which, "B"); }

std::unique_ptr<Record> ResultSet::fetch(int32_t which, const char* elementSet) {
  ZOOM_record found = nullptr;
  if (set_ && which >= 0) {
    ZOOM_resultset_option_set(set_, "elementSetName", elementSet);
    found = ZOOM_resultset_record(set_, size_t(which));
  }
  if (connection_) {
    // Callers test errno after each fetch, so a record clears an earlier failure.
    connection_->setLastError(found ? 0 : ZOOM_ERROR_INVALID_QUERY);
  }
  return std::make_unique<Record>(found ? ZOOM_record_clone(found) : nullptr);
}

void ResultSet::Delete() {
  if (!set_) return;
  ZOOM_resultset_destroy(set_);
  set_ = nullptr;
}

}  // namespace z3950
