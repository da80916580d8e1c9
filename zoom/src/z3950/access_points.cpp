#include "access_points.h"

#include <vector>

namespace z3950 {
namespace {

// Every `item` element from the root down (the root included), in document order.
std::vector<xml::Node> itemsBelow(const xml::Node& root) {
  std::vector<xml::Node> items;
  std::vector<xml::Node> stack{root};
  while (!stack.empty()) {
    xml::Node n = stack.back();
    stack.pop_back();
    if (n.name() == u"item") items.push_back(n);
    std::vector<xml::Node> kids = n.childElements();
    for (auto it = kids.rbegin(); it != kids.rend(); ++it) stack.push_back(*it);
  }
  return items;
}

}  // namespace

void AccessPointMap::load(const std::string& path) {
  if (!doc_.load(path)) doc_.clear();
}

void AccessPointMap::clear() { doc_.clear(); }

bool AccessPointMap::empty() const { return doc_.documentElement().isNull(); }

std::optional<std::u16string> AccessPointMap::useAttribute(std::u16string_view accessPoint) const {
  xml::Node root = doc_.documentElement();
  if (root.isNull()) return std::nullopt;
  std::vector<xml::Node> items = itemsBelow(root);
  // The keys are tried in turn over the whole map: a later item's name wins over an
  // earlier item's comment.
  for (std::u16string_view key : {u"name", u"uni_name", u"comment"}) {
    for (const xml::Node& item : items) {
      std::optional<std::u16string> v = item.getAttribute(key);
      if (v && *v == accessPoint) return item.getAttribute(u"value");
    }
  }
  return std::nullopt;
}

std::u16string buildPqf(const std::optional<std::u16string>& use, std::u16string_view term) {
  std::u16string plain;
  plain.reserve(term.size());
  for (char16_t c : term)
    if (c != u'"') plain += c;
  if (use) return u"@attr 1=" + *use + u" \"" + plain + u"\"";
  return u"\"" + plain + u"\"";
}

}  // namespace z3950
