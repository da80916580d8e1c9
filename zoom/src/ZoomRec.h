// CZoomRec: one fetched record (IZoomRec). The member functions below are the methods of
// the dispinterface in dispatch order; dispatch_ZoomRec.cpp holds the table that calls them.
#pragma once

#include "module.h"
#include "z3950/result_set.h"

#include <cstdint>
#include <memory>
#include <span>
#include <string>

namespace zoom {

class CZoomRec : public com::DispatchObject<CZoomRec> {
 public:
  CZoomRec();
  ~CZoomRec() override;

  std::u16string GetRender();                // 1
  std::u16string GetRaw();                   // 2
  std::u16string GetOIDs();                  // 3
  std::u16string GetXml();                   // 4
  int32_t AutoCvtEacc(int32_t bAuto);        // 5

  static const com::IID& Iid();
  static std::span<const com::DispMethod<CZoomRec>> Methods();
  static com::ModuleLocks& Locks() { return ZoomLocks(); }

  // State of the record: added by the client code (ZoomRec.cpp and z3950/).
  explicit CZoomRec(std::unique_ptr<z3950::Record> record);

 private:
  std::unique_ptr<z3950::Record> record_;
};

}  // namespace zoom
