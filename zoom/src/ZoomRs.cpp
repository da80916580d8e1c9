// Methods of CZoomRs: a shell over the result set of z3950/.
#include "ZoomRs.h"

#include "ZoomConn.h"

namespace zoom {

CZoomRs::CZoomRs() = default;
CZoomRs::CZoomRs(com::ComPtr<CZoomConn> owner, std::shared_ptr<z3950::ResultSet> set)
    : owner_(std::move(owner)), set_(std::move(set)) {}
CZoomRs::~CZoomRs() {
  // The ZOOM result set goes before the connection object that it came from.
  set_.reset();
  owner_.reset();
}

int32_t CZoomRs::GetSize() { return set_ ? set_->GetSize() : 0; }

com::ComPtr<CZoomRec> CZoomRs::GetRecord(int32_t nWhich) {
  return wrap(set_ ? set_->GetRecord(nWhich) : nullptr);
}

void CZoomRs::Delete() {
  if (set_) set_->Delete();
}

com::ComPtr<CZoomRec> CZoomRs::BriefRecord(int32_t nWhich) {
  return wrap(set_ ? set_->BriefRecord(nWhich) : nullptr);
}

// A record object also when nothing came back: callers call it without testing for null.
com::ComPtr<CZoomRec> CZoomRs::wrap(std::unique_ptr<z3950::Record> record) {
  return com::make<CZoomRec>(record ? std::move(record) : std::make_unique<z3950::Record>());
}

}  // namespace zoom
