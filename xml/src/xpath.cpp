// The location paths the suite selects with: steps along the child or descendant axis, each
// a name or "*" with at most one attribute test [@a="v"] or [@a]. Values are compared as
// given. The closing quote of a value is the one after which the rest of the path still
// parses, so a value holding the quote character itself is found as the caller meant it.
// Any other form selects nothing (never an error).
#include "node_impl.h"

#include <optional>
#include <unordered_set>

namespace xml {

namespace {

struct Step {
  bool descendant = false;  // "//" before it
  bool self = false;        // "."
  bool any = false;         // "*"
  std::u16string_view name;
  bool hasTest = false;
  std::u16string_view attr;
  std::optional<std::u16string_view> value;  // none: [@a] (attribute present)
};

bool isNameChar(char16_t c) {
  return (c >= u'A' && c <= u'Z') || (c >= u'a' && c <= u'z') || (c >= u'0' && c <= u'9') ||
         c == u'_' || c == u':' || c == u'-' || c == u'.' || c >= 0x80;
}

size_t skipSpace(std::u16string_view s, size_t i) {
  while (i < s.size() && (s[i] == u' ' || s[i] == u'\t')) ++i;
  return i;
}

class PathParser {
 public:
  explicit PathParser(std::u16string_view s) : s_(s) {}

  /// Parses the steps from `i` (just after a separator, or at the start); true when the
  /// whole rest is a path.
  bool steps(size_t i, bool descendant) {
    size_t depth = out.size();
    Step st;
    st.descendant = descendant;
    size_t j = i;
    if (j < s_.size() && s_[j] == u'*') {
      st.any = true;
      ++j;
    } else {
      while (j < s_.size() && isNameChar(s_[j])) ++j;
      if (j == i) return false;
      st.name = s_.substr(i, j - i);
      if (st.name == u".") st.self = true;
      else if (st.name.find_first_not_of(u'.') == std::u16string_view::npos) return false;
    }
    if (j < s_.size() && s_[j] == u'[') {
      if (st.self) return false;
      size_t k = skipSpace(s_, j + 1);
      if (k >= s_.size() || s_[k] != u'@') return false;
      size_t a = ++k;
      while (k < s_.size() && isNameChar(s_[k])) ++k;
      if (k == a) return false;
      st.hasTest = true;
      st.attr = s_.substr(a, k - a);
      k = skipSpace(s_, k);
      if (k < s_.size() && s_[k] == u']') {
        out.push_back(st);
        if (rest(k + 1)) return true;
        out.resize(depth);
        return false;
      }
      if (k >= s_.size() || s_[k] != u'=') return false;
      k = skipSpace(s_, k + 1);
      if (k >= s_.size() || (s_[k] != u'"' && s_[k] != u'\'')) return false;
      char16_t q = s_[k];
      size_t v = k + 1;
      // Try each later quote as the closing one until the rest of the path parses.
      for (size_t c = s_.find(q, v); c != std::u16string_view::npos; c = s_.find(q, c + 1)) {
        size_t e = skipSpace(s_, c + 1);
        if (e >= s_.size() || s_[e] != u']') continue;
        st.value = s_.substr(v, c - v);
        out.push_back(st);
        if (rest(e + 1)) return true;
        out.resize(depth);
      }
      return false;
    }
    out.push_back(st);
    if (rest(j)) return true;
    out.resize(depth);
    return false;
  }

  std::vector<Step> out;

 private:
  /// After a step: the end, or a separator and more steps.
  bool rest(size_t i) {
    if (i == s_.size()) return true;
    if (s_[i] != u'/') return false;
    if (i + 1 < s_.size() && s_[i + 1] == u'/') return steps(i + 2, true);
    return steps(i + 1, false);
  }

  std::u16string_view s_;
};

bool matches(const Step& st, const NodeImpl& n) {
  if (n.type != NodeType::Element) return false;
  if (!st.any && n.name != st.name) return false;
  if (!st.hasTest) return true;
  for (auto& a : n.attrs)
    if (a->name == st.attr) return !st.value || a->value == *st.value;
  return false;
}

}  // namespace

std::vector<Node> selectXPath(NodeImpl* context, std::u16string_view xpath) {
  std::vector<NodeImpl*> current;
  size_t start = 0;
  bool descendant = false;
  if (!xpath.empty() && xpath[0] == u'/') {
    // Absolute: from the root of the tree the node stands in.
    NodeImpl* root = context;
    while (root->parent) root = root->parent;
    current.push_back(root);
    if (xpath.size() == 1) return {Node(sharedOf(root))};
    descendant = xpath.size() > 1 && xpath[1] == u'/';
    start = descendant ? 2 : 1;
  } else {
    current.push_back(context);
  }
  PathParser parser(xpath);
  if (!parser.steps(start, descendant)) return {};

  std::vector<NodeImpl*> next;
  for (const Step& st : parser.out) {
    next.clear();
    if (st.self) {
      next = current;
    } else if (!st.descendant) {
      for (NodeImpl* c : current)
        if (c->type != NodeType::Attribute)
          for (auto& ch : c->children)
            if (matches(st, *ch)) next.push_back(ch.get());
    } else {
      // Contexts come in document order; a context inside an earlier one adds nothing new.
      std::unordered_set<NodeImpl*> seen;
      bool several = current.size() > 1;
      for (NodeImpl* c : current) {
        if (c->type == NodeType::Attribute) continue;
        walkTree(
            c,
            [&](NodeImpl* x) {
              if (x != c && matches(st, *x) && (!several || seen.insert(x).second)) next.push_back(x);
              return x->holdsChildren();
            },
            [](NodeImpl*) {});
      }
    }
    current.swap(next);
    if (current.empty()) break;
  }
  std::vector<Node> result;
  result.reserve(current.size());
  for (NodeImpl* n : current) result.emplace_back(sharedOf(n));
  return result;
}

}  // namespace xml
