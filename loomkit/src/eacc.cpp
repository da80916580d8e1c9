// EACC in ISO 2709 records: the writer (runs of 3-byte codes between escape sequences) and
// the decoding of such runs in a record read back.
#include <loomkit/MarcFile.h>

#include "cvtcode_internal.h"
#include "iso2709_internal.h"

#include <algorithm>
#include <cstring>

namespace loomkit::iso2709 {
namespace {

constexpr std::string_view kInShort = "\x1B\x24\x31";           // ESC $ 1
constexpr std::string_view kOutShort = "\x1B\x28\x42";          // ESC ( B
constexpr std::string_view kInLong = "\x1B\x24\x24\x31";        // ESC $ $ 1
constexpr std::string_view kOutLong = "\x1B\x28\x28\x42";       // ESC ( ( B
constexpr u16v kInShortW = u"\x1B\x24\x31";
constexpr u16v kOutShortW = u"\x1B\x28\x42";
constexpr u16v kInLongW = u"\x1B\x24\x24\x31";
constexpr u16v kOutLongW = u"\x1B\x28\x28\x42";

bool isEaccUnit(char16_t c) { return c >= 0x21 && c <= 0x7E; }

// Outside the runs, the two bytes E8 75 that the writer gives for U+00FC come back from the
// widening as the GBK character U+9465.
char16_t* appendOutside(char16_t* out, u16v text) {
  for (char16_t c : text) *out++ = c == 0x9465 ? char16_t(0x00FC) : c;
  return out;
}

// One run's units: EACC codes three at a time; units that cannot be part of a code (field and
// subfield separators, blanks) pass through. Where three units are no code of the table (a
// unit lost or added in transit, a code missing from the table), one unit is dropped and the
// next unit tried as the start of a code, so that a broken code costs that code only and the
// run reads on from the next valid one. Never more units out than in.
char16_t* appendRun(char16_t* out, u16v run, u16v escapeIn) {
  const char16_t* table = codetables::unicodeOfEaccTable();
  size_t i = 0;
  while (i < run.size()) {
    char16_t c = run[i];
    if (c == 0x1B && run.substr(i, escapeIn.size()) == escapeIn) {  // a repeated escape-in changes nothing
      i += escapeIn.size();
      continue;
    }
    if (!isEaccUnit(c)) {
      *out++ = c;
      ++i;
      continue;
    }
    if (i + 3 <= run.size() && isEaccUnit(run[i + 1]) && isEaccUnit(run[i + 2])) {
      if (char16_t u = table[codetables::eaccIndex(c, run[i + 1], run[i + 2])]) {
        *out++ = u;
        i += 3;
        continue;
      }
    }
    ++i;
  }
  return out;
}

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
  const uint32_t* codes = codetables::eaccTable();
  for (char16_t c : record) {
    // Plain ASCII and Latin-1 go as one byte outside a run; escapes in the content open or
    // close no run when read back: they go as blanks.
    if (c >= 0x0001 && c <= 0x00FE && c != 0x00FC && !inRun) {
      *p++ = c == 0x1B ? ' ' : char(c);
      continue;
    }
    if (uint32_t e = c > 0x00FE ? codes[c] : 0) {  // a "Codes" character: its three bytes
      if (!inRun) p = std::copy(in.begin(), in.end(), p);
      inRun = true;
      p[0] = char(e >> 16), p[1] = char(e >> 8), p[2] = char(e);
      p += 3;
      continue;
    }
    if (c == 0x1B) c = u' ';
    char buf[3];
    int n = codetables::unicodeToEacc(c, buf);
    if (n == 3) {
      if (!inRun) p = std::copy(in.begin(), in.end(), p);
      inRun = true;
    } else if (inRun) {
      p = std::copy(outEsc.begin(), outEsc.end(), p);
      inRun = false;
    }
    for (int i = 0; i < n; ++i) *p++ = buf[i];
  }
  if (inRun) p = std::copy(outEsc.begin(), outEsc.end(), p);  // a record without its terminator still closes its run
  std::string out(start, size_t(p - start));
  recomputeIsoDirectory(out, CutRule::Eacc);
  if (out.size() > limit) return {};
  return out;
}

u16 decodeEaccRuns(u16v text, int* markerFlag) {
  u16v in, out;
  int flag;
  if (text.find(kInShortW) != u16v::npos) {
    in = kInShortW, out = kOutShortW, flag = 3;
  } else if (text.find(kInLongW) != u16v::npos) {
    in = kInLongW, out = kOutLongW, flag = 4;
  } else {
    return u16(text);
  }
  if (markerFlag) *markerFlag = flag;

  // Each unit outside a run gives one unit and a run never gives more than it holds, so the
  // text is written straight into a buffer of the input's size.
  u16 result(text.size(), u'\0');
  char16_t* o = result.data();
  size_t pos = 0;
  while (pos < text.size()) {
    size_t start = text.find(in, pos);
    if (start == u16v::npos) {
      o = appendOutside(o, text.substr(pos));
      break;
    }
    o = appendOutside(o, text.substr(pos, start - pos));
    size_t runStart = start + in.size();
    // The run ends at its escape-out, or at the end of its field or record when it has none
    // there: fields always begin outside a run.
    size_t end = runStart;
    for (; end < text.size(); ++end) {
      char16_t c = text[end];
      if (c == kFieldEnd || c == kRecordEnd || (c == 0x1B && text.substr(end, out.size()) == out)) break;
    }
    o = appendRun(o, text.substr(runStart, end - runStart), in);
    pos = end < text.size() && text[end] == 0x1B ? end + out.size() : end;
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
