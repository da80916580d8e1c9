// The Ctrl+Z default-value file: an XML file whose "default" element holds one entry per
// key, with a first default in its `value` and further ones in its children.
#include "xml_converter.h"

#include <platform/paths.h>
#include <platform/text.h>

using namespace penwick;

namespace {

constexpr char16_t kNull[] = u"(null)";
// A default value goes into a buffer of 256 units with its terminator.
constexpr size_t kDefaultMax = 255;

bool isScriptSource(u16v lowered) {
  for (u16v ext : {u16v(u".js"), u16v(u".htm"), u16v(u".html")})
    if (lowered.size() >= ext.size() && lowered.substr(lowered.size() - ext.size()) == ext) return true;
  return false;
}

// The first entry for key below a "default" element of the document element (in document
// order, as the path ./default/*[@field=key] finds it), or a null node.
xml::Node entryOf(const xml::Node& root, u16v key) {
  for (const xml::Node& def : root.childElements(u"default")) {
    std::vector<xml::Node> hits = def.childElementsWhere(u"*", u"field", key);
    if (!hits.empty()) return hits.front();
  }
  return xml::Node();
}

xml::Node loadRoot(xml::Document& doc, u16v source) {
  if (!doc.load(platform::pathFromWide(source))) return xml::Node();
  return doc.documentElement();
}

}  // namespace

CXmlConverter::DefaultMenu CXmlConverter::FillDefaultMenu(u16v source, u16v key, int firstId) {
  DefaultMenu menu;
  u16 lowered = platform::toLowerAscii(source);
  if (isScriptSource(lowered)) {
    menu.top.push_back({firstId, lowered});
    return menu;
  }
  xml::Document doc = xml::Document::create();
  xml::Node root = loadRoot(doc, source);
  if (!root) {
    menu.top.push_back({firstId, kNull});
    return menu;
  }
  xml::Node entry = entryOf(root, key);
  if (!entry) return menu;
  menu.top.push_back({firstId, GetAttributeText(entry, u"value")});
  int id = firstId;
  for (const xml::Node& child : entry.childElements())
    menu.appended.push_back({++id, GetAttributeText(child, u"value") + u"\t" + GetAttributeText(child, u"name")});
  return menu;
}

int CXmlConverter::GetDefaultValue(u16v source, u16v key, int n, u16& out) {
  out = kNull;
  xml::Document doc = xml::Document::create();
  xml::Node root = loadRoot(doc, source);
  if (!root) return 0;
  xml::Node entry = entryOf(root, key);
  if (!entry || n < 1) return 1;
  if (n == 1) {
    out = GetAttributeText(entry, u"value");
  } else {
    std::vector<xml::Node> children = entry.childElements();
    if (size_t(n - 1) > children.size()) return 1;
    out = GetAttributeText(children[size_t(n - 2)], u"value");
  }
  if (out.size() > kDefaultMax) out.resize(kDefaultMax);
  return 1;
}
