// Loading from text and writing back as text.
#include "xml_test_util.h"

#include <vector>

using namespace xml;
using xmltest::loaded;
using xmltest::u8;

TEST(XmlText, RoundTrips) {
  struct Case {
    const char16_t* in;
    const char16_t* out;
  };
  const std::vector<Case> cases = {
      // The record format's stand-in characters stay raw in text and attributes.
      {u"<f name=\"\u0011\u0012\u0013\u0014\u0015\u0016\">\u0011\u0012\u0013\u0014\u0015\u0016</f>",
       u"<f name=\"\u0011\u0012\u0013\u0014\u0015\u0016\">\u0011\u0012\u0013\u0014\u0015\u0016</f>"},
      {u"<h>00000nam\u0011\u00112200000\u0011\u0011\u00114500</h>", u"<h>00000nam\u0011\u00112200000\u0011\u0011\u00114500</h>"},
      // Markup characters escaped as the platform writes them.
      {u"<a b='x&amp;&lt;&gt;&quot;&apos;y'>1 &amp; 2 &lt; 3 &gt; 0 \"q\" 'a'</a>",
       u"<a b=\"x&amp;&lt;&gt;&quot;'y\">1 &amp; 2 &lt; 3 &gt; 0 \"q\" 'a'</a>"},
      {u"<a>&#x4E2D;&#25991;\u00E9</a>", u"<a>\u4E2D\u6587\u00E9</a>"},
      {u"<a></a>", u"<a/>"},
      {u"<a >< b  c = \"1\" / ></a >", nullptr},
      {u"<a><b c = \"1\" /></a >", u"<a><b c=\"1\"/></a>"},
      {u"<a><![CDATA[<&>]]><!--c--><?pi x y?><?q?></a>", u"<a><![CDATA[<&>]]><!--c--><?pi x y?><?q?></a>"},
      {u"<?xml version=\"1.0\" encoding='GBK' standalone=\"yes\"?><a/>",
       u"<?xml version=\"1.0\" encoding=\"GBK\" standalone=\"yes\"?><a/>"},
      {u"<?xml version=\"1.0\"?><!--before--><a/><!--after-->", u"<?xml version=\"1.0\"?><!--before--><a/><!--after-->"},
      {u"<!DOCTYPE a><a/>", u"<!DOCTYPE a><a/>"},
      {u"\uFEFF<a/>", u"<a/>"},
      {u"<a>x\r\ny</a>", u"<a>x\ny</a>"},
      {u"<a>\U0001F600</a>", u"<a>\U0001F600</a>"},
      // "&" and "<" are fine where no reference is resolved.
      {u"<a><!-- & < --><![CDATA[& <]]><?p & <?></a>", u"<a><!-- & < --><![CDATA[& <]]><?p & <?></a>"},
      {u"<!DOCTYPE a [<!ENTITY e \"&#38;\">]><a b=\"&#x26;&#38;\">&#x3C;</a>",
       u"<!DOCTYPE a [<!ENTITY e \"&#38;\">]><a b=\"&amp;&amp;\">&lt;</a>"},
      // The DOCTYPE is kept as written; the entities it declares are not expanded.
      {u"<!DOCTYPE a [<!ENTITY e \"x\">]><a>&e;</a>", nullptr},
      {u"<!DOCTYPE a [<!ENTITY e \"x\">]><a b=\"&e;\"/>", nullptr},
      {u"<a>&#x1F600;&#65;&#x11;</a>", u"<a>\U0001F600A\u0011</a>"},
      // Line ends and tabs in a value become blanks; written as references they stay.
      {u"<a b=\"1\n2\t3&#10;4&#9;\"/>", u"<a b=\"1 2 3\n4\t\"/>"},
      {u"<a b=\"'>'\" c='\">\"'>&gt;</a>", u"<a b=\"'&gt;'\" c=\"&quot;&gt;&quot;\">&gt;</a>"},
  };
  for (const Case& c : cases) {
    Document d = Document::create();
    bool ok = d.loadXml(c.in);
    EXPECT_EQ(ok, c.out != nullptr) << u8(c.in);
    if (c.out) {
      EXPECT_EQ(d.xml(), c.out) << u8(c.in);
    }
  }
}

TEST(XmlText, FailedParseLeavesNothing) {
  const std::vector<std::u16string> bad = {
      u"",
      u">>",
      u"<a>",
      u"<a><b></a>",
      u"<a></b>",
      u"<a/><b/>",
      u"text<a/>",
      u"<a/>text",
      u"<a b='1' b='2'/>",
      u"<a b=1/>",
      u"<!-- only a comment -->",
      u"<?xml version=\"1.0\"?>",
      u"<marc><header>x</header><field name=\"200\"><sf name=\"a\">y</field></marc>",
      // A bare "&" or an unknown entity (pugixml would keep them as text) and "<" in a value.
      u"<a>x & y</a>",
      u"<a>&foo;</a>",
      u"<a>&#;</a>",
      u"<a>&#x;</a>",
      u"<a>&amp</a>",
      u"<a b=\"x&y\"/>",
      u"<a b='&nbsp;'/>",
      u"<a b=\"x<y\"/>",
      u"<a>&#0;</a>",
      u"<a>&#xD800;</a>",
      u"<a>&#x110000;</a>",
      u"<a>&#12a;</a>",
  };
  for (const auto& text : bad) {
    Document d = loaded(u"<old><kept/></old>");
    Node old = d.documentElement();
    EXPECT_FALSE(d.loadXml(text)) << u8(text);
    EXPECT_FALSE(d.documentElement()) << u8(text);
    EXPECT_EQ(d.asNode().childCount(), 0u) << u8(text);
    EXPECT_EQ(d.xml(), u"");
    // What the document held before is let go, not destroyed under a handle.
    EXPECT_FALSE(old.parent());
    EXPECT_EQ(old.xml(), u"<old><kept/></old>");
  }
}

TEST(XmlText, WhiteSpaceOnlyTextIsDroppedUnlessPreserved) {
  const char16_t* text = u"<a>\n  <b> x </b>\t<c> </c>\n</a>";
  Document d = Document::create();
  EXPECT_FALSE(d.preserveWhiteSpace());
  ASSERT_TRUE(d.loadXml(text));
  EXPECT_EQ(d.xml(), u"<a><b> x </b><c/></a>");
  EXPECT_EQ(d.documentElement().childCount(), 2u);
  d.setPreserveWhiteSpace(true);
  ASSERT_TRUE(d.loadXml(text));
  EXPECT_EQ(d.xml(), u"<a>\n  <b> x </b>\t<c> </c>\n</a>");
  EXPECT_EQ(d.documentElement().childCount(), 5u);
}

// With white space preserved, the lines around the document element stay as they were.
TEST(XmlText, LinesOutsideTheRootKeptWhenPreserved) {
  const char16_t* text =
      u"<?xml version=\"1.0\"?>\n<!DOCTYPE a PUBLIC \"-//x//DTD a//EN\" \"a.dtd\">\n\n<!--c-->\n<a>\n</a>\n<!--after-->\n";
  Document d = Document::create();
  ASSERT_TRUE(d.loadXml(text));
  EXPECT_EQ(d.xml(), u"<?xml version=\"1.0\"?><!DOCTYPE a PUBLIC \"-//x//DTD a//EN\" \"a.dtd\"><!--c--><a/><!--after-->");
  Node type = d.asNode().child(1);
  EXPECT_EQ(type.type(), NodeType::DocumentType);
  EXPECT_EQ(type.name(), u"a");
  EXPECT_EQ(type.value(), u"a PUBLIC \"-//x//DTD a//EN\" \"a.dtd\"");
  d.setPreserveWhiteSpace(true);
  ASSERT_TRUE(d.loadXml(text));
  EXPECT_EQ(d.xml(), text);
  EXPECT_EQ(d.documentElement().name(), u"a");
}

TEST(XmlText, ExactTextKeepsCharacterDataAsLoaded) {
  // Line ends, white space in attribute values and text of white space alone: normalised by
  // default (as every other XML file of the suite is loaded), kept in the exact mode.
  struct Case {
    const char16_t* in;
    const char16_t* byDefault;
    const char16_t* exact;
  } cases[] = {
      {u"<a>x\r\ny\rz</a>", u"<a>x\ny\nz</a>", u"<a>x\r\ny\rz</a>"},
      {u"<a b=\"\t1\r\n\"/>", u"<a b=\" 1 \"/>", u"<a b=\"\t1\r\n\"/>"},
      {u"<a><b>   </b><c>\n</c></a>", u"<a><b/><c/></a>", u"<a><b>   </b><c>\n</c></a>"},
      // White space between elements goes in both modes.
      {u"<a>\n <b>x</b>\n</a>", u"<a><b>x</b></a>", u"<a><b>x</b></a>"},
      // ... also when it is written as a reference: kept, it would not come back when read again.
      {u"<a><b/>&#9;</a>", u"<a><b/>\t</a>", u"<a><b/></a>"},
  };
  for (const Case& c : cases) {
    Document d = Document::create();
    EXPECT_FALSE(d.exactText());
    ASSERT_TRUE(d.loadXml(c.in)) << u8(c.in);
    EXPECT_EQ(u8(d.xml()), u8(c.byDefault));
    d.setExactText(true);
    ASSERT_TRUE(d.loadXml(c.in));
    EXPECT_EQ(u8(d.xml()), u8(c.exact));
    // What the exact mode keeps it writes back as it loads again.
    Document again = Document::create();
    again.setExactText(true);
    ASSERT_TRUE(again.loadXml(d.xml()));
    EXPECT_EQ(u8(again.xml()), u8(c.exact));
  }
}

TEST(XmlText, WritingBuiltNodes) {
  Document d = Document::create();
  Node root = d.appendChild(d.createElement(u"marc"));
  Node f = root.appendChild(d.createElement(u"field"));
  f.setAttribute(u"name", u"a\"b<&>'\u0011");
  f.appendChild(d.createTextNode(u"<&>\"'\u0012\u0013"));
  root.appendChild(d.createComment(u"c"));
  d.asNode().insertBefore(d.createProcessingInstruction(u"xml", u"version=\"1.0\""), root);
  EXPECT_EQ(f.attributeNode(u"name").xml(), u"name=\"a&quot;b&lt;&amp;&gt;'\u0011\"");
  EXPECT_EQ(f.firstChild().xml(), u"&lt;&amp;&gt;\"'\u0012\u0013");
  const std::u16string expected =
      u"<?xml version=\"1.0\"?><marc><field name=\"a&quot;b&lt;&amp;&gt;'\u0011\">&lt;&amp;&gt;\"'\u0012\u0013</field><!--c--></marc>";
  EXPECT_EQ(d.xml(), expected);
  // What was written reads back to the same tree.
  Document again = loaded(d.xml());
  EXPECT_EQ(again.xml(), expected);
  EXPECT_EQ(again.documentElement().firstChild().getAttribute(u"name"), u"a\"b<&>'\u0011");
  EXPECT_EQ(again.asNode().firstChild().name(), u"xml");
  EXPECT_EQ(again.asNode().firstChild().type(), NodeType::ProcessingInstruction);
}

TEST(XmlText, RecordTextShape) {
  Document d = loaded(
      u"<marc><header>01234nam\u0011\u00112200277\u0011\u0011\u00114500</header>"
      u"<field name=\"001\">0123</field>"
      u"<field name=\"200\" indicator=\"1\u0011\"><sf name=\"a\">A\u0011\u0012\u0011B</sf><sf name=\"\"></sf></field>"
      u"<field name=\"-01\"></field></marc>");
  Node root = d.documentElement();
  EXPECT_EQ(root.name(), u"marc");
  EXPECT_EQ(root.childCount(), 4u);
  EXPECT_EQ(root.child(0).text(), u"01234nam\u0011\u00112200277\u0011\u0011\u00114500");
  Node f = root.child(2);
  EXPECT_EQ(f.attributeAt(0).value(), u"200");
  EXPECT_EQ(f.attributeAt(1).value(), u"1\u0011");
  EXPECT_EQ(f.child(0).text(), u"A\u0011\u0012\u0011B");
  EXPECT_EQ(f.child(1).getAttribute(u"name"), u"");
  EXPECT_EQ(f.child(1).childCount(), 0u);
  EXPECT_EQ(root.child(3).xml(), u"<field name=\"-01\"/>");
}

TEST(XmlText, PlainTextsReadAsThroughTheFullParser) {
  // Plain texts take a short road; an XML declaration in front sends the same text through
  // the full parser. Both give the same tree, and both refuse the same malformed texts.
  const std::vector<std::u16string> texts = {
      u"<marc><header>0\u0011</header><field name=\"200\" indicator=\"1\u0011\"><sf name=\"a\">\u4E2D\U0001F600"
      u"</sf><sf name=\"\"></sf></field><field name='-01'/></marc>",
      u"<a  b='\"' c=\"'\" ><d/>x>y<e></e> z </a>",
      u"<a>\n1\n</a>",
      u"<a:b x-y.z=\"1\"/>",
      u"<a><b></a>",
      u"<a></b>",
      u"<a/><b/>",
      u"<a/>text",
      u"<a b='1' b='2'/>",
      u"<a b=1/>",
      u"<a b=\"1\"c=\"2\"/>",
      u"<a",
      u"<a b=\"1",
      u"<a>x</a",
  };
  for (const auto& text : texts) {
    Document plain = Document::create(), full = Document::create();
    bool ok = plain.loadXml(text);
    EXPECT_EQ(full.loadXml(u"<?xml version=\"1.0\"?>" + text), ok) << u8(text);
    if (ok) {
      EXPECT_EQ(plain.xml(), full.documentElement().xml()) << u8(text);
    }
  }
}
