// The desktop's side of a file association: what the registry says, made true for the Linux
// desktop the freedesktop way, for the current user only (under $XDG_DATA_HOME and
// $XDG_CONFIG_HOME).
#pragma once

#include <string>
#include <string_view>

namespace loomkit::desktop {

/// \brief Files of `ext` open with `exePath`: a MIME type for `fileType` with the extension's
/// glob (mime/packages), a desktop entry for the program (applications) and the program as
/// the type's default (mimeapps.list), the earlier default kept to be given back; the MIME
/// and desktop caches are refreshed when their tools are installed. Silent on failure.
void associate(std::u16string_view ext, std::u16string_view fileType, std::u16string_view exePath);

/// \brief Removes what associate wrote for `ext` and nothing else; once no extension of
/// `fileType` is left, also the desktop entry, and the type's default goes back to what the
/// user had before (when it is still ours).
void dissociate(std::u16string_view ext, std::u16string_view fileType);

/// \brief Whether a desktop entry can name `exePath` as its program: not empty, and no control
/// character but tab, line feed and carriage return (which the entry escapes).
bool usableProgramPath(std::u16string_view exePath);

/// \brief The MIME type the desktop knows `fileType` by: application/marc, the registered
/// type of MARC records, for the suite's own file type; application/x-<name> for others.
std::string mimeTypeOf(std::u16string_view fileType);

/// \brief The desktop entry's file name (its desktop id) for `fileType`.
std::string desktopIdOf(std::u16string_view fileType);

}  // namespace loomkit::desktop
