// The node record behind xml::Node and xml::Document (private to the xml library).
//
// Ownership runs downwards only: a node owns its children and attribute nodes through
// shared_ptr; the way up (parent) is a plain pointer that the parent clears when it lets a
// child go or is destroyed, and the document is a weak_ptr. So a handle on any node keeps that
// node and its subtree alive, and nothing forms a cycle.
#pragma once

#include <xml/dom.h>

#include <memory>
#include <new>
#include <string>
#include <vector>

namespace xml {

using NodePtr = std::shared_ptr<NodeImpl>;

// Small blocks (nodes, short child and attribute lists) come from per-thread free lists by
// size class: a record's tree is thousands of such blocks, built and dropped as a whole, and
// the general allocator spends more on that churn than the parse itself.
constexpr size_t kPoolGrain = 16;
constexpr size_t kPoolClasses = 16;  // blocks up to 256 bytes
void* poolAllocate(size_t bytes);
void poolRelease(void* block, size_t bytes);

template <class T>
struct PoolAllocator {
  using value_type = T;
  PoolAllocator() = default;
  template <class U>
  PoolAllocator(const PoolAllocator<U>&) {}
  T* allocate(size_t n) { return static_cast<T*>(poolAllocate(n * sizeof(T))); }
  void deallocate(T* p, size_t n) { poolRelease(p, n * sizeof(T)); }
  template <class U>
  bool operator==(const PoolAllocator<U>&) const { return true; }
};

using NodeList = std::vector<NodePtr, PoolAllocator<NodePtr>>;

struct NodeImpl {
  explicit NodeImpl(NodeType t) : type(t) {}
  NodeImpl(const NodeImpl&) = delete;
  NodeImpl& operator=(const NodeImpl&) = delete;
  ~NodeImpl();

  NodeType type;
  bool preserveWhiteSpace = false;  // document node only
  bool exactText = false;           // document node only
  /// Position in the parent's children (or in the owner element's attributes).
  size_t index = 0;
  /// The node holding this one as child; for an attribute, its owner element.
  NodeImpl* parent = nullptr;
  /// The document, kept only by a node without parent (a document refers to itself); every
  /// other node belongs to the document of the top of its tree, so attaching, detaching and
  /// moving a subtree between documents touch only its top node.
  std::weak_ptr<NodeImpl> doc;
  /// The node's own owner, likewise kept only without parent; a node in a tree is owned by
  /// its parent's list at `index`. (Parsed trees thus cost no weak reference per node.)
  std::weak_ptr<NodeImpl> self;
  std::u16string name;   // element, attribute, instruction target
  std::u16string value;  // attribute, text, CDATA, comment, instruction data
  NodeList children;
  NodeList attrs;

  bool holdsChildren() const { return type == NodeType::Element || type == NodeType::Document; }
};

/// Runs `f`, turning an allocation failure into the platform's out-of-memory error.
template <class F>
auto guarded(F&& f) -> decltype(f()) {
  try {
    return f();
  } catch (const std::bad_alloc&) {
    throw ComError(platform::E_OUTOFMEMORY);
  }
}

/// Pre-order walk of the subtree at `root` without recursion (trees can be deep).
/// `enter(n)` returns whether to go into n's children; `leave(n)` runs after them.
template <class Enter, class Leave>
void walkTree(NodeImpl* root, Enter&& enter, Leave&& leave) {
  NodeImpl* n = root;
  for (;;) {
    if (enter(n) && !n->children.empty()) {
      n = n->children.front().get();
      continue;
    }
    for (;;) {
      leave(n);
      if (n == root) return;
      NodeImpl* p = n->parent;
      size_t next = n->index + 1;
      if (next < p->children.size()) {
        n = p->children[next].get();
        break;
      }
      n = p;
    }
  }
}

/// A new node, from a per-thread pool of node blocks (a record's tree is thousands of
/// same-sized nodes, built and dropped as a whole; the pool spares the allocator that churn).
NodePtr makeNode(NodeType t);
/// The document `n` belongs to (that of the top of its tree).
std::weak_ptr<NodeImpl> docOf(const NodeImpl& n);
/// The owning pointer of a live node.
NodePtr sharedOf(const NodeImpl* n);
/// Makes `n` (owned by `owner`) a node without parent in document `doc`.
void standAlone(NodeImpl* n, const NodePtr& owner, const std::weak_ptr<NodeImpl>& doc);
/// Appends `child` (which has no parent) to `parent`'s children.
void attachChild(NodeImpl* parent, NodePtr child);
/// Appends an element named `name` to `parent`'s children, with room for a record's
/// attributes and children (`top`: the record's own element); answers it. `e`, when given,
/// is an empty element without parent to use rather than a new one.
NodeImpl* appendElement(NodeImpl* parent, std::u16string_view name, bool top, NodePtr e = {});
/// Appends an attribute named `name` to `element` (`a`, an empty one, when given); answers
/// its value, to fill.
std::u16string& appendAttribute(NodeImpl* element, std::u16string_view name, NodePtr a = {});
/// Detaches every child of `n`.
void detachChildren(NodeImpl* n);
/// Serialises the subtree at `n` onto `out`.
void writeXml(const NodeImpl* n, std::u16string& out);
/// Builds the tree of `doc` from text; false when the text is not well-formed.
bool parseInto(NodeImpl* doc, std::u16string_view text);
std::vector<Node> selectXPath(NodeImpl* context, std::u16string_view xpath);

}  // namespace xml
