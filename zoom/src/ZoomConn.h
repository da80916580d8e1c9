// CZoomConn: a Z39.50 client connection (IZoomConn). The member functions below are the
// methods of the dispinterface in dispatch order; dispatch_ZoomConn.cpp calls them.
#pragma once

#include "ZoomRs.h"
#include "module.h"
#include "z3950/connection.h"

#include <cstdint>
#include <memory>
#include <span>
#include <string>

namespace zoom {

class CZoomConn : public com::DispatchObject<CZoomConn> {
 public:
  CZoomConn();
  ~CZoomConn() override;

  int32_t Connect(const std::u16string& szHostName, const std::u16string& szProxy);   // 1
  std::u16string GetOption(const std::u16string& szName);                             // 2
  int32_t GetOptionLong(const std::u16string& szName);                                // 3
  void SetOption(const std::u16string& szName, const std::u16string& szValue);        // 4
  void SetOptionLong(const std::u16string& szName, int32_t nValue);                   // 5
  com::ComPtr<CZoomRs> Search(const std::u16string& szDbnames, const std::u16string& szAccessPt,
                              const std::u16string& szQuery);                         // 6
  void Close();                                                                       // 7
  com::ComPtr<CZoomRs> SearchPqf(const std::u16string& szPqf);                        // 8

  static const com::IID& Iid();
  static std::span<const com::DispMethod<CZoomConn>> Methods();
  static com::ModuleLocks& Locks() { return ZoomLocks(); }

  // State of the connection: added by the client code (ZoomConn.cpp and z3950/).

 private:
  std::shared_ptr<z3950::Connection> engine_;
  com::ComPtr<CZoomRs> wrap(std::shared_ptr<z3950::ResultSet> set);
};

}  // namespace zoom
