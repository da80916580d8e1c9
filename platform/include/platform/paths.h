// Where the suite's files live. Paths are UTF-8 std::string; folders come without a
// trailing '/'. Use joinPath to put a file name in a folder.
#pragma once

#include <platform/export.h>
#include <platform/text.h>

#include <string>
#include <string_view>

QORVEL_PLATFORM_API_BEGIN
namespace platform {

/// \brief Full path of the running executable (/proc/self/exe); empty when unknown.
std::string programPath();
/// \brief Folder of the running executable ("beside the program").
std::string programFolder();

/// \brief Full path of the executable or shared library that holds `address` (dladdr);
/// pass the address of a function or object of that library. Empty when no module holds it.
std::string modulePath(const void* address);
/// \brief Folder of the executable or shared library that holds `address`.
std::string moduleFolder(const void* address);

/// \brief $QORVEL_HOME, else ~/.config/qorvelmarc; created (mode 0700) when missing.
std::string qorvelHome();
/// \brief The Windows directory, $QORVEL_HOME/windows; created when missing. Bare profile
/// file names (Loomstore.ini, QzConfig.ini ...) lie here.
std::string windowsDirectory();

/// \brief dir + "/" + name (no doubled '/'; name alone when dir is empty).
std::string joinPath(std::string_view dir, std::string_view name);
/// \brief The folder part of a path (up to its last '/', without it; "/" for the root).
std::string folderOf(std::string_view path);
/// \brief The last element of a path.
std::string fileNameOf(std::string_view path);

/// \brief A UTF-16 path as the UTF-8 text the file system takes.
inline std::string pathFromWide(u16v path) { return toUtf8(path); }
/// \brief A UTF-8 path as UTF-16 text.
inline u16 pathToWide(std::string_view path) { return fromUtf8(path); }

/// \brief Creates a folder and its parents (mode 0700 for the new ones); false on failure.
bool makeFolders(const std::string& path);

}  // namespace platform
QORVEL_PLATFORM_API_END
