// Files written into an install folder. Installers run as root, often in folders that other
// users may write: a symbolic link planted there under the name of a file we write would
// have us rewrite whatever it points to (and make a lock file beside it). A link is followed
// only when it is the folder owner's own and leads to a place inside the folder.
#include "SetupHelperApp.h"

#include <platform/paths.h>

#include <sys/stat.h>

#include <cerrno>
#include <climits>
#include <cstdlib>

namespace setuply {
namespace {

// The path with every link resolved; empty when it cannot be (a link that leads nowhere).
std::string realPath(const std::string& path) {
  char buf[PATH_MAX];
  return ::realpath(path.c_str(), buf) ? std::string(buf) : std::string();
}

bool inside(const std::string& path, const std::string& folder) {
  return path == folder || (path.size() > folder.size() && path.compare(0, folder.size(), folder) == 0 &&
                            (folder == "/" || path[folder.size()] == '/'));
}

}  // namespace

bool staysInFolder(const std::string& givenFolder, const std::string& file) {
  // The folder as the installer names it, closing slashes or not ("/inst/" is "/inst").
  std::string folder = givenFolder.empty() ? std::string(".") : givenFolder;
  while (folder.size() > 1 && folder.back() == '/') folder.pop_back();
  struct stat st{};
  if (::stat(folder.c_str(), &st) != 0) return true;  // no folder: nothing can be written, nor followed
  const uid_t owner = st.st_uid;
  const std::string base = realPath(folder);
  if (base.empty()) return false;
  // Each part of the path below the folder, as far as it exists. A file named by a path of its
  // own (not beginning with the folder's) is not in the folder: only a relative one is taken
  // as lying in it.
  const size_t cut = file.find_first_not_of('/', folder.size());
  const bool under = file.compare(0, folder.size(), folder) == 0 && cut != std::string::npos &&
                     (folder == "/" || (cut > folder.size() && file[folder.size()] == '/'));
  if (!under && !file.empty() && file[0] == '/') return false;
  const std::string below = under ? file.substr(cut) : file;
  std::string path = folder, deepest = folder;
  size_t from = 0;
  while (from < below.size()) {
    const size_t slash = below.find('/', from);
    const std::string part = below.substr(from, slash == std::string::npos ? std::string::npos : slash - from);
    from = slash == std::string::npos ? below.size() : slash + 1;
    if (part.empty() || part == ".") continue;
    path = platform::joinPath(path, part);
    if (::lstat(path.c_str(), &st) != 0) {
      if (errno == ENOENT) break;  // made there, inside what exists so far
      return false;
    }
    if (S_ISLNK(st.st_mode) && st.st_uid != owner) return false;
    deepest = path;
  }
  const std::string real = realPath(deepest);
  return !real.empty() && inside(real, base);
}

}  // namespace setuply
