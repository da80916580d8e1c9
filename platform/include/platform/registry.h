// The registry: a small file-backed store with the Windows registry's calls and rules, holding
// the two hives the suite uses, HKEY_CLASSES_ROOT (file types, automation classes) and
// HKEY_CURRENT_USER (the shell's per-user choices).
//
// Rules kept from Windows:
// - key and value names keep the case they were created with and are compared without regard
//   to the case of A-Z; a key path is its names joined by '\' (empty parts are skipped);
// - values are REG_SZ text; the default value of a key is the one with the empty name;
// - a value read into too small a buffer fails with ERROR_MORE_DATA and writes nothing;
// - RegDeleteKey removes only a key without subkeys; RegDeleteTree removes a whole subtree.
// Sizes are counted in 16-bit units (with the terminating NUL), not in bytes.
//
// Storage: $QORVEL_HOME/registry/<hive>.reg, one UTF-8 text file per hive
// (HKEY_CLASSES_ROOT.reg, HKEY_CURRENT_USER.reg). One section per key, depth first, parents
// before children, each key written even when it holds no values:
//
//   [CLSID\{C5C862E5-1A6F-11D9-895C-0050BAC1BFD6}]
//   @="zoom.ZoomConn"
//   "Name"="text"
//
// "@" is the default value. In names and texts '\' is written "\\", '"' as "\"", line feed
// "\n", carriage return "\r", and other units below U+0020 as "\xHH". Lines that do not parse
// are skipped, so a damaged file loses only what it damaged.
//
// Every call reads the file afresh; a change reads, edits and writes the hive under an
// exclusive flock() on <hive>.lock, writing a temporary file and renaming it over the old
// one, so readers never see half a file and two processes writing at once lose nothing.
// When the store cannot be written (no folder, no rights) a change answers ERROR_ACCESS_DENIED.
#pragma once

#include <platform/export.h>

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

QORVEL_PLATFORM_API_BEGIN
namespace platform {

using LONG = int32_t;

constexpr LONG ERROR_SUCCESS = 0;
constexpr LONG ERROR_FILE_NOT_FOUND = 2;
constexpr LONG ERROR_ACCESS_DENIED = 5;
constexpr LONG ERROR_INVALID_HANDLE = 6;
constexpr LONG ERROR_INVALID_PARAMETER = 87;
constexpr LONG ERROR_MORE_DATA = 234;
constexpr LONG ERROR_NO_MORE_ITEMS = 259;
constexpr LONG ERROR_KEY_DELETED = 1018;

struct RegKeyHandle;
using HKEY = RegKeyHandle*;

/// The two hives; closing them does nothing.
extern const HKEY HKEY_CLASSES_ROOT;
extern const HKEY HKEY_CURRENT_USER;

constexpr uint32_t REG_CREATED_NEW_KEY = 1;
constexpr uint32_t REG_OPENED_EXISTING_KEY = 2;

/// \brief Opens parent\subKey, creating every missing key on the way (null or "" opens
/// parent itself again). *disposition (when given) tells whether the key was new.
LONG RegCreateKeyEx(HKEY parent, const char16_t* subKey, HKEY* result, uint32_t* disposition = nullptr);
/// \brief Opens an existing key; ERROR_FILE_NOT_FOUND when it is missing.
LONG RegOpenKeyEx(HKEY parent, const char16_t* subKey, HKEY* result);
/// \brief Gives back a handle from RegCreateKeyEx / RegOpenKeyEx.
LONG RegCloseKey(HKEY key);

/// \brief Sets the REG_SZ value `name` (null or "" is the default value).
LONG RegSetValueEx(HKEY key, const char16_t* name, std::u16string_view value);
/// \brief Reads a value of any length; ERROR_FILE_NOT_FOUND when it is missing.
LONG RegQueryValue(HKEY key, const char16_t* name, std::u16string& value);
/// \brief Deletes the value `name`; ERROR_FILE_NOT_FOUND when it is missing.
LONG RegDeleteValue(HKEY key, const char16_t* name);

/// \brief Name of the index-th subkey (in case-blind alphabetical order) into buf of *size
/// units; ERROR_NO_MORE_ITEMS past the last one, ERROR_MORE_DATA when it does not fit.
/// On success *size is the name's length without its NUL.
LONG RegEnumKeyEx(HKEY key, uint32_t index, char16_t* buf, uint32_t* size);
/// \brief Deletes parent\subKey when it has no subkeys (ERROR_ACCESS_DENIED when it has).
LONG RegDeleteKey(HKEY parent, const char16_t* subKey);
/// \brief Deletes parent\subKey with its whole subtree (null or "": every subkey and value
/// of parent, parent itself stays).
LONG RegDeleteTree(HKEY parent, const char16_t* subKey);

/// Closes a key handle when it goes.
class RegKey {
 public:
  RegKey() = default;
  explicit RegKey(HKEY k) : k_(k) {}
  RegKey(const RegKey&) = delete;
  RegKey& operator=(const RegKey&) = delete;
  ~RegKey() { close(); }
  HKEY get() const { return k_; }
  /// \brief The slot for an out-parameter; closes what was held.
  HKEY* put() {
    close();
    return &k_;
  }
  explicit operator bool() const { return k_ != nullptr; }
  void close() {
    if (k_) RegCloseKey(k_);
    k_ = nullptr;
  }

 private:
  HKEY k_ = nullptr;
};

// The shell's change notification. The suite only tells the shell that associations
// changed; on Linux nobody listens, so the call goes to a hook that tests may install.
constexpr int32_t SHCNE_ASSOCCHANGED = 0x08000000;
constexpr uint32_t SHCNF_IDLIST = 0x0000;
constexpr uint32_t SHCNF_FLUSH = 0x1000;
constexpr uint32_t SHCNF_FLUSHNOWAIT = 0x2000;

using ShellNotifyHook = std::function<void(int32_t eventId, uint32_t flags, const void* item1, const void* item2)>;
/// \brief Installs the hook that SHChangeNotify calls (an empty hook: do nothing, the default);
/// answers the one it replaces.
ShellNotifyHook setShellNotifyHook(ShellNotifyHook hook);
/// \brief Passes the notification to the installed hook, if any.
void SHChangeNotify(int32_t eventId, uint32_t flags, const void* item1, const void* item2);

}  // namespace platform
QORVEL_PLATFORM_API_END
