// CZoomSvr: the window-driven Z39.50 server (IZoomSvr). The member functions below are the
// methods of the dispinterface in dispatch order; dispatch_ZoomSvr.cpp calls them.
#pragma once

#include "module.h"

#include <cstdint>
#include <memory>
#include <span>
#include <string>

namespace zoom {

class CZoomSvr : public com::DispatchObject<CZoomSvr> {
 public:
  CZoomSvr();
  ~CZoomSvr() override;

  int32_t Startup(int32_t lParentWnd, int32_t lQueryCP, int32_t lResultCP);  // 1
  std::u16string GetPeerName();                                             // 2
  void SetRsCount(int32_t lCount);                                          // 3
  void SetRecord(const std::u16string& szRecord);                           // 4
  void Cleanup();                                                           // 5
  std::u16string GetQuery();                                                // 6

  static const com::IID& Iid();
  static std::span<const com::DispMethod<CZoomSvr>> Methods();
  static com::ModuleLocks& Locks() { return ZoomLocks(); }

  // State of the server: added by the server code (ZoomSvr.cpp).
  // Shared with the relay thread and the posted messages, which may outlive a call.
  struct State;

 private:
  std::shared_ptr<State> state_;
};

}  // namespace zoom
