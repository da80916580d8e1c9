// File-type associations in the registry. Every comparison ignores the case of A-Z only.
// Key paths, commands and values are strings of any length (no fixed buffers), so long
// program paths and file type names associate and query like short ones.
// The registry alone opens nothing on Linux: creating and deleting an association also
// makes the user's desktop follow it (fileassoc_desktop.cpp). Queries read the registry only.
#include <loomkit/FileAssoc.h>

#include "fileassoc_desktop_internal.h"

#include <platform/registry.h>
#include <platform/text.h>

#include <string>

using namespace platform;

namespace {

const char16_t* kUserExts = u"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\FileExts\\";

u16 text(const char16_t* s) { return s ? u16(s) : u16(); }

u16 openCommand(const char16_t* exePath) { return u"\"" + text(exePath) + u"\" \"%1\""; }

// The user's own program choice for ext: HKEY_CURRENT_USER\...\FileExts\ext, value "Application".
u16 userKeyPath(const char16_t* ext) { return kUserExts + text(ext); }

bool readValue(HKEY root, const u16& path, const char16_t* name, u16& value) {
  RegKey k;
  return RegOpenKeyEx(root, path.c_str(), k.put()) == ERROR_SUCCESS &&
         RegQueryValue(k.get(), name, value) == ERROR_SUCCESS;
}

// The user's choice names the program: the same path, or a part of it (a bare file name).
bool choiceNamesProgram(const u16& application, const char16_t* exePath) {
  u16 exe = text(exePath);
  return equalsNoCase(application, exe) || toLowerAscii(exe).find(toLowerAscii(application)) != u16::npos;
}

// Deletes parent\name and everything below it, depth first; stops at the first subkey that
// will not go and leaves the rest.
bool deleteSubtree(HKEY parent, const u16& name) {
  {
    RegKey k;
    if (RegOpenKeyEx(parent, name.c_str(), k.put()) != ERROR_SUCCESS) return false;
    for (;;) {
      u16 child(64, u'\0');
      uint32_t size = 0;
      LONG rc;
      do {  // a long name: grow the buffer until it fits
        if (size) child.resize(child.size() * 2);
        size = uint32_t(child.size());
      } while ((rc = RegEnumKeyEx(k.get(), 0, child.data(), &size)) == ERROR_MORE_DATA);
      if (rc == ERROR_NO_MORE_ITEMS) break;
      if (rc != ERROR_SUCCESS) return false;
      child.resize(size);
      if (!deleteSubtree(k.get(), child)) return false;
    }
  }
  return RegDeleteKey(parent, name.c_str()) == ERROR_SUCCESS;
}

}  // namespace

CFileAssoc::CFileAssoc() = default;
CFileAssoc::~CFileAssoc() = default;

int CanAssociateProgram(const char16_t* exePath) { return loomkit::desktop::usableProgramPath(text(exePath)) ? 1 : 0; }

void CFileAssoc::CreateTypeAssociation(const char16_t* ext, const char16_t* fileType, const char16_t* exePath) {
  // A program path that the desktop cannot be told safely is refused whole, registry and all.
  if (!CanAssociateProgram(exePath)) return;
  {
    RegKey k;
    if (RegCreateKeyEx(HKEY_CLASSES_ROOT, text(ext).c_str(), k.put()) == ERROR_SUCCESS)
      RegSetValueEx(k.get(), nullptr, text(fileType));
  }
  {
    RegKey user;
    if (RegOpenKeyEx(HKEY_CURRENT_USER, userKeyPath(ext).c_str(), user.put()) == ERROR_SUCCESS)
      RegDeleteValue(user.get(), u"Application");
  }
  // fileType\shell\Open\Command, one key at a time, each parent closed once its child is open.
  HKEY key = nullptr;
  if (RegCreateKeyEx(HKEY_CLASSES_ROOT, text(fileType).c_str(), &key) == ERROR_SUCCESS) {
    for (const char16_t* part : {u"shell", u"Open", u"Command"}) {
      HKEY child = nullptr;
      LONG rc = RegCreateKeyEx(key, part, &child);
      RegCloseKey(key);
      key = rc == ERROR_SUCCESS ? child : nullptr;
      if (!key) break;
    }
    if (key) {
      RegSetValueEx(key, nullptr, openCommand(exePath));
      RegCloseKey(key);
    }
  }
  loomkit::desktop::associate(text(ext), text(fileType), text(exePath));
  SHChangeNotify(SHCNE_ASSOCCHANGED, SHCNF_FLUSHNOWAIT, nullptr, nullptr);
}

void CFileAssoc::DeleteTypeAssociation(const char16_t* ext, const char16_t* fileType, const char16_t* exePath) {
  loomkit::desktop::dissociate(text(ext), text(fileType));
  u16 current;
  // An empty extension would name HKEY_CLASSES_ROOT itself: never delete from there.
  bool named = text(ext).find_first_not_of(u'\\') != u16::npos;
  if (named && readValue(HKEY_CLASSES_ROOT, text(ext), nullptr, current) && equalsNoCase(current, text(fileType))) {
    deleteSubtree(HKEY_CLASSES_ROOT, text(ext));
    return;
  }
  RegKey user;
  u16 application;
  if (RegOpenKeyEx(HKEY_CURRENT_USER, userKeyPath(ext).c_str(), user.put()) == ERROR_SUCCESS &&
      RegQueryValue(user.get(), u"Application", application) == ERROR_SUCCESS &&
      choiceNamesProgram(application, exePath))
    RegDeleteValue(user.get(), u"Application");
}

int CFileAssoc::QueryTypeAssociation(const char16_t* ext, const char16_t* fileType, const char16_t* exePath) {
  u16 application;
  if (readValue(HKEY_CURRENT_USER, userKeyPath(ext), u"Application", application) &&
      choiceNamesProgram(application, exePath))
    return 1;
  u16 current;
  if (CommandMatches(fileType, exePath) && readValue(HKEY_CLASSES_ROOT, text(ext), nullptr, current) &&
      equalsNoCase(current, text(fileType)))
    return 1;
  return 0;
}

int CFileAssoc::CommandMatches(const char16_t* fileType, const char16_t* exePath) {
  u16 command;
  return readValue(HKEY_CLASSES_ROOT, text(fileType) + u"\\shell\\Open\\Command", nullptr, command) &&
         equalsNoCase(command, openCommand(exePath));
}
