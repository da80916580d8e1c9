// CZoomRs: the result set of one search (IZoomRs). The member functions below are the
// methods of the dispinterface in dispatch order; dispatch_ZoomRs.cpp calls them.
#pragma once

#include "ZoomRec.h"
#include "module.h"
#include "z3950/result_set.h"

#include <cstdint>
#include <memory>
#include <span>

namespace zoom {

class CZoomConn;

class CZoomRs : public com::DispatchObject<CZoomRs> {
 public:
  CZoomRs();
  ~CZoomRs() override;

  int32_t GetSize();                                    // 1
  com::ComPtr<CZoomRec> GetRecord(int32_t nWhich);      // 2 (null: an empty object)
  void Delete();                                        // 3
  com::ComPtr<CZoomRec> BriefRecord(int32_t nWhich);    // 4

  static const com::IID& Iid();
  static std::span<const com::DispMethod<CZoomRs>> Methods();
  static com::ModuleLocks& Locks() { return ZoomLocks(); }

  // State of the result set: added by the client code (ZoomRs.cpp and z3950/).
  /// \brief A result set of `owner`, which it keeps alive for its whole life.
  CZoomRs(com::ComPtr<CZoomConn> owner, std::shared_ptr<z3950::ResultSet> set);

 private:
  com::ComPtr<CZoomRec> wrap(std::unique_ptr<z3950::Record> record);
  com::ComPtr<CZoomConn> owner_;
  std::shared_ptr<z3950::ResultSet> set_;
};

}  // namespace zoom
