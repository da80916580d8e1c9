#include <platform/paths.h>

#include <dlfcn.h>
#include <link.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <vector>

namespace platform {
namespace {

std::string realPath(const char* p) {
  if (!p || !*p) return {};
  char buf[PATH_MAX];
  if (!realpath(p, buf)) return p;
  return buf;
}

std::string homeFolder() {
  if (const char* h = std::getenv("HOME"); h && *h) return h;
  std::vector<char> buf(16384);
  passwd pw{}, *res = nullptr;
  if (getpwuid_r(getuid(), &pw, buf.data(), buf.size(), &res) == 0 && res && res->pw_dir) return res->pw_dir;
  return "/tmp";
}

}  // namespace

std::string programPath() {
  std::vector<char> buf(PATH_MAX);
  for (;;) {
    ssize_t n = readlink("/proc/self/exe", buf.data(), buf.size());
    if (n < 0) return {};
    if (size_t(n) < buf.size()) return std::string(buf.data(), size_t(n));
    buf.resize(buf.size() * 2);
  }
}

std::string programFolder() { return folderOf(programPath()); }

std::string modulePath(const void* address) {
  Dl_info info{};
  link_map* map = nullptr;
  if (!address || !dladdr1(address, &info, reinterpret_cast<void**>(&map), RTLD_DL_LINKMAP) || !map) return {};
  // The program itself has no name in the link map (dladdr would give the name it was
  // started by, relative to a folder that may have changed since).
  if (!map->l_name || !*map->l_name) return programPath();
  return realPath(map->l_name);
}

std::string moduleFolder(const void* address) { return folderOf(modulePath(address)); }

bool makeFolders(const std::string& path) {
  if (path.empty()) return false;
  struct stat st{};
  if (stat(path.c_str(), &st) == 0) return S_ISDIR(st.st_mode);
  std::string parent = folderOf(path);
  if (parent != path && !parent.empty() && !makeFolders(parent)) return false;
  if (mkdir(path.c_str(), 0700) == 0 || errno == EEXIST) return true;
  return false;
}

std::string qorvelHome() {
  std::string home;
  if (const char* v = std::getenv("QORVEL_HOME"); v && *v) home = v;
  else home = joinPath(joinPath(homeFolder(), ".config"), "qorvelmarc");
  while (home.size() > 1 && home.back() == '/') home.pop_back();
  makeFolders(home);
  return home;
}

std::string windowsDirectory() {
  std::string dir = joinPath(qorvelHome(), "windows");
  makeFolders(dir);
  return dir;
}

std::string joinPath(std::string_view dir, std::string_view name) {
  if (dir.empty()) return std::string(name);
  std::string r(dir);
  while (!name.empty() && name.front() == '/') name.remove_prefix(1);
  if (r.back() != '/') r.push_back('/');
  r.append(name);
  return r;
}

std::string folderOf(std::string_view path) {
  size_t k = path.rfind('/');
  if (k == std::string_view::npos) return {};
  if (k == 0) return "/";
  return std::string(path.substr(0, k));
}

std::string fileNameOf(std::string_view path) {
  size_t k = path.rfind('/');
  return std::string(k == std::string_view::npos ? path : path.substr(k + 1));
}

}  // namespace platform
