// Hive files: parsing, writing, and the locked read-edit-write cycle.
#include "registry_store.h"

#include <platform/paths.h>

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace platform::reg {

namespace {

bool lessNoCase(const std::unique_ptr<Node>& n, u16v name) { return compareNoCase(n->name, name) < 0; }

}  // namespace

Node* Node::find(u16v childName) const {
  auto it = std::lower_bound(children.begin(), children.end(), childName, lessNoCase);
  return it != children.end() && equalsNoCase((*it)->name, childName) ? it->get() : nullptr;
}

Node* Node::findOrAdd(u16v childName, bool* made) {
  auto it = std::lower_bound(children.begin(), children.end(), childName, lessNoCase);
  bool add = it == children.end() || !equalsNoCase((*it)->name, childName);
  if (add) {
    auto n = std::make_unique<Node>();
    n->name = u16(childName);
    it = children.insert(it, std::move(n));
  }
  if (made) *made = add;
  return it->get();
}

bool Node::remove(u16v childName) {
  auto it = std::lower_bound(children.begin(), children.end(), childName, lessNoCase);
  if (it == children.end() || !equalsNoCase((*it)->name, childName)) return false;
  children.erase(it);
  return true;
}

std::pair<u16, u16>* Node::value(u16v valueName) {
  for (auto& v : values)
    if (equalsNoCase(v.first, valueName)) return &v;
  return nullptr;
}

std::vector<u16> splitPath(u16v path) {
  std::vector<u16> parts;
  size_t start = 0;
  while (start <= path.size()) {
    size_t end = path.find(u'\\', start);
    if (end == u16v::npos) end = path.size();
    if (end > start) parts.emplace_back(path.substr(start, end - start));
    start = end + 1;
  }
  return parts;
}

// ---- text form ----

namespace {

void escapeInto(std::string& out, u16v text) {
  static const char* hex = "0123456789ABCDEF";
  std::string utf8 = toUtf8(text);
  for (unsigned char c : utf8) {
    switch (c) {
      case '\\': out += "\\\\"; break;
      case '"': out += "\\\""; break;
      case '\n': out += "\\n"; break;
      case '\r': out += "\\r"; break;
      default:
        if (c < 0x20) {
          out += "\\x";
          out += hex[c >> 4];
          out += hex[c & 15];
        } else {
          out += char(c);
        }
    }
  }
}

int hexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

// Unescapes s[pos, end) up to an unescaped '"' (or the end when `quoted` is false). On
// success pos is just past the closing quote.
bool unescape(const std::string& s, size_t& pos, bool quoted, u16& out) {
  std::string raw;
  while (pos < s.size()) {
    char c = s[pos++];
    if (quoted && c == '"') {
      out = fromUtf8(raw);
      return true;
    }
    if (c != '\\') {
      raw += c;
      continue;
    }
    if (pos >= s.size()) return false;
    char e = s[pos++];
    switch (e) {
      case '\\': raw += '\\'; break;
      case '"': raw += '"'; break;
      case 'n': raw += '\n'; break;
      case 'r': raw += '\r'; break;
      case 'x': {
        if (pos + 2 > s.size()) return false;
        int hi = hexValue(s[pos]), lo = hexValue(s[pos + 1]);
        if (hi < 0 || lo < 0) return false;
        raw += char(hi * 16 + lo);
        pos += 2;
        break;
      }
      default: return false;
    }
  }
  if (quoted) return false;
  out = fromUtf8(raw);
  return true;
}

void formatNode(const Node& n, const u16& path, std::string& out, bool isRoot) {
  if (!isRoot || !n.values.empty()) {
    out += '[';
    escapeInto(out, path);
    out += "]\n";
    for (const auto& [name, data] : n.values) {
      if (name.empty()) {
        out += '@';
      } else {
        out += '"';
        escapeInto(out, name);
        out += '"';
      }
      out += "=\"";
      escapeInto(out, data);
      out += "\"\n";
    }
    out += '\n';
  }
  for (const auto& c : n.children) formatNode(*c, isRoot ? c->name : path + u'\\' + c->name, out, false);
}

}  // namespace

void parseHive(const std::string& text, Node& root) {
  Node* current = &root;
  size_t lineStart = 0;
  while (lineStart < text.size()) {
    size_t lineEnd = text.find('\n', lineStart);
    if (lineEnd == std::string::npos) lineEnd = text.size();
    std::string line = text.substr(lineStart, lineEnd - lineStart);
    lineStart = lineEnd + 1;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.empty()) continue;
    if (line.front() == '[' && line.back() == ']') {
      std::string inner = line.substr(1, line.size() - 2);
      size_t pos = 0;
      u16 path;
      if (!unescape(inner, pos, false, path)) {
        current = nullptr;  // the values of a damaged section are dropped with it
        continue;
      }
      current = &root;
      for (const u16& part : splitPath(path)) current = current->findOrAdd(part);
      continue;
    }
    if (!current) continue;
    size_t pos = 0;
    u16 name, data;
    if (line[0] == '@') {
      pos = 1;
    } else if (line[0] == '"') {
      pos = 1;
      if (!unescape(line, pos, true, name) || name.empty()) continue;
    } else {
      continue;
    }
    if (pos + 1 >= line.size() || line[pos] != '=' || line[pos + 1] != '"') continue;
    pos += 2;
    if (!unescape(line, pos, true, data) || pos != line.size()) continue;
    if (auto* v = current->value(name)) v->second = std::move(data);
    else current->values.emplace_back(std::move(name), std::move(data));
  }
}

std::string formatHive(const Node& root) {
  std::string out;
  formatNode(root, u16(), out, true);
  return out;
}

// ---- files ----

namespace {

std::string registryDir() { return joinPath(qorvelHome(), "registry"); }

const char* hiveName(Hive h) { return h == ClassesRoot ? "HKEY_CLASSES_ROOT" : "HKEY_CURRENT_USER"; }

std::string hiveFile(Hive h) { return registryDir() + "/" + hiveName(h) + ".reg"; }

bool readAll(const std::string& path, std::string& out) {
  int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return false;
  char buf[65536];
  ssize_t n;
  while ((n = ::read(fd, buf, sizeof buf)) > 0 || (n < 0 && errno == EINTR))
    if (n > 0) out.append(buf, size_t(n));
  ::close(fd);
  return n == 0;
}

bool writeAll(int fd, const std::string& data) {
  size_t done = 0;
  while (done < data.size()) {
    ssize_t n = ::write(fd, data.data() + done, data.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    done += size_t(n);
  }
  return true;
}

}  // namespace

void loadHive(Hive hive, Node& root) {
  std::string text;
  if (readAll(hiveFile(hive), text)) parseHive(text, root);
}

HiveWriter::HiveWriter(Hive hive) : hive_(hive) {
  std::string dir = registryDir();
  if (!makeFolders(dir)) return;
  std::string lockPath = dir + "/" + hiveName(hive) + ".lock";
  int fd = ::open(lockPath.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
  if (fd < 0) return;
  while (::flock(fd, LOCK_EX) != 0) {
    if (errno != EINTR) {
      ::close(fd);
      return;
    }
  }
  lockFd_ = fd;
  loadHive(hive, root_);
}

HiveWriter::~HiveWriter() {
  if (lockFd_ >= 0) ::close(lockFd_);  // closing gives the lock back
}

bool HiveWriter::save() {
  if (lockFd_ < 0) return false;
  std::string path = hiveFile(hive_);
  std::string tmp = path + ".tmp";
  int fd = ::open(tmp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (fd < 0) return false;
  bool ok = writeAll(fd, formatHive(root_)) && ::fsync(fd) == 0;
  ok = ::close(fd) == 0 && ok;
  if (ok && ::rename(tmp.c_str(), path.c_str()) == 0) return true;
  ::unlink(tmp.c_str());
  return false;
}

}  // namespace platform::reg
