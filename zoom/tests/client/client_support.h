// Shared set-up of the client tests: a temporary home with its Loomstore.ini and zoom.xml.
#pragma once

#include "server_process.h"

#include <platform/paths.h>
#include <platform/profile.h>
#include <platform/text.h>
#include <qorvel_testing/testing.h>

#include <gtest/gtest.h>

#include <initializer_list>
#include <string>
#include <utility>

namespace ztest {

/// The access points the tests search under.
inline const char kZoomXml[] = R"(<?xml version="1.0" encoding="UTF-8"?>
<zoom>
  <item name="ISBN" uni_name="isbn" comment="ISBN号" value="7"/>
  <item name="题名" uni_name="title" comment="正题名" value="4"/>
  <item name="任意词" value="1016"/>
</zoom>)";

class ClientHome {
 public:
  ClientHome() {
    platform::makeFolders(platform::windowsDirectory());
    qtest::writeFile(home_.path() / "zoom.xml", kZoomXml);
  }
  /// \brief Where the access-point map of the tests lies.
  std::string zoomXml() const { return (home_.path() / "zoom.xml").string(); }
  /// \brief Writes keys of a section of Loomstore.ini.
  void server(const std::string& section, std::initializer_list<std::pair<const char*, std::string>> keys) {
    for (const auto& [key, value] : keys)
      platform::writeProfileString(u"Loomstore.ini", platform::fromUtf8(section), platform::fromUtf8(key),
                                   platform::fromUtf8(value));
  }

 private:
  qtest::TempHome home_;
};

/// \brief Starts Debian's test server; its one database is "Default".
inline std::unique_ptr<ServerProcess> startYazZtest(const qtest::TempDir& dir) {
  return std::make_unique<ServerProcess>("yaz-ztest", std::vector<std::string>{"-S"}, dir / "ztest.log");
}

inline std::u16string u16(const std::string& s) { return platform::fromUtf8(s); }

}  // namespace ztest
