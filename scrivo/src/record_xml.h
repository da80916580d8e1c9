// The XML record file the viewer writes: UTF-16LE without byte-order mark or line breaks,
// the declaration and the rdf:RDF start tag, the record's internal record text, the end tag.
#pragma once

#include <string>
#include <string_view>

namespace scrivo {

/// The XML declaration of the record file.
inline constexpr std::u16string_view kXmlDeclaration = u"<?xml version=\"1.0\" encoding=\"Unicode\" ?>";
/// The start tag: the RDF syntax namespace as rdf, the record vocabulary as marc.
inline constexpr std::u16string_view kRdfStartTag =
    u"<rdf:RDF xmlns:rdf=\"http://www.w3.org/1999/02/22-rdf-syntax-ns#\" xmlns:marc=\"file://./marc.xml\">";
inline constexpr std::u16string_view kRdfEndTag = u"</rdf:RDF>";

/// \brief UTF-16 text as its little-endian bytes.
std::string Utf16LeBytes(std::u16string_view text);
/// \brief The whole file for one record text.
std::string RecordXmlBytes(std::u16string_view recordText);

}  // namespace scrivo
