// ISO 2709 in bytes: the directory recomputed after a conversion, and CvtCharset.
#include <loomkit/MarcFile.h>

#include "iso2709_internal.h"

#include <platform/codepage.h>
#include <platform/text.h>

#include <array>
#include <cstring>
#include <vector>

namespace loomkit::iso2709 {
namespace {

bool isEaccByte(unsigned char b) { return b >= 0x21 && b <= 0x7E; }
bool isGbkTrailByte(unsigned char b) { return b >= 0x40 && b <= 0xFE && b != 0x7F; }

bool startsWith(std::string_view s, size_t at, std::string_view what) { return s.substr(at, what.size()) == what; }

// How many bytes of a field of kFieldCut bytes or more to keep, and what has to follow them
// (the escape-out of a run left open at the cut).
size_t cutPoint(std::string_view field, CutRule rule, std::string_view& closing) {
  closing = {};
  const auto* b = reinterpret_cast<const unsigned char*>(field.data());
  switch (rule) {
    case CutRule::Plain:
      return kFieldCut;
    case CutRule::LeadByte: {
      // A byte with the high bit set is a lead byte unless the byte before it was one.
      bool lead = false;
      for (size_t i = 0; i < kFieldCut; ++i) {
        bool isLead = b[i] >= 0x80 && !lead;
        if (i == kFieldCut - 1) return isLead ? kFieldCut - 1 : kFieldCut;
        lead = isLead;
      }
      return kFieldCut;
    }
    case CutRule::Utf8: {
      // Never start the cut-off part with a continuation byte.
      size_t n = kFieldCut;
      if (n >= field.size()) return n;
      for (int back = 0; back < 3 && n > 0 && (b[n] & 0xC0) == 0x80; ++back) --n;
      return n;
    }
    case CutRule::Eacc: {
      // Walk whole units (escapes, EACC codes inside a run, characters outside) and keep the
      // last boundary where the bytes so far plus a needed escape-out still fit.
      size_t keep = 0, i = 0;
      bool inRun = false;
      std::string_view out;
      while (i < field.size()) {
        size_t unit = 1;
        bool runAfter = inRun;
        std::string_view outAfter = out;
        if (b[i] == 0x1B) {
          for (int flag : {3, 4}) {
            if (startsWith(field, i, eaccEscapeIn(flag))) {
              unit = eaccEscapeIn(flag).size();
              runAfter = true;
              outAfter = eaccEscapeOut(flag);
              break;
            }
            if (startsWith(field, i, eaccEscapeOut(flag))) {
              unit = eaccEscapeOut(flag).size();
              runAfter = false;
              break;
            }
          }
        } else if (inRun && isEaccByte(b[i])) {
          unit = 3;
        } else if (!inRun && platform::IsDBCSLeadByte936(b[i]) && i + 1 < field.size() && isGbkTrailByte(b[i + 1])) {
          // Only a real trail byte makes a pair: the writer gives U+0080-U+00FE as single
          // bytes, and such a byte right before an escape-in must not swallow its ESC.
          unit = 2;
        }
        size_t end = i + unit;
        if (end + (runAfter ? outAfter.size() : 0) > kFieldCut) break;
        i = end;
        inRun = runAfter;
        out = outAfter;
        keep = i;
        closing = inRun ? out : std::string_view();
      }
      return keep;
    }
  }
  return kFieldCut;
}

}  // namespace

namespace {

// The usual case, rewritten in place: whole directory entries, each with its data, no field
// to cut and a record within the length column. False (nothing changed) otherwise.
bool recomputeInPlace(std::string& bytes, size_t dirEnd, size_t entries) {
  if ((dirEnd - kLeaderLength) % kEntryLength != 0 || bytes.size() > kMaxRecord) return false;
  size_t pos = dirEnd + 1, start = 0;
  // The lengths are known before anything is written; most records have few fields.
  std::array<size_t, 64> few;
  std::vector<size_t> many(entries > few.size() ? entries : 0);
  size_t* lengths = entries > few.size() ? many.data() : few.data();
  for (size_t k = 0; k < entries; ++k) {
    const void* hit = std::memchr(bytes.data() + pos, 0x1E, bytes.size() - pos);
    if (!hit) return false;
    size_t end = size_t(static_cast<const char*>(hit) - bytes.data());
    if (end - pos >= kFieldCut) return false;
    lengths[k] = end - pos + 1;
    pos = end + 1;
  }
  for (size_t k = 0; k < entries; ++k) {
    size_t at = kLeaderLength + k * kEntryLength + 3;
    putDigits(bytes, at, lengths[k], 4);
    putDigits(bytes, at + 4, start, 5);
    start += lengths[k];
  }
  putDigits(bytes, 0, bytes.size(), 5);
  putDigits(bytes, 12, dirEnd + 1, 5);
  return true;
}

}  // namespace

size_t recomputeIsoDirectory(std::string& bytes, CutRule rule) {
  size_t dirEnd = bytes.find('\x1E');
  if (dirEnd == std::string::npos || dirEnd < kLeaderLength) return bytes.size();
  size_t entries = (dirEnd - kLeaderLength) / kEntryLength;
  if (recomputeInPlace(bytes, dirEnd, entries)) return bytes.size();

  struct Field {
    std::string_view entry;
    std::string data;
  };
  std::vector<Field> fields;
  fields.reserve(entries);
  size_t pos = dirEnd + 1;
  for (size_t k = 0; k < entries; ++k) {
    size_t end = bytes.find('\x1E', pos);
    if (end == std::string::npos) break;  // an entry without data is left out
    std::string_view data(bytes.data() + pos, end - pos);
    Field f{std::string_view(bytes.data() + kLeaderLength + k * kEntryLength, kEntryLength), std::string(data)};
    if (f.data.size() >= kFieldCut) {
      std::string_view closing;
      size_t keep = cutPoint(f.data, rule, closing);
      f.data.resize(keep);
      f.data += closing;
    }
    fields.push_back(std::move(f));
    pos = end + 1;
  }
  std::string tail = bytes.substr(pos);  // the record terminator, normally

  size_t total = kLeaderLength + 1 + tail.size();
  for (const Field& f : fields) total += kEntryLength + f.data.size() + 1;
  while (total > kMaxRecord && !fields.empty()) {
    total -= kEntryLength + fields.back().data.size() + 1;
    fields.pop_back();
  }
  if (total > kMaxRecord) {
    total -= tail.size() - 1;
    tail.assign(1, '\x1D');
  }

  std::string out;
  out.reserve(total + 1);
  out.append(bytes, 0, kLeaderLength);
  size_t start = 0;
  for (const Field& f : fields) {
    out.append(f.entry.substr(0, 3));
    out.append(9, '0');
    putDigits(out, out.size() - 9, f.data.size() + 1, 4);
    putDigits(out, out.size() - 5, start, 5);
    start += f.data.size() + 1;
  }
  out.push_back('\x1E');
  size_t base = out.size();
  for (const Field& f : fields) {
    out += f.data;
    out.push_back('\x1E');
  }
  out += tail;
  putDigits(out, 0, out.size(), 5);
  putDigits(out, 12, base, 5);
  bytes = std::move(out);
  return bytes.size();
}

std::string codePageRecordBytes(u16v record, int codePage, size_t limit) {
  if (codePage == platform::CP_UTF16LE || codePage == -2 || !platform::isKnownCodePage(codePage)) return {};
  std::string bytes = platform::toNarrow(codePage, record);
  recomputeIsoDirectory(bytes, codePage == platform::CP_UTF8 ? CutRule::Utf8 : CutRule::LeadByte);
  if (bytes.size() > limit) return {};
  return bytes;
}

}  // namespace loomkit::iso2709

namespace iso = loomkit::iso2709;

int32_t CMarcFile::CvtCharset(const char16_t* record, char16_t* output, int32_t size) {
  if (!record || !output || size <= 0) return 0;
  iso::u16v text(record, platform::length(record));
  if (codePage == -1) {
    if (text.size() + 1 > size_t(size)) return 0;
    std::memcpy(output, record, (text.size() + 1) * sizeof(char16_t));
    return int32_t(text.size());
  }
  // The output is a byte buffer of 2 x size bytes, the NUL included.
  size_t limit = 2 * size_t(size) - 1;
  std::string bytes = codePage == -2 ? iso::eaccRecordBytes(text, markerFlag, limit)
                                     : iso::codePageRecordBytes(text, codePage, limit);
  if (bytes.empty()) return 0;
  char* out = reinterpret_cast<char*>(output);
  std::memcpy(out, bytes.data(), bytes.size());
  out[bytes.size()] = 0;
  return int32_t(bytes.size());
}

int32_t CMarcFile::RecomputeIsoDirectory(char* bytes, int32_t length, int leadByteCare) {
  if (!bytes || length <= 0) return 0;
  std::string rec(bytes, size_t(length));
  iso::CutRule rule = leadByteCare ? (codePage == platform::CP_UTF8 ? iso::CutRule::Utf8 : iso::CutRule::LeadByte)
                                   : (codePage == -2 ? iso::CutRule::Eacc : iso::CutRule::Plain);
  iso::recomputeIsoDirectory(rec, rule);
  // The record only ever shrinks, so it fits where it came from.
  std::memcpy(bytes, rec.data(), rec.size());
  bytes[rec.size()] = 0;
  return int32_t(rec.size());
}
