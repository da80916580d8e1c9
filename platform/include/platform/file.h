// A file object over a POSIX descriptor, in the role of the class library's CFile: the
// caller opens, positions and closes it; libraries read, write and seek it but never close
// a file that a caller passed in.
#pragma once

#include <platform/export.h>

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

QORVEL_PLATFORM_API_BEGIN
namespace platform {

class CFile {
 public:
  enum OpenFlags : unsigned {
    modeRead = 0x0000,
    modeWrite = 0x0001,
    modeReadWrite = 0x0002,
    modeCreate = 0x1000,      // create; truncates an existing file unless modeNoTruncate
    modeNoTruncate = 0x2000,  // with modeCreate: keep an existing file as it is
  };
  enum SeekPosition { begin = 0, current = 1, end = 2 };

  CFile() = default;
  /// \brief Wraps a descriptor the caller owns (closed by Close() or the destructor only
  /// when `own` is true).
  explicit CFile(int fd, bool own = false) : fd_(fd), own_(own) {}
  CFile(const CFile&) = delete;
  CFile& operator=(const CFile&) = delete;
  virtual ~CFile();

  /// \brief Opens a file (UTF-8 path); false when it cannot be opened.
  bool Open(const std::string& path, unsigned flags);
  /// \brief Closes a file this object opened or owns; a lent descriptor is only let go.
  void Close();
  /// \brief True while the object holds a descriptor.
  bool IsOpen() const { return fd_ >= 0; }

  /// \brief Reads up to `count` bytes; returns the bytes read (0 at the end or on error).
  uint32_t Read(void* buf, uint32_t count);
  /// \brief Writes all `count` bytes; false on error (a full disk, a file-size limit ...),
  /// with errno saying why. `written` (when given) receives the bytes that did reach the
  /// file, also when fewer than `count` did.
  bool Write(const void* buf, uint32_t count, uint32_t* written = nullptr);
  /// \brief Moves the position; returns the new position, or -1 on error.
  int64_t Seek(int64_t offset, SeekPosition from);
  /// \brief Moves to the start; returns 0, or -1 on error.
  int64_t SeekToBegin() { return Seek(0, begin); }
  /// \brief Moves to the end; returns the length, or -1 on error.
  int64_t SeekToEnd() { return Seek(0, end); }
  /// \brief The current position, or -1 when closed.
  int64_t GetPosition() const;
  /// \brief The file's length in bytes, or -1 when closed.
  int64_t GetLength() const;
  /// \brief Cuts or extends the file to `length` bytes; false on error.
  bool SetLength(int64_t length);
  /// \brief Makes what was written durable (fsync); false (errno set) when it fails.
  bool Flush();

  /// \brief The descriptor (the Win32 file handle of the original interfaces).
  int handle() const { return fd_; }
  /// \brief The path given to Open (empty for a wrapped descriptor).
  const std::string& path() const { return path_; }

 private:
  int fd_ = -1;
  bool own_ = false;
  std::string path_;
};

/// \brief Reads a whole file into `bytes`; false when it cannot be opened or read.
bool readWholeFile(const std::string& path, std::string& bytes);

/// \brief The file a symbolic link points to (followed to the end); other paths as given.
std::string fileBehindLink(const std::string& path);

/// \brief Makes a folder's entries durable (fsync on the folder), so that after a crash it
/// names the files just created, renamed or removed in it; given the path of a file rather
/// than a folder, the folder that holds it. False, with errno set, when that fails.
bool syncFolder(const std::string& folder);

/// \brief Replaces the file at `path` (the file behind it, when it is a symbolic link) by
/// what `write` puts into a temporary file beside it: the temporary file is made with a
/// hidden name, given the target's owner (where allowed) and mode, less the bits in
/// `clearMode`, before `write` fills it by its name (in place: `write` must not replace the
/// file), then synced and renamed over the target, and the rename synced in the folder. A
/// new file gets `newFileMode` less `clearMode` and the umask. The temporary files that
/// killed writers left beside the file are removed. False, with errno saying why and the
/// old file untouched, when `write` answers false or any step fails, including an existing
/// file that may not be written.
bool replaceFileWith(const std::string& path, const std::function<bool(const std::string& temporary)>& write,
                     unsigned newFileMode = 0666, unsigned clearMode = 0);

/// \brief Replaces the file at `path` by `bytes`, as replaceFileWith does: with
/// `clearMode` 077, a file that will hold a secret is never open to others, not even for a
/// moment while it is written.
bool replaceFileContents(const std::string& path, std::string_view bytes, unsigned newFileMode = 0666,
                         unsigned clearMode = 0);

}  // namespace platform
QORVEL_PLATFORM_API_END
