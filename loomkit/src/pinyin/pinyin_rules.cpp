// The stored polyphone rules of pinyin.ini and where that file lives.
#include <loomkit/Pinyin.h>

#include <platform/paths.h>
#include <platform/profile.h>
#include <platform/text.h>

#include <mutex>

#include <unistd.h>

namespace loomkit {

using platform::u16;
using platform::u16v;

namespace {

std::mutex g_pathLock;
std::string g_pathOverride;

// Values of pinyin.ini are read as into buffers of these sizes.
constexpr uint32_t kReadingSize = 16;
constexpr uint32_t kPhraseListSize = 512;
// A phrase takes part in a match with at most this many characters.
constexpr size_t kPhraseMatchLength = 31;
// Bytes of a table line (with the character's two) and of its readings that count.
constexpr size_t kLineBytes = 128;
constexpr size_t kReadingsBytes = 100;

u16 readValue(const std::string& ini, char16_t c, u16v key, uint32_t size) {
  return platform::profileString(ini, u16(1, c), key, u"", size);
}

}  // namespace

PolyphoneChooser::~PolyphoneChooser() = default;

std::string PinyinIniPath() {
  {
    std::lock_guard g(g_pathLock);
    if (!g_pathOverride.empty()) return g_pathOverride;
  }
  std::string folder = platform::programFolder();
  if (folder.empty() || access(folder.c_str(), W_OK) != 0) folder = platform::qorvelHome();
  return platform::joinPath(folder, "pinyin.ini");
}

void SetPinyinIniPath(const std::string& path) {
  std::lock_guard g(g_pathLock);
  g_pathOverride = path;
}

std::vector<u16> SplitReadings(std::string_view line) {
  if (line.size() > kLineBytes - 2) line = line.substr(0, kLineBytes - 2);
  size_t end = line.find_first_of("\r\n");
  if (end != std::string_view::npos) line = line.substr(0, end);
  size_t start = line.find_first_not_of(' ');
  line = start == std::string_view::npos ? std::string_view() : line.substr(start);
  if (line.size() > kReadingsBytes) line = line.substr(0, kReadingsBytes);
  std::vector<u16> out;
  size_t pos = 0;
  while (pos < line.size()) {
    size_t stop = line.find_first_of(" ;", pos);
    if (stop == std::string_view::npos) stop = line.size();
    if (stop > pos) {
      u16 r = platform::ascii(line.substr(pos, stop - pos));
      if (r[0] >= u'A' && r[0] <= u'Z') r[0] = char16_t(r[0] + 32);
      out.push_back(std::move(r));
    }
    pos = stop + 1;
  }
  return out;
}

bool IsSurnameContext(u16v subfield, u16v text, size_t p) {
  if (subfield == u"701$a" || subfield == u"702$a" || platform::equalsNoCase(subfield, u"surname"))
    return p == 0;
  if (subfield != u"200$f" && subfield != u"200$g") return false;
  if (p == 0) return true;
  auto opens = [](char16_t c) { return c == u',' || c == u']'; };
  char16_t before = text[p - 1];
  if (opens(before) || before == u'\uFF0C' || before == u'\uFF3D') return true;
  return p >= 2 && before == u' ' && opens(text[p - 2]);
}

bool PhraseListMatches(u16v list, u16v text, size_t position) {
  if (position >= text.size()) return false;
  const char16_t c = text[position];
  size_t pos = 0;
  for (size_t semi; (semi = list.find(u';', pos)) != u16v::npos; pos = semi + 1) {
    u16v phrase = list.substr(pos, std::min(semi - pos, kPhraseMatchLength));
    size_t k = phrase.find(c);
    if (phrase.empty() || k == u16v::npos) continue;
    // Occurrences found one after the other, each search going on after the last match.
    for (size_t t = text.find(phrase); t != u16v::npos; t = text.find(phrase, t + phrase.size()))
      if (t + k == position) return true;
  }
  return false;
}

u16 ResolvePolyphone(const PolyphoneQuestion& q) {
  const char16_t c = q.character;
  if (q.surnameContext) {
    u16 surname = readValue(q.iniPath, c, u"Surname", kReadingSize);
    if (!surname.empty()) return surname;
  }
  const u16 def = readValue(q.iniPath, c, u"!", kReadingSize);
  if (!q.subfield.empty()) {
    u16 kept = readValue(q.iniPath, c, q.subfield, kReadingSize);
    if (!kept.empty()) return kept;
  }
  bool metList = false;
  for (const u16& reading : q.readings) {
    if (platform::equalsNoCase(reading, def)) continue;
    u16 list = readValue(q.iniPath, c, reading, kPhraseListSize);
    if (list.empty()) continue;
    metList = true;
    if (PhraseListMatches(list, q.text, q.position)) return reading;
  }
  if (!def.empty() && metList) return def;
  return u16();
}

}  // namespace loomkit
