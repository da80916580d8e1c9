// Handles, identity, navigation, attributes and tree edits.
#include "xml_test_util.h"

#include <vector>

using namespace xml;
using platform::E_INVALIDARG;
using platform::E_POINTER;
using platform::S_OK;
using xmltest::errorOf;
using xmltest::loaded;

namespace {

const char16_t* kRecord =
    u"<marc><header>00000nam\u0011\u00112200000\u0011\u0011\u00114500</header>"
    u"<field name=\"001\">id1</field>"
    u"<field name=\"200\" indicator=\"1\u0011\"><sf name=\"a\">Title</sf><sf name=\"b\">more</sf></field>"
    u"<field name=\"300\"><sf name=\"a\">note</sf></field></marc>";

std::u16string names(const Node& parent) {
  std::u16string s;
  for (Node c = parent.firstChild(); c; c = c.nextSibling()) {
    if (!s.empty()) s += u',';
    s += c.getAttribute(u"id").value_or(c.name());
  }
  return s;
}

/// Every way of reaching the children agrees: child(i), siblings both ways, indexInParent.
void expectConsistent(const Node& parent) {
  size_t n = parent.childCount();
  Node prev;
  for (size_t i = 0; i < n; ++i) {
    Node c = parent.child(i);
    ASSERT_TRUE(c);
    EXPECT_EQ(c.indexInParent(), int64_t(i));
    EXPECT_EQ(c.parent(), parent);
    EXPECT_EQ(c.previousSibling(), prev);
    if (prev) {
      EXPECT_EQ(prev.nextSibling(), c);
    }
    prev = c;
  }
  EXPECT_EQ(parent.lastChild(), prev);
  EXPECT_FALSE(parent.child(n));
  if (prev) {
    EXPECT_FALSE(prev.nextSibling());
  }
}

}  // namespace

TEST(DomHandles, NodeOutlivesRemovalFromItsParent) {
  Document d = loaded(kRecord);
  Node root = d.documentElement();
  Node field = root.child(2);
  Node sf = field.firstChild();
  root.removeChild(field);
  ASSERT_EQ(sf.parent(), field);
  EXPECT_FALSE(field.parent());
  EXPECT_EQ(sf.parent().getAttribute(u"name"), u"200");
  EXPECT_EQ(sf.parent().xml(), u"<field name=\"200\" indicator=\"1\u0011\"><sf name=\"a\">Title</sf><sf name=\"b\">more</sf></field>");
  EXPECT_EQ(sf.ownerDocument(), d);
  EXPECT_EQ(root.childCount(), 3u);
  expectConsistent(root);
  // A node keeps its subtree, not its ancestors: once nothing holds the removed field, the
  // subfield stands alone (and stays usable).
  field = Node();
  EXPECT_FALSE(sf.parent());
  EXPECT_FALSE(sf.nextSibling());
  EXPECT_EQ(sf.indexInParent(), -1);
  EXPECT_EQ(sf.xml(), u"<sf name=\"a\">Title</sf>");
  EXPECT_EQ(sf.ownerDocument(), d);
}

TEST(DomHandles, NodesOutliveTheirDocument) {
  Node root, sf, attr, removedAttr;
  {
    Document d = loaded(kRecord);
    root = d.documentElement();
    sf = root.child(2).child(1);
    attr = root.child(2).attributeNode(u"indicator");
    removedAttr = root.child(1).attributeNode(u"name");
    root.child(1).removeAttribute(u"name");
  }
  // The document is gone: its nodes live on as far as handles reach them.
  EXPECT_FALSE(root.ownerDocument());
  EXPECT_FALSE(root.parent());
  EXPECT_EQ(root.childCount(), 4u);
  EXPECT_EQ(sf.text(), u"more");
  EXPECT_EQ(sf.parent(), root.child(2));
  EXPECT_EQ(attr.value(), u"1\u0011");
  EXPECT_EQ(removedAttr.value(), u"001");
  EXPECT_EQ(root.child(1).attributeCount(), 0u);
  // ... and can be given to another document.
  Document other = Document::create();
  other.appendChild(root);
  EXPECT_EQ(other.documentElement(), root);
  EXPECT_EQ(sf.ownerDocument(), other);
  EXPECT_EQ(attr.ownerDocument(), other);
}

TEST(DomHandles, SubtreeHeldOnlyByADeepHandleIsFreedWithIt) {
  // A long chain: destroying it must neither recurse deeply nor leak (checked under ASan).
  Node leaf;
  {
    Document d = Document::create();
    Node cur = d.appendChild(d.createElement(u"a"));
    for (int i = 0; i < 10000; ++i) cur = cur.appendChild(d.createElement(u"a"));
    leaf = cur;
  }
  EXPECT_FALSE(leaf.parent());
  leaf = Node();
  std::u16string deep;
  for (int i = 0; i < 100000; ++i) deep += u"<b>";
  for (int i = 0; i < 100000; ++i) deep += u"</b>";
  Document d = loaded(deep);
  EXPECT_EQ(d.xml().size(), 100000u * 7 - 3);  // innermost written as <b/>
}

TEST(DomHandles, IdentityNotContent) {
  Document d = loaded(u"<a><b/><b/></a>");
  Node a = d.documentElement();
  EXPECT_EQ(a.firstChild(), a.child(0));
  EXPECT_EQ(a.firstChild().nextSibling(), a.lastChild());
  EXPECT_NE(a.child(0), a.child(1));  // equal content, different nodes
  EXPECT_EQ(a.child(0).parent(), a);
  EXPECT_EQ(d.asNode(), a.parent());
  EXPECT_NE(a.cloneNode(true), a);
  EXPECT_EQ(a.attributeNode(u"x"), Node());
}

TEST(DomHandles, NullHandleOperationsThrowInvalidPointer) {
  Document d = loaded(u"<a/>");
  Node a = d.documentElement();
  Node null;
  Document nullDoc;
  const std::vector<std::function<void()>> ops = {
      [&] { null.name(); },
      [&] { null.text(); },
      [&] { null.childCount(); },
      [&] { null.firstChild(); },
      [&] { null.xml(); },
      [&] { null.setAttribute(u"x", u"1"); },
      [&] { null.selectNodes(u"./x"); },
      [&] { a.appendChild(null); },
      [&] { a.insertBefore(null, Node()); },
      [&] { a.removeChild(null); },
      [&] { a.replaceChild(null, a); },
      [&] { a.setAttributeNode(null); },
      [&] { nullDoc.loadXml(u"<a/>"); },
      [&] { nullDoc.documentElement(); },
      [&] { nullDoc.createElement(u"x"); },
      [&] { nullDoc.xml(); },
  };
  for (size_t i = 0; i < ops.size(); ++i) EXPECT_EQ(errorOf(ops[i]), E_POINTER) << "operation " << i;
}

TEST(DomEdits, ChildPositionsStayConsistent) {
  struct Case {
    const char* what;
    std::function<void(Document&, Node&)> edit;
    const char16_t* expected;
  };
  auto byId = [](Node& r, const char16_t* id) { return r.childElementsWhere(u"*", u"id", id).at(0); };
  const std::vector<Case> cases = {
      {"append", [](Document& d, Node& r) { r.appendChild(d.createElement(u"x")); }, u"1,2,3,4,x"},
      {"insert before first", [](Document& d, Node& r) { r.insertBefore(d.createElement(u"x"), r.child(0)); }, u"x,1,2,3,4"},
      {"insert before middle", [](Document& d, Node& r) { r.insertBefore(d.createElement(u"x"), r.child(2)); }, u"1,2,x,3,4"},
      {"insert with null ref appends", [](Document& d, Node& r) { r.insertBefore(d.createElement(u"x"), Node()); }, u"1,2,3,4,x"},
      {"remove first", [](Document&, Node& r) { r.removeChild(r.child(0)); }, u"2,3,4"},
      {"remove last", [](Document&, Node& r) { r.removeChild(r.child(3)); }, u"1,2,3"},
      {"move last to front", [&](Document&, Node& r) { r.insertBefore(byId(r, u"4"), r.child(0)); }, u"4,1,2,3"},
      {"move first to end", [&](Document&, Node& r) { r.appendChild(byId(r, u"1")); }, u"2,3,4,1"},
      {"move forward before a later one", [&](Document&, Node& r) { r.insertBefore(byId(r, u"1"), byId(r, u"3")); }, u"2,1,3,4"},
      {"insert before itself", [&](Document&, Node& r) { r.insertBefore(byId(r, u"2"), byId(r, u"2")); }, u"1,2,3,4"},
      {"replace with new", [](Document& d, Node& r) { r.replaceChild(d.createElement(u"x"), r.child(1)); }, u"1,x,3,4"},
      {"replace with an earlier sibling", [&](Document&, Node& r) { r.replaceChild(byId(r, u"1"), byId(r, u"3")); }, u"2,1,4"},
      {"replace with a later sibling", [&](Document&, Node& r) { r.replaceChild(byId(r, u"4"), byId(r, u"2")); }, u"1,4,3"},
      {"replace with itself", [&](Document&, Node& r) { r.replaceChild(byId(r, u"2"), byId(r, u"2")); }, u"1,2,3,4"},
      {"move from a grandchild", [&](Document&, Node& r) { r.insertBefore(byId(r, u"3").firstChild(), r.child(0)); }, u"g,1,2,3,4"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Document d = loaded(u"<r><e id=\"1\"/><e id=\"2\"/><e id=\"3\"><e id=\"g\"/></e><e id=\"4\"/></r>");
    Node r = d.documentElement();
    c.edit(d, r);
    EXPECT_EQ(names(r), c.expected);
    expectConsistent(r);
  }
}

TEST(DomEdits, ImpossibleEditsAreRefused) {
  Document d = loaded(u"<r><a><b/></a><c/>t</r>");
  Node r = d.documentElement(), a = r.child(0), b = a.child(0), c = r.child(1), t = r.child(2);
  Document other = loaded(u"<o/>");
  struct Case {
    const char* what;
    std::function<void()> edit;
  };
  const std::vector<Case> cases = {
      {"into itself", [&] { a.appendChild(a); }},
      {"into its own descendant", [&] { b.appendChild(a); }},
      {"root into its grandchild", [&] { b.insertBefore(r, Node()); }},
      {"ref not a child", [&] { r.insertBefore(d.createElement(u"x"), b); }},
      {"remove a non-child", [&] { r.removeChild(b); }},
      {"replace a non-child", [&] { r.replaceChild(d.createElement(u"x"), b); }},
      {"replace with own ancestor", [&] { a.replaceChild(r, b); }},
      {"child under a text node", [&] { t.appendChild(d.createElement(u"x")); }},
      {"attribute as a child", [&] { r.appendChild(d.createAttribute(u"x")); }},
      {"document as a child", [&] { r.appendChild(other.asNode()); }},
      {"second document element", [&] { d.appendChild(d.createElement(u"x")); }},
      {"text at document level", [&] { d.appendChild(d.createTextNode(u"x")); }},
      {"attribute in use elsewhere", [&] { c.setAttributeNode(other.documentElement().attributeNode(u"z")); }},
      {"element name with a blank", [&] { d.createElement(u"a b"); }},
      {"empty element name", [&] { d.createElement(u""); }},
      {"attribute name starting with a digit", [&] { a.setAttribute(u"1x", u"v"); }},
  };
  other.documentElement().setAttribute(u"z", u"1");
  const std::u16string before = d.xml();
  for (const Case& k : cases) EXPECT_EQ(errorOf(k.edit), E_INVALIDARG) << k.what;
  EXPECT_EQ(d.xml(), before);  // nothing changed on the way
  expectConsistent(r);
  // Replacing the document element itself is allowed.
  EXPECT_EQ(errorOf([&] { d.asNode().replaceChild(d.createElement(u"n"), r); }), S_OK);
  EXPECT_EQ(d.xml(), u"<n/>");
}

TEST(DomEdits, AttributeOrderIsKept) {
  Document d = loaded(u"<e z=\"1\" a=\"2\" m=\"3\"/>");
  Node e = d.documentElement();
  auto order = [&] {
    std::u16string s;
    for (size_t i = 0; i < e.attributeCount(); ++i) s += e.attributeAt(i).name() + u"=" + e.attributeAt(i).value() + u";";
    return s;
  };
  EXPECT_EQ(order(), u"z=1;a=2;m=3;");
  e.setAttribute(u"a", u"x");  // existing: stays in place
  EXPECT_EQ(order(), u"z=1;a=x;m=3;");
  e.setAttribute(u"b", u"4");  // new: last
  EXPECT_EQ(order(), u"z=1;a=x;m=3;b=4;");
  EXPECT_TRUE(e.removeAttribute(u"z"));
  EXPECT_FALSE(e.removeAttribute(u"z"));
  e.setAttribute(u"z", u"5");
  EXPECT_EQ(order(), u"a=x;m=3;b=4;z=5;");
  EXPECT_TRUE(e.removeAttribute(u"m"));
  EXPECT_EQ(order(), u"a=x;b=4;z=5;");
  Node na = d.createAttribute(u"b");
  na.setValue(u"new");
  e.setAttributeNode(na);  // same name: replaces in place
  EXPECT_EQ(order(), u"a=x;b=new;z=5;");
  EXPECT_EQ(e.attributeNode(u"b"), na);
  EXPECT_FALSE(e.attributeAt(3));
  EXPECT_EQ(e.xml(), u"<e a=\"x\" b=\"new\" z=\"5\"/>");
  // A built record field: name first, indicator second, whatever the values.
  Node f = d.createElement(u"field");
  f.setAttribute(u"name", u"200");
  f.setAttribute(u"indicator", u"\u0011\u0011");
  EXPECT_EQ(f.xml(), u"<field name=\"200\" indicator=\"\u0011\u0011\"/>");
  EXPECT_EQ(f.attributeAt(1).name(), u"indicator");
}

TEST(DomEdits, MovingBetweenDocuments) {
  Document src = loaded(kRecord);
  Document dst = loaded(u"<marc/>");
  Node field = src.documentElement().child(2);
  Node sf = field.child(0);
  Node attr = field.attributeNode(u"name");
  dst.documentElement().appendChild(field);
  EXPECT_EQ(src.documentElement().childCount(), 3u);
  EXPECT_EQ(src.documentElement().child(2).getAttribute(u"name"), u"300");
  expectConsistent(src.documentElement());
  EXPECT_EQ(field.parent(), dst.documentElement());
  for (const Node& n : {field, sf, sf.firstChild(), attr}) EXPECT_EQ(n.ownerDocument(), dst);
  EXPECT_EQ(dst.xml(), u"<marc><field name=\"200\" indicator=\"1\u0011\"><sf name=\"a\">Title</sf><sf name=\"b\">more</sf></field></marc>");
  // The content of a temporary document, moved child by child into a new element.
  Document tmp = loaded(u"<x><sf name=\"a\">1</sf><sf name=\"b\">2</sf>t</x>");
  Node f = dst.createElement(u"field");
  for (Node c = tmp.documentElement().firstChild(); c;) {
    Node next = c.nextSibling();
    f.appendChild(c);
    c = next;
  }
  tmp.clear();
  EXPECT_FALSE(tmp.documentElement());
  EXPECT_EQ(f.xml(), u"<field><sf name=\"a\">1</sf><sf name=\"b\">2</sf>t</field>");
  EXPECT_EQ(f.child(2).ownerDocument(), dst);
  // An attribute node of another document joins through setAttributeNode.
  Node foreign = src.createAttribute(u"k");
  f.setAttributeNode(foreign);
  EXPECT_EQ(foreign.ownerDocument(), dst);
}

TEST(DomEdits, CloneIsIndependent) {
  Document d = loaded(kRecord);
  Node field = d.documentElement().child(2);
  const std::u16string original = field.xml();
  Node deep = field.cloneNode(true);
  EXPECT_EQ(deep.xml(), original);
  EXPECT_FALSE(deep.parent());
  EXPECT_EQ(deep.ownerDocument(), d);
  EXPECT_EQ(deep.child(1).ownerDocument(), d);
  deep.setAttribute(u"name", u"999");
  deep.child(0).setText(u"changed");
  deep.appendChild(d.createElement(u"sf"));
  deep.attributeNode(u"indicator").setValue(u"x");
  EXPECT_EQ(field.xml(), original);
  field.child(1).setText(u"also changed");
  EXPECT_EQ(deep.child(1).text(), u"more");
  Node shallow = field.cloneNode(false);
  EXPECT_EQ(shallow.xml(), u"<field name=\"200\" indicator=\"1\u0011\"/>");
  Node attrCopy = field.attributeNode(u"name").cloneNode(false);
  EXPECT_FALSE(attrCopy.parent());
  shallow.setAttributeNode(attrCopy);  // a free copy may join another element
  Document docCopy = Document(d.asNode().cloneNode(true));
  EXPECT_EQ(docCopy.xml(), d.xml());
  EXPECT_EQ(docCopy.documentElement().ownerDocument(), docCopy);
  docCopy.documentElement().removeChild(docCopy.documentElement().child(0));
  EXPECT_NE(docCopy.xml(), d.xml());
}

TEST(DomText, TextIsAllCharacterDataBelow) {
  Document d = loaded(u"<a>x<b>y<!--no--><?p no?><![CDATA[<z>]]></b>w</a>");
  Node a = d.documentElement();
  EXPECT_EQ(a.text(), u"xy<z>w");
  EXPECT_EQ(d.asNode().text(), u"xy<z>w");
  EXPECT_EQ(a.child(1).child(1).text(), u"no");  // a comment's own text
  EXPECT_EQ(a.child(1).child(1).name(), u"#comment");
  EXPECT_EQ(a.child(1).child(2).name(), u"p");
  EXPECT_EQ(a.child(1).child(3).name(), u"#cdata-section");
  EXPECT_EQ(a.firstChild().name(), u"#text");
  EXPECT_EQ(d.asNode().name(), u"#document");
  EXPECT_EQ(a.value(), u"");
  a.child(1).setText(u"new");
  EXPECT_EQ(a.xml(), u"<a>x<b>new</b>w</a>");
  a.setText(u"");
  EXPECT_EQ(a.childCount(), 0u);
  EXPECT_EQ(a.xml(), u"<a/>");
}
