// Profile (INI) files with the behaviour of the Windows profile functions.
//
// Names of sections and keys compare without regard to the case of A-Z and keep the
// spelling they were first written with. A value read is trimmed of blanks, loses one pair
// of enclosing quotes (both ' or both ") and is cut to fit the reader's buffer. Lines that
// start with ";" are comments: never keys, never listed.
//
// Files: a name without '/' lives in the Windows directory ($QORVEL_HOME/windows/, see
// paths.h). A file that starts with FF FE is UTF-16LE; any other is UTF-8 when its bytes are
// valid UTF-8 (an EF BB BF mark is kept), else code page 936. A file is written back in the
// encoding it was read in, lines not changed by the write byte for byte; a new file is UTF-8.
// A code page 936 file that is given text the code page cannot hold is rewritten as UTF-8
// rather than lose that text.
// A written name or value ends at its first line break (it could otherwise forge keys or
// sections), and half a surrogate pair written to a UTF-8 file becomes U+FFFD (it would
// make the file invalid UTF-8, to be read as code page 936 next time).
//
// Every call reads the file afresh, so writes of other processes are seen at once. A write
// takes an flock on ".<name>.lock" beside the file, reads the file, changes it, writes a
// temporary file in the same folder and renames it over the file: readers see the old or the
// new file, never half of one, and concurrent writers (threads or processes) lose nothing.
// The lock file is made 0600 and never followed when it is a symbolic link; a lock that
// another program holds longer than the lock wait (a few seconds) fails the write. A write
// also removes the temporary files ".<name>.<pid>-..." that writers killed before their
// rename left beside the file, once their process is gone.
// A rewritten file keeps its mode; a new file gets 0666 less the umask, except a file that
// holds passwords: "Loomstore.ini" and "Gleanex.ini" (in any letter case), and any file with
// a key named like a password (password, passwd, pwd, pass, 口令, 密码) or a value that
// carries one ("?p=user/password", "Password=..."). Such a file is created 0600 and, when it
// is rewritten, loses whatever group and others could do with it.
#pragma once

#include <platform/export.h>
#include <platform/text.h>

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

QORVEL_PLATFORM_API_BEGIN
namespace platform {

// ---- The Windows contract: UTF-16 names and buffers, sizes in 16-bit units ----

/// \brief Reads a value into buf (cut to size-1 units, NUL-terminated) and returns its length;
/// `def` (NULL: empty, trailing blanks dropped) when the key is missing. A NULL key lists the
/// section's keys, a NULL section the section names: NUL-separated, ending in two NULs,
/// returning the length without the last NUL (size-2 when cut; only whole names are listed).
int32_t GetPrivateProfileString(const char16_t* section, const char16_t* key, const char16_t* def,
                                char16_t* buf, uint32_t size, const char16_t* file);

/// \brief Reads a value as a number: blanks, an optional sign, then decimal digits or "0x" hex
/// ("0o" octal, "0b" binary), up to the first other character (0 when there is no digit).
/// `def` when the key is missing or its value is empty.
int32_t GetPrivateProfileInt(const char16_t* section, const char16_t* key, int32_t def, const char16_t* file);

/// \brief Copies the lines of a section as "key=value" (blanks around key and value dropped,
/// quotes kept; a line without "=" as it stands), NUL-separated, ending in two NULs; returns
/// the length without the last NUL (size-2 when not every line fits; only whole lines are copied).
int32_t GetPrivateProfileSection(const char16_t* section, char16_t* buf, uint32_t size, const char16_t* file);

/// \brief Copies the section names in file order, in the list form of GetPrivateProfileSection.
int32_t GetPrivateProfileSectionNames(char16_t* buf, uint32_t size, const char16_t* file);

/// \brief Sets a value; a NULL value deletes the key, a NULL key the whole section.
/// False when the file cannot be written or only the section is NULL (all three NULL: true,
/// there is no cache to flush).
bool WritePrivateProfileString(const char16_t* section, const char16_t* key, const char16_t* value,
                               const char16_t* file);

/// \brief Replaces the lines of a section by `lines` (NUL-separated, ending in two NULs),
/// creating the section when missing; NULL deletes the section.
bool WritePrivateProfileSection(const char16_t* section, const char16_t* lines, const char16_t* file);

// ---- Convenient forms for the suite's own code ----

/// A profile file name, given as UTF-16 or UTF-8 text (a bare name means the Windows directory).
class ProfileFile {
 public:
  ProfileFile(const char16_t* name) : name_(name ? name : u"") {}
  ProfileFile(u16v name) : name_(name) {}
  ProfileFile(const u16& name) : name_(name) {}
  ProfileFile(const char* name) : name_(fromUtf8(name ? name : "")) {}
  ProfileFile(std::string_view name) : name_(fromUtf8(name)) {}
  ProfileFile(const std::string& name) : name_(fromUtf8(name)) {}
  ProfileFile(const std::filesystem::path& name) : name_(fromUtf8(name.string())) {}
  const char16_t* c_str() const { return name_.c_str(); }

 private:
  u16 name_;
};

/// \brief A value read as GetPrivateProfileString reads it into `size` units (cut to size-1).
u16 profileString(const ProfileFile& file, u16v section, u16v key, u16v def = u"", uint32_t size = 256);
/// \brief A value read as GetPrivateProfileInt reads it.
int32_t profileInt(const ProfileFile& file, u16v section, u16v key, int32_t def);
/// \brief The lines of a section, as read into `size` units.
std::vector<u16> profileSection(const ProfileFile& file, u16v section, uint32_t size = 32767);
/// \brief The key names of a section, as read into `size` units.
std::vector<u16> profileKeys(const ProfileFile& file, u16v section, uint32_t size = 32767);
/// \brief The section names of a file, as read into `size` units.
std::vector<u16> profileSectionNames(const ProfileFile& file, uint32_t size = 32767);
/// \brief A numbered list: the values of keys "1", "2", ... up to the first missing or empty one.
std::vector<u16> profileList(const ProfileFile& file, u16v section, uint32_t size = 256);

/// \brief Sets a value; false when the file cannot be written.
bool writeProfileString(const ProfileFile& file, u16v section, u16v key, u16v value);
/// \brief Deletes a key (true also when it was not there).
bool deleteProfileKey(const ProfileFile& file, u16v section, u16v key);
/// \brief Deletes a section with all its keys (true also when it was not there).
bool deleteProfileSection(const ProfileFile& file, u16v section);
/// \brief Replaces the lines of a section ("key=value" each).
bool writeProfileSection(const ProfileFile& file, u16v section, const std::vector<u16>& lines);

/// \brief Sets how long a write waits for the lock that another writer holds (5,000 ms at
/// first); returns the wait it replaces.
int setProfileLockWait(int milliseconds);
/// \brief Why this thread's last write failed (0 after one that succeeded): ETIMEDOUT when
/// another program held the file's lock for the whole lock wait, else the system's error.
int lastProfileWriteError();

/// \brief Where a profile file name leads: a name without '/' lies in the Windows directory.
std::string profilePath(u16v file);

}  // namespace platform
QORVEL_PLATFORM_API_END
