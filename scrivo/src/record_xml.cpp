#include "record_xml.h"

namespace scrivo {

std::string Utf16LeBytes(std::u16string_view text) {
  std::string bytes;
  bytes.reserve(text.size() * 2);
  for (char16_t c : text) {
    bytes += char(c & 0xFF);
    bytes += char(c >> 8);
  }
  return bytes;
}

std::string RecordXmlBytes(std::u16string_view recordText) {
  std::u16string all;
  all.reserve(kXmlDeclaration.size() + kRdfStartTag.size() + recordText.size() + kRdfEndTag.size());
  all.append(kXmlDeclaration).append(kRdfStartTag).append(recordText).append(kRdfEndTag);
  return Utf16LeBytes(all);
}

}  // namespace scrivo
