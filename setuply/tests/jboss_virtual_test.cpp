// JBossVirtual on a small application server configuration: the Context element it makes or
// changes under the first Host element, and the rest of the file kept.
#include <setuply/Setuply.h>

#include <platform/codepage.h>
#include <qorvel_testing/testing.h>
#include <ui_testing/modal_script.h>
#include <xml/dom.h>

#include <gtest/gtest.h>

#include <filesystem>

namespace {

namespace fs = std::filesystem;
using uitest::ModalScript;

const std::string kServerXml =
    "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
    "<Server>\n"
    "  <!-- web container -->\n"
    "  <Service name=\"jboss.web\">\n"
    "    <Engine name=\"jboss.web\" defaultHost=\"localhost\">\n"
    "      <Host name=\"localhost\" autoDeploy=\"false\">\n"
    "        <Context path=\"/other\" docBase=\"D:\\\\other\" debug=\"0\"/>\n"
    "      </Host>\n"
    "      <Host name=\"second\"/>\n"
    "    </Engine>\n"
    "  </Service>\n"
    "</Server>\n";

class JBossVirtualTest : public ::testing::Test {
 protected:
  void SetUp() override { qtest::writeFile(file, kServerXml); }

  int call(const std::string& name, const std::string& docBase) {
    return JBossVirtual(file.c_str(), name.c_str(), docBase.c_str());
  }
  xml::Node host(int which = 0) {
    doc = xml::Document::create();
    EXPECT_TRUE(doc.load(file.string()));
    return doc.documentElement().selectNodes(u".//Host").at(which);
  }
  // The attributes of a Context element as "name=value" in their order.
  static std::vector<std::u16string> attributes(const xml::Node& e) {
    std::vector<std::u16string> out;
    for (size_t i = 0; i < e.attributeCount(); ++i)
      out.push_back(e.attributeAt(i).name() + u"=" + e.attributeAt(i).value());
    return out;
  }

  qtest::TempDir dir;
  fs::path file = dir / "server.xml";
  xml::Document doc;
  ModalScript script;
};

TEST_F(JBossVirtualTest, NewContextUnderTheFirstHost) {
  ASSERT_EQ(call("qorvel", "C:\\web\\app"), 1);
  auto found = host().childElementsWhere(u"Context", u"path", u"/qorvel");
  ASSERT_EQ(found.size(), 1u);
  EXPECT_EQ(attributes(found[0]),
            (std::vector<std::u16string>{u"path=/qorvel", u"docBase=C:\\\\web\\\\app", u"debug=1",
                                         u"reloadable=true", u"override=true", u"crossContext=true"}));
  EXPECT_EQ(host().lastChild().name(), u"Context");
  EXPECT_TRUE(host(1).childElements().empty());
  // The rest of the file stands as it was.
  std::string text = qtest::readFile(file);
  EXPECT_NE(text.find("<!-- web container -->"), std::string::npos);
  EXPECT_NE(text.find("<Context path=\"/other\" docBase=\"D:\\\\other\" debug=\"0\"/>"), std::string::npos);
  EXPECT_NE(text.find("\n      <Host name=\"second\"/>\n"), std::string::npos);
  EXPECT_TRUE(script.records().empty());
}

TEST_F(JBossVirtualTest, SecondCallMovesTheFolderOnly) {
  ASSERT_EQ(call("other", "E:\\new"), 1);
  ASSERT_EQ(call("other", "F:\\newer"), 1);
  auto found = host().childElementsWhere(u"Context", u"path", u"/other");
  ASSERT_EQ(found.size(), 1u);
  EXPECT_EQ(attributes(found[0]), (std::vector<std::u16string>{u"path=/other", u"docBase=F:\\\\newer", u"debug=0"}));
}

TEST_F(JBossVirtualTest, ChineseNameAndFolderInTheAnsiCodePage) {
  std::string name = platform::toNarrow(platform::CP_ACP, u"书目");
  std::string base = platform::toNarrow(platform::CP_ACP, u"C:\\图书馆");
  ASSERT_EQ(call(name, base), 1);
  auto found = host().childElementsWhere(u"Context", u"path", u"/书目");
  ASSERT_EQ(found.size(), 1u);
  EXPECT_EQ(found[0].getAttribute(u"docBase"), u"C:\\\\图书馆");
}

TEST_F(JBossVirtualTest, Refusals) {
  struct Case {
    const char* name;
    std::string content;  // empty: no file at all
    std::string dirName;
    bool message;
  };
  const Case cases[] = {
      {"missing file", "", "app", true},
      {"not XML", "<Server><Host></Server>", "app", true},
      {"no Host element", "<Server><Service/></Server>", "app", false},
      {"internal entity in use",
       "<!DOCTYPE Server [<!ENTITY home \"C:\\web\">]>\n<Server><Host name=\"h\" appBase=\"&home;\"/></Server>\n", "app",
       true},
      {"name of 236 bytes", kServerXml, std::string(236, 'n'), false},
      {"name with a quote", kServerXml, "a\"b", false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    fs::remove(file);
    if (!c.content.empty()) qtest::writeFile(file, c.content);
    script.clear();
    EXPECT_EQ(call(c.dirName, "C:\\x"), 0);
    ASSERT_EQ(script.messages().size(), c.message ? 1u : 0u);
    if (c.message) {
      EXPECT_EQ(script.messages()[0].text, QStringLiteral("为JBoss添加虚拟目录未成功!"));
      EXPECT_EQ(script.messages()[0].icon, ui::Icon::Information);
    }
    if (c.content.empty()) {
      EXPECT_FALSE(fs::exists(file));
    } else {
      EXPECT_EQ(qtest::readFile(file), c.content);
    }
  }
  // 235 bytes still fit.
  qtest::writeFile(file, kServerXml);
  EXPECT_EQ(call(std::string(235, 'n'), "C:\\x"), 1);
}

// The file keeps what lies outside the root (declaration, DOCTYPE, comments, blank lines)
// line for line, and the new element stands on a line of its own, indented like its siblings.
TEST_F(JBossVirtualTest, LayoutAndDoctypeKept) {
  const std::string context =
      "<Context path=\"/qorvel\" docBase=\"C:\\\\web\" debug=\"1\" reloadable=\"true\" override=\"true\" "
      "crossContext=\"true\"/>";
  const std::string publicDoctype =
      "<!DOCTYPE Server PUBLIC \"-//JBoss//DTD Server//EN\" \"http://www.jboss.org/j2ee/dtd/jboss-web.dtd\">";
  const std::string internalSubset = "<!DOCTYPE Server [\n  <!ENTITY home \"C:\\web\">\n  <!ELEMENT Server ANY>\n]>";
  // The new element on the line after the existing one, at its indentation.
  std::string besideOther = kServerXml;
  const std::string otherEnd = "debug=\"0\"/>\n";
  besideOther.insert(besideOther.find(otherEnd) + otherEnd.size(), "        " + context + "\n");
  struct Case {
    const char* what;
    std::string before, after;
  };
  const Case cases[] = {
      {"beside another Context", kServerXml, besideOther},
      {"public DOCTYPE, empty Host",
       "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n" + publicDoctype + "\n\n<!-- server -->\n<Server>\n    <Host name=\"h\"/>\n</Server>\n",
       "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n" + publicDoctype + "\n\n<!-- server -->\n<Server>\n    <Host name=\"h\">\n      " +
           context + "\n    </Host>\n</Server>\n"},
      {"internal subset, no declaration, Host with only white space",
       internalSubset + "\n<Server>\n\t<Host name=\"h\">\n\t</Host>\n</Server>\n",
       "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n" + internalSubset + "\n<Server>\n\t<Host name=\"h\">\n\t  " + context +
           "\n\t</Host>\n</Server>\n"},
      {"all on one line", "<Server><Host name=\"h\"></Host></Server>",
       "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<Server><Host name=\"h\">" + context + "</Host></Server>"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    qtest::writeFile(file, c.before);
    ASSERT_EQ(call("qorvel", "C:\\web"), 1);
    EXPECT_EQ(qtest::readFile(file), c.after);
  }
}

// A save that cannot go through (a read-only folder here) leaves the file as it was and
// says so with the same message as a file that cannot be read.
TEST_F(JBossVirtualTest, FailedSaveKeepsTheFile) {
  fs::permissions(dir.path(), fs::perms::owner_read | fs::perms::owner_exec);
  int outcome = qtest::inChildProcess([&] {
    qtest::obeyFilePermissions();
    int rc = call("qorvel", "C:\\web");
    auto boxes = script.messages();
    bool said = boxes.size() == 1 && boxes[0].text == QStringLiteral("为JBoss添加虚拟目录未成功!");
    script.clear();
    return rc == 0 && said ? 0 : 1;
  });
  fs::permissions(dir.path(), fs::perms::owner_all);
  EXPECT_EQ(outcome, 0);
  EXPECT_EQ(qtest::readFile(file), kServerXml);
}

// A configuration file that another user has swapped for a link to a file elsewhere is
// neither read nor written; a link of the folder's owner inside the folder is followed.
TEST_F(JBossVirtualTest, APlantedLinkIsNotFollowed) {
  if (!qtest::canActAsOtherUser()) GTEST_SKIP() << "not root: no second user to plant the link";
  qtest::TempDir outside;
  const fs::path elsewhere = outside / "server.xml", inside = dir / "conf" / "server.xml";
  fs::create_directories(dir / "conf");
  fs::permissions(dir.path(), fs::perms::all);
  struct Case {
    const char* name;
    fs::path target;
    bool byOther;
    int result;
  } cases[] = {
      {"another user's link outside", elsewhere, true, 0},
      {"the owner's link outside", elsewhere, false, 0},
      {"another user's link inside", inside, true, 0},
      {"the owner's link inside", inside, false, 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    qtest::writeFile(elsewhere, kServerXml);
    qtest::writeFile(inside, kServerXml);
    fs::remove(file);
    ASSERT_EQ(qtest::inChildProcess([&] {
                if (c.byOther && !qtest::becomeOtherUser()) return 1;
                return symlink(c.target.c_str(), file.c_str()) == 0 ? 0 : 1;
              }),
              0);
    script.clear();
    EXPECT_EQ(call("qorvel", "C:\\web"), c.result);
    EXPECT_EQ(qtest::readFile(elsewhere), kServerXml);
    EXPECT_TRUE(fs::is_symlink(file));
    if (c.result) {
      EXPECT_TRUE(script.messages().empty());
      EXPECT_NE(qtest::readFile(inside), kServerXml);
    } else {
      ASSERT_EQ(script.messages().size(), 1u);
      EXPECT_EQ(script.messages()[0].text, QStringLiteral("为JBoss添加虚拟目录未成功!"));
      EXPECT_EQ(qtest::readFile(inside), kServerXml);
    }
  }
}

}  // namespace
