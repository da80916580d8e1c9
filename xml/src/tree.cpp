// Building a whole tree from its shape (TreeBuilder) and reading one back as plain steps
// (TreeWalk).
#include <xml/tree.h>

#include "node_impl.h"

#include <algorithm>

namespace xml {

using platform::E_POINTER;

// The old tree is built over in place: each new node takes the old node at its place when
// that one is of its kind and no handle holds it, so a reader that fills one document record
// after record allocates almost nothing once the first record is in. What the new tree does
// not reach is let go when its element closes (the document's own children when the top
// element closes); a held node is never reused and stands alone, with its subtree, as when
// the tree is dropped.

TreeBuilder::TreeBuilder(const Document& doc) : doc_(doc.impl_.get()) {
  if (!doc_) throw ComError(E_POINTER);
  open_.reserve(4);  // a record's depth: record, field, subfield, with room for a group
}

namespace {

bool reusable(const NodePtr& n, NodeType t) { return n->type == t && n.use_count() == 1; }

// Lets go of list[from...]: held nodes stand alone, the rest go with their subtrees.
[[gnu::noinline]] void cutTail(NodeImpl* owner, NodeList& list, size_t from) {
  std::weak_ptr<NodeImpl> d;
  bool haveDoc = false;
  for (size_t i = from; i < list.size(); ++i) {
    NodePtr& n = list[i];
    if (n.use_count() == 1 && n->children.empty() && n->attrs.empty()) continue;
    if (!haveDoc) {
      d = docOf(*owner);
      haveDoc = true;
    }
    standAlone(n.get(), n, d);
  }
  list.erase(list.begin() + std::ptrdiff_t(from), list.end());
}

inline void cutList(NodeImpl* owner, NodeList& list, size_t from) {
  if (from < list.size()) cutTail(owner, list, from);
}

// A new node of kind `t` put at place `at` of `list` (owned by `owner`), in the place of the
// node there or at the end.
[[gnu::noinline]] NodeImpl* placeNew(NodeImpl* owner, NodeList& list, size_t at, NodeType t) {
  NodePtr fresh = makeNode(t);
  fresh->parent = owner;
  fresh->index = at;
  NodeImpl* made = fresh.get();
  if (at < list.size()) {
    NodePtr old = std::move(list[at]);
    list[at] = std::move(fresh);
    standAlone(old.get(), old, docOf(*owner));
  } else {
    list.push_back(std::move(fresh));
  }
  return made;
}

// The node of kind `t` at place `at` of `list`: the old one when it can be reused, otherwise
// a new one.
inline NodeImpl* placeAt(NodeImpl* owner, NodeList& list, size_t at, NodeType t) {
  if (at < list.size() && reusable(list[at], t)) [[likely]]
    return list[at].get();
  return placeNew(owner, list, at, t);
}

}  // namespace

TreeBuilder::Level& TreeBuilder::top() { return open_.empty() ? docLevel_ : open_.back(); }

void TreeBuilder::open(std::u16string_view name) {
  guarded([&] {
    Level& parent = top();
    bool atTop = open_.empty();
    NodeImpl* e = placeAt(parent.node, parent.node->children, parent.children, NodeType::Element);
    ++parent.children;
    if (e->name != name) e->name.assign(name.data(), name.size());
    // Room for what a record's elements hold (a name and an indicator; a few subfields),
    // so that most lists are allocated once rather than grown step by step.
    e->attrs.reserve(2);
    e->children.reserve(atTop ? 32 : 4);
    open_.push_back(Level{e, 0, 0});
  });
}

std::u16string& TreeBuilder::attribute(std::u16string_view name) {
  return guarded([&]() -> std::u16string& {
    Level& element = open_.back();
    NodeImpl* a = placeAt(element.node, element.node->attrs, element.attributes, NodeType::Attribute);
    ++element.attributes;
    if (a->name != name) a->name.assign(name.data(), name.size());
    a->value.clear();
    return a->value;
  });
}

std::u16string& TreeBuilder::text() {
  return guarded([&]() -> std::u16string& {
    Level& parent = open_.back();
    NodeImpl* t = placeAt(parent.node, parent.node->children, parent.children, NodeType::Text);
    ++parent.children;
    t->value.clear();
    return t->value;
  });
}

void TreeBuilder::close() {
  Level done = open_.back();
  open_.pop_back();
  cutList(done.node, done.node->children, done.children);
  cutList(done.node, done.node->attrs, done.attributes);
  if (open_.empty()) cutList(doc_, doc_->children, docLevel_.children);
}

void TreeBuilder::dropLast() {
  Level& parent = top();
  if (parent.children == 0) return;
  // Left in place until its parent closes: the next node built there may reuse it.
  --parent.children;
}


// ---- TreeWalk ------------------------------------------------------------------------------

void TreeWalk::grow(size_t more) {
  size_t capacity = std::max(2 * capacity_, size_ + more + 256);
  auto bigger = std::make_unique_for_overwrite<WalkStep[]>(capacity);
  std::copy(steps_.get(), steps_.get() + size_, bigger.get());
  steps_ = std::move(bigger);
  capacity_ = capacity;
}

// Depth first over the children lists, with the open elements on a stack of their own. The
// walk is a step in the writing of every record, so its loop keeps what it works with in
// locals: stores into the steps could otherwise alias the members, which would be read again
// after each one.
void TreeWalk::walk(const Node& node) {
  size_ = 0;
  const NodeImpl* n = node.impl_.get();
  if (!n) return;
  WalkStep* steps = steps_.get();
  size_t used = 0, capacity = capacity_;
  Open* open = open_.data();
  size_t depth = 0, openCapacity = open_.size();
  for (;;) {
    // Only elements and documents hold attributes or children; a text, an attribute and the
    // like are left at their type, so that a walk reads no more of them than a reader would
    // (on a tree that has gone out of the cache, every other line of a node is a miss).
    const NodeType type = n->type;
    if (type != NodeType::Element && type != NodeType::Document) {
      if (used == capacity) [[unlikely]] {
        size_ = used;
        grow(1);
        steps = steps_.get();
        capacity = capacity_;
      }
      steps[used++] = WalkStep{type, 0, 0, 1, &n->name, &n->value};
      __builtin_prefetch(n->value.data());  // what a reader of the steps reads next
    } else {
      const size_t attributes = n->attrs.size();
      if (capacity - used < 1 + attributes) [[unlikely]] {
        size_ = used;
        grow(1 + attributes);
        steps = steps_.get();
        capacity = capacity_;
      }
      WalkStep* s = steps + used;
      *s = WalkStep{type, uint32_t(attributes), uint32_t(n->children.size()), uint32_t(1 + attributes), &n->name, &n->value};
      for (const NodePtr& a : n->attrs) {
        *++s = WalkStep{NodeType::Attribute, 0, 0, 1, &a->name, &a->value};
        __builtin_prefetch(a->value.data());
      }
      const size_t at = used;
      used += 1 + attributes;
      if (!n->children.empty()) {
        if (depth == openCapacity) [[unlikely]] {
          open_.resize(2 * openCapacity + 8);
          open = open_.data();
          openCapacity = open_.size();
        }
        open[depth++] = Open{n->children.data(), n->children.data() + n->children.size(), at};
        // The children are visited next, one after another: ask for all of them at once, so
        // that a tree that has left the cache costs one wait per level rather than one a node.
        for (const NodePtr& c : n->children) __builtin_prefetch(c.get());
      }
    }
    // On to the next node in document order, closing the elements whose children are done.
    for (;;) {
      if (depth == 0) {
        size_ = used;
        return;
      }
      Open& o = open[depth - 1];
      if (o.next != o.end) {
        const NodePtr* next = static_cast<const NodePtr*>(o.next);
        o.next = next + 1;
        n = next->get();
        break;
      }
      steps[o.step].size = uint32_t(used - o.step);
      --depth;
    }
  }
}

}  // namespace xml
