// CCvtCode and the indexes over the embedded code tables.
//
// A lookup answers what a search of the table text for its key would find on the first
// matching line. Instead of searching the text each time, every table gets an index over its
// line starts, built once per process on first use (std::call_once, so threads may share it).
// Keys are taken only at line starts: a GBK byte pair can never match the trail byte of one
// character and the lead byte of the next, and a one-byte character matches nothing.
#include <loomkit/CvtCode.h>

#include "cvtcode_internal.h"

#include <platform/codepage.h>
#include <platform/text.h>

#include <array>
#include <memory>
#include <mutex>
#include <vector>

namespace loomkit::codetables {
namespace {

int hexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

// The hex number in text[0..n), or -1 when any of its characters is not a hex digit.
long hexNumber(std::string_view text) {
  long v = 0;
  for (char c : text) {
    int d = hexDigit(c);
    if (d < 0) return -1;
    v = v * 16 + d;
  }
  return v;
}

// Calls f(line) for each line of a table text, the line end left out.
template <class F>
void forEachLine(std::string_view text, F f) {
  size_t pos = 0;
  while (pos < text.size()) {
    size_t end = text.find('\n', pos);
    if (end == std::string_view::npos) end = text.size();
    std::string_view line = text.substr(pos, end - pos);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    f(line);
    pos = end + 1;
  }
}

// EACC bytes are 21-7E each: a flat index of 94^3 entries.
constexpr unsigned kEaccSpan = 94;
size_t eaccSlot(unsigned b1, unsigned b2, unsigned b3) { return eaccIndex(b1, b2, b3); }
static_assert(kEaccSpan == 94);
bool isEaccByte(unsigned b) { return b >= 0x21 && b <= 0x7E; }

struct CodesIndex {
  std::vector<uint32_t> eaccOfUcs = std::vector<uint32_t>(0x10000, 0);
  std::vector<char16_t> ucsOfEacc = std::vector<char16_t>(kEaccSpan * kEaccSpan * kEaccSpan, 0);
};

struct PinyinIndex {
  // Offset + 1 of the line's text after the two GBK bytes, and its length; 0 when none.
  std::vector<uint32_t> start = std::vector<uint32_t>(0x10000, 0);
  std::vector<uint16_t> length = std::vector<uint16_t>(0x10000, 0);
};

// Built on first use. A function-local static costs one check per lookup, where
// std::call_once goes through thread-local storage on every call (EACC output looks up
// each character).
const CodesIndex& codesIndex() {
  static const std::unique_ptr<CodesIndex> index = [] {
    auto ix = std::make_unique<CodesIndex>();
    forEachLine(tableText(Codes), [&](std::string_view line) {
      // "EEEEEE UUUU"
      if (line.size() != 11 || line[6] != ' ') return;
      long eacc = hexNumber(line.substr(0, 6)), ucs = hexNumber(line.substr(7, 4));
      if (eacc < 0 || ucs < 0) return;
      unsigned b1 = unsigned(eacc >> 16), b2 = unsigned(eacc >> 8) & 0xFF, b3 = unsigned(eacc) & 0xFF;
      if (!ix->eaccOfUcs[size_t(ucs)]) ix->eaccOfUcs[size_t(ucs)] = uint32_t(eacc);
      if (isEaccByte(b1) && isEaccByte(b2) && isEaccByte(b3)) {
        char16_t& slot = ix->ucsOfEacc[eaccSlot(b1, b2, b3)];
        if (!slot) slot = char16_t(ucs);
      }
    });
    return ix;
  }();
  return *index;
}

const std::array<char16_t, 256>& latinIndex() {
  static std::once_flag once;
  static std::array<char16_t, 256> index{};
  std::call_once(once, [] {
    forEachLine(tableText(Latin), [&](std::string_view line) {
      // "BB UUUU"
      if (line.size() != 7 || line[2] != ' ') return;
      long b = hexNumber(line.substr(0, 2)), ucs = hexNumber(line.substr(3, 4));
      if (b < 0 || ucs <= 0 || index[size_t(b)]) return;
      index[size_t(b)] = char16_t(ucs);
    });
  });
  return index;
}

const PinyinIndex& pinyinIndex() {
  static std::once_flag once;
  static std::unique_ptr<PinyinIndex> index;
  std::call_once(once, [] {
    auto ix = std::make_unique<PinyinIndex>();
    std::string_view text = tableText(Pinyin);
    forEachLine(text, [&](std::string_view line) {
      if (line.size() < 2) return;
      unsigned key = (unsigned(uint8_t(line[0])) << 8) | uint8_t(line[1]);
      if (ix->start[key]) return;
      ix->start[key] = uint32_t(line.data() + 2 - text.data()) + 1;
      ix->length[key] = uint16_t(std::min<size_t>(line.size() - 2, 0xFFFF));
    });
    index = std::move(ix);
  });
  return *index;
}

}  // namespace

std::string_view tableText(Table t) {
  TableResource r = resourceOf(t);
  Embedded e = embeddedTable(r.type, r.id);
  return std::string_view(e.begin, e.length);
}

uint32_t eaccOf(char16_t c) { return codesIndex().eaccOfUcs[c]; }

const uint32_t* eaccTable() { return codesIndex().eaccOfUcs.data(); }

const char16_t* unicodeOfEaccTable() { return codesIndex().ucsOfEacc.data(); }

char16_t unicodeOfEacc(unsigned b1, unsigned b2, unsigned b3) {
  if (!isEaccByte(b1) || !isEaccByte(b2) || !isEaccByte(b3)) return 0;
  return codesIndex().ucsOfEacc[eaccSlot(b1, b2, b3)];
}

const uint32_t* eaccFormTable() {
  static const std::unique_ptr<uint32_t[]> form = [] {
    auto t = std::make_unique<uint32_t[]>(0x10000);
    const uint32_t* eacc = eaccTable();
    for (unsigned u = 0; u < 0x10000; ++u) {
      const char16_t c = char16_t(u);
      if (u < 0x80) {
        t[u] = u;
      } else if (u == 0x00FC) {
        t[u] = 0xE875;  // u-umlaut: the combining diaeresis E8 before "u"
      } else if (u > 0x00FE && eacc[u]) {
        t[u] = eacc[u];
      } else {
        // Code page 936, where it holds the character: the reader widens the bytes outside the
        // runs with it, so only bytes that come back as the same character will do.
        char bytes[8];
        char* end = (u >= 0xD800 && u <= 0xDFFF) ? nullptr : platform::narrowByTable(platform::CP_GBK, {&c, 1}, bytes);
        size_t n = end ? size_t(end - bytes) : 0;
        bool same = n >= 1 && n <= 2 && platform::toWide(platform::CP_GBK, std::string_view(bytes, n)) == std::u16string(1, c);
        t[u] = !same ? uint32_t('?') : n == 1 ? uint8_t(bytes[0]) : (uint32_t(uint8_t(bytes[0])) << 8) | uint8_t(bytes[1]);
      }
    }
    return t;
  }();
  return form.get();
}

char16_t unicodeOfLatin(unsigned char b) { return latinIndex()[b]; }

std::string_view pinyinLine(std::string_view gbk) {
  if (gbk.size() != 2) return {};
  const PinyinIndex& ix = pinyinIndex();
  unsigned key = (unsigned(uint8_t(gbk[0])) << 8) | uint8_t(gbk[1]);
  if (!ix.start[key]) return {};
  return tableText(Pinyin).substr(ix.start[key] - 1, ix.length[key]);
}

std::string_view pinyinLineFor(char16_t c) {
  char bytes[4];
  int n = platform::WideCharToMultiByte(platform::CP_ACP, &c, 1, bytes, sizeof bytes);
  return pinyinLine(std::string_view(bytes, size_t(n > 0 ? n : 0)));
}

int unicodeToEacc(char16_t c, char out[3]) {
  uint32_t e = eaccFormTable()[c];
  if (e >= 0x10000) {
    out[0] = char(e >> 16);
    out[1] = char(e >> 8);
    out[2] = char(e);
    return 3;
  }
  if (e >= 0x100) {
    out[0] = char(e >> 8);
    out[1] = char(e);
    return 2;
  }
  out[0] = char(e);
  return 1;
}

}  // namespace loomkit::codetables

namespace ct = loomkit::codetables;

namespace {

const char* chooseTable(const char16_t* name) {
  if (!name) return nullptr;
  platform::u16v n(name);
  if (platform::equalsNoCase(n, u"Codes")) return ct::tableText(ct::Codes).data();
  if (platform::equalsNoCase(n, u"Latin")) return ct::tableText(ct::Latin).data();
  if (platform::equalsNoCase(n, u"Pinyin")) return ct::tableText(ct::Pinyin).data();
  return nullptr;
}

bool isTable(const char* table, ct::Table t) { return table && table == ct::tableText(t).data(); }

}  // namespace

CCvtCode::CCvtCode(const char16_t* tableName) : table(chooseTable(tableName)), alwaysFirstReading(0) {}

CCvtCode::~CCvtCode() = default;

int32_t CCvtCode::Unicode2Eacc(const char16_t* character, char* output) {
  if (!table || !character || !output) return 0;
  char16_t c = *character;
  if (isTable(table, ct::Codes)) return ct::unicodeToEacc(c, output);
  // Another table has no UCS-2 column to search: only the single bytes and the ANSI form.
  if (c <= 0x00FE || ct::eaccFormTable()[c] < 0x10000) return ct::unicodeToEacc(c, output);
  char bytes[4];
  int n = platform::WideCharToMultiByte(platform::CP_ACP, &c, 1, bytes, sizeof bytes);
  if (n <= 0 || n > 2) return 0;
  for (int i = 0; i < n; ++i) output[i] = bytes[i];
  return n;
}

int32_t CCvtCode::Eacc2Unicode(const char16_t* eacc, char16_t* output, int32_t size) {
  if (!output || size <= 0) return 0;
  if (!table || !eacc) {
    output[0] = 0;
    return 0;
  }
  std::u16string out;
  size_t n = platform::length(eacc);
  if (isTable(table, ct::Codes)) {
    for (size_t i = 0; i + 3 <= n; i += 3) {
      // Units above FF are not widened bytes and so never form an EACC code.
      if (eacc[i] > 0xFF || eacc[i + 1] > 0xFF || eacc[i + 2] > 0xFF) continue;
      if (char16_t u = ct::unicodeOfEacc(eacc[i], eacc[i + 1], eacc[i + 2])) out.push_back(u);
    }
  }
  if (out.size() + 1 > size_t(size)) return 0;
  std::copy(out.begin(), out.end(), output);
  output[out.size()] = 0;
  return int32_t(out.size());
}

int CCvtCode::IsExtLatin(const char* byte) {
  if (!byte || !isTable(table, ct::Latin)) return 0;
  unsigned char b = uint8_t(*byte);
  return b >= 0x88 && ct::unicodeOfLatin(b) ? 1 : 0;
}
