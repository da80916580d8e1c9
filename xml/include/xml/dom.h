// The suite's XML document tree: a small DOM over UTF-16 text.
//
// Nodes are reference counted. A Node or Document is a handle: copying it shares the node,
// and a node stays alive (with its whole subtree) for as long as any handle holds it, even
// after it has been removed from its parent or its document handle has gone. Handles compare
// by identity. Every operation on a null handle throws platform::ComError(E_POINTER).
// A node holds its subtree, not its ancestors: when nothing holds a detached node's parent
// any more, the node stands alone (parent() null).
#pragma once

#include <xml/export.h>
#include <platform/comerror.h>

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

QORVEL_XML_API_BEGIN
namespace xml {

using platform::ComError;
using platform::HRESULT;

enum class NodeType {
  Element = 1,
  Attribute = 2,
  Text = 3,
  CData = 4,
  ProcessingInstruction = 7,
  Comment = 8,
  Document = 9,
  DocumentType = 10,  // <!DOCTYPE ...>: name the root's name, value all between "<!DOCTYPE " and ">"
};

struct NodeImpl;
class Document;

class Node {
 public:
  Node() = default;
  explicit Node(std::shared_ptr<NodeImpl> impl) : impl_(std::move(impl)) {}

  bool isNull() const { return !impl_; }
  explicit operator bool() const { return bool(impl_); }
  /// \brief Same node (identity, not equal content).
  bool operator==(const Node& o) const { return impl_ == o.impl_; }
  bool operator!=(const Node& o) const { return impl_ != o.impl_; }

  NodeType type() const;
  /// \brief Element or attribute name; "#text", "#cdata-section", "#comment", "#document";
  /// a processing instruction's target.
  std::u16string name() const;
  /// \brief An attribute's, text's, comment's or instruction's own value; empty for elements.
  std::u16string value() const;
  void setValue(std::u16string_view v);
  /// \brief All character data below the node, concatenated in document order.
  std::u16string text() const;
  /// \brief Element: replaces every child with one text node (none for an empty text).
  /// Other nodes: sets the value.
  void setText(std::u16string_view t);

  Node parent() const;
  Node firstChild() const;
  Node lastChild() const;
  Node nextSibling() const;
  Node previousSibling() const;
  size_t childCount() const;
  /// \brief Child i (from 0) or a null handle when out of range.
  Node child(size_t i) const;
  std::vector<Node> children() const;
  /// \brief Position among the parent's children (from 0), or -1 without a parent.
  int64_t indexInParent() const;

  // Attributes (elements only), kept in the order they were parsed or first set.
  size_t attributeCount() const;
  /// \brief Attribute node i, or a null handle.
  Node attributeAt(size_t i) const;
  /// \brief Attribute node by name, or a null handle.
  Node attributeNode(std::u16string_view name) const;
  std::optional<std::u16string> getAttribute(std::u16string_view name) const;
  /// \brief Sets the value; a new attribute goes after the existing ones.
  void setAttribute(std::u16string_view name, std::u16string_view value);
  /// \brief Adds an attribute node (replacing one of the same name in its place).
  void setAttributeNode(const Node& attr);
  bool removeAttribute(std::u16string_view name);

  // Tree edits. A node that has a parent is first taken from it; a node of another
  // document moves into this node's document. Each returns the inserted/removed node.
  Node appendChild(const Node& child);
  /// \brief Inserts before `ref`; a null `ref` appends. `ref` must be a child of this node.
  Node insertBefore(const Node& child, const Node& ref);
  Node replaceChild(const Node& newChild, const Node& oldChild);
  Node removeChild(const Node& child);
  /// \brief Copy of the node (attributes included); with `deep`, of its whole subtree.
  /// The copy has no parent and belongs to the same document.
  Node cloneNode(bool deep) const;

  /// \brief The document the node belongs to (null when that document is gone).
  Document ownerDocument() const;

  /// \brief The node as XML text (see the writing rules in xml/src/serialize.cpp).
  std::u16string xml() const;

  // XPath forms: "./name", "./name[@a=\"v\"]", ".//name", "//name[@a=\"v\"]",
  // "./*[@a=\"v\"]", "./name/*", "name", "*", "/name". Values compare literally; a form
  // outside this set selects nothing.
  std::vector<Node> selectNodes(std::u16string_view xpath) const;
  Node selectSingleNode(std::u16string_view xpath) const;

  // Direct lookups that never go through query text.
  /// \brief Element children with the given name ("*" for any), in order.
  std::vector<Node> childElements(std::u16string_view name = u"*") const;
  /// \brief Element children whose attribute `attr` equals `value`.
  std::vector<Node> childElementsWhere(std::u16string_view name, std::u16string_view attr,
                                       std::u16string_view value) const;

 private:
  friend class Document;
  friend class TreeWalk;
  NodeImpl& need() const;
  std::shared_ptr<NodeImpl> impl_;
};

class Document {
 public:
  /// \brief A new empty document.
  static Document create();
  Document() = default;
  explicit Document(std::shared_ptr<NodeImpl> impl) : impl_(std::move(impl)) {}
  /// \brief The document that a node of type Document is (asNode() the other way round), such
  /// as a document's deep copy; a null handle for any other node.
  explicit Document(const Node& node);

  bool isNull() const { return !impl_; }
  explicit operator bool() const { return bool(impl_); }
  bool operator==(const Document& o) const { return impl_ == o.impl_; }

  /// \brief Replaces the content with the parsed text. false (and no document element,
  /// no children at all) when the text is not well-formed. Raw U+0011-U+0016 are accepted.
  bool loadXml(std::u16string_view text);
  /// \brief Loads a file: UTF-8 (with or without BOM), UTF-16LE/BE by BOM, or the encoding its
  /// declaration names (gb2312, GBK, GB18030, UTF-16 ...) transcoded through ICU.
  bool load(const std::string& path);
  /// \brief Writes the document as UTF-8 with an XML declaration naming UTF-8 (any
  /// existing declaration is rewritten to say so).
  bool save(const std::string& path) const;

  /// \brief The document node's serialisation: its children in order, no added white space.
  std::u16string xml() const;

  Node documentElement() const;
  Node asNode() const { return Node(impl_); }

  Node createElement(std::u16string_view name);
  Node createAttribute(std::u16string_view name);
  Node createTextNode(std::u16string_view text);
  Node createComment(std::u16string_view text);
  Node createProcessingInstruction(std::u16string_view target, std::u16string_view data);

  Node appendChild(const Node& child) { return asNode().appendChild(child); }
  Node removeChild(const Node& child) { return asNode().removeChild(child); }
  /// \brief Empties the document (no children, no document element).
  void clear();

  std::vector<Node> selectNodes(std::u16string_view xpath) const { return asNode().selectNodes(xpath); }
  Node selectSingleNode(std::u16string_view xpath) const { return asNode().selectSingleNode(xpath); }

  /// \brief Whether whitespace-only text between elements is kept on load (default false,
  /// as the platform DOM's default); kept too is the white space around the document
  /// element, so that a file saved again keeps its lines.
  void setPreserveWhiteSpace(bool keep);
  bool preserveWhiteSpace() const;
  /// \brief Whether loading keeps character data exactly as the text holds it (default
  /// false): line ends are not normalised (CR LF and a lone CR stay), white space in
  /// attribute values is not turned into blanks, and an element whose only content is white
  /// space keeps it as its text. White space between elements is dropped as before.
  void setExactText(bool exact);
  bool exactText() const;

 private:
  friend class TreeBuilder;
  NodeImpl& need() const;
  std::shared_ptr<NodeImpl> impl_;
};

}  // namespace xml
QORVEL_XML_API_END
