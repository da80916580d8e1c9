// Selection by the location paths the suite uses, and the direct child lookups.
#include "xml_test_util.h"

#include <vector>

using namespace xml;
using xmltest::loaded;
using xmltest::u8;

namespace {

const char16_t* kDoc =
    u"<marc id=\"m\"><header id=\"h\">x</header>"
    u"<field name=\"001\" id=\"f1\">1</field>"
    u"<field name=\"200\" id=\"f2\"><sf name=\"a\" id=\"s1\"/><sf name=\"b\" id=\"s2\"/></field>"
    u"<field name=\"200\" id=\"f3\"><sf name=\"a\" id=\"s3\"><sf name=\"a\" id=\"s4\"/></sf></field>"
    u"<field name='a\"b' id=\"q1\"/><field name=\"it's\" id=\"q2\"/><field name='x\"]/y' id=\"q3\"/>"
    u"<field id=\"n1\"/><other name=\"200\" id=\"o1\"/></marc>";

std::u16string ids(const std::vector<Node>& v) {
  std::u16string s;
  for (const Node& n : v) {
    if (!s.empty()) s += u',';
    s += n.getAttribute(u"id").value_or(u"?");
  }
  return s;
}

}  // namespace

TEST(XmlSelect, Forms) {
  Document d = loaded(kDoc);
  Node root = d.documentElement();
  Node f2 = root.child(2);
  Node s3 = root.child(3).child(0);
  struct Case {
    Node context;
    const char16_t* path;
    const char16_t* expected;
  };
  const std::vector<Case> cases = {
      {root, u"./field", u"f1,f2,f3,q1,q2,q3,n1"},
      {root, u"field", u"f1,f2,f3,q1,q2,q3,n1"},
      {root, u"*", u"h,f1,f2,f3,q1,q2,q3,n1,o1"},
      {root, u"./field[@name=\"200\"]", u"f2,f3"},
      {root, u"./field[@name='200']", u"f2,f3"},
      {root, u"./field[ @name = \"200\" ]", u"f2,f3"},
      {root, u"./field[@name=\"001\"]", u"f1"},
      {root, u"./field[@name=\"999\"]", u""},
      {root, u"./field[@name=\"\"]", u""},
      {root, u"./field[@name]", u"f1,f2,f3,q1,q2,q3"},
      {root, u"./*[@name=\"200\"]", u"f2,f3,o1"},
      {root, u"./field/*", u"s1,s2,s3"},
      {root, u"./field[@name=\"200\"]/sf[@name=\"a\"]", u"s1,s3"},
      {root, u".//sf", u"s1,s2,s3,s4"},
      {root, u".//sf[@name=\"a\"]", u"s1,s3,s4"},
      {root, u"//sf[@name=\"a\"]", u"s1,s3,s4"},
      {root, u"//sf//sf", u"s4"},
      {root, u"//marc", u"m"},
      {root, u"/marc", u"m"},
      {root, u"/field", u""},
      {f2, u".//sf", u"s1,s2"},
      {f2, u"./sf[@name=\"b\"]", u"s2"},
      {f2, u"//field[@name=\"200\"]", u"f2,f3"},
      {s3, u"/marc/header", u"h"},
      {s3, u".", u"s3"},
      // Values holding a quote character: the one that closes the expression ends the value.
      {root, u"./field[@name=\"a\"b\"]", u"q1"},
      {root, u"./field[@name='a\"b']", u"q1"},
      {root, u"./field[@name=\"it's\"]", u"q2"},
      {root, u"./field[@name='it's']", u"q2"},
      {root, u"./field[@name=\"x\"]/y\"]", u"q3"},
      // Outside the supported set: nothing, never an error.
      {root, u"", u""},
      {root, u"./field[1]", u""},
      {root, u"./field[@name=\"200\"", u""},
      {root, u"./field[@name=200]", u""},
      {root, u"./field/", u""},
      {root, u"..", u""},
      {root, u"./field/text()", u""},
      {root, u"count(field)", u""},
      {root, u"./field[@name=\"200\" and @id=\"f2\"]", u""},
      {root, u"./field | ./other", u""},
  };
  for (const Case& c : cases) {
    std::vector<Node> got;
    EXPECT_NO_THROW(got = c.context.selectNodes(c.path)) << u8(c.path);
    EXPECT_EQ(ids(got), c.expected) << u8(c.path);
    Node single = c.context.selectSingleNode(c.path);
    EXPECT_EQ(single, got.empty() ? Node() : got.front()) << u8(c.path);
  }
  EXPECT_EQ(d.selectNodes(u"/"), std::vector<Node>{d.asNode()});
  EXPECT_EQ(ids(d.selectNodes(u"//field[@name=\"200\"]")), u"f2,f3");
  EXPECT_EQ(ids(d.selectNodes(u"./marc")), u"m");
}

TEST(XmlSelect, DetachedNodesSearchTheirOwnTree) {
  Document d = loaded(kDoc);
  Node f3 = d.documentElement().child(3);
  d.documentElement().removeChild(f3);
  EXPECT_EQ(ids(f3.selectNodes(u"//sf")), u"s3,s4");
  EXPECT_EQ(ids(d.selectNodes(u"//sf")), u"s1,s2");
  EXPECT_EQ(ids(f3.selectNodes(u"/field")), u"");
}

TEST(XmlSelect, DirectLookups) {
  Document d = loaded(kDoc);
  Node root = d.documentElement();
  EXPECT_EQ(ids(root.childElements(u"field")), u"f1,f2,f3,q1,q2,q3,n1");
  EXPECT_EQ(ids(root.childElements()), u"h,f1,f2,f3,q1,q2,q3,n1,o1");
  EXPECT_EQ(ids(root.childElements(u"none")), u"");
  EXPECT_EQ(ids(root.childElementsWhere(u"field", u"name", u"200")), u"f2,f3");
  EXPECT_EQ(ids(root.childElementsWhere(u"*", u"name", u"200")), u"f2,f3,o1");
  EXPECT_EQ(ids(root.childElementsWhere(u"field", u"name", u"a\"b")), u"q1");
  EXPECT_EQ(ids(root.childElementsWhere(u"field", u"name", u"")), u"");
  EXPECT_EQ(ids(root.child(1).childElements()), u"");  // text children are not elements
}
