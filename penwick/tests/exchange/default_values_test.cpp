// The Ctrl+Z default-value file.
#include "xml_converter.h"

#include <qorvel_testing/testing.h>
#include <platform/paths.h>

#include <gtest/gtest.h>

#include <fstream>

using namespace penwick;

namespace {

struct Defaults : ::testing::Test {
  qtest::TempDir dir;
  std::u16string file(const std::string& name, const std::string& text) {
    std::ofstream(dir / name) << text;
    return platform::pathToWide((dir / name).string());
  }
};

TEST_F(Defaults, MenuAndValues) {
  std::u16string src = file("def.xml",
                            "<root><default><e field=\"200$a\" value=\"A\"><c name=\"b\" value=\"B\"/>"
                            "<c name=\"c\" value=\"C\"/></e><e field=\"x\" value=\"" + std::string(300, 'v') +
                                "\"/></default></root>");
  CXmlConverter::DefaultMenu menu = CXmlConverter::FillDefaultMenu(src, u"200$a", 52001);
  ASSERT_EQ(menu.top.size(), 1u);
  EXPECT_EQ(menu.top[0].id, 52001);
  EXPECT_EQ(menu.top[0].text, u"A");
  ASSERT_EQ(menu.appended.size(), 2u);
  EXPECT_EQ(menu.appended[0].id, 52002);
  EXPECT_EQ(menu.appended[0].text, u"B\tb");
  EXPECT_EQ(menu.appended[1].id, 52003);
  EXPECT_EQ(menu.appended[1].text, u"C\tc");

  struct Case {
    std::u16string key;
    int n, result;
    std::u16string value;
  } cases[] = {
      {u"200$a", 1, 1, u"A"}, {u"200$a", 3, 1, u"C"}, {u"200$a", 4, 1, u"(null)"}, {u"200$a", 0, 1, u"(null)"},
      {u"nokey", 1, 1, u"(null)"}, {u"x", 1, 1, std::u16string(255, u'v')},
  };
  for (const Case& c : cases) {
    std::u16string out;
    EXPECT_EQ(CXmlConverter::GetDefaultValue(src, c.key, c.n, out), c.result);
    EXPECT_EQ(out, c.value) << c.n;
  }
  EXPECT_TRUE(CXmlConverter::FillDefaultMenu(src, u"nokey", 52001).top.empty());
  // A key with a quote in it is looked up as it is.
  std::u16string quoted = file("q.xml", "<r><default><e field='a\"b' value='Q'/></default></r>");
  std::u16string out;
  CXmlConverter::GetDefaultValue(quoted, u"a\"b", 1, out);
  EXPECT_EQ(out, u"Q");
  // Entries are looked for below every "default" element, the first in document order wins.
  std::u16string split = file("s.xml", "<r><default><e field='a' value='1'/></default>"
                                       "<default><e field='b' value='2'/><e field='a' value='3'/></default></r>");
  CXmlConverter::GetDefaultValue(split, u"b", 1, out);
  EXPECT_EQ(out, u"2");
  CXmlConverter::GetDefaultValue(split, u"a", 1, out);
  EXPECT_EQ(out, u"1");
}

TEST_F(Defaults, ScriptSourcesAndMissingFiles) {
  struct Case {
    std::u16string source;
    std::u16string top;
  } cases[] = {
      {u"/X/Rule.JS", u"/x/rule.js"},
      {u"/x/page.HTM", u"/x/page.htm"},
      {u"/x/page.html", u"/x/page.html"},
      {platform::pathToWide((dir / "none.xml").string()), u"(null)"},
  };
  for (const Case& c : cases) {
    CXmlConverter::DefaultMenu menu = CXmlConverter::FillDefaultMenu(c.source, u"k", 52001);
    ASSERT_EQ(menu.top.size(), 1u);
    EXPECT_EQ(menu.top[0].text, c.top);
    EXPECT_TRUE(menu.appended.empty());
  }
  std::u16string out;
  EXPECT_EQ(CXmlConverter::GetDefaultValue(file("bad.xml", "<a>"), u"k", 1, out), 0);
  EXPECT_EQ(out, u"(null)");
}

}  // namespace
