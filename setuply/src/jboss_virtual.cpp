// JBossVirtual: a web application context (virtual directory) in the application server's
// XML configuration, as a Context child of its first Host element.
#include <setuply/Setuply.h>

#include "SetupHelperApp.h"

#include <com/create.h>
#include <platform/codepage.h>
#include <platform/paths.h>
#include <xml/dom.h>

#include <cstring>

namespace {

// The lookup of an existing context was formatted into 256 bytes around the name.
constexpr size_t kMaxNameBytes = 235;

std::u16string doubledBackslashes(std::u16string_view path) {
  std::u16string out;
  for (char16_t ch : path) {
    out.push_back(ch);
    if (ch == u'\\') out.push_back(u'\\');
  }
  return out;
}

// Made as attribute nodes in this order, so that a new element keeps it in the file.
void addContextAttributes(xml::Document& doc, xml::Node& context, std::u16string_view path,
                          std::u16string_view docBase) {
  const std::pair<std::u16string_view, std::u16string_view> attributes[] = {
      {u"path", path},           {u"docBase", docBase},   {u"debug", u"1"},
      {u"reloadable", u"true"}, {u"override", u"true"}, {u"crossContext", u"true"},
  };
  for (const auto& [name, value] : attributes) {
    xml::Node a = doc.createAttribute(name);
    a.setText(value);
    context.setAttributeNode(a);
  }
}

bool isBlank(const xml::Node& n) {
  if (!n || n.type() != xml::NodeType::Text) return false;
  return n.value().find_first_not_of(u" \t\r\n") == std::u16string::npos;
}

// A line break and the indentation of the last line of some white space.
std::u16string lastLineIndent(const std::u16string& space) {
  size_t nl = space.rfind(u'\n');
  return nl == std::u16string::npos ? space : space.substr(nl);
}

// Appends `context` to `host` laid out like its siblings: on a line of its own, indented as
// the last element of the host (one step deeper than the host when it has none), before the
// white space that closes the host. A file without line breaks gets none.
void appendIndented(xml::Document& doc, xml::Node& host, const xml::Node& context) {
  constexpr std::u16string_view kStep = u"  ";
  xml::Node closing = isBlank(host.lastChild()) ? host.lastChild() : xml::Node();
  std::vector<xml::Node> elements = host.childElements();
  std::u16string indent, hostIndent;
  if (!elements.empty()) {
    if (xml::Node before = elements.back().previousSibling(); isBlank(before)) indent = lastLineIndent(before.value());
  } else if (closing) {
    indent = lastLineIndent(closing.value()) + std::u16string(kStep);
  } else if (xml::Node before = host.previousSibling(); isBlank(before) && host.childCount() == 0) {
    hostIndent = lastLineIndent(before.value());
    indent = hostIndent + std::u16string(kStep);
  }
  if (!indent.empty()) host.insertBefore(doc.createTextNode(indent), closing);
  host.insertBefore(context, closing);
  if (!hostIndent.empty()) host.appendChild(doc.createTextNode(hostIndent));
}

}  // namespace

SETUPLY_API int JBossVirtual(const char* xmlFile, const char* name, const char* docBase) {
  // A name the lookup cannot hold, or one with a quote that would end its value, is refused.
  if (!xmlFile || !name || std::strlen(name) > kMaxNameBytes || std::strchr(name, '"')) return 0;
  com::CoInitialize(nullptr);

  xml::Document doc = xml::Document::create();
  // White space between elements is kept, so that the file keeps its layout.
  doc.setPreserveWhiteSpace(true);
  // A link planted under the file's name that leads out of its folder is neither read nor written.
  const std::string file = setuply::pathArg(xmlFile);
  if (!setuply::staysInFolder(platform::folderOf(file), file) || !doc.load(file) || !doc.documentElement()) {
    setuply::message(nullptr, QStringLiteral("为JBoss添加虚拟目录未成功!"), ui::Icon::Information);
    return 0;
  }
  xml::Node host = doc.documentElement().selectSingleNode(u".//Host");
  if (!host) return 0;

  const std::u16string path = u"/" + setuply::wideArg(name);
  const std::u16string base = doubledBackslashes(setuply::wideArg(docBase));
  std::vector<xml::Node> found = host.childElementsWhere(u"Context", u"path", path);
  if (found.empty()) {
    xml::Node context = doc.createElement(u"Context");
    addContextAttributes(doc, context, path, base);
    appendIndented(doc, host, context);
  } else {
    found.front().setAttribute(u"docBase", base);
  }
  if (!doc.save(setuply::pathArg(xmlFile))) {
    setuply::message(nullptr, QStringLiteral("为JBoss添加虚拟目录未成功!"), ui::Icon::Information);
    return 0;
  }
  return 1;
}
