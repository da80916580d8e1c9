// Turns the editor's record into text and back: internal record text in MARC mode,
// RDF/XML in Dublin Core mode; also the two lookups of the Ctrl+Z default-value file.
// Parsing goes through the suite's XML layer; building text is plain string work.
#pragma once

#include "editor_document.h"
#include "field_item.h"

#include <xml/dom.h>

#include <string>
#include <vector>

class CXmlConverter {
 public:
  explicit CXmlConverter(CEditorDocument* editor) : editor_(editor) {}
  virtual ~CXmlConverter() = default;

  /// \brief Adds the fields of the internal record text between the first "<marc>" and
  /// "</marc>" (a record prefix is ignored); 1 when read, 0 when nothing could be read.
  int ReadJinei(std::u16string_view text);
  /// \brief The record as internal record text (the first item is the leader); "" for an
  /// empty record.
  void WriteJinei(std::u16string& out) const;
  /// \brief Adds the elements of the first rdf:Description; 1 when read.
  int ReadRdf(std::u16string_view text);
  /// \brief The record as RDF/XML with the declaration for codePage (-1 unicode, 0 gb2312,
  /// else utf-8); result 1.
  int WriteRdf(std::u16string& out, int32_t codePage) const;

  /// \brief The Ctrl+Z submenu entries of a default-value source: the first goes to the
  /// submenu's top (atTop), the others after its own items; ids from firstId.
  struct DefaultMenu {
    std::vector<penwick::MenuEntry> top;
    std::vector<penwick::MenuEntry> appended;
  };
  static DefaultMenu FillDefaultMenu(std::u16string_view source, std::u16string_view key, int firstId);
  /// \brief Default n of a key (1 the entry's value, k the (k-1)-th child's value), cut to
  /// 255 characters; "(null)" when missing. 0 when the file has no document element.
  static int GetDefaultValue(std::u16string_view source, std::u16string_view key, int n,
                             std::u16string& out);

  /// \brief An attribute's text, "" when it is missing.
  static std::u16string GetAttributeText(const xml::Node& node, std::u16string_view name);
  /// \brief A field element's content: text as it is, each child as 0x1F, its name and text.
  static std::u16string FlattenField(const xml::Node& field);
  /// \brief Drops the rdf, dc, dcq, xml and dtq prefixes from every tag.
  static void StripPrefixes(std::u16string& text);
  /// \brief An element's value with its qualifiers as ESC segments (attribute and nested forms).
  static std::u16string ReadElementValue(const xml::Node& element);

 private:
  std::u16string WriteRdfElement(const CFieldItem& item, std::u16string_view syntax) const;
  CEditorDocument* editor_;
};
