// String forms of the profile functions for the suite's own code.
#include <platform/profile.h>

#include <vector>

namespace platform {
namespace {

u16 z(u16v s) { return u16(s); }  // a NUL-terminated copy for the Windows forms

std::vector<u16> splitList(const std::vector<char16_t>& buf, int32_t n) {
  std::vector<u16> out;
  const char16_t* p = buf.data();
  const char16_t* end = p + n;
  while (p < end && *p) {
    u16 item(p);
    p += item.size() + 1;
    out.push_back(std::move(item));
  }
  return out;
}

template <class Read>
std::vector<u16> readList(uint32_t size, Read read) {
  if (size < 2) return {};
  std::vector<char16_t> buf(size, 0);
  return splitList(buf, read(buf.data(), size));
}

}  // namespace

u16 profileString(const ProfileFile& file, u16v section, u16v key, u16v def, uint32_t size) {
  if (size == 0) return {};
  std::vector<char16_t> buf(size, 0);
  int32_t n = GetPrivateProfileString(z(section).c_str(), z(key).c_str(), z(def).c_str(), buf.data(), size, file.c_str());
  return u16(buf.data(), size_t(n));
}

int32_t profileInt(const ProfileFile& file, u16v section, u16v key, int32_t def) {
  return GetPrivateProfileInt(z(section).c_str(), z(key).c_str(), def, file.c_str());
}

std::vector<u16> profileSection(const ProfileFile& file, u16v section, uint32_t size) {
  return readList(size, [&](char16_t* b, uint32_t s) { return GetPrivateProfileSection(z(section).c_str(), b, s, file.c_str()); });
}

std::vector<u16> profileKeys(const ProfileFile& file, u16v section, uint32_t size) {
  return readList(size, [&](char16_t* b, uint32_t s) {
    return GetPrivateProfileString(z(section).c_str(), nullptr, u"", b, s, file.c_str());
  });
}

std::vector<u16> profileSectionNames(const ProfileFile& file, uint32_t size) {
  return readList(size, [&](char16_t* b, uint32_t s) { return GetPrivateProfileSectionNames(b, s, file.c_str()); });
}

std::vector<u16> profileList(const ProfileFile& file, u16v section, uint32_t size) {
  std::vector<u16> out;
  for (int i = 1;; ++i) {
    u16 v = profileString(file, section, ascii(std::to_string(i)), u"", size);
    if (v.empty()) return out;
    out.push_back(std::move(v));
  }
}

bool writeProfileString(const ProfileFile& file, u16v section, u16v key, u16v value) {
  return WritePrivateProfileString(z(section).c_str(), z(key).c_str(), z(value).c_str(), file.c_str());
}

bool deleteProfileKey(const ProfileFile& file, u16v section, u16v key) {
  return WritePrivateProfileString(z(section).c_str(), z(key).c_str(), nullptr, file.c_str());
}

bool deleteProfileSection(const ProfileFile& file, u16v section) {
  return WritePrivateProfileString(z(section).c_str(), nullptr, nullptr, file.c_str());
}

bool writeProfileSection(const ProfileFile& file, u16v section, const std::vector<u16>& lines) {
  u16 block;
  for (auto& l : lines) {
    if (l.empty()) continue;  // an empty line would end the list
    block += l;
    block.push_back(0);
  }
  block.push_back(0);
  return WritePrivateProfileSection(z(section).c_str(), block.c_str(), file.c_str());
}

}  // namespace platform
