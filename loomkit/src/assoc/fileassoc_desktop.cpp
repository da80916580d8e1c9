// File associations on the Linux desktop, per user. The registry keeps the association as the
// toolkit's callers read it; this makes the desktop follow it:
//   $XDG_DATA_HOME/mime/packages/qorvelmarc-<type>-<ext>.xml   the MIME type with the glob
//   $XDG_DATA_HOME/applications/qorvelmarc-<type>.desktop      the program, for that type
//   $XDG_CONFIG_HOME/mimeapps.list                              the program as the default
// One package per extension, so that removing an extension removes its file and nothing
// else. The desktop entry also remembers the default the user had before, to give it back
// when the last extension goes.
#include "fileassoc_desktop_internal.h"

#include <platform/file.h>
#include <platform/paths.h>
#include <platform/text.h>
#include <xml/dom.h>

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

extern char** environ;

namespace loomkit::desktop {
namespace {

namespace fs = std::filesystem;
using platform::u16v;

// Where the program's choice for a type lives, and the key that remembers the earlier one.
constexpr std::string_view kDefaultsSection = "[Default Applications]";
constexpr std::string_view kPreviousKey = "X-QorvelMARC-Previous-Default=";
constexpr std::string_view kPrefix = "qorvelmarc-";

// Extensions that other data goes by too (disk images, data files of all kinds): their glob
// weighs less than the types the system knows them by, and the content decides between.
bool sharedExtension(const std::string& ext) { return ext == ".iso" || ext == ".dat"; }

std::string envFolder(const char* name, const char* belowHome) {
  const char* v = std::getenv(name);
  if (v && v[0] == '/') return v;  // relative values are to be ignored
  const char* home = std::getenv("HOME");
  if (!home || home[0] != '/') return {};
  return platform::joinPath(home, belowHome);
}

std::string dataHome() { return envFolder("XDG_DATA_HOME", ".local/share"); }
std::string configHome() { return envFolder("XDG_CONFIG_HOME", ".config"); }

// A name made of lower-case letters, digits, '-' and '_' only, fit for a file name.
std::string slug(u16v s) {
  std::string out;
  for (char16_t c : platform::toLowerAscii(s)) {
    if ((c >= u'a' && c <= u'z') || (c >= u'0' && c <= u'9') || c == u'-' || c == u'_') out.push_back(char(c));
    else if (!out.empty() && out.back() != '_') out.push_back('_');
  }
  return out;
}

// The extension as a glob takes it: a dot and at least one character, nothing that would be a
// pattern, a path or white space. Others get no desktop side.
bool usableExtension(const std::string& ext) {
  if (ext.size() < 2 || ext[0] != '.') return false;
  for (unsigned char c : ext)
    if (c <= ' ' || c == '/' || c == '\\' || c == '*' || c == '?' || c == '[' || c == ']' || c == 0x7F) return false;
  return true;
}

std::string packagePath(const std::string& data, u16v fileType, const std::string& ext) {
  return platform::joinPath(platform::joinPath(data, "mime/packages"),
                            std::string(kPrefix) + slug(fileType) + "-" + slug(platform::fromUtf8(ext.substr(1))) + ".xml");
}

std::string desktopPath(const std::string& data, u16v fileType) {
  return platform::joinPath(platform::joinPath(data, "applications"), desktopIdOf(fileType));
}

// Runs a cache tool when it is installed; its absence or failure changes nothing.
void runTool(const char* tool, const std::string& folder) {
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
  posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
  std::string name = tool;
  std::string arg = folder;
  char* argv[] = {name.data(), arg.data(), nullptr};
  pid_t pid;
  if (posix_spawnp(&pid, tool, &actions, nullptr, argv, environ) == 0) {
    int status;
    while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
  }
  posix_spawn_file_actions_destroy(&actions);
}

void refreshMimeCache(const std::string& data) { runTool("update-mime-database", platform::joinPath(data, "mime")); }
void refreshDesktopCache(const std::string& data) {
  runTool("update-desktop-database", platform::joinPath(data, "applications"));
}

// The MIME package of one extension. The magic rule knows a MARC record by its leader: five
// digits of record length, then "22" (indicator and subfield code lengths) at 10 and "450"
// (the directory entry layout) at 20. It is checked before the globs, so a record file of a
// shared extension is still ours, while an ISO 9660 image named .iso keeps its own type.
bool writePackage(const std::string& path, const std::string& mimeType, const std::string& ext) {
  xml::Document doc = xml::Document::create();
  auto element = [&](xml::Node parent, u16v name, std::initializer_list<std::pair<u16v, std::u16string>> attrs) {
    xml::Node e = doc.createElement(name);
    for (const auto& [k, v] : attrs) e.setAttribute(k, v);
    return parent.appendChild(e);
  };
  xml::Node info = element(doc.asNode(), u"mime-info", {{u"xmlns", u"http://www.freedesktop.org/standards/shared-mime-info"}});
  xml::Node type = element(info, u"mime-type", {{u"type", platform::fromUtf8(mimeType)}});
  element(type, u"comment", {}).setText(u"MARC record");
  element(type, u"comment", {{u"xml:lang", u"zh_CN"}}).setText(u"MARC记录");
  const std::u16string glob = u"*" + platform::fromUtf8(ext);
  if (sharedExtension(ext)) element(type, u"glob", {{u"pattern", glob}, {u"weight", u"10"}});
  else element(type, u"glob", {{u"pattern", glob}});
  xml::Node magic = element(type, u"magic", {{u"priority", u"80"}});
  xml::Node length = element(magic, u"match", {{u"type", u"string"}, {u"offset", u"0"}, {u"value", u"00000"}, {u"mask", u"0xF0F0F0F0F0"}});
  xml::Node lengths = element(length, u"match", {{u"type", u"string"}, {u"offset", u"10"}, {u"value", u"22"}});
  element(lengths, u"match", {{u"type", u"string"}, {u"offset", u"20"}, {u"value", u"450"}});
  return doc.save(path);
}

// A value as a desktop entry line holds it: no line break may end the line early.
std::string entryValue(const std::string& s) {
  std::string out;
  for (char c : s) {
    if (c == '\n') out += "\\n";
    else if (c == '\r') out += "\\r";
    else if (c == '\t') out += "\\t";
    else if (c == '\\') out += "\\\\";
    else out.push_back(c);
  }
  return out;
}

// An argument of Exec: quoted when it holds anything but plain path characters, with the
// quoting rules' escapes, "%" doubled, and backslashes escaped once more as in any value; a
// tab, line feed or carriage return (kept inside the quotes) is written as its value escape,
// so that it neither ends the line nor stands raw in it. Other control characters have no
// escape: usableProgramPath refuses a path with one before anything is written.
std::string execArgument(const std::string& path) {
  bool plain = !path.empty();
  for (unsigned char c : path)
    if (!(isalnum(c) || c == '/' || c == '.' || c == '_' || c == '-' || c == '+' || c >= 0x80)) plain = false;
  std::string arg;
  if (plain) {
    arg = path;
  } else {
    arg = "\"";
    for (char c : path) {
      if (c == '"' || c == '`' || c == '$' || c == '\\') arg.push_back('\\');
      arg.push_back(c);
    }
    arg += "\"";
  }
  // A field code starts with "%": a literal one is doubled; then the line's own escapes.
  std::string literal;
  for (char c : arg) {
    if (c == '%') literal += '%';
    literal.push_back(c);
  }
  return entryValue(literal);
}

std::vector<std::string> lines(const std::string& text) {
  std::vector<std::string> out;
  size_t from = 0;
  while (from < text.size()) {
    size_t end = text.find('\n', from);
    if (end == std::string::npos) end = text.size();
    out.push_back(text.substr(from, end - from));
    from = end + 1;
  }
  return out;
}

std::string joined(const std::vector<std::string>& ls) {
  std::string out;
  for (const std::string& l : ls) out += l + "\n";
  return out;
}

bool isSection(const std::string& line) { return !line.empty() && line[0] == '['; }

// The default program of a type in mimeapps.list; empty when none.
std::string defaultOf(const std::string& mimeApps, const std::string& mimeType) {
  bool inDefaults = false;
  const std::string key = mimeType + "=";
  for (const std::string& l : lines(mimeApps)) {
    if (isSection(l)) inDefaults = l.rfind(kDefaultsSection, 0) == 0;
    else if (inDefaults && l.rfind(key, 0) == 0) {
      std::string v = l.substr(key.size());
      return v.substr(0, v.find(';'));
    }
  }
  return {};
}

// mimeapps.list with the type's default set to `desktopId` (removed when it is empty); every
// other line stays as it was.
std::string withDefault(const std::string& mimeApps, const std::string& mimeType, const std::string& desktopId) {
  std::vector<std::string> ls = lines(mimeApps);
  const std::string key = mimeType + "=";
  const std::string line = key + desktopId;
  bool inDefaults = false, done = false;
  size_t sectionEnd = std::string::npos;
  for (size_t i = 0; i < ls.size(); ++i) {
    if (isSection(ls[i])) {
      inDefaults = ls[i].rfind(kDefaultsSection, 0) == 0;
      if (inDefaults) sectionEnd = i + 1;
    } else if (inDefaults && ls[i].rfind(key, 0) == 0) {
      if (done || desktopId.empty()) ls.erase(ls.begin() + long(i--));
      else ls[i] = line;
      done = true;
    } else if (inDefaults) {
      if (!ls[i].empty()) sectionEnd = i + 1;
    }
  }
  if (!done && !desktopId.empty()) {
    if (sectionEnd == std::string::npos) {
      if (!ls.empty() && !ls.back().empty()) ls.emplace_back();
      ls.emplace_back(kDefaultsSection);
      ls.push_back(line);
    } else {
      ls.insert(ls.begin() + long(sectionEnd), line);
    }
  }
  return joined(ls);
}

std::string readText(const std::string& path) {
  std::string bytes;
  if (!platform::readWholeFile(path, bytes)) bytes.clear();
  return bytes;
}

// The earlier default that a desktop entry of ours remembers; empty when none.
std::string rememberedDefault(const std::string& entryPath) {
  for (const std::string& l : lines(readText(entryPath)))
    if (l.rfind(kPreviousKey, 0) == 0) return l.substr(kPreviousKey.size());
  return {};
}

std::string programName(const std::string& exe) {
  std::string name = platform::fileNameOf(exe);
  if (name.size() > 4 && platform::equalsNoCase(std::string_view(name).substr(name.size() - 4), ".exe"))
    name.resize(name.size() - 4);
  return name.empty() ? std::string("QorvelMARC") : name;
}

bool anyPackageLeft(const std::string& data, u16v fileType) {
  const std::string start = std::string(kPrefix) + slug(fileType) + "-";
  std::error_code ec;
  for (const auto& e : fs::directory_iterator(platform::joinPath(data, "mime/packages"), ec)) {
    const std::string name = e.path().filename().string();
    if (name.rfind(start, 0) == 0 && name.size() > 4 && name.substr(name.size() - 4) == ".xml") return true;
  }
  return false;
}

}  // namespace

bool usableProgramPath(u16v exePath) {
  if (exePath.empty()) return false;
  for (char16_t c : exePath) {
    const bool escaped = c == u'\t' || c == u'\n' || c == u'\r';
    if ((c < 0x20 && !escaped) || (c >= 0x7F && c <= 0x9F)) return false;
  }
  return true;
}

std::string mimeTypeOf(u16v fileType) {
  if (platform::equalsNoCase(fileType, u"marc_iso2709_file")) return "application/marc";
  std::string name = slug(fileType);
  for (char& c : name)
    if (c == '_') c = '-';
  return "application/x-" + (name.empty() ? std::string("qorvelmarc") : name);
}

std::string desktopIdOf(u16v fileType) { return std::string(kPrefix) + slug(fileType) + ".desktop"; }

void associate(u16v extension, u16v fileType, u16v exePath) {
  const std::string data = dataHome(), config = configHome();
  const std::string ext = platform::toUtf8(platform::toLowerAscii(extension));
  if (data.empty() || config.empty() || !usableExtension(ext)) return;
  const std::string mimeType = mimeTypeOf(fileType), id = desktopIdOf(fileType);
  if (!platform::makeFolders(platform::joinPath(data, "mime/packages")) ||
      !platform::makeFolders(platform::joinPath(data, "applications")) || !platform::makeFolders(config))
    return;

  const std::string mimeAppsPath = platform::joinPath(config, "mimeapps.list");
  const std::string mimeApps = readText(mimeAppsPath);
  const std::string entryPath = desktopPath(data, fileType);
  const std::string current = defaultOf(mimeApps, mimeType);
  // Once ours, the default the user had before ours is the one to keep.
  const std::string previous = current == id ? rememberedDefault(entryPath) : current;

  if (!writePackage(packagePath(data, fileType, ext), mimeType, ext)) return;
  const std::string exe = platform::toUtf8(exePath);
  std::string entry = "[Desktop Entry]\nType=Application\nName=" + entryValue(programName(exe)) +
                      "\nExec=" + execArgument(exe) + " %f\nMimeType=" + mimeType + ";\nTerminal=false\n";
  if (!previous.empty()) entry += std::string(kPreviousKey) + entryValue(previous) + "\n";
  if (platform::replaceFileContents(entryPath, entry, 0644))
    platform::replaceFileContents(mimeAppsPath, withDefault(mimeApps, mimeType, id), 0644);
  refreshMimeCache(data);
  refreshDesktopCache(data);
}

void dissociate(u16v extension, u16v fileType) {
  const std::string data = dataHome(), config = configHome();
  const std::string ext = platform::toUtf8(platform::toLowerAscii(extension));
  if (data.empty() || !usableExtension(ext)) return;
  std::error_code ec;
  if (!fs::remove(packagePath(data, fileType, ext), ec)) return;  // nothing of ours for it
  refreshMimeCache(data);
  if (anyPackageLeft(data, fileType)) return;

  // The last extension of the type is gone: so go the program's entry and its default.
  const std::string entryPath = desktopPath(data, fileType);
  const std::string previous = rememberedDefault(entryPath);
  fs::remove(entryPath, ec);
  refreshDesktopCache(data);
  if (config.empty()) return;
  const std::string mimeAppsPath = platform::joinPath(config, "mimeapps.list");
  const std::string mimeApps = readText(mimeAppsPath);
  const std::string mimeType = mimeTypeOf(fileType);
  // A default the user has chosen since is theirs and stays.
  if (defaultOf(mimeApps, mimeType) == desktopIdOf(fileType))
    platform::replaceFileContents(mimeAppsPath, withDefault(mimeApps, mimeType, previous), 0644);
}

}  // namespace loomkit::desktop
