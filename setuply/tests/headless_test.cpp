// The exports called from a process with no display at all (no DISPLAY, no WAYLAND_DISPLAY,
// no QT_QPA_PLATFORM), as an installer run from a console or a service calls them: those that
// show no window do their work, those that would show one answer as cancelled and say so in
// one line on stderr, and none of them ends the process.
#include "SetupHelperApp.h"

#include <platform/codepage.h>
#include <platform/profile.h>
#include <qorvel_testing/testing.h>

#include <gtest/gtest.h>

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <cstddef>
#include <cstdlib>
#include <cstring>
#include <initializer_list>
#include <filesystem>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;

std::string gbk(const char16_t* s) { return platform::toNarrow(platform::CP_ACP, s); }

std::string quoted(const std::string& s) {
  std::string out = "'";
  for (char c : s) out += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return out + "'";
}

struct Outcome {
  int status;
  std::string out, err;
};

Outcome callWithoutDisplay(const std::vector<std::string>& args, const fs::path& errFile) {
  std::string command = "env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM " + quoted(SETUPLY_HEADLESS_CALLER);
  for (const std::string& a : args) command += " " + quoted(a);
  command += " 2>" + quoted(errFile.string());
  Outcome o;
  o.status = qtest::run(command, &o.out);
  o.err = qtest::readFile(errFile);
  return o;
}

const std::string kServerXml =
    "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<Server>\n  <Host name=\"localhost\">\n  </Host>\n</Server>\n";

TEST(SetuplyWithoutDisplay, ExportsNeverEndTheProcess) {
  qtest::TempHome home;
  qtest::TempDir dir;
  ASSERT_EQ(qtest::run(std::string(QORVEL_REGSVR) + " " + QORVEL_SERVERS), 0);
  ASSERT_TRUE(platform::writeProfileString(
      u"ado.ini", u"Data Sources", u"books",
      platform::fromUtf8("Driver=SQLite3;Database=" + dir.path().string() + "/%DATABASE%.db;").c_str()));
  ASSERT_TRUE(platform::writeProfileString(u"ado.ini", u"Data Sources", u"nodriver", u"Driver=NoSuchOdbcDriver;"));
  const fs::path server = dir / "server.xml";
  qtest::writeFile(server, kServerXml);
  fs::create_directories(dir / "install" / "bin");
  const std::string config = "<Config><ZServer RemoteHost=\"old:1\"/></Config>";
  qtest::writeFile(dir / "install" / "bin" / "Config.xml", config);

  struct Case {
    std::vector<std::string> args;
    std::string out;
    std::string err;  // what the one line on stderr holds; empty: nothing on stderr
  };
  const std::vector<Case> cases = {
      {{"DlgAskIP"}, "0\n" + gbk(u"主服务器") + "\n192.168.0.1\n", "DlgAskIP"},
      {{"DlgAskSQL"}, "0\n(local)\n1024\nsa\n\n", "DlgAskSQL"},
      {{"Z3950Server", (dir / "install").string()}, "2\n", "Z3950Server"},
      {{"JBossVirtual", server.string(), "qorvel", "C:\\web"}, "1\n", ""},
      {{"JBossVirtual", (dir / "missing.xml").string(), "qorvel", "C:\\web"}, "0\n", "为JBoss添加虚拟目录未成功!"},
      {{"SQLCommand", "books/catalog", "sa", "CREATE TABLE t(a)"}, "1\n", ""},
      {{"SQLCommand", "nodriver", "sa", "SELECT 1"}, "0\n",
       "与指定的SQL Server连接失败，可能是数据库服务未启动，或者管理员帐户的口令不正确！"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.args[0] + " " + (c.args.size() > 1 ? c.args[1] : ""));
    Outcome o = callWithoutDisplay(c.args, dir / "stderr.txt");
    EXPECT_EQ(o.status, 0) << o.err;
    EXPECT_EQ(o.out, c.out);
    if (c.err.empty()) {
      EXPECT_EQ(o.err, "");
    } else {
      EXPECT_EQ(std::count(o.err.begin(), o.err.end(), '\n'), 1) << o.err;
      EXPECT_NE(o.err.find(c.err), std::string::npos) << o.err;
    }
  }
  // What the calls did: the context added, the statement run, Cancel's answer written and
  // Config.xml left alone.
  EXPECT_NE(qtest::readFile(server).find("<Context path=\"/qorvel\""), std::string::npos);
  EXPECT_TRUE(fs::exists(dir / "catalog.db"));
  EXPECT_EQ(platform::profileString((dir / "install" / "Bibliora.ini").string(), u"Bibliora", u"Default"), u"1");
  EXPECT_EQ(qtest::readFile(dir / "install" / "bin" / "Config.xml"), config);
}

// Sets environment variables for the object's lifetime (null: unset).
class ScopedEnv {
 public:
  ScopedEnv(std::initializer_list<std::pair<const char*, const char*>> vars) {
    for (const auto& [name, value] : vars) {
      const char* old = std::getenv(name);
      saved_.push_back({name, old != nullptr, old ? old : ""});
      if (value) setenv(name, value, 1);
      else unsetenv(name);
    }
  }
  ~ScopedEnv() {
    for (const auto& s : saved_) {
      if (s.had) setenv(s.name, s.value.c_str(), 1);
      else unsetenv(s.name);
    }
  }

 private:
  struct Saved {
    const char* name;
    bool had;
    std::string value;
  };
  std::vector<Saved> saved_;
};

// An X server's local socket in the abstract namespace, listening but never answering more.
class FakeXServer {
 public:
  explicit FakeXServer(int number) {
    fd_ = socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un a{};
    a.sun_family = AF_UNIX;
    const std::string name = "/tmp/.X11-unix/X" + std::to_string(number);
    std::memcpy(a.sun_path + 1, name.data(), name.size());
    ok_ = bind(fd_, reinterpret_cast<sockaddr*>(&a), socklen_t(offsetof(sockaddr_un, sun_path) + 1 + name.size())) == 0 &&
          listen(fd_, 4) == 0;
  }
  ~FakeXServer() { close(fd_); }
  bool ok() const { return ok_; }

 private:
  int fd_ = -1;
  bool ok_ = false;
};

// Whether a Qt application could be made: what the platform variable names, else an X
// display whose socket answers.
TEST(SetuplyWithoutDisplay, DisplayIsAskedBeforeQtStarts) {
  // A display number no one is likely to use.
  int number = 4000 + int(getpid() % 1000);
  FakeXServer x(number);
  ASSERT_TRUE(x.ok());
  const std::string live = ":" + std::to_string(number), dead = ":" + std::to_string(number + 1) + ".0";
  const std::string unixLive = "unix" + live + ".0";
  struct Case {
    const char* platform;
    const char* display;
    bool available;
  };
  const Case cases[] = {
      {"offscreen", nullptr, true},
      {"xcb", nullptr, false},
      {"xcb", dead.c_str(), false},
      {"xcb", live.c_str(), true},
      {"wayland;xcb", live.c_str(), true},
      {"xcb;offscreen", nullptr, true},
      {nullptr, nullptr, false},
      {nullptr, dead.c_str(), false},
      {nullptr, live.c_str(), true},
      {nullptr, unixLive.c_str(), true},
      {nullptr, "no display", false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.platform ? c.platform : "-") + " " + (c.display ? c.display : "-"));
    ScopedEnv env({{"QT_QPA_PLATFORM", c.platform}, {"DISPLAY", c.display}, {"WAYLAND_DISPLAY", nullptr}});
    EXPECT_EQ(setuply::displayAvailable(), c.available);
  }
}

}  // namespace
