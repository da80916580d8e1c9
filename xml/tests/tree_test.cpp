// A whole tree at once: the builder and the read-only walk.
#include "xml_test_util.h"

#include <xml/tree.h>

#include <string>
#include <vector>

using namespace xml;
using xmltest::loaded;

namespace {

// The steps of a walk as "type name=value/size" lines, attributes marked "@".
std::vector<std::string> stepsOf(const TreeWalk& w) {
  std::vector<std::string> out;
  for (size_t i = 0; i < w.size(); ++i) {
    const WalkStep& s = w[i];
    std::string line = std::to_string(int(s.type)) + " " + xmltest::u8(s.name());
    if (!s.value().empty()) line += "=" + xmltest::u8(s.value());
    line += "/" + std::to_string(s.size);
    if (s.type == NodeType::Element) line += " a" + std::to_string(s.attributes) + " c" + std::to_string(s.children);
    out.push_back(line);
  }
  return out;
}

TEST(TreeWalk, StepsInDocumentOrderEachElementWithItsAttributesFirst) {
  Document d = loaded(
      u"<marc><header>h</header><field name=\"200\" indicator=\"1\u0011\"><sf name=\"a\">A<!--c--></sf>"
      u"<group><sf name=\"b\"><![CDATA[<B>]]></sf></group></field></marc>");
  TreeWalk w;
  w.walk(d.documentElement());
  EXPECT_EQ(stepsOf(w), (std::vector<std::string>{
                            "1 marc/14 a0 c2",
                            "1 header/2 a0 c1",
                            "3 =h/1",
                            "1 field/11 a2 c2",
                            "2 name=200/1",
                            "2 indicator=1\x11/1",
                            "1 sf/4 a1 c2",
                            "2 name=a/1",
                            "3 =A/1",
                            "8 =c/1",
                            "1 group/4 a0 c1",
                            "1 sf/3 a1 c1",
                            "2 name=b/1",
                            "4 =<B>/1",
                        }));
}

TEST(TreeWalk, ANodeWithoutChildrenIsOneStepAndANullHandleNone) {
  Document d = loaded(u"<a x=\"1\"><b/></a>");
  TreeWalk w;
  w.walk(d.documentElement().firstChild());
  EXPECT_EQ(stepsOf(w), (std::vector<std::string>{"1 b/1 a0 c0"}));
  w.walk(Node());
  EXPECT_TRUE(w.empty());
  w.walk(d.documentElement().attributeAt(0));
  EXPECT_EQ(stepsOf(w), (std::vector<std::string>{"2 x=1/1"}));
}

TEST(TreeWalk, TheDocumentNodeAndItsOwnChildren) {
  Document d = loaded(u"<?p data?><r>t</r>");
  TreeWalk w;
  w.walk(d.asNode());
  ASSERT_EQ(w.size(), 4u);
  EXPECT_EQ(w[0].type, NodeType::Document);
  EXPECT_EQ(w[0].children, 2u);
  EXPECT_EQ(w[0].size, 4u);
  EXPECT_EQ(w[1].type, NodeType::ProcessingInstruction);
  EXPECT_EQ(w[1].name(), u"p");
  EXPECT_EQ(w[1].value(), u"data");
  EXPECT_EQ(w[3].value(), u"t");
}

TEST(TreeWalk, AWalkKeptForManyTreesGivesEachItsOwnSteps) {
  TreeWalk w;
  std::u16string big = u"<r>";
  for (int i = 0; i < 2000; ++i) big += u"<e n=\"" + platform::ascii(std::to_string(i)) + u"\">x</e>";
  big += u"</r>";
  Document large = loaded(big);
  w.walk(large.documentElement());
  ASSERT_EQ(w.size(), 1u + 2000u * 3u);
  EXPECT_EQ(w[0].size, w.size());
  EXPECT_EQ(w[w.size() - 2].value(), u"1999");
  Document small = loaded(u"<s>y</s>");
  w.walk(small.documentElement());
  EXPECT_EQ(stepsOf(w), (std::vector<std::string>{"1 s/2 a0 c1", "3 =y/1"}));
}

TEST(TreeWalk, DeepTreesAreWalkedWithoutRecursion) {
  std::u16string text;
  for (int i = 0; i < 100000; ++i) text += u"<d>";
  for (int i = 0; i < 100000; ++i) text += u"</d>";
  Document d = loaded(text);
  TreeWalk w;
  w.walk(d.documentElement());
  ASSERT_EQ(w.size(), 100000u);
  EXPECT_EQ(w[0].size, 100000u);
  EXPECT_EQ(w[99999].size, 1u);
}

TEST(TreeBuilder, BuildsTheTreeFromItsShape) {
  Document d = Document::create();
  TreeBuilder b(d);
  b.open(u"marc");
  b.open(u"field");
  b.attribute(u"name") = u"001";
  b.text() = u"id";
  b.close();
  b.open(u"field");
  b.close();
  b.dropLast();
  b.close();
  EXPECT_EQ(d.xml(), u"<marc><field name=\"001\">id</field></marc>");
}

TEST(DocumentOfNode, TheDocumentANodeIsOrNone) {
  Document d = loaded(u"<r/>");
  EXPECT_EQ(Document(d.asNode()), d);
  EXPECT_TRUE(Document(d.documentElement()).isNull());
  EXPECT_TRUE(Document(Node()).isNull());
}

}  // namespace
