// Z3950Server: the one-page sheet driven through the test hook, what it writes into
// Bibliora.ini and bin/Config.xml, and its test button against yaz-ztest.
#include <setuply/Setuply.h>

#include "Pages.h"
#include "resource.h"

#include <platform/profile.h>
#include <qorvel_testing/testing.h>
#include <ui_testing/modal_script.h>

#include <QTabWidget>

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>

#include "server_process.h"

namespace {

namespace fs = std::filesystem;
using uitest::ModalScript;

const std::string kConfig =
    "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
    "<Config>\n"
    "  <!-- duplicate check -->\n"
    "  <ZServer RemoteHost=\"old:1\" User=\"u\" Password=\"p\" Database=\"d\" Timeout=\"30\"/>\n"
    "  <ZServer RemoteHost=\"second:2\"/>\n"
    "</Config>\n";

CPageZ39& pageOf(QDialog& sheet) { return *sheet.findChild<CPageZ39*>(); }

class Z3950ServerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(qtest::run(std::string(QORVEL_REGSVR) + " " + QORVEL_SERVERS), 0);
    fs::create_directories(install / "bin");
    qtest::writeFile(config, kConfig);
  }

  // Runs Z3950Server with the sheet handed to `act` first.
  int run(std::function<void(QDialog&, CPageZ39&)> act) {
    script.act([act](QDialog& d) { act(d, pageOf(d)); });
    return Z3950Server((install.string() + folderTail).c_str());
  }
  std::u16string defaultKey() { return platform::profileString(install / "Bibliora.ini", u"Bibliora", u"Default", u"-"); }
  static void fill(CPageZ39& p, const QString& host, const QString& port, const QString& db,
                   const QString& account = QString(), const QString& password = QString()) {
    ui::setControlText(&p, IDC_Z39_HOST, host);
    ui::setControlText(&p, IDC_Z39_PORT, port);
    ui::setControlText(&p, IDC_Z39_DATABASE, db);
    ui::setControlText(&p, IDC_Z39_ACCOUNT, account);
    ui::setControlText(&p, IDC_Z39_PASSWORD, password);
  }
  std::vector<QString> messageTexts() const {
    std::vector<QString> out;
    for (const auto& m : script.messages()) out.push_back(m.text);
    return out;
  }

  qtest::TempHome home;
  qtest::TempDir dir;
  fs::path install = dir / "product";
  fs::path config = install / "bin" / "Config.xml";
  std::string folderTail;  // what follows the install folder's name as the installer gives it
  ModalScript script;
};

TEST_F(Z3950ServerTest, SheetAndDefaults) {
  run([](QDialog& d, CPageZ39& p) {
    EXPECT_EQ(d.windowTitle(), QStringLiteral("设置Z39.50查重服务器属性"));
    EXPECT_EQ(p.templateId(), IDD_PAGE_Z39);
    auto* tabs = d.findChild<QTabWidget*>();
    ASSERT_EQ(tabs->count(), 1);
    EXPECT_EQ(tabs->tabText(0), QStringLiteral("Z39.50服务"));
    EXPECT_EQ(ui::controlText(&p, IDC_Z39_HOST), QString::fromUtf16(CPageZ39::kDefaultHost));
    EXPECT_EQ(ui::controlText(&p, IDC_Z39_PORT), QStringLiteral("7090"));
    EXPECT_EQ(ui::controlText(&p, IDC_Z39_DATABASE), QStringLiteral("Voyager"));
    EXPECT_EQ(ui::controlText(&p, IDC_Z39_ACCOUNT), QString());
    EXPECT_EQ(ui::controlText(&p, IDC_Z39_TEST), QStringLiteral("测试 >>"));
    uitest::saveScreenshot(d, "setuply_z3950");
    uitest::click(&d, ui::IDCANCEL);
  });
}

TEST_F(Z3950ServerTest, CancelLeavesConfigAlone) {
  EXPECT_EQ(run([](QDialog& d, CPageZ39& p) {
              fill(p, "h", "210", "db");
              uitest::click(&d, ui::IDCANCEL);
            }),
            2);
  EXPECT_EQ(defaultKey(), u"1");
  EXPECT_EQ(qtest::readFile(config), kConfig);
}

TEST_F(Z3950ServerTest, OkWritesTheFirstZServer) {
  EXPECT_EQ(run([](QDialog& d, CPageZ39& p) {
              fill(p, "h", "210", "书目库", "acct", "pw");
              uitest::click(&d, ui::IDOK);
            }),
            2);
  EXPECT_EQ(defaultKey(), u"0");
  std::string text = qtest::readFile(config);
  EXPECT_NE(text.find("<ZServer RemoteHost=\"h:210\" User=\"acct\" Password=\"pw\" Database=\"书目库\" Timeout=\"30\"/>"),
            std::string::npos)
      << text;
  EXPECT_NE(text.find("<!-- duplicate check -->"), std::string::npos);
  EXPECT_NE(text.find("<ZServer RemoteHost=\"second:2\"/>"), std::string::npos);
}

TEST_F(Z3950ServerTest, OnlyAttributesThatExistAreSet) {
  qtest::writeFile(config, "<Config><ZServer RemoteHost=\"a:1\" Database=\"x\"/></Config>");
  run([](QDialog& d, CPageZ39& p) {
    fill(p, "h", "210", "db", "acct", "pw");
    uitest::click(&d, ui::IDOK);
  });
  std::string text = qtest::readFile(config);
  EXPECT_NE(text.find("<ZServer RemoteHost=\"h:210\" Database=\"db\"/>"), std::string::npos) << text;
}

TEST_F(Z3950ServerTest, ConfigFailures) {
  struct Case {
    const char* name;
    std::string content;  // empty: no file
    int result;
    bool message;
  };
  const Case cases[] = {
      {"missing", "", 0, true},
      {"not XML", "<Config><ZServer></Config>", 0, true},
      {"no ZServer", "<Config><Other RemoteHost=\"a\"/></Config>", 2, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    fs::remove(config);
    if (!c.content.empty()) qtest::writeFile(config, c.content);
    script.clear();
    EXPECT_EQ(run([](QDialog& d, CPageZ39&) { uitest::click(&d, ui::IDOK); }), c.result);
    EXPECT_EQ(defaultKey(), u"0");
    std::vector<QString> expected;
    if (c.message) expected.push_back(QStringLiteral("添加Z39.50服务器信息未成功!"));
    EXPECT_EQ(messageTexts(), expected);
    if (c.content.empty()) {
      EXPECT_FALSE(fs::exists(config));
    } else {
      EXPECT_EQ(qtest::readFile(config), c.content);
    }
  }
}

TEST_F(Z3950ServerTest, PortThatIsNoNumberKeepsTheSheetOpen) {
  run([this](QDialog& d, CPageZ39& p) {
    ui::setControlText(&p, IDC_Z39_PORT, QString());
    uitest::click(&d, ui::IDOK);
    EXPECT_TRUE(d.isVisible());
    EXPECT_EQ(messageTexts(), std::vector<QString>{QStringLiteral("请输入一个整数。")});
    ui::setControlText(&p, IDC_Z39_PORT, QStringLiteral("99"));
    uitest::click(&d, ui::IDOK);
  });
  EXPECT_EQ(defaultKey(), u"0");
  EXPECT_NE(qtest::readFile(config).find("RemoteHost=\"" + platform::toUtf8(CPageZ39::kDefaultHost) + ":99\""), std::string::npos);
}

// The test button against a real Z39.50 server; yaz-ztest serves the database "Default" only.
TEST_F(Z3950ServerTest, TestButtonAgainstZtest) {
  ztest::ServerProcess server("yaz-ztest", {}, dir / "ztest.log");
  ASSERT_TRUE(server.running());
  const QString port = QString::number(server.port());
  const QString closed = QString::number(ztest::closedPort());
  struct Case {
    const char* name;
    QString port, database, account;
    QString message;
    ui::Icon icon;
    const char* auth;  // what the server logs of the log-in, null: no connection
  };
  const Case cases[] = {
      {"searchable", port, "Default", "", QStringLiteral("指定的Z39.50服务器测试通过，可以进行查重!"), ui::Icon::None,
       "Auth none"},
      {"with account", port, "Default", "acct", QStringLiteral("指定的Z39.50服务器测试通过，可以进行查重!"),
       ui::Icon::None, "Auth idPass acct"},
      {"unknown database", port, "Voyager", "", QStringLiteral("指定的数据库不能检索!"), ui::Icon::Information,
       "Auth none"},
      {"nothing listening", closed, "Default", "", QStringLiteral("指定的服务器连接不成功!"), ui::Icon::Information,
       nullptr},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    script.clear();
    size_t logBefore = server.log().size();
    run([&](QDialog& d, CPageZ39& p) {
      fill(p, "127.0.0.1", c.port, c.database, c.account, "pw");
      uitest::click(&p, IDC_Z39_TEST);
      EXPECT_TRUE(ui::findControl(&p, IDC_Z39_TEST)->isEnabled());
      uitest::click(&d, ui::IDCANCEL);
    });
    auto messages = script.messages();
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].text, c.message);
    EXPECT_EQ(messages[0].icon, c.icon);
    std::string log = server.log().substr(logBefore);
    if (c.auth) {
      EXPECT_NE(log.find(c.auth), std::string::npos) << log;
    }
  }
}

// An install folder that other users may write: a link that one of them plants under a
// file's name is not followed, nothing at all is written and the export says it failed; a
// link of the folder's owner that stays inside the folder is written through; the same
// whether the installer names the folder with a closing slash or without.
TEST_F(Z3950ServerTest, LinksPlantedInTheInstallFolderAreNotFollowed) {
  if (!qtest::canActAsOtherUser()) GTEST_SKIP() << "not root: no second user to plant the links";
  fs::permissions(dir.path(), fs::perms::owner_all | fs::perms::others_exec);
  qtest::TempDir outside;
  const fs::path passwd = outside / "passwd", foreignXml = outside / "Config.xml", nologin = outside / "nologin";
  const std::string passwdText = "root:x:0:0:root:/root:/bin/bash\n";
  struct Case {
    const char* name;
    fs::path link, target;
    bool byOther;    // planted by the second user, else by the folder's owner
    int okResult;    // what OK answers: 2 when it wrote, 0 when it refused
    int cancelResult;  // Cancel writes Bibliora.ini only
  };
  const Case cases[] = {
      {"Bibliora.ini to a file outside", install / "Bibliora.ini", passwd, true, 0, 0},
      {"its lock file to a file outside", install / ".Bibliora.ini.lock", nologin, true, 0, 0},
      {"Config.xml to a file outside", install / "bin" / "Config.xml", foreignXml, true, 0, 2},
      {"bin to a folder outside", install / "bin", outside.path(), true, 0, 2},
      {"the owner's link that leads outside", install / "Bibliora.ini", passwd, false, 0, 0},
      {"another user's link inside", install / "Bibliora.ini", install / "conf" / "Bibliora.ini", true, 0, 0},
      {"the owner's link inside", install / "Bibliora.ini", install / "conf" / "Bibliora.ini", false, 2, 2},
  };
  for (const char* tail : {"", "/", "//"})
  for (bool ok : {true, false}) {
    for (const Case& c : cases) {
      SCOPED_TRACE(std::string(c.name) + (ok ? " (OK)" : " (Cancel)") + " folder+\"" + tail + "\"");
      folderTail = tail;
      fs::remove_all(install);
      fs::create_directories(install / "bin");
      fs::create_directories(install / "conf");
      for (const fs::path& d : {install, install / "bin"}) fs::permissions(d, fs::perms::all);
      qtest::writeFile(config, kConfig);
      qtest::writeFile(install / "conf" / "Bibliora.ini", "[Bibliora]\nDefault=7\n");
      qtest::writeFile(passwd, passwdText);
      qtest::writeFile(foreignXml, kConfig);
      fs::remove(nologin);
      if (c.link == install / "bin") fs::remove_all(install / "bin");
      if (c.link == config) fs::remove(config);
      ASSERT_EQ(qtest::inChildProcess([&] {
                  if (c.byOther && !qtest::becomeOtherUser()) return 1;
                  return symlink(c.target.c_str(), c.link.c_str()) == 0 ? 0 : 1;
                }),
                0);
      script.clear();
      const int result = ok ? c.okResult : c.cancelResult;
      EXPECT_EQ(run([&](QDialog& d, CPageZ39& p) {
                  fill(p, "h", "210", "db");
                  uitest::click(&d, ok ? ui::IDOK : ui::IDCANCEL);
                }),
                result);
      EXPECT_EQ(qtest::readFile(passwd), passwdText);
      EXPECT_EQ(qtest::readFile(foreignXml), kConfig);
      EXPECT_FALSE(fs::exists(nologin));
      EXPECT_FALSE(fs::exists(outside / ".passwd.lock"));
      EXPECT_FALSE(fs::exists(outside / ".Config.xml.lock"));
      if (result == 2) {
        EXPECT_TRUE(messageTexts().empty());
        EXPECT_EQ(platform::profileString(install / "Bibliora.ini", u"Bibliora", u"Default"), ok ? u"0" : u"1");
      } else {
        EXPECT_EQ(messageTexts(), std::vector<QString>{QStringLiteral("添加Z39.50服务器信息未成功!")});
        EXPECT_EQ(qtest::readFile(install / "conf" / "Bibliora.ini"), "[Bibliora]\nDefault=7\n");
        if (c.link != install / "Bibliora.ini") {
          EXPECT_FALSE(fs::exists(install / "Bibliora.ini"));
        }
        if (c.link != install / "bin" && c.link != config) {
          EXPECT_EQ(qtest::readFile(config), kConfig);
        }
      }
      if (c.link == install / "Bibliora.ini") {
        EXPECT_TRUE(fs::is_symlink(c.link));
      }
    }
  }
}

}  // namespace
