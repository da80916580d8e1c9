// The writing profile functions.
#include "profile_storage.h"

#include <platform/profile.h>

namespace platform {
namespace {

using profile::Document;

// A line break inside a name or value would start a line of its own (a forged key or
// section), so a written text ends at its first line break.
u16 oneLine(u16v s) { return u16(s.substr(0, s.find_first_of(u"\r\n"))); }

// Text that code page 936 cannot hold turns the file into UTF-8 rather than into "?".
void makeRoom(Document& d, u16v text) {
  if (!d.canHold(text)) d.encoding = profile::Encoding::Utf8;
}

}  // namespace

bool WritePrivateProfileString(const char16_t* section, const char16_t* key, const char16_t* value,
                               const char16_t* file) {
  if (!section && !key && !value) return true;  // "flush the cache": every write is on disk already
  if (!file || !section) return false;
  u16 sec = oneLine(section);
  return profile::update(profilePath(file), [&](Document& d) {
    if (!key) return d.removeSection(sec);
    u16 k = oneLine(key);
    if (!value) return d.removeKey(sec, k);
    u16 v = oneLine(value);
    makeRoom(d, sec + k + v);
    d.setValue(sec, k, v);
    return true;
  });
}

bool WritePrivateProfileSection(const char16_t* section, const char16_t* lines, const char16_t* file) {
  if (!file || !section) return false;
  u16 sec = oneLine(section);
  std::vector<u16> entries;
  for (const char16_t* p = lines; p && *p; p += length(p) + 1) {
    u16 line = oneLine(p);
    if (u16v t = profile::trim(line); !t.empty()) entries.emplace_back(t);
  }
  return profile::update(profilePath(file), [&](Document& d) {
    if (!lines) return d.removeSection(sec);
    u16 all = sec;
    for (auto& e : entries) all += e;
    makeRoom(d, all);
    d.replaceSection(sec, entries);
    return true;
  });
}

}  // namespace platform
