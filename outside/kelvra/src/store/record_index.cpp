// The search index of one record: every subfield value under its tag and code.
#include "store.h"

#include <loomkit/Field.h>
#include <loomkit/Marc.h>
#include <loomkit/SubField.h>

#include <platform/text.h>

namespace kelvra {
namespace {

// A subfield's decoded text, whatever its length.
std::u16string subfieldText(CSubField& sf) {
  std::vector<char16_t> buf(256);
  for (;;) {
    if (sf.GetContent(buf.data(), int32_t(buf.size()), 1)) return std::u16string(buf.data());
    if (buf.size() > (1u << 22)) return {};
    buf.resize(buf.size() * 4);
  }
}

bool framed(std::u16string_view text) {
  constexpr std::u16string_view open = u"<marc>", close = u"</marc>";
  size_t e = text.size();
  while (e > 0 && (text[e - 1] == u' ' || text[e - 1] == u'\r' || text[e - 1] == u'\n')) --e;
  return text.substr(0, open.size()) == open && e >= open.size() + close.size() &&
         text.substr(e - close.size(), close.size()) == close;
}

}  // namespace

std::optional<std::vector<IndexEntry>> indexRecord(std::u16string_view text) {
  if (!framed(text)) return std::nullopt;
  std::vector<IndexEntry> out;
  try {
    CMarc marc;
    std::u16string copy(text);
    marc.SetContent(copy.c_str());
    if (marc.IsNull()) return std::nullopt;
    int32_t fields = marc.GetFieldCount();
    for (int32_t i = 1; i < fields; ++i) {
      CField field = marc.GetField(i);
      if (field.IsNull()) continue;
      std::u16string tag = field.GetName();
      int32_t n = field.GetSGCount();
      for (int32_t j = 0; j < n; ++j) {
        CSubField sf = field.GetSubFld(j);
        if (sf.IsNull()) continue;
        IndexEntry e;
        e.tag = tag;
        e.code = sf.GetName();
        e.key = matchKey(subfieldText(sf));
        e.word = firstWord(e.key);
        if (!e.key.empty()) out.push_back(std::move(e));
      }
    }
  } catch (...) {
    return std::nullopt;
  }
  return out;
}

}  // namespace kelvra
