// Methods of CZoomConn: a shell over the connection engine of z3950/.
#include "ZoomConn.h"

namespace zoom {

CZoomConn::CZoomConn() : engine_(z3950::Connection::create()) {}
CZoomConn::~CZoomConn() = default;

int32_t CZoomConn::Connect(const std::u16string& szHostName, const std::u16string& szProxy) {
  return engine_->Connect(szHostName, szProxy);
}

std::u16string CZoomConn::GetOption(const std::u16string& szName) { return engine_->GetOption(szName); }

int32_t CZoomConn::GetOptionLong(const std::u16string& szName) { return engine_->GetOptionLong(szName); }

void CZoomConn::SetOption(const std::u16string& szName, const std::u16string& szValue) {
  engine_->SetOption(szName, szValue);
}

void CZoomConn::SetOptionLong(const std::u16string& szName, int32_t nValue) {
  engine_->SetOptionLong(szName, nValue);
}

com::ComPtr<CZoomRs> CZoomConn::Search(const std::u16string& szDbnames, const std::u16string& szAccessPt,
                                       const std::u16string& szQuery) {
  return wrap(engine_->Search(szDbnames, szAccessPt, szQuery));
}

void CZoomConn::Close() { engine_->Close(); }

com::ComPtr<CZoomRs> CZoomConn::SearchPqf(const std::u16string& szPqf) { return wrap(engine_->SearchPqf(szPqf)); }

com::ComPtr<CZoomRs> CZoomConn::wrap(std::shared_ptr<z3950::ResultSet> set) {
  return com::make<CZoomRs>(com::ComPtr<CZoomConn>(this), std::move(set));
}

}  // namespace zoom
