#include "record_bytes.h"

#include <loomkit/Marc.h>
#include <loomkit/MarcFile.h>
#include <loomkit/RecordText.h>

#include <vector>

namespace zoomsvr {
namespace {

constexpr int32_t kUtf8 = 65001;

}  // namespace

std::string isoRecord(const std::u16string& text, int32_t codePage) {
  if (text.empty()) return {};
  CMarc marc;
  marc.SetContent(text.c_str());
  if (marc.IsNull()) return {};
  CMarcFile converter;
  converter.SetAttribute(codePage == kUtf8 ? kUtf8 : 0, 0);
  // The ISO 2709 form is never longer than the record text that describes it.
  std::vector<char16_t> iso(std::max<size_t>(loomkit::kRecordBufferSize, text.size() + 64), u'\0');
  int32_t length = converter.Jinei2Iso(marc, iso.data(), int32_t(iso.size()));
  if (length <= 0) return {};
  iso[size_t(length)] = u'\0';
  // Up to 3 bytes per unit (UTF-8), counted in 16-bit units of the output buffer.
  std::vector<char16_t> bytes(size_t(length) * 2 + 16, u'\0');
  int32_t n = converter.CvtCharset(iso.data(), bytes.data(), int32_t(bytes.size()));
  if (n <= 0) return {};
  return std::string(reinterpret_cast<const char*>(bytes.data()), size_t(n));
}

}  // namespace zoomsvr
