// Dispatch wrappers of the zoom automation classes (zoom.ZoomConn, zoom.ZoomRs,
// zoom.ZoomRec): each method calls the object's method of the same name by its dispatch
// identifier. Object results are new objects whose reference passes to the caller; attach
// them to the matching wrapper.
#pragma once

#include <com/drivers/DispatchDriver.h>

class CZoomConnDriver : public com::DispatchDriver {
 public:
  using DispatchDriver::DispatchDriver;
  int32_t Connect(std::u16string_view szHostName, std::u16string_view szProxy);
  std::u16string GetOption(std::u16string_view szName);
  int32_t GetOptionLong(std::u16string_view szName);
  void SetOption(std::u16string_view szName, std::u16string_view szValue);
  void SetOptionLong(std::u16string_view szName, int32_t nValue);
  com::IDispatch* Search(std::u16string_view szDbnames, std::u16string_view szAccessPt, std::u16string_view szQuery);
  void Close();
  com::IDispatch* SearchPqf(std::u16string_view szPqf);
};

class CZoomRsDriver : public com::DispatchDriver {
 public:
  using DispatchDriver::DispatchDriver;
  int32_t GetSize();
  com::IDispatch* GetRecord(int32_t nWhich);
  void Delete();
  com::IDispatch* BriefRecord(int32_t nWhich);
};

class CZoomRecDriver : public com::DispatchDriver {
 public:
  using DispatchDriver::DispatchDriver;
  std::u16string GetRender();
  std::u16string GetRaw();
  std::u16string GetOIDs();
  std::u16string GetXml();
  int32_t AutoCvtEacc(int32_t bAuto);
};
