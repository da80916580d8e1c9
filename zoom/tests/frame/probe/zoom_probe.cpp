// Creates zoom.ZoomConn by ProgID through the registry and calls it through its wrapper;
// prints what it saw. Built without any link to libzoom.
#include <com/drivers/ZoomDrivers.h>

#include <platform/text.h>

#include <cstdio>
#include <fstream>
#include <sstream>

namespace {
bool zoomLoaded() {
  std::ifstream maps("/proc/self/maps");
  std::stringstream s;
  s << maps.rdbuf();
  return s.str().find("libzoom.so") != std::string::npos;
}
}  // namespace

int main(int argc, char** argv) {
  com::CoInitialize(nullptr);
  std::printf("before: %s\n", zoomLoaded() ? "loaded" : "not loaded");
  CZoomConnDriver conn;
  com::HRESULT hr = 0;
  if (!conn.CreateDispatch(u"zoom.ZoomConn", &hr)) {
    std::printf("CreateDispatch failed: 0x%08X\n", unsigned(hr));
    return 1;
  }
  std::printf("created\n");
  std::printf("after: %s\n", zoomLoaded() ? "loaded" : "not loaded");
  try {
    // What the calls answer is the client's business; here they must go through.
    // The host text comes from the test, which picks a port where nothing listens.
    if (argc > 1) conn.Connect(platform::fromUtf8(argv[1]), u"");
    conn.GetOption(u"implementationName");
    conn.GetOptionLong(u"errno");
    conn.SetOption(u"timeout", u"1");
    conn.SetOptionLong(u"timeout", 1);
    CZoomRsDriver rs;
    rs.AttachDispatch(conn.SearchPqf(u"@attr 1=4 x"));
    conn.Close();
    std::printf("calls ok\n");
  } catch (const com::ComError& e) {
    std::printf("call failed: 0x%08X\n", unsigned(e.Error()));
    return 1;
  }
  CZoomConnDriver none;
  if (!none.CreateDispatch(u"zoom.NoSuchClass", &hr)) std::printf("unknown progid: 0x%08X\n", unsigned(hr));
  com::CoUninitialize();
  return 0;
}
