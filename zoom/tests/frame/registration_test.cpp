// DllRegisterServer's keys, and creation by ProgID in a process of its own.
#include "server_library.h"

#ifdef ZOOM_FRAME_WITH_SERVER
#include "server_process.h"
#endif

#include <platform/registry.h>
#include <platform/text.h>

#include <qorvel_testing/testing.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <set>
#include <string>

using namespace com;

namespace {

// Every key and value under HKEY_CLASSES_ROOT as "path|name=value" lines ("path|" for a
// key without values).
void collect(platform::HKEY key, const std::u16string& path, std::set<std::string>& out) {
  std::u16string def;
  bool any = false;
  if (platform::RegQueryValue(key, nullptr, def) == platform::ERROR_SUCCESS) {
    out.insert(platform::toUtf8(path + u"|@=" + def));
    any = true;
  }
  if (platform::RegQueryValue(key, u"ThreadingModel", def) == platform::ERROR_SUCCESS) {
    out.insert(platform::toUtf8(path + u"|ThreadingModel=" + def));
    any = true;
  }
  if (!any && !path.empty()) out.insert(platform::toUtf8(path + u"|"));
  char16_t name[300];
  for (uint32_t i = 0;; ++i) {
    uint32_t size = 300;
    if (platform::RegEnumKeyEx(key, i, name, &size) != platform::ERROR_SUCCESS) break;
    platform::RegKey sub;
    ASSERT_EQ(platform::RegOpenKeyEx(key, name, sub.put()), platform::ERROR_SUCCESS);
    collect(sub.get(), path.empty() ? std::u16string(name) : path + u"\\" + name, out);
  }
}

std::string libraryPath() { return std::filesystem::canonical(ZOOM_LIBRARY).string(); }

std::set<std::string> expectedKeys() {
  struct C {
    const char* clsid;
    const char* progId;
  };
  const C classes[] = {{"{C5C862E5-1A6F-11D9-895C-0050BAC1BFD6}", "zoom.ZoomConn"},
                       {"{C5C862E8-1A6F-11D9-895C-0050BAC1BFD6}", "zoom.ZoomRs"},
                       {"{C5C862ED-1A6F-11D9-895C-0050BAC1BFD6}", "zoom.ZoomRec"},
                       {"{800EBE5D-DBB8-44F8-AF70-BFB671E5781B}", "zoom.ZoomSvr"}};
  std::set<std::string> keys = {"CLSID|"};
  for (const C& c : classes) {
    std::string p = c.progId, k = std::string("CLSID\\") + c.clsid;
    keys.insert(p + "|@=" + p);
    keys.insert(p + "\\CLSID|@=" + c.clsid);
    keys.insert(k + "|@=" + p);
    keys.insert(k + "\\ProgID|@=" + p);
    keys.insert(k + "\\InProcServer32|@=" + libraryPath());
  }
  return keys;
}

TEST(ZoomRegistration, WritesExactlyTheClassKeys) {
  qtest::TempHome home;
  ASSERT_EQ(ZoomLibrary::get().registerServer(), S_OK);
  std::set<std::string> got;
  collect(platform::HKEY_CLASSES_ROOT, u"", got);
  EXPECT_EQ(got, expectedKeys());
  // Nothing per user.
  platform::RegKey any;
  char16_t name[8];
  uint32_t size = 8;
  EXPECT_EQ(platform::RegEnumKeyEx(platform::HKEY_CURRENT_USER, 0, name, &size), platform::ERROR_NO_MORE_ITEMS);

  // Registering again changes nothing.
  ASSERT_EQ(ZoomLibrary::get().registerServer(), S_OK);
  got.clear();
  collect(platform::HKEY_CLASSES_ROOT, u"", got);
  EXPECT_EQ(got, expectedKeys());
}

TEST(ZoomRegistration, FailedWriteIsReported) {
  qtest::TempHome home;
  qtest::writeFile(home.path() / "registry", "a file where the registry folder should be");
  EXPECT_EQ(ZoomLibrary::get().registerServer(), SELFREG_E_CLASS);
}

TEST(ZoomRegistration, RegsvrCommandRegistersAndProbeCreatesByProgId) {
  qtest::TempHome home;
  std::string out;
  ASSERT_EQ(qtest::run(std::string(QORVEL_REGSVR) + " " + QORVEL_SERVERS + " 2>&1", &out), 0) << out;
  std::set<std::string> got;
  collect(platform::HKEY_CLASSES_ROOT, u"", got);
  EXPECT_EQ(got, expectedKeys());

  // A fresh process that does not link libzoom finds it through the registry alone.
  std::string host;
#ifdef ZOOM_FRAME_WITH_SERVER
  host = " 127.0.0.1:" + std::to_string(ztest::closedPort());
#endif
  ASSERT_EQ(qtest::run(std::string(ZOOM_PROBE) + host + " 2>&1", &out), 0) << out;
  EXPECT_EQ(out,
            "before: not loaded\n"
            "created\n"
            "after: loaded\n"
            "calls ok\n"
            "unknown progid: 0x800401F3\n");
}

TEST(ZoomRegistration, RegsvrCommandFailsOnBadInput) {
  qtest::TempHome home;
  std::string out;
  EXPECT_NE(qtest::run(std::string(QORVEL_REGSVR) + " 2>&1", &out), 0);
  EXPECT_NE(qtest::run(std::string(QORVEL_REGSVR) + " /nonexistent/libnothing.so 2>&1", &out), 0);
  EXPECT_NE(out.find("cannot load"), std::string::npos) << out;
  qtest::writeFile(home.path() / "registry", "blocked");
  EXPECT_NE(qtest::run(std::string(QORVEL_REGSVR) + " " + ZOOM_LIBRARY + " 2>&1", &out), 0);
  EXPECT_NE(out.find("0x80040201"), std::string::npos) << out;
}

}  // namespace
