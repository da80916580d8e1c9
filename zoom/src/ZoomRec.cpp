// Methods of CZoomRec: a shell over the record of z3950/, which owns its own copy.
#include "ZoomRec.h"

namespace zoom {

CZoomRec::CZoomRec() : record_(std::make_unique<z3950::Record>()) {}
CZoomRec::CZoomRec(std::unique_ptr<z3950::Record> record) : record_(std::move(record)) {}
CZoomRec::~CZoomRec() = default;

std::u16string CZoomRec::GetRender() { return record_->GetRender(); }
std::u16string CZoomRec::GetRaw() { return record_->GetRaw(); }
std::u16string CZoomRec::GetOIDs() { return record_->GetOIDs(); }
std::u16string CZoomRec::GetXml() { return record_->GetXml(); }
int32_t CZoomRec::AutoCvtEacc(int32_t bAuto) { return record_->AutoCvtEacc(bAuto); }

}  // namespace zoom
