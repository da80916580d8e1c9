#include "result_set.h"

#include "connection.h"
#include "record_charset.h"

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

// Whether a record's raw bytes can be made into record text: they begin as an ISO 2709 record.
bool isRecordText(ZOOM_record record) {
  int len = 0;
  const char* raw = ZOOM_record_get(record, "raw", &len);
  return raw && len >= 0 && isIso2709Record(std::string_view(raw, size_t(len)));
}

}  // namespace

ResultSet::ResultSet(std::shared_ptr<Connection> connection, ZOOM_resultset set)
    : connection_(std::move(connection)) {
  adopt(set);
}

ResultSet::~ResultSet() { Delete(); }

void ResultSet::adopt(ZOOM_resultset set) {
  Delete();
  set_ = set;
  if (set) keeper_ = std::shared_ptr<void>(set, [](void* s) { ZOOM_resultset_destroy(static_cast<ZOOM_resultset>(s)); });
  aheadEnd_ = -1;
  aheadElementSet_ = nullptr;
}

int32_t ResultSet::GetSize() const {
  if (!set_) return 0;
  // ZOOM keeps the server's count as a signed number: a negative one comes back as a size
  // near the top of its range. Below 0 is no hit, beyond a long is as many as a long holds.
  const auto n = static_cast<int64_t>(ZOOM_resultset_size(set_));
  if (n <= 0) return 0;
  return n > INT32_MAX ? INT32_MAX : int32_t(n);
}

std::unique_ptr<Record> ResultSet::GetRecord(int32_t which) { return fetch(which, "F"); }

std::unique_ptr<Record> ResultSet::BriefRecord(int32_t which) { return fetch(which, "B"); }

std::unique_ptr<Record> ResultSet::fetch(int32_t which, const char* elementSet) {
  ZOOM_record found = nullptr;
  int32_t failure = 0;  // why nothing came, when nothing did
  if (set_ && which >= 0 && which < GetSize()) {
    ZOOM_resultset_option_set(set_, "elementSetName", elementSet);
    found = ZOOM_resultset_record_immediate(set_, size_t(which));
    if (!found && connection_) {
      failure = fetchAhead(which, elementSet);
      found = ZOOM_resultset_record_immediate(set_, size_t(which));
      if (!found && failure == 0) failure = connection_->connectionError();
    }
  }
  if (connection_) {
    // Callers test errno after each fetch, so a record clears an earlier failure; a fetch
    // that fails keeps its cause: the time-out, the lost connection, the server's
    // diagnostic, or 10010 for a record that simply did not come.
    int32_t error = 0;
    if (!found) error = failure != 0 ? failure : ZOOM_ERROR_INVALID_QUERY;
    else if (int diagnostic = ZOOM_record_error(found, nullptr, nullptr, nullptr)) error = diagnostic;
    else if (!isRecordText(found)) error = ZOOM_ERROR_DECODE;
    connection_->setLastError(error);
  }
  if (!found) return std::make_unique<Record>();
  return std::make_unique<Record>(found, keeper_, connection_);
}

int32_t ResultSet::fetchAhead(int32_t which, const char* elementSet) {
  const size_t size = size_t(GetSize());
  const bool onward = which == aheadEnd_ && aheadElementSet_ && std::strcmp(aheadElementSet_, elementSet) == 0;
  aheadWindow_ = onward ? std::min(aheadWindow_ * kGrowth, kLargestWindow) : kFirstWindow;
  const size_t count = std::min(size_t(aheadWindow_), size - size_t(which));
  ZOOM_resultset_records(set_, nullptr, size_t(which), count);
  aheadEnd_ = which + int32_t(count);
  aheadElementSet_ = elementSet;
  // A server may send fewer records than asked for per present: one request per record at
  // most, and the few of an operation.
  return connection_->RunQueued(count + kRequestsPerOperation);
}

void ResultSet::Delete() {
  set_ = nullptr;
  keeper_.reset();
}

}  // namespace z3950
