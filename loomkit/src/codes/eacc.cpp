// EACC in ISO 2709 records: the writer (runs of 3-byte codes between escape sequences) and
// the decoding of such runs in a record read back.
#include <loomkit/MarcFile.h>

#include "cvtcode_internal.h"
#include "iso/iso2709_internal.h"

#include <algorithm>
#include <cstring>

namespace loomkit::iso2709 {
namespace {

constexpr std::string_view kInShort = "\x1B\x24\x31";           // ESC $ 1
constexpr std::string_view kOutShort = "\x1B\x28\x42";          // ESC ( B
constexpr std::string_view kInLong = "\x1B\x24\x24\x31";        // ESC $ $ 1
constexpr std::string_view kOutLong = "\x1B\x28\x28\x42";       // ESC ( ( B
constexpr u16v kInShortW = u"\x1B\x24\x31";
constexpr u16v kInLongW = u"\x1B\x24\x24\x31";

bool isEaccUnit(char16_t c) { return c >= 0x21 && c <= 0x7E; }

// The length of the MARC-8 escape sequence at text[i] (an ESC): ESC, at most three
// intermediate units 21-2F, a final unit 30-7E. 0 when none stands there.
size_t escapeLength(u16v text, size_t i) {
  size_t k = i + 1;
  while (k < text.size() && k - i <= 3 && text[k] >= 0x21 && text[k] <= 0x2F) ++k;
  return k < text.size() && text[k] >= 0x30 && text[k] <= 0x7E ? k + 1 - i : 0;
}

// Whether an escape sequence selects EACC (ESC $ 1, ESC $ $ 1 and the other designations of
// the multibyte set): its first intermediate "$", its final "1".
bool selectsEacc(u16v sequence) { return sequence.size() >= 3 && sequence[1] == u'$' && sequence.back() == u'1'; }

}  // namespace

std::string_view eaccEscapeIn(int markerFlag) { return markerFlag == 3 ? kInShort : kInLong; }
std::string_view eaccEscapeOut(int markerFlag) { return markerFlag == 3 ? kOutShort : kOutLong; }

std::string eaccRecordBytes(u16v record, int markerFlag, size_t limit) {
  std::string_view in = eaccEscapeIn(markerFlag), outEsc = eaccEscapeOut(markerFlag);
  // Written through a pointer into room for the worst case: per character an escape and at
  // most three bytes, and the escape-out of a last run. The room is kept from record to
  // record and never cleared: only what is written is read.
  thread_local Room room;
  char* const start = room.reserve(record.size() * (4 + 3) + 4, 0);
  char* p = start;
  bool inRun = false;
  const uint32_t* form = codetables::eaccFormTable();
  const size_t n = record.size();
  for (size_t i = 0; i < n; ++i) {
    char16_t c = record[i];
    uint32_t e = form[c];
    if (e >= 0x10000) {  // a "Codes" character: its three bytes inside a run
      if (!inRun) p = std::copy(in.begin(), in.end(), p);
      inRun = true;
      p[0] = char(e >> 16), p[1] = char(e >> 8), p[2] = char(e);
      p += 3;
      continue;
    }
    if (inRun) {
      p = std::copy(outEsc.begin(), outEsc.end(), p);
      inRun = false;
    }
    // An escape in the content would open or close a run when read back: it goes as a blank.
    // A surrogate pair is one character that code page 936 lacks: one "?" (e is "?").
    if (c == 0x1B) e = ' ';
    else if (isHighSurrogate(c) && i + 1 < n && isLowSurrogate(record[i + 1])) ++i;
    if (e >= 0x100) *p++ = char(e >> 8);
    *p++ = char(e);
  }
  if (inRun) p = std::copy(outEsc.begin(), outEsc.end(), p);  // a record without its terminator still closes its run
  std::string out(start, size_t(p - start));
  recomputeIsoDirectory(out, CutRule::Eacc);
  if (out.size() > limit) return {};
  return out;
}

u16 decodeEaccRuns(u16v text, int* markerFlag) {
  int flag;
  if (text.find(kInShortW) != u16v::npos) flag = 3;
  else if (text.find(kInLongW) != u16v::npos) flag = 4;
  else return u16(text);
  if (markerFlag) *markerFlag = flag;

  // Each unit outside a run gives one unit and a run never gives more than it holds, so the
  // text is written straight into a buffer of the input's size.
  const char16_t* table = codetables::unicodeOfEaccTable();
  u16 result(text.size(), u'\0');
  char16_t* o = result.data();
  const size_t n = text.size();
  bool inRun = false;
  for (size_t i = 0; i < n;) {
    char16_t c = text[i];
    if (c == 0x1B) {
      // Every escape sequence goes: one that selects EACC opens a run (or keeps it open), any
      // other ends it, and what follows is read as the bytes it is (other MARC-8 sets are not
      // decoded). An ESC that starts no sequence goes too.
      size_t length = escapeLength(text, i);
      if (length) inRun = selectsEacc(text.substr(i, length));
      i += length ? length : 1;
      continue;
    }
    if (!inRun) {
      // Outside the runs, the two bytes E8 75 that the writer gives for U+00FC come back from
      // the widening as the GBK character U+9465.
      *o++ = c == 0x9465 ? char16_t(0x00FC) : c;
      ++i;
      continue;
    }
    if (c == kFieldEnd || c == kRecordEnd) {  // fields always begin outside a run
      inRun = false;
      continue;
    }
    if (c == kDelimiter) {
      // A delimiter ends the run, and the unit after it is the subfield's code as it stands; the
      // subfield's text is read from outside a run, as it is when a run was closed before it.
      *o++ = c;
      ++i;
      if (i < n && text[i] != 0x1B && text[i] != kFieldEnd && text[i] != kRecordEnd && text[i] != kDelimiter)
        *o++ = text[i++];
      inRun = false;
      continue;
    }
    // EACC codes three units at a time; units that cannot be part of a code (blanks) pass
    // through. Where three units are no code of the table (a unit lost or added in transit, a
    // code missing from the table), one unit is dropped and the next unit tried as the start of
    // a code, so that a broken code costs that code only and the run reads on from the next
    // valid one.
    if (!isEaccUnit(c)) {
      *o++ = c;
      ++i;
      continue;
    }
    if (i + 3 <= n && isEaccUnit(text[i + 1]) && isEaccUnit(text[i + 2])) {
      if (char16_t u = table[codetables::eaccIndex(c, text[i + 1], text[i + 2])]) {
        *o++ = u;
        i += 3;
        continue;
      }
    }
    ++i;
  }
  result.resize(size_t(o - result.data()));
  return result;
}

}  // namespace loomkit::iso2709

namespace iso = loomkit::iso2709;

int32_t CMarcFile::DecodeEaccRuns(char16_t* text, int32_t length) {
  if (!text || length <= 0) return length < 0 ? 0 : length;
  int flag = markerFlag;
  iso::u16 decoded = iso::decodeEaccRuns(iso::u16v(text, size_t(length)), &flag);
  if (decoded.size() >= size_t(length)) return length;  // no run: the text stays as it is
  markerFlag = flag;
  std::memcpy(text, decoded.data(), decoded.size() * sizeof(char16_t));
  text[decoded.size()] = 0;
  return int32_t(decoded.size());
}
