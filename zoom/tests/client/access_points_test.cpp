// The access-point map zoom.xml and the queries built from it.
#include "z3950/access_points.h"

#include <qorvel_testing/testing.h>

#include <gtest/gtest.h>

using z3950::AccessPointMap;
using z3950::buildPqf;

namespace {

AccessPointMap mapOf(const qtest::TempDir& dir, const std::string& xml) {
  qtest::writeFile(dir / "zoom.xml", xml);
  AccessPointMap map;
  map.load((dir / "zoom.xml").string());
  return map;
}

}  // namespace

TEST(AccessPoints, LooksUpNameThenUniNameThenComment) {
  qtest::TempDir dir;
  AccessPointMap map = mapOf(dir, R"(<?xml version="1.0" encoding="UTF-8"?>
<zoom><group>
  <item name="ISBN" uni_name="isbn" comment="国际标准书号" value="7"/>
  <item name="题名" comment="Title" value="4"/>
  <item name="NoValue" comment="x"/>
  <deep><item name="作者" uni_name="Title" value="1003"/></deep>
  <item name="say &quot;hi&quot;" value="99"/>
</group></zoom>)");
  struct Case {
    const char16_t* accessPoint;
    std::optional<std::u16string> use;
  } cases[] = {
      {u"ISBN", u"7"},
      {u"isbn", u"7"},
      {u"国际标准书号", u"7"},
      {u"题名", u"4"},
      {u"Title", u"1003"},  // a uni_name found before any comment
      {u"作者", u"1003"},
      {u"NoValue", std::nullopt},
      {u"Isbn", std::nullopt},  // values compare exactly
      {u"missing", std::nullopt},
      {u"say \"hi\"", u"99"},  // a double quote is just a character
      {u"\"", std::nullopt},
      {u"\"] | //item[@name=\"ISBN", std::nullopt},
  };
  for (const Case& c : cases) EXPECT_EQ(map.useAttribute(c.accessPoint), c.use);
}

TEST(AccessPoints, MissingOrMalformedMapIsEmpty) {
  qtest::TempDir dir;
  AccessPointMap missing;
  missing.load((dir / "none.xml").string());
  EXPECT_TRUE(missing.empty());
  EXPECT_EQ(missing.useAttribute(u"ISBN"), std::nullopt);
  AccessPointMap broken = mapOf(dir, "<zoom><item name=\"ISBN\" value=\"7\"></zoom>");
  EXPECT_TRUE(broken.empty());
  EXPECT_EQ(broken.useAttribute(u"ISBN"), std::nullopt);
}

TEST(AccessPoints, QueryFramesTheTermWithoutItsQuotes) {
  EXPECT_EQ(buildPqf(u"7", u"7-111-07578-9"), u"@attr 1=7 \"7-111-07578-9\"");
  EXPECT_EQ(buildPqf(std::nullopt, u"data \"mining\""), u"\"data mining\"");
  EXPECT_EQ(buildPqf(u"4", u"\"\""), u"@attr 1=4 \"\"");
}
