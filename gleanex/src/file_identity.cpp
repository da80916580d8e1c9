#include "file_identity.h"

#include <filesystem>
#include <fstream>
#include <system_error>

#include <sys/stat.h>

namespace {

namespace fs = std::filesystem;

bool endsWithNoCase(platform::u16v path, platform::u16v suffix) {
  return path.size() > suffix.size() && platform::equalsNoCase(path.substr(path.size() - suffix.size()), suffix);
}

fs::path resolved(const std::string& path) {
  std::error_code ec;
  fs::path absolute = fs::absolute(path, ec);
  if (ec) return fs::path(path).lexically_normal();
  fs::path canonical = fs::weakly_canonical(absolute, ec);
  return ec ? absolute.lexically_normal() : canonical;
}

}  // namespace

SheetName SheetNameOf(platform::u16v path) {
  if (endsWithNoCase(path, u".xls")) return SheetName::Xls;
  if (endsWithNoCase(path, u".xlsx")) return SheetName::Xlsx;
  if (endsWithNoCase(path, u".ods")) return SheetName::Ods;
  return SheetName::None;
}

bool SameFile(platform::u16v a, platform::u16v b) {
  std::string pa = platform::toUtf8(a), pb = platform::toUtf8(b);
  if (pa.empty() || pb.empty()) return false;
  struct stat sa, sb;
  if (stat(pa.c_str(), &sa) == 0 && stat(pb.c_str(), &sb) == 0) return sa.st_dev == sb.st_dev && sa.st_ino == sb.st_ino;
  return resolved(pa) == resolved(pb);
}

bool HoldsXlsxOrNothing(platform::u16v path) {
  std::ifstream in(platform::toUtf8(path), std::ios::binary);
  if (!in) return true;
  char head[4] = {};
  in.read(head, 4);
  if (in.gcount() == 0) return true;
  return in.gcount() == 4 && std::string_view(head, 4) == std::string_view("PK\x03\x04", 4);
}
