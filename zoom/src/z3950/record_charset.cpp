#include "record_charset.h"

#include <platform/codepage.h>

#include <algorithm>

namespace z3950 {
namespace {

constexpr size_t kLeaderLength = 24;
constexpr size_t kEntryLength = 12;
constexpr char kFieldEnd = 0x1E;
constexpr char kRecordEnd = 0x1D;
constexpr char kEscape = 0x1B;

unsigned char byteAt(std::string_view s, size_t i) { return static_cast<unsigned char>(s[i]); }

// The decimal number spelt by all of `digits`, or -1 when any character is not a digit.
long digitsValue(std::string_view digits) {
  long v = 0;
  for (char c : digits) {
    if (c < '0' || c > '9') return -1;
    v = v * 10 + (c - '0');
  }
  return v;
}

bool equalsNoCaseAscii(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    char x = a[i], y = b[i];
    if (x >= 'A' && x <= 'Z') x = char(x - 'A' + 'a');
    if (y >= 'A' && y <= 'Z') y = char(y - 'A' + 'a');
    if (x != y) return false;
  }
  return true;
}

std::u16string ansi(std::string_view bytes) { return platform::toWide(platform::CP_ACP, bytes); }

}  // namespace

void blankControlBytes(std::string& record, size_t offset) {
  for (size_t i = 0; i < record.size(); ++i) {
    unsigned char limit = offset + i < kLeaderLength ? 0x1F : 0x1A;
    if (byteAt(record, i) <= limit) record[i] = ' ';
  }
}

bool isIso2709Record(std::string_view record) {
  if (record.size() < kLeaderLength) return false;
  for (size_t i : {0, 1, 2, 3, 4, 12, 13, 14, 15, 16})
    if (record[i] < '0' || record[i] > '9') return false;
  for (size_t i = 5; i < kLeaderLength; ++i)
    if (record[i] == kRecordEnd) return false;
  for (size_t i = kLeaderLength, column = 0; i < record.size(); ++i, column = column == 11 ? 0 : column + 1) {
    char c = record[i];
    if (c == kFieldEnd || c == kRecordEnd) break;
    if (column >= 3 && (c < '0' || c > '9')) return false;
  }
  return true;
}

bool passesUtf8Test(std::string_view record) {
  size_t sequences = 0;
  for (size_t i = 0; i < record.size();) {
    unsigned char b = byteAt(record, i);
    size_t trail;
    if (b < 0x80) {
      ++i;
      continue;
    } else if ((b & 0xF8) == 0xF0) {
      trail = 3;
    } else if ((b & 0xF0) == 0xE0) {
      trail = 2;
    } else if ((b & 0xE0) == 0xC0) {
      trail = 1;
    } else {
      return false;  // a continuation byte out of place, or F8-FF
    }
    if (record.size() - i - 1 < trail) return false;  // the sequence runs past the record
    for (size_t k = 1; k <= trail; ++k)
      if ((byteAt(record, i + k) & 0xC0) != 0x80) return false;
    ++sequences;
    i += trail + 1;
  }
  return sequences > 0;
}

bool isNonChineseMarc21(std::string_view record) {
  size_t entry = std::string_view::npos;
  for (size_t pos = kLeaderLength; pos < record.size() && record[pos] != kFieldEnd; pos += kEntryLength) {
    if (record.substr(pos, 3) == "008") {
      entry = pos;
      break;
    }
  }
  if (entry == std::string_view::npos || record.size() - entry < kEntryLength) return false;
  if (record.substr(entry + 3, 4) != "0041") return false;
  size_t firstFieldEnd = record.find(kFieldEnd, kLeaderLength);
  if (firstFieldEnd == std::string_view::npos) return false;
  long start = digitsValue(record.substr(entry + 7, 5));
  if (start < 0) return false;
  size_t languageAt = firstFieldEnd + 1 + size_t(start) + 35;
  if (languageAt + 3 > record.size()) return false;
  return !equalsNoCaseAscii(record.substr(languageAt, 3), "chi");
}

std::u16string decodeFieldByField(std::string_view record, const ExtLatinTest& isExtLatin) {
  size_t firstFieldEnd = record.find(kFieldEnd);
  size_t headEnd = firstFieldEnd == std::string_view::npos ? record.size() : firstFieldEnd + 1;
  std::u16string text = ansi(record.substr(0, headEnd));
  size_t data = headEnd;
  for (size_t pos = kLeaderLength; pos < firstFieldEnd && data < record.size(); pos += kEntryLength) {
    // Fields are taken in storage order, each up to and including its terminator; a last
    // field without one runs to the end of the record.
    size_t end = record.find(kFieldEnd, data);
    size_t next = end == std::string_view::npos ? record.size() : end + 1;
    std::string_view field = record.substr(data, next - data);
    data = next;
    std::string_view tag = record.substr(pos, std::min<size_t>(3, firstFieldEnd - pos));
    bool latin = false;
    if (tag != "880") {
      for (char c : field) {
        if (isExtLatin(static_cast<unsigned char>(c))) {
          latin = true;
          break;
        }
      }
    }
    text += latin ? platform::toWide(platform::CP_LATIN1, field) : ansi(field);
  }
  text += u'\x1D';
  return text;
}

std::u16string decodeRecord(std::string_view record, const ExtLatinTest& isExtLatin) {
  if (passesUtf8Test(record)) return platform::toWide(platform::CP_UTF8, record);
  if (isNonChineseMarc21(record)) return decodeFieldByField(record, isExtLatin);
  return ansi(record);
}

namespace {

// Bytes of a record from `offset` on, blanked, in one code page. Each part ends on a
// terminator or at the record's end, where every code page's characters end too, so the
// parts' texts put together are the text of the whole.
std::u16string decodePart(std::string_view bytes, size_t offset, int codePage) {
  std::string blanked(bytes);
  blankControlBytes(blanked, offset);
  return platform::toWide(codePage, blanked);
}

// Where a field longer than kFieldBytesKept may be cut without parting a character: before
// the first byte at or past the limit that begins one.
size_t characterCut(std::string_view field, int codePage) {
  if (codePage == platform::CP_UTF8) {
    size_t at = kFieldBytesKept;
    while (at > 0 && (byteAt(field, at) & 0xC0) == 0x80) --at;
    return at;
  }
  if (codePage == platform::CP_ACP) {
    size_t at = 0;
    while (at < kFieldBytesKept) at += byteAt(field, at) >= 0x81 ? 2 : 1;
    return at;
  }
  return kFieldBytesKept;  // one byte, one character
}

// A field (with its terminator when it has one) as far as the record text can take it.
std::string_view keptField(std::string_view field, int codePage, std::string& cut) {
  const bool terminated = !field.empty() && field.back() == kFieldEnd;
  const size_t content = field.size() - (terminated ? 1 : 0);
  if (content <= kFieldBytesKept || field.find(kEscape) != std::string_view::npos) return field;
  cut.assign(field.substr(0, characterCut(field, codePage)));
  if (terminated) cut += kFieldEnd;
  return cut;
}

}  // namespace

std::u16string decodeForText(std::string_view record, const ExtLatinTest& isExtLatin) {
  // The tests look at the whole record; blanking changes the outcome of none of them.
  const bool utf8 = passesUtf8Test(record);
  const bool byField = !utf8 && isNonChineseMarc21(record);
  const int wholeCodePage = utf8 ? platform::CP_UTF8 : platform::CP_ACP;
  // Once blanked, the leader holds no terminator: the directory ends at the first one after it.
  const size_t firstFieldEnd = record.find(kFieldEnd, kLeaderLength);
  if (firstFieldEnd == std::string_view::npos) return decodePart(record, 0, wholeCodePage);

  std::u16string text = decodePart(record.substr(0, firstFieldEnd + 1), 0, wholeCodePage);
  std::string cut;
  size_t data = firstFieldEnd + 1, entry = kLeaderLength;
  for (size_t fields = 0; data < record.size() && fields < kMaxTextFields; ++fields) {
    // Field by field, a record has as many fields as its directory has entries.
    if (byField && entry >= firstFieldEnd) break;
    size_t end = record.find(kFieldEnd, data);
    size_t next = end == std::string_view::npos ? record.size() : end + 1;
    std::string_view field = record.substr(data, next - data);
    int codePage = wholeCodePage;
    if (byField) {
      std::string_view tag = record.substr(entry, std::min<size_t>(3, firstFieldEnd - entry));
      entry += kEntryLength;
      // Chosen over the whole field, whatever part of it is kept.
      bool latin = tag != "880" && std::any_of(field.begin(), field.end(), [&](char c) {
                     return isExtLatin(static_cast<unsigned char>(c));
                   });
      codePage = latin ? platform::CP_LATIN1 : platform::CP_ACP;
    }
    text += decodePart(keptField(field, codePage, cut), data, codePage);
    data = next;
  }
  return text;
}

}  // namespace z3950
