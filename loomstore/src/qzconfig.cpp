#include <loomstore/QzConfig.h>

#include "server_messages.h"

#include <com/create.h>
#include <com/drivers/KelvraDrivers.h>
#include <platform/comerror.h>
#include <platform/paths.h>
#include <platform/profile.h>
#include <platform/text.h>
#include <ui/modal.h>
#include <xml/dom.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <optional>
#include <string>
#include <vector>

using platform::u16;
using platform::u16v;

namespace {

constexpr char16_t kMappingFile[] = u"QzConfig.ini";
constexpr char16_t kMappingSection[] = u"QzConfig";
constexpr uint32_t kMappingSize = 256;
constexpr size_t kTempFolderChars = 255;

// The temporary folder: $TMPDIR when set, else /tmp.
std::string TempFolder() {
  const char* dir = std::getenv("TMPDIR");
  std::string folder = dir && *dir ? dir : "/tmp";
  while (folder.size() > 1 && folder.back() == '/') folder.pop_back();
  return folder;
}

// Whether `path` is a folder of this user's own that nobody else may enter: not a link, owned
// by us, no access for group or others.
bool IsPrivateFolder(const std::string& path) {
  struct stat st;
  return ::lstat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode) && st.st_uid == ::geteuid() &&
         (st.st_mode & 077) == 0;
}

// The same for a folder already open.
bool IsPrivateFolder(int dir) {
  struct stat st;
  return ::fstat(dir, &st) == 0 && S_ISDIR(st.st_mode) && st.st_uid == ::geteuid() && (st.st_mode & 077) == 0;
}

// The folder of a cache file, opened when it is a private folder of this user's own (the
// folder itself not a link); -1 otherwise. Whatever is done inside goes through it, so the
// folder cannot be swapped under us between the check and the use.
int OpenPrivateFolder(const std::string& file) {
  int dir = ::open(platform::folderOf(file).c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
  if (dir >= 0 && !IsPrivateFolder(dir)) {
    ::close(dir);
    dir = -1;
  }
  return dir;
}

// A cache file opened for reading when it is this user's own: a plain file, not a link,
// owned by the user, in a private folder of the user's. A name in a folder that others may
// enter (the temporary folder cleaned and the folder made again by someone else) or a file
// of another owner counts as no cache at all. -1 otherwise.
int OpenOwnCacheFile(const std::string& path) {
  const int dir = OpenPrivateFolder(path);
  if (dir < 0) return -1;
  int fd = ::openat(dir, platform::fileNameOf(path).c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
  ::close(dir);
  struct stat st;
  if (fd >= 0 && (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || st.st_uid != ::geteuid() || st.st_nlink != 1)) {
    ::close(fd);
    fd = -1;
  }
  return fd;
}

// Whether a mapped cache file name may be written again: it lies in a private folder of the
// user's, and nothing stands under its name but a plain file of the user's own.
bool IsReusableCacheName(const std::string& path) {
  const int dir = OpenPrivateFolder(path);
  if (dir < 0) return false;
  struct stat st;
  const bool reusable = ::fstatat(dir, platform::fileNameOf(path).c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0
                            ? errno == ENOENT
                            : S_ISREG(st.st_mode) && st.st_uid == ::geteuid();
  ::close(dir);
  return reusable;
}

// The folder of this user's cache files inside the shared temporary folder: "qorvelmarc-<uid>"
// made with mode 0700. When that name is taken by something that is not our own private
// folder (another user's, a link, a loose mode) a fresh private folder of a unique name is
// made instead; nothing is ever put into a folder that others can write to. Empty on failure.
std::string CacheFolder(const std::string& temp) {
  const std::string fixed = platform::joinPath(temp, "qorvelmarc-" + std::to_string(::geteuid()));
  if (::mkdir(fixed.c_str(), 0700) == 0 || errno == EEXIST) {
    if (IsPrivateFolder(fixed)) return fixed;
  }
  std::string pattern = fixed + "-XXXXXX";
  if (!::mkdtemp(pattern.data())) return {};
  return pattern;
}

// A new, empty file "<folder>/<prefix><hex>.tmp", made so that no other caller gets the same
// name; empty when none can be made.
std::string MakeTempFile(const std::string& folder, const std::string& prefix) {
  unsigned start = unsigned(getpid()) ^ unsigned(std::time(nullptr)) ^ unsigned(std::rand());
  for (unsigned n = 0; n < 0x10000; ++n) {
    const unsigned unique = ((start + n) & 0xFFFF) ? ((start + n) & 0xFFFF) : 1;
    char hex[8];
    std::snprintf(hex, sizeof hex, "%X", unique);
    std::string path = platform::joinPath(folder, prefix + hex + ".tmp");
    int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd >= 0) {
      ::close(fd);
      return path;
    }
    if (errno != EEXIST) return {};
  }
  return {};
}

bool EndsWith(u16v text, u16v tail) { return text.size() >= tail.size() && text.substr(text.size() - tail.size()) == tail; }

// Writes the cache file whole or not at all: FF FE and the text go into a new file beside
// it, which is renamed over it once every byte is on disk. A write that fails or falls short
// (a full disk, a file-size limit) removes the new file and the cache file both, so a cut
// document is never found under the cache file's name, however the write ended.
bool WriteCacheFile(const std::string& path, u16v text) {
  const int dir = OpenPrivateFolder(path);
  if (dir < 0) return false;
  const std::string name = platform::fileNameOf(path);
  std::string bytes = "\xFF\xFE";
  bytes.reserve(2 + 2 * text.size());
  for (char16_t c : text) {
    bytes.push_back(char(c & 0xFF));
    bytes.push_back(char(c >> 8));
  }
  std::string part;
  int fd = -1;
  for (unsigned n = 0; fd < 0 && n < 100; ++n) {
    part = "." + name + "." + std::to_string(::getpid()) + "-" + std::to_string(n);
    fd = ::openat(dir, part.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd < 0 && errno != EEXIST) break;
  }
  bool whole = fd >= 0;
  for (size_t done = 0; whole && done < bytes.size();) {
    ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) whole = false;
    else done += size_t(n);
  }
  if (fd >= 0) {
    whole = whole && ::fsync(fd) == 0;
    whole = ::close(fd) == 0 && whole;
  }
  whole = whole && ::renameat(dir, part.c_str(), dir, name.c_str()) == 0;
  if (!whole) {
    if (fd >= 0) ::unlinkat(dir, part.c_str(), 0);
    ::unlinkat(dir, name.c_str(), 0);
  }
  ::close(dir);
  return whole;
}

// The whole of a cache file of the user's own, or nothing when there is none or it cannot
// be read.
std::optional<std::string> ReadOwnCache(const std::string& path) {
  int fd = OpenOwnCacheFile(path);
  if (fd < 0) return std::nullopt;
  std::string bytes;
  char chunk[65536];
  for (;;) {
    ssize_t n = ::read(fd, chunk, sizeof chunk);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) {
      ::close(fd);
      return std::nullopt;
    }
    if (n == 0) break;
    bytes.append(chunk, size_t(n));
  }
  ::close(fd);
  return bytes;
}

u16 DecodeUtf16Le(std::string_view bytes) {
  u16 text;
  text.reserve(bytes.size() / 2);
  for (size_t i = 0; i + 1 < bytes.size(); i += 2)
    text.push_back(char16_t(uint8_t(bytes[i]) | (uint8_t(bytes[i + 1]) << 8)));
  return text;
}

u16v Trim(u16v s) {
  while (!s.empty() && (s.front() == u' ' || s.front() == u'\t')) s.remove_prefix(1);
  while (!s.empty() && (s.back() == u' ' || s.back() == u'\t')) s.remove_suffix(1);
  return s;
}

// Whether a list "a,b,c" names `key` as one of its items.
bool ListHas(u16v list, u16v key) {
  while (true) {
    const size_t comma = list.find(u',');
    if (Trim(list.substr(0, comma)) == key) return true;
    if (comma == u16v::npos) return false;
    list.remove_prefix(comma + 1);
  }
}

u16 ChildText(const xml::Node& parent, u16v name) {
  std::vector<xml::Node> found = parent.childElements(name);
  return found.empty() ? u16() : found.front().text();
}

int32_t ShowFailure(const QString& message) {
  ui::messageBox(nullptr, message, QString(), ui::Icon::Error);
  return -1;
}

}  // namespace

CQzConfig::CQzConfig() : m_mappingFile(kMappingFile) {}

CQzConfig::~CQzConfig() = default;

int32_t CQzConfig::SetProperty(const char16_t* path, const char16_t* leaf) {
  u16 name = path ? path : u"";
  name = name.substr(0, name.find(u'#'));
  if (size_t k = name.find(u"//"); k != u16::npos) name = name.substr(k + 2);
  m_name = name + u"/" + (leaf ? leaf : u"");
  return int32_t(m_name.size());
}

int32_t CQzConfig::GetName(char16_t* buf, int32_t size) {
  if (int32_t n = platform::copyOut(m_name, buf, size); n || m_name.empty()) return n;
  if (buf && size > 0) buf[0] = 0;
  return 0;
}

int32_t CQzConfig::GetMappingName(char16_t* buf, int32_t size) {
  if (!buf || size <= 0) return 0;
  return platform::GetPrivateProfileString(kMappingSection, m_name.c_str(), u"", buf, uint32_t(size),
                                           m_mappingFile.c_str());
}

int32_t CQzConfig::GetContent(const char16_t* user, const char16_t* password) {
  return Fetch(user, password, nullptr);
}

int32_t CQzConfig::Fetch(const char16_t* user, const char16_t* password, bool* noDocument) {
  if (noDocument) *noDocument = false;
  com::CoInitialize(nullptr);
  const size_t first = m_name.find(u'/');
  const size_t second = first == u16::npos ? u16::npos : m_name.find(u'/', first + 1);
  const u16 serverName = m_name.substr(0, first);
  const u16 database = first == u16::npos ? u16() : m_name.substr(first + 1, second - first - 1);
  const u16 document = second == u16::npos ? u16() : m_name.substr(second + 1);

  u16 text;
  try {
    CKelvraServerDriver server;
    CKelvraDbaseDriver dbase;
    if (!server.CreateDispatch(u"Kelvra.Server") || !dbase.CreateDispatch(u"Kelvra.Dbase"))
      return ShowFailure(loomstore::msg::connectFailed());
    if (server.Connect(serverName, u"000") != 0) {
      server.Disconnect();
      return ShowFailure(loomstore::msg::connectFailed());
    }
    if (server.Login(user ? user : u"", password ? password : u"") != 0) {
      server.Disconnect();
      return ShowFailure(loomstore::msg::defaultLoginFailed());
    }
    if (dbase.Open(server.m_lpDispatch, database) != 0) {
      server.Disconnect();
      return ShowFailure(loomstore::msg::openFailed());
    }
    text = dbase.GetDocument(document);
    // An empty text is the server's own answer only when it reports no failure with it.
    if (text.empty() && noDocument) *noDocument = server.GetErrorCode() == 0;
    server.Disconnect();
  } catch (const platform::ComError&) {
    return ShowFailure(loomstore::msg::connectFailed());
  }
  if (text.empty()) return -1;

  const platform::ProfileFile mapping(m_mappingFile);
  u16 cache = platform::profileString(mapping, kMappingSection, m_name, u"", kMappingSize);
  // A name whose folder is no longer the user's own private one is given up for a new name.
  if (cache.empty() || !IsReusableCacheName(platform::pathFromWide(cache))) {
    const std::string temp = TempFolder();
    if (temp.size() > kTempFolderChars) return -1;
    const std::string folder = CacheFolder(temp);
    if (folder.empty()) return -1;
    std::string made = MakeTempFile(folder, "~qz");
    if (made.empty()) return -1;
    if (EndsWith(document, u".htm")) {
      ::unlink(made.c_str());
      made += ".htm";
    }
    cache = platform::pathToWide(made);
    if (!platform::writeProfileString(mapping, kMappingSection, m_name, cache)) {
      ::unlink(made.c_str());
      return -1;
    }
  }
  if (!WriteCacheFile(platform::pathFromWide(cache), text)) return -1;
  return int32_t(text.size());
}

int32_t CQzConfig::ReadCache(const u16& file, char16_t* buf, int32_t size) {
  const std::string path = platform::pathFromWide(file);
  if (size <= 2) {
    const int fd = OpenOwnCacheFile(path);
    if (fd >= 0) ::close(fd);
    return fd >= 0 ? 0 : -1;
  }
  std::optional<std::string> bytes = ReadOwnCache(path);
  if (!bytes) return -1;
  const size_t chars = bytes->size() / 2;
  if (chars >= size_t(size)) return 0;
  const u16 text = DecodeUtf16Le(*bytes);
  std::copy(text.begin(), text.end(), buf);
  buf[chars] = 0;
  return int32_t(chars);
}

int32_t CQzConfig::GetContent(char16_t* buf, int32_t size, const char16_t* user, const char16_t* password) {
  if (!buf || size <= 0) return -1;
  buf[0] = 0;
  const platform::ProfileFile mapping(m_mappingFile);
  u16 cache = platform::profileString(mapping, kMappingSection, m_name, u"", kMappingSize);
  if (cache.empty()) {
    if (GetContent(user, password) <= 0) return -1;
    cache = platform::profileString(mapping, kMappingSection, m_name, u"", kMappingSize);
    if (cache.empty()) return -1;
  }
  if (int32_t n = ReadCache(cache, buf, size); n >= 0) return n;
  // Missing, unreadable or not the user's own: fetched again, maybe under a new name.
  if (GetContent(user, password) <= 0) return -1;
  cache = platform::profileString(mapping, kMappingSection, m_name, u"", kMappingSize);
  return ReadCache(cache, buf, size);
}

int CQzConfig::GetLimitation(const char16_t* path, const char16_t* user, const char16_t* password,
                             const char16_t* key) {
  m_name = u16(path ? path : u"") + u"/*/limit";
  // Only the server's own answer that the database holds no limit document leaves every key
  // open. Anything else that keeps the document from us denies: a server out of reach, a
  // refused log-in, a cache that cannot be written whole, a cache that is not the user's own,
  // a document that does not parse (a cut one among them).
  bool noDocument = false;
  if (Fetch(user, password, &noDocument) <= 0) return noDocument ? 1 : 0;
  const u16 cache =
      platform::profileString(platform::ProfileFile(m_mappingFile), kMappingSection, m_name, u"", kMappingSize);
  if (cache.empty()) return 0;
  std::optional<std::string> bytes = ReadOwnCache(platform::pathFromWide(cache));
  if (!bytes) return 0;
  u16 text = DecodeUtf16Le(*bytes);
  if (!text.empty() && text.front() == u'\xFEFF') text.erase(0, 1);

  xml::Document doc = xml::Document::create();
  if (!doc.loadXml(text) || !doc.documentElement()) return 0;
  // Looked up by exact element name: a user name that is no element name finds nobody.
  if (!user || !*user) return 0;
  std::vector<xml::Node> found = doc.documentElement().childElements(user);
  if (found.empty()) return 0;
  const u16v wanted = key ? key : u"";
  // Keys match whole items of the lists: "unread" neither grants nor withholds "read".
  const u16 enable = ChildText(found.front(), u"enable");
  if (!enable.empty() && !ListHas(enable, wanted)) return 0;
  const u16 disable = ChildText(found.front(), u"disable");
  if (!disable.empty() && ListHas(disable, wanted)) return 0;
  return 1;
}
