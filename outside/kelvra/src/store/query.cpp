// Parsing the record-server query language.
#include "query.h"

#include <platform/text.h>

namespace kelvra {
namespace {

constexpr std::u16string_view kOpen = u"_@@";
constexpr std::u16string_view kTermOpen = u"='_{{";
constexpr std::u16string_view kTermClose = u"}}'";
constexpr std::u16string_view kOr = u"_**or";

bool isBlank(char16_t c) { return c == u' ' || c == u'\t' || c == u'\r' || c == u'\n'; }

void skipBlanks(std::u16string_view text, size_t& at) {
  while (at < text.size() && isBlank(text[at])) ++at;
}

bool startsAt(std::u16string_view text, size_t at, std::u16string_view what) {
  return text.size() - at >= what.size() && text.substr(at, what.size()) == what;
}

// One condition from `at` on; moves `at` past it.
std::optional<Condition> readCondition(std::u16string_view text, size_t& at) {
  if (!startsAt(text, at, kOpen)) return std::nullopt;
  at += kOpen.size();
  size_t dollar = text.find(u'$', at);
  if (dollar == std::u16string_view::npos || dollar - at != 3) return std::nullopt;
  Condition c;
  c.tag = text.substr(at, 3);
  at = dollar + 1;
  if (at >= text.size()) return std::nullopt;
  c.code = text.substr(at, 1);
  ++at;
  if (!startsAt(text, at, kTermOpen)) return std::nullopt;
  at += kTermOpen.size();
  size_t close = text.find(kTermClose, at);
  if (close == std::u16string_view::npos) return std::nullopt;
  c.term = text.substr(at, close - at);
  at = close + kTermClose.size();
  return c;
}

}  // namespace

std::optional<std::vector<Condition>> parseQuery(std::u16string_view text) {
  std::vector<Condition> out;
  size_t at = 0;
  skipBlanks(text, at);
  for (;;) {
    std::optional<Condition> c = readCondition(text, at);
    if (!c) return std::nullopt;
    out.push_back(std::move(*c));
    skipBlanks(text, at);
    if (at == text.size()) return out;
    // The joiner is written " _**or "; its letters in any case.
    if (text.size() - at < kOr.size() || !platform::equalsNoCase(text.substr(at, kOr.size()), kOr))
      return std::nullopt;
    at += kOr.size();
    if (at < text.size() && !isBlank(text[at])) return std::nullopt;
    skipBlanks(text, at);
  }
}

std::u16string matchKey(std::u16string_view text) {
  size_t b = 0, e = text.size();
  while (b < e && isBlank(text[b])) ++b;
  while (e > b && isBlank(text[e - 1])) --e;
  return platform::toLowerAscii(text.substr(b, e - b));
}

std::u16string firstWord(std::u16string_view key) {
  size_t blank = 0;
  while (blank < key.size() && !isBlank(key[blank])) ++blank;
  return std::u16string(key.substr(0, blank));
}

}  // namespace kelvra
