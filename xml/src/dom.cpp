// Nodes, handles and tree edits.
#include "node_impl.h"

#include <algorithm>

namespace xml {

using platform::E_INVALIDARG;
using platform::E_POINTER;

namespace {

void renumber(NodeList& v, size_t from) {
  for (size_t i = from; i < v.size(); ++i) v[i]->index = i;
}

/// A node about to be placed under a parent: from now on it belongs to the parent's document.
void adopt(NodeImpl* n) {
  n->doc.reset();
  n->self.reset();
}

/// Takes `n` from its parent's children (not for attributes).
void detach(NodeImpl* n) {
  NodeImpl* p = n->parent;
  if (!p) return;
  auto& v = p->children;
  size_t i = n->index;
  standAlone(n, v[i], docOf(*p));
  v.erase(v.begin() + ptrdiff_t(i));
  renumber(v, i);
}

void detachAttr(NodeImpl* a) {
  NodeImpl* owner = a->parent;
  if (!owner) return;
  size_t i = a->index;
  standAlone(a, owner->attrs[i], docOf(*owner));
  owner->attrs.erase(owner->attrs.begin() + ptrdiff_t(i));
  renumber(owner->attrs, i);
}

bool isAncestorOrSelf(const NodeImpl* maybeAncestor, const NodeImpl* n) {
  for (; n; n = n->parent)
    if (n == maybeAncestor) return true;
  return false;
}

/// Checks that `child` may be placed under `parent` (replacing `replacing` when given).
void checkInsert(const NodeImpl& parent, const NodeImpl& child, const NodeImpl* replacing) {
  if (!parent.holdsChildren()) throw ComError(E_INVALIDARG);
  if (child.type == NodeType::Attribute || child.type == NodeType::Document)
    throw ComError(E_INVALIDARG);
  if (isAncestorOrSelf(&child, &parent)) throw ComError(E_INVALIDARG);
  if (parent.type == NodeType::Document) {
    if (child.type == NodeType::Text || child.type == NodeType::CData) throw ComError(E_INVALIDARG);
    if (child.type == NodeType::Element) {
      for (auto& c : parent.children)
        if (c->type == NodeType::Element && c.get() != &child && c.get() != replacing)
          throw ComError(E_INVALIDARG);  // a document has one document element
    }
  }
}

/// Places `child` at position `pos` of `parent` (child already checked and detached).
void insertAt(NodeImpl* parent, const NodePtr& child, size_t pos) {
  adopt(child.get());
  auto& v = parent->children;
  v.insert(v.begin() + ptrdiff_t(pos), child);
  child->parent = parent;
  renumber(v, pos);
}

bool isNameStart(char16_t c) {
  return (c >= u'A' && c <= u'Z') || (c >= u'a' && c <= u'z') || c == u'_' || c == u':' || c >= 0x80;
}
bool isNameChar(char16_t c) {
  return isNameStart(c) || (c >= u'0' && c <= u'9') || c == u'-' || c == u'.';
}
void checkName(std::u16string_view name) {
  if (name.empty() || !isNameStart(name[0]) ||
      !std::all_of(name.begin(), name.end(), isNameChar))
    throw ComError(E_INVALIDARG);
}

void collectText(const NodeImpl* n, std::u16string& out) {
  walkTree(
      const_cast<NodeImpl*>(n),
      [&](NodeImpl* x) {
        if (x->type == NodeType::Text || x->type == NodeType::CData) out += x->value;
        return x->holdsChildren();
      },
      [](NodeImpl*) {});
}

NodePtr cloneOne(const NodeImpl& src) {
  auto c = makeNode(src.type);
  c->name = src.name;
  c->value = src.value;
  c->preserveWhiteSpace = src.preserveWhiteSpace;
  c->exactText = src.exactText;
  c->attrs.reserve(src.attrs.size());
  for (auto& a : src.attrs) {
    auto ca = makeNode(NodeType::Attribute);
    ca->name = a->name;
    ca->value = a->value;
    ca->parent = c.get();
    ca->index = c->attrs.size();
    c->attrs.push_back(std::move(ca));
  }
  return c;
}

}  // namespace

NodeImpl::~NodeImpl() {
  // Let go of the subtree without recursing (trees can be deep): a child that only this node
  // holds hands its children and attributes to the work list before it goes. Nothing here
  // may throw; should the list fail to grow, that child's own destructor does the rest. Nodes that
  // handles keep alive stand alone afterwards, still belonging to this node's document.
  if (attrs.empty() && children.empty()) return;
  std::weak_ptr<NodeImpl> d;
  bool haveDoc = false;
  auto survive = [&](const NodePtr& x) {
    if (!haveDoc) {
      d = docOf(*this);
      haveDoc = true;
    }
    standAlone(x.get(), x, d);
  };
  auto releaseAttributes = [&](NodeList& list) {
    for (auto& a : list)
      if (a.use_count() > 1) survive(a);
    list.clear();
  };
  releaseAttributes(attrs);
  NodeList work = std::move(children);
  while (!work.empty()) {
    NodePtr n = std::move(work.back());
    work.pop_back();
    if (n.use_count() > 1) {
      survive(n);
      continue;
    }
    releaseAttributes(n->attrs);
    if (n->children.empty()) continue;
    if (work.empty()) {
      work.swap(n->children);
      continue;
    }
    size_t need = work.size() + n->children.size();
    if (need > work.capacity()) {
      try {
        work.reserve(std::max(need, 2 * work.capacity()));
      } catch (const std::bad_alloc&) {
        continue;  // out of memory: n's own destructor takes its subtree instead
      }
    }
    for (auto& c : n->children) work.push_back(std::move(c));
    n->children.clear();
  }
}

namespace {

#if defined(__SANITIZE_ADDRESS__)
constexpr size_t kPoolBlocks = 0;  // every block back to the allocator, so misuse shows
#else
constexpr size_t kPoolBlocks = 16384;  // per size class and thread
#endif

struct FreeBlock {
  FreeBlock* next;
};

// The thread's free lists. Plain data with nothing to construct or destroy, so that each
// allocation reaches them in a single thread-local access (no guard, no second variable).
struct Pools {
  FreeBlock* head[kPoolClasses + 1];
  size_t count[kPoolClasses + 1];
  bool gone;   // the thread is ending and its lists are emptied: blocks go straight back
  bool armed;  // the clean-up at thread exit is registered
};
thread_local Pools pools{};

// Empties the thread's lists when the thread ends; registered when its first block is kept.
struct PoolsCleanup {
  ~PoolsCleanup() {
    pools.gone = true;
    for (FreeBlock*& h : pools.head)
      while (h) {
        FreeBlock* n = h->next;
        ::operator delete(h);
        h = n;
      }
  }
};

void armCleanup() {
  thread_local PoolsCleanup cleanup;
  (void)cleanup;
}

size_t sizeClass(size_t bytes) { return (bytes + kPoolGrain - 1) / kPoolGrain; }

}  // namespace

void* poolAllocate(size_t bytes) {
  size_t c = sizeClass(bytes);
  Pools& p = pools;
  if (c > kPoolClasses || p.gone) return ::operator new(bytes);
  FreeBlock* f = p.head[c];
  if (!f) return ::operator new(c * kPoolGrain);
  p.head[c] = f->next;
  --p.count[c];
  return f;
}

void poolRelease(void* block, size_t bytes) {
  size_t c = sizeClass(bytes);
  Pools& p = pools;
  if (c > kPoolClasses || p.gone || p.count[c] >= kPoolBlocks) return ::operator delete(block);
  if (!p.armed) {
    p.armed = true;
    armCleanup();
  }
  auto* f = static_cast<FreeBlock*>(block);
  f->next = p.head[c];
  p.head[c] = f;
  ++p.count[c];
}

NodePtr makeNode(NodeType t) { return std::allocate_shared<NodeImpl>(PoolAllocator<NodeImpl>(), t); }

NodePtr sharedOf(const NodeImpl* n) {
  if (!n->parent) return n->self.lock();
  const NodeList& list = n->type == NodeType::Attribute ? n->parent->attrs : n->parent->children;
  return list[n->index];
}

void standAlone(NodeImpl* n, const NodePtr& owner, const std::weak_ptr<NodeImpl>& doc) {
  n->parent = nullptr;
  n->index = 0;
  n->doc = doc;
  n->self = owner;
}

std::weak_ptr<NodeImpl> docOf(const NodeImpl& n) {
  const NodeImpl* top = &n;
  while (top->parent) top = top->parent;
  return top->doc;
}

void attachChild(NodeImpl* parent, NodePtr child) {
  child->parent = parent;
  child->index = parent->children.size();
  parent->children.push_back(std::move(child));
}

NodeImpl* appendElement(NodeImpl* parent, std::u16string_view name, bool top, NodePtr e) {
  if (!e) e = makeNode(NodeType::Element);
  e->name.append(name.data(), name.size());
  // Room for what a record's elements hold (a name and an indicator; a few subfields),
  // so that most lists are allocated once rather than grown step by step.
  e->attrs.reserve(2);
  e->children.reserve(top ? 32 : 4);
  NodeImpl* element = e.get();
  attachChild(parent, std::move(e));
  return element;
}

std::u16string& appendAttribute(NodeImpl* element, std::u16string_view name, NodePtr a) {
  if (!a) a = makeNode(NodeType::Attribute);
  a->name.append(name.data(), name.size());
  a->parent = element;
  a->index = element->attrs.size();
  element->attrs.push_back(std::move(a));
  return element->attrs.back()->value;
}

void detachChildren(NodeImpl* n) {
  if (n->children.empty()) return;
  std::weak_ptr<NodeImpl> d = docOf(*n);
  for (auto& c : n->children) standAlone(c.get(), c, d);
  n->children.clear();
}

// ---- Node -----------------------------------------------------------------------------

NodeImpl& Node::need() const {
  if (!impl_) throw ComError(E_POINTER);
  return *impl_;
}

NodeType Node::type() const { return need().type; }

std::u16string Node::name() const {
  const NodeImpl& n = need();
  return guarded([&]() -> std::u16string {
    switch (n.type) {
      case NodeType::Text: return u"#text";
      case NodeType::CData: return u"#cdata-section";
      case NodeType::Comment: return u"#comment";
      case NodeType::Document: return u"#document";
      default: return n.name;
    }
  });
}

std::u16string Node::value() const {
  const NodeImpl& n = need();
  return guarded([&] { return n.holdsChildren() ? std::u16string() : n.value; });
}

void Node::setValue(std::u16string_view v) {
  NodeImpl& n = need();
  if (n.holdsChildren()) throw ComError(E_INVALIDARG);
  guarded([&] { n.value.assign(v); });
}

std::u16string Node::text() const {
  const NodeImpl& n = need();
  return guarded([&] {
    if (!n.holdsChildren()) return n.value;
    std::u16string out;
    collectText(&n, out);
    return out;
  });
}

void Node::setText(std::u16string_view t) {
  NodeImpl& n = need();
  if (n.type == NodeType::Document) throw ComError(E_INVALIDARG);
  if (n.type != NodeType::Element) return setValue(t);
  guarded([&] {
    NodePtr tn;
    if (!t.empty()) {
      tn = makeNode(NodeType::Text);
      tn->value.assign(t);
    }
    detachChildren(&n);
    if (tn) attachChild(&n, std::move(tn));
  });
}

Node Node::parent() const {
  const NodeImpl& n = need();
  if (n.type == NodeType::Attribute || !n.parent) return Node();
  return Node(sharedOf(n.parent));
}

Node Node::firstChild() const {
  const NodeImpl& n = need();
  return n.children.empty() ? Node() : Node(n.children.front());
}

Node Node::lastChild() const {
  const NodeImpl& n = need();
  return n.children.empty() ? Node() : Node(n.children.back());
}

Node Node::nextSibling() const {
  const NodeImpl& n = need();
  if (n.type == NodeType::Attribute || !n.parent) return Node();
  const auto& v = n.parent->children;
  return n.index + 1 < v.size() ? Node(v[n.index + 1]) : Node();
}

Node Node::previousSibling() const {
  const NodeImpl& n = need();
  if (n.type == NodeType::Attribute || !n.parent || n.index == 0) return Node();
  return Node(n.parent->children[n.index - 1]);
}

size_t Node::childCount() const { return need().children.size(); }

Node Node::child(size_t i) const {
  const NodeImpl& n = need();
  return i < n.children.size() ? Node(n.children[i]) : Node();
}

std::vector<Node> Node::children() const {
  const NodeImpl& n = need();
  return guarded([&] { return std::vector<Node>(n.children.begin(), n.children.end()); });
}

int64_t Node::indexInParent() const {
  const NodeImpl& n = need();
  if (n.type == NodeType::Attribute || !n.parent) return -1;
  return int64_t(n.index);
}

// ---- attributes -----------------------------------------------------------------------

namespace {
NodeImpl* findAttr(const NodeImpl& n, std::u16string_view name) {
  for (auto& a : n.attrs)
    if (a->name == name) return a.get();
  return nullptr;
}
NodeImpl& needElement(NodeImpl& n) {
  if (n.type != NodeType::Element) throw ComError(E_INVALIDARG);
  return n;
}
}  // namespace

size_t Node::attributeCount() const { return need().attrs.size(); }

Node Node::attributeAt(size_t i) const {
  const NodeImpl& n = need();
  return i < n.attrs.size() ? Node(n.attrs[i]) : Node();
}

Node Node::attributeNode(std::u16string_view name) const {
  NodeImpl* a = findAttr(need(), name);
  return a ? Node(sharedOf(a)) : Node();
}

std::optional<std::u16string> Node::getAttribute(std::u16string_view name) const {
  NodeImpl* a = findAttr(need(), name);
  if (!a) return std::nullopt;
  return guarded([&] { return std::optional<std::u16string>(a->value); });
}


void Node::setAttribute(std::u16string_view name, std::u16string_view value) {
  NodeImpl& n = needElement(need());
  if (NodeImpl* a = findAttr(n, name)) {
    guarded([&] { a->value.assign(value); });
    return;
  }
  checkName(name);
  guarded([&] {
    auto a = makeNode(NodeType::Attribute);
    a->name.assign(name);
    a->value.assign(value);
    a->parent = &n;
    a->index = n.attrs.size();
    n.attrs.push_back(std::move(a));
  });
}

void Node::setAttributeNode(const Node& attr) {
  NodeImpl& n = needElement(need());
  if (!attr.impl_) throw ComError(E_POINTER);
  NodeImpl* a = attr.impl_.get();
  if (a->type != NodeType::Attribute) throw ComError(E_INVALIDARG);
  if (a->parent == &n) return;
  if (a->parent) throw ComError(E_INVALIDARG);  // still in use by another element
  guarded([&] {
    adopt(a);
    if (NodeImpl* old = findAttr(n, a->name)) {
      size_t i = old->index;
      standAlone(old, n.attrs[i], docOf(n));
      a->index = i;
      a->parent = &n;
      n.attrs[i] = attr.impl_;
      return;
    }
    n.attrs.reserve(n.attrs.size() + 1);
    a->parent = &n;
    a->index = n.attrs.size();
    n.attrs.push_back(attr.impl_);
  });
}

bool Node::removeAttribute(std::u16string_view name) {
  NodeImpl* a = findAttr(need(), name);
  if (!a) return false;
  NodePtr keep = sharedOf(a);  // the caller may hold no other reference
  detachAttr(a);
  return true;
}

// ---- edits ----------------------------------------------------------------------------

Node Node::appendChild(const Node& child) { return insertBefore(child, Node()); }

Node Node::insertBefore(const Node& child, const Node& ref) {
  NodeImpl& n = need();
  if (!child.impl_) throw ComError(E_POINTER);
  NodeImpl* c = child.impl_.get();
  if (ref.impl_ && (ref.impl_->parent != &n || ref.impl_->type == NodeType::Attribute))
    throw ComError(E_INVALIDARG);
  checkInsert(n, *c, nullptr);
  if (ref.impl_.get() == c) return child;  // already in place
  guarded([&] {
    n.children.reserve(n.children.size() + 1);  // the only allocation: nothing moves before it
    detach(c);
    size_t pos = ref.impl_ ? ref.impl_->index : n.children.size();
    insertAt(&n, child.impl_, pos);
  });
  return child;
}

Node Node::replaceChild(const Node& newChild, const Node& oldChild) {
  NodeImpl& n = need();
  if (!newChild.impl_ || !oldChild.impl_) throw ComError(E_POINTER);
  NodeImpl* o = oldChild.impl_.get();
  NodeImpl* c = newChild.impl_.get();
  if (o->parent != &n || o->type == NodeType::Attribute) throw ComError(E_INVALIDARG);
  checkInsert(n, *c, o);
  if (c == o) return oldChild;
  guarded([&] {
    NodePtr keepOld = oldChild.impl_;
    detach(c);  // may shift the old child's position
    size_t pos = o->index;
    detach(o);
    insertAt(&n, newChild.impl_, pos);
  });
  return oldChild;
}

Node Node::removeChild(const Node& child) {
  NodeImpl& n = need();
  if (!child.impl_) throw ComError(E_POINTER);
  if (child.impl_->parent != &n || child.impl_->type == NodeType::Attribute)
    throw ComError(E_INVALIDARG);
  detach(child.impl_.get());
  return child;
}

Node Node::cloneNode(bool deep) const {
  const NodeImpl& n = need();
  return guarded([&] {
    if (n.type == NodeType::Attribute) {
      auto c = makeNode(NodeType::Attribute);
      standAlone(c.get(), c, docOf(n));
      c->name = n.name;
      c->value = n.value;
      return Node(c);
    }
    NodePtr root;
    std::vector<NodeImpl*> stack;
    walkTree(
        const_cast<NodeImpl*>(&n),
        [&](NodeImpl* x) {
          NodePtr c = cloneOne(*x);
          NodeImpl* raw = c.get();
          if (!root) {
            root = std::move(c);
            // A document is its own document.
            standAlone(raw, root, root->type == NodeType::Document ? std::weak_ptr<NodeImpl>(root) : docOf(*x));
          } else {
            attachChild(stack.back(), std::move(c));
          }
          stack.push_back(raw);
          return deep;
        },
        [&](NodeImpl*) { stack.pop_back(); });
    return Node(root);
  });
}

Document Node::ownerDocument() const {
  const NodeImpl& n = need();
  if (n.type == NodeType::Document) return Document();
  return Document(docOf(n).lock());
}

std::u16string Node::xml() const {
  const NodeImpl& n = need();
  return guarded([&] {
    std::u16string out;
    writeXml(&n, out);
    return out;
  });
}

std::vector<Node> Node::selectNodes(std::u16string_view xpath) const {
  NodeImpl& n = need();
  return guarded([&] { return selectXPath(&n, xpath); });
}

Node Node::selectSingleNode(std::u16string_view xpath) const {
  auto v = selectNodes(xpath);
  return v.empty() ? Node() : v.front();
}

std::vector<Node> Node::childElements(std::u16string_view name) const {
  const NodeImpl& n = need();
  bool any = name == u"*";
  return guarded([&] {
    std::vector<Node> out;
    for (auto& c : n.children)
      if (c->type == NodeType::Element && (any || c->name == name)) out.emplace_back(c);
    return out;
  });
}

std::vector<Node> Node::childElementsWhere(std::u16string_view name, std::u16string_view attr,
                                           std::u16string_view value) const {
  const NodeImpl& n = need();
  bool any = name == u"*";
  return guarded([&] {
    std::vector<Node> out;
    for (auto& c : n.children) {
      if (c->type != NodeType::Element || !(any || c->name == name)) continue;
      NodeImpl* a = findAttr(*c, attr);
      if (a && a->value == value) out.emplace_back(c);
    }
    return out;
  });
}

// ---- Document -------------------------------------------------------------------------

Document::Document(const Node& node)
    : impl_(node.impl_ && node.impl_->type == NodeType::Document ? node.impl_ : nullptr) {}

Document Document::create() {
  return guarded([] {
    auto d = makeNode(NodeType::Document);
    standAlone(d.get(), d, d);
    return Document(d);
  });
}

NodeImpl& Document::need() const {
  if (!impl_) throw ComError(E_POINTER);
  return *impl_;
}

bool Document::loadXml(std::u16string_view text) {
  NodeImpl& d = need();
  return guarded([&] { return parseInto(&d, text); });
}

std::u16string Document::xml() const { return asNode().xml(); }

Node Document::documentElement() const {
  for (auto& c : need().children)
    if (c->type == NodeType::Element) return Node(c);
  return Node();
}

namespace {
/// A new node of document `doc`, standing alone until it is inserted somewhere.
Node createValued(const NodePtr& doc, NodeType t, std::u16string_view name, std::u16string_view value) {
  if (!doc) throw ComError(E_POINTER);
  if (t == NodeType::Element || t == NodeType::Attribute || t == NodeType::ProcessingInstruction)
    checkName(name);
  return guarded([&] {
    auto n = makeNode(t);
    standAlone(n.get(), n, doc);
    n->name.assign(name);
    n->value.assign(value);
    return Node(n);
  });
}
}  // namespace

Node Document::createElement(std::u16string_view name) {
  return createValued(impl_, NodeType::Element, name, {});
}

Node Document::createAttribute(std::u16string_view name) {
  return createValued(impl_, NodeType::Attribute, name, {});
}

Node Document::createTextNode(std::u16string_view text) {
  return createValued(impl_, NodeType::Text, {}, text);
}

Node Document::createComment(std::u16string_view text) {
  return createValued(impl_, NodeType::Comment, {}, text);
}

Node Document::createProcessingInstruction(std::u16string_view target, std::u16string_view data) {
  return createValued(impl_, NodeType::ProcessingInstruction, target, data);
}

void Document::clear() { detachChildren(&need()); }

void Document::setPreserveWhiteSpace(bool keep) { need().preserveWhiteSpace = keep; }
bool Document::preserveWhiteSpace() const { return need().preserveWhiteSpace; }
void Document::setExactText(bool exact) { need().exactText = exact; }
bool Document::exactText() const { return need().exactText; }

}  // namespace xml
