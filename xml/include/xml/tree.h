// A whole tree at once, for code that writes or reads all of a document in one go (a record
// converted to or from another form) and would spend more on a handle per node and a string
// per value than on its own work: a builder that makes the tree from its shape, and a
// read-only walk that hands the tree over as plain steps.
#pragma once

#include <xml/dom.h>

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

QORVEL_XML_API_BEGIN
namespace xml {

/// \brief Builds a document's tree straight from a producer that knows the tree's shape,
/// with no text to write and parse back: elements are opened and closed in document order,
/// attributes and text go to the element open last, and the document ends up holding only
/// the new tree. The strings handed back are the new nodes' values, for the caller to fill in place.
class TreeBuilder {
 public:
  /// The document's old tree is built over: its nodes are reused in place, save those a
  /// handle still holds, which stand alone with their subtrees as when the tree is dropped.
  /// What the new tree does not reach goes when its element (the top element, for the
  /// document's own children) is closed.
  explicit TreeBuilder(const Document& doc);
  /// \brief A new element, child of the one open last (of the document at first), now open.
  void open(std::u16string_view name);
  /// \brief A new attribute of the element open last; its value to fill.
  std::u16string& attribute(std::u16string_view name);
  /// \brief A new text child of the element open last; its value to fill (not left empty).
  std::u16string& text();
  void close();
  /// \brief Removes the last child of the element open last.
  void dropLast();

 private:
  // An element being built, with how many of its children and attributes are new so far.
  struct Level {
    NodeImpl* node;
    size_t children;
    size_t attributes;
  };
  Level& top();
  NodeImpl* doc_;
  Level docLevel_{doc_, 0, 0};
  std::vector<Level> open_;
};

/// \brief One node of a read-only walk (TreeWalk), as plain values. Its texts are the tree's
/// own and stay valid while the tree is not changed.
struct WalkStep {
  NodeType type;
  /// \brief Element: its number of attributes, whose steps follow its own; 0 for other nodes.
  uint32_t attributes;
  /// \brief Element or document: its number of children.
  uint32_t children;
  /// \brief The steps of the node's subtree, its own and its attributes' included: the step
  /// after it that is not below it lies this many steps on.
  uint32_t size;
  /// \brief The name of an element, attribute, instruction or document type (Node::name());
  /// empty for text, CDATA, comments and the document.
  std::u16string_view name() const { return *name_; }
  /// \brief The node's own value (Node::value()).
  std::u16string_view value() const { return *value_; }

  const std::u16string* name_;
  const std::u16string* value_;
};

/// \brief A read-only walk of a subtree: the node and every node below it in document order,
/// each element followed by its attributes and then by its children, as plain steps taken in
/// one call. A walk kept for many subtrees keeps its room.
class TreeWalk {
 public:
  TreeWalk() = default;
  TreeWalk(const TreeWalk&) = delete;
  TreeWalk& operator=(const TreeWalk&) = delete;
  /// \brief Walks the subtree at `node` (nothing for a null handle); the steps of the last
  /// walk go.
  void walk(const Node& node);
  /// \brief The number of steps of the last walk.
  size_t size() const { return size_; }
  bool empty() const { return size_ == 0; }
  const WalkStep& operator[](size_t i) const { return steps_[i]; }

 private:
  // An element whose children are being walked: the next child and the end of its list (in
  // the element's own terms), and the element's step.
  struct Open {
    const void* next;
    const void* end;
    size_t step;
  };
  void grow(size_t more);
  std::unique_ptr<WalkStep[]> steps_;
  size_t size_ = 0;
  size_t capacity_ = 0;
  std::vector<Open> open_;
};

}  // namespace xml
QORVEL_XML_API_END
