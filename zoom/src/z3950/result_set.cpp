#include "result_set.h"

#include "connection.h"

#include <algorithm>
#include <cstring>

namespace z3950 {

namespace {

// The first window ahead of a record asked for out of order, how it grows while the records
// are read in turn, and the largest: a single record costs little more than alone, and a
// long walk takes few requests (each of which may cost the server a fixed delay).
constexpr int32_t kFirstWindow = 10;
constexpr int32_t kGrowth = 10;
constexpr int32_t kLargestWindow = 1000;

}  // namespace

ResultSet::ResultSet(std::shared_ptr<Connection> connection, ZOOM_resultset set)
    : connection_(std::move(connection)), set_(set) {}

ResultSet::~ResultSet() { Delete(); }

void ResultSet::adopt(ZOOM_resultset set) {
  Delete();
  set_ = set;
  aheadEnd_ = -1;
  aheadElementSet_ = nullptr;
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
    found = ZOOM_resultset_record_immediate(set_, size_t(which));
    if (!found) {
      fetchAhead(which, elementSet);
      // From the window when it came; else asked for alone, as if nothing went ahead.
      found = ZOOM_resultset_record(set_, size_t(which));
    }
  }
  if (connection_) {
    // Callers test errno after each fetch, so a record clears an earlier failure.
    connection_->setLastError(found ? 0 : ZOOM_ERROR_INVALID_QUERY);
  }
  return std::make_unique<Record>(found ? ZOOM_record_clone(found) : nullptr);
}

void ResultSet::fetchAhead(int32_t which, const char* elementSet) {
  const size_t size = ZOOM_resultset_size(set_);
  if (size_t(which) >= size) return;
  const bool onward = which == aheadEnd_ && aheadElementSet_ && std::strcmp(aheadElementSet_, elementSet) == 0;
  aheadWindow_ = onward ? std::min(aheadWindow_ * kGrowth, kLargestWindow) : kFirstWindow;
  const size_t count = std::min(size_t(aheadWindow_), size - size_t(which));
  if (count <= 1) return;
  ZOOM_resultset_records(set_, nullptr, size_t(which), count);
  aheadEnd_ = which + int32_t(count);
  aheadElementSet_ = elementSet;
}

void ResultSet::Delete() {
  if (!set_) return;
  ZOOM_resultset_destroy(set_);
  set_ = nullptr;
}

}  // namespace z3950
