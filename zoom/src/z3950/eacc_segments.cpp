#include "eacc_segments.h"

#include <loomkit/CvtCode.h>

#include <vector>

namespace z3950 {
namespace {

constexpr std::u16string_view kStart3 = u"\x1B$1";
constexpr std::u16string_view kEnd3 = u"\x1B(B";
constexpr std::u16string_view kStart4 = u"\x1B$$1";
constexpr std::u16string_view kEnd4 = u"\x1B((B";
constexpr char16_t kFieldEnd = 0x1E;

void appendOutside(std::u16string& out, std::u16string_view part) {
  for (char16_t c : part) out += c == u'\x9465' ? u'\xFC' : c;
}

}  // namespace

std::u16string replaceEaccSegments(std::u16string_view text, const EaccConverter& convert) {
  std::u16string_view start = kStart3, end = kEnd3;
  if (text.find(kStart3) == std::u16string_view::npos) {
    if (text.find(kStart4) == std::u16string_view::npos) return std::u16string(text);
    start = kStart4;
    end = kEnd4;
  }
  std::u16string out;
  out.reserve(text.size());
  size_t pos = 0;
  for (;;) {
    size_t open = text.find(start, pos);
    if (open == std::u16string_view::npos) {
      appendOutside(out, text.substr(pos));
      return out;
    }
    appendOutside(out, text.substr(pos, open - pos));
    size_t inner = open + start.size();
    size_t close = text.find(end, inner);
    if (close == std::u16string_view::npos) {
      // No end marker: what follows the start marker is not known to be EACC, so the rest
      // of its field stays as the server sent it.
      size_t fieldEnd = text.find(kFieldEnd, open);
      if (fieldEnd == std::u16string_view::npos) fieldEnd = text.size();
      out.append(text.substr(open, fieldEnd - open));
      pos = fieldEnd;
      continue;
    }
    out += convert(text.substr(inner, close - inner));
    pos = close + end.size();
  }
}

std::u16string eaccToUnicode(std::u16string_view eacc) {
  std::u16string input(eacc);  // the table lookup wants a terminated text
  std::vector<char16_t> output((input.size() + 2) / 3 + 1);
  CCvtCode codes(u"Codes");
  int32_t n = codes.Eacc2Unicode(input.c_str(), output.data(), int32_t(output.size()));
  return std::u16string(output.data(), size_t(n > 0 ? n : 0));
}

}  // namespace z3950
