// CCvtCode::Gbk2Pinyin: Chinese text to pinyin syllables separated by U+0011.
#include <loomkit/CvtCode.h>
#include <loomkit/Pinyin.h>

#include "codes/cvtcode_internal.h"

#include <platform/text.h>

#include <atomic>

namespace ct = loomkit::codetables;
using platform::u16;

namespace {

std::atomic<loomkit::PolyphoneChooser*> g_chooser{nullptr};

constexpr char16_t kSyllableSeparator = u'\x11';

bool isListedPunctuation(char16_t c) {
  return c == u',' || c == u';' || c == u'.' || c == u':' || c == u'/';
}

char16_t withCase(char16_t c, bool upper) {
  if (upper && c >= u'a' && c <= u'z') return char16_t(c - 32);
  if (!upper && c >= u'A' && c <= u'Z') return char16_t(c + 32);
  return c;
}

}  // namespace

namespace loomkit {

PolyphoneChooser* SetPolyphoneChooser(PolyphoneChooser* chooser) { return g_chooser.exchange(chooser); }

}  // namespace loomkit

int32_t CCvtCode::Gbk2Pinyin(int32_t caseMode, const char16_t* text, const char16_t* subfield,
                             char16_t* output, int32_t outputSize) {
  if (!table || table != ct::tableText(ct::Pinyin).data()) return 0;
  if (!text || !output || outputSize <= 0) return 0;
  loomkit::PolyphoneChooser* chooser = g_chooser.load();
  if (!chooser) chooser = &loomkit::PolyphoneDialogChooser();

  const platform::u16v input(text);
  const std::u16string field = subfield ? std::u16string(subfield) : std::u16string();
  const std::string ini = loomkit::PinyinIniPath();
  u16 out;
  bool syllable = false, separator = false, firstSyllable = true, stopped = false;

  for (size_t p = 0; p < input.size() && !stopped; ++p) {
    const char16_t c = input[p];
    if (c >= 0x0001 && c <= 0x00FE) {
      if (isListedPunctuation(c)) {
        out += c;
        separator = true;
        syllable = false;
      } else {
        if (syllable && c != kSyllableSeparator) out += kSyllableSeparator;
        out += c;
        syllable = separator = false;
      }
      continue;
    }
    std::string_view line = ct::pinyinLineFor(c);
    std::vector<u16> readings = line.empty() ? std::vector<u16>() : loomkit::SplitReadings(line);
    if (readings.empty()) {
      out += c;
      separator = true;
      syllable = false;
      continue;
    }
    // Nothing written yet (the characters before were all left out) counts as a separator.
    const size_t before = out.size();
    if ((syllable || p > 0) && !out.empty() && out.back() != kSyllableSeparator && !separator)
      out += kSyllableSeparator;
    const bool separatorBefore = separator;
    separator = false;

    u16 reading;
    if (readings.size() == 1) {
      reading = readings.front();
    } else {
      loomkit::PolyphoneQuestion q;
      q.character = c;
      q.readings = readings;
      q.text = input;
      q.position = p;
      q.subfield = field;
      q.surnameContext = loomkit::IsSurnameContext(field, input, p);
      q.iniPath = ini;
      reading = loomkit::ResolvePolyphone(q);
      if (reading.empty() && alwaysFirstReading == 1) reading = readings.front();
      if (reading.empty()) {
        loomkit::PolyphoneAnswer a = chooser->choose(q);
        if (a.outcome == loomkit::PolyphoneAnswer::Stopped) {
          stopped = true;
          break;
        }
        if (a.outcome == loomkit::PolyphoneAnswer::Cancelled || a.reading.empty()) {
          // A character left out leaves no trace: without its separator a following Latin
          // letter or punctuation would stand after two U+0011 or after one.
          out.resize(before);
          separator = separatorBefore;
          continue;
        }
        reading = a.reading;
        if (a.alwaysFirst) alwaysFirstReading = 1;
      }
    }
    const bool upper = caseMode == 1 || (caseMode == 0 && firstSyllable);
    reading[0] = withCase(reading[0], upper);
    out += reading;
    firstSyllable = false;
    syllable = true;
  }

  if (out.size() + 1 > size_t(outputSize)) {
    // Nothing is written past the caller's capacity: the output is emptied instead.
    output[0] = 0;
    return stopped ? -1 : 0;
  }
  std::copy(out.begin(), out.end(), output);
  output[out.size()] = 0;
  return stopped ? -1 : int32_t(out.size());
}
