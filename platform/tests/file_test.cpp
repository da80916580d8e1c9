#include <platform/file.h>
#include <platform/paths.h>
#include <qorvel_testing/testing.h>

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>

using namespace platform;

TEST(File, OpenModes) {
  qtest::TempDir dir;
  std::string path = (dir / "f.bin").string();
  CFile f;
  EXPECT_FALSE(f.Open(path, CFile::modeRead));  // does not exist
  EXPECT_FALSE(f.IsOpen());

  ASSERT_TRUE(f.Open(path, CFile::modeCreate | CFile::modeWrite));
  EXPECT_TRUE(f.Write("hello world", 11));
  EXPECT_EQ(f.path(), path);
  f.Close();
  EXPECT_FALSE(f.IsOpen());

  // Create without truncating keeps the content; read-write can change it in place.
  ASSERT_TRUE(f.Open(path, CFile::modeCreate | CFile::modeNoTruncate | CFile::modeReadWrite));
  EXPECT_EQ(f.GetLength(), 11);
  EXPECT_EQ(f.Seek(6, CFile::begin), 6);
  EXPECT_TRUE(f.Write("WORLD", 5));
  EXPECT_EQ(f.GetPosition(), 11);
  EXPECT_EQ(f.SeekToBegin(), 0);
  char buf[32] = {};
  EXPECT_EQ(f.Read(buf, sizeof buf), 11u);
  EXPECT_STREQ(buf, "hello WORLD");
  EXPECT_EQ(f.Read(buf, sizeof buf), 0u);  // at the end
  EXPECT_EQ(f.Seek(-5, CFile::end), 6);
  EXPECT_EQ(f.Seek(2, CFile::current), 8);
  EXPECT_TRUE(f.SetLength(5));
  EXPECT_EQ(f.GetLength(), 5);
  f.Close();

  // A read-only file refuses writes; create with truncation empties it.
  ASSERT_TRUE(f.Open(path, CFile::modeRead));
  EXPECT_FALSE(f.Write("x", 1));
  EXPECT_EQ(f.SeekToEnd(), 5);
  ASSERT_TRUE(f.Open(path, CFile::modeCreate | CFile::modeReadWrite));  // reopening closes the first
  EXPECT_EQ(f.GetLength(), 0);
}

TEST(File, CallersDescriptorIsNeverClosed) {
  qtest::TempDir dir;
  int fd = ::open((dir / "g.bin").c_str(), O_RDWR | O_CREAT, 0600);
  ASSERT_GE(fd, 0);
  {
    CFile lent(fd);
    EXPECT_TRUE(lent.Write("abc", 3));
    lent.Close();
    EXPECT_EQ(lent.handle(), -1);
  }
  {
    CFile lent(fd);
  }  // the destructor leaves it open too
  EXPECT_NE(fcntl(fd, F_GETFD), -1);
  EXPECT_EQ(::lseek(fd, 0, SEEK_CUR), 3);
  {
    CFile owner(fd, true);
  }
  EXPECT_EQ(fcntl(fd, F_GETFD), -1);  // an owned descriptor is closed with its object
}

TEST(File, ClosedFileAnswersFailure) {
  CFile f;
  char c;
  EXPECT_EQ(f.Read(&c, 1), 0u);
  EXPECT_FALSE(f.Write(&c, 1));
  EXPECT_EQ(f.Seek(0, CFile::begin), -1);
  EXPECT_EQ(f.GetLength(), -1);
  EXPECT_EQ(f.GetPosition(), -1);
  EXPECT_FALSE(f.SetLength(0));
}

// A write that the disk or a file-size limit cuts short fails, says why and says how much of
// it reached the file, so that the caller can take it back.
TEST(File, AShortWriteSaysHowFarItGot) {
  const std::string bytes(10000, 'x');
  struct Outcome {
    bool ok;
    uint32_t written;
    int error;
    int64_t length;
  };
  auto writeInto = [&](const std::string& path) {
    CFile f;
    Outcome o{true, 0, 0, -1};
    if (!f.Open(path, CFile::modeCreate | CFile::modeReadWrite)) return Outcome{true, 0, errno, -1};
    o.ok = f.Write(bytes.data(), uint32_t(bytes.size()), &o.written);
    o.error = errno;
    o.length = f.GetLength();
    return o;
  };

  qtest::TempDir dir;
  {
    // What reaches the file is reported on a write that gets through whole, too.
    CFile f;
    ASSERT_TRUE(f.Open((dir / "whole.bin").string(), CFile::modeCreate | CFile::modeWrite));
    uint32_t written = 0;
    EXPECT_TRUE(f.Write(bytes.data(), 100, &written));
    EXPECT_EQ(written, 100u);
    EXPECT_TRUE(f.Flush());
  }

  // A file-size limit of 4 KiB, in a child process.
  const std::string limited = (dir / "limited.bin").string();
  int pipeFds[2];
  ASSERT_EQ(pipe(pipeFds), 0);
  int rc = qtest::inChildProcess([&] {
    qtest::limitFileSize(4096);
    Outcome o = writeInto(limited);
    return ::write(pipeFds[1], &o, sizeof o) == ssize_t(sizeof o) ? 0 : 1;
  });
  ASSERT_EQ(rc, 0);
  Outcome o{};
  ASSERT_EQ(::read(pipeFds[0], &o, sizeof o), ssize_t(sizeof o));
  ::close(pipeFds[0]);
  ::close(pipeFds[1]);
  EXPECT_FALSE(o.ok);
  EXPECT_EQ(o.written, 4096u);
  EXPECT_EQ(o.error, EFBIG);
  EXPECT_EQ(o.length, 4096);

  // A disk of two pages.
  qtest::SmallDisk disk(8192);
  if (!disk.mounted()) GTEST_SKIP() << disk.why();
  o = writeInto((disk / "full.bin").string());
  EXPECT_FALSE(o.ok);
  EXPECT_EQ(o.written, 8192u);
  EXPECT_EQ(o.error, ENOSPC);
  EXPECT_EQ(o.length, 8192);
}

// ---- Whole-file replacement ----

namespace {

mode_t modeOf(const std::string& path) {
  struct stat st{};
  return ::stat(path.c_str(), &st) == 0 ? st.st_mode & 07777 : 0;
}

uid_t ownerOf(const std::string& path) {
  struct stat st{};
  return ::stat(path.c_str(), &st) == 0 ? st.st_uid : uid_t(-1);
}

std::string namesIn(const std::filesystem::path& folder) {
  std::string names;
  for (const auto& e : std::filesystem::directory_iterator(folder)) names += e.path().filename().string() + " ";
  return names;
}

}  // namespace

// The writer fills a hidden temporary file beside the file (behind a link), which already
// has the mode (less the bits to clear) and owner the file will have: a file that holds a
// secret is never open to others, neither while it is written nor once renamed.
TEST(File, ReplaceFileWithGivesTheTemporaryItsModeBeforeTheWriterWrites) {
  struct Case {
    const char* name;
    mode_t before;  // 0: no file yet
    unsigned clear;
    mode_t mode;  // the temporary's while written, and the file's afterwards
  } cases[] = {
      {"kept", 0644, 0, 0644},
      {"closed", 0644, 077, 0600},
      {"open to all, closed", 0666, 077, 0600},
      {"new", 0, 0, 0644},
      {"new, closed", 0, 077, 0600},
  };
  const mode_t oldMask = umask(022);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    qtest::TempDir dir;
    std::filesystem::create_directory(dir / "real");
    const std::string target = (dir / "real" / "book.xml").string();
    const std::string link = (dir / "link.xml").string();
    ASSERT_EQ(symlink(target.c_str(), link.c_str()), 0);
    // A file of another user keeps its owner when root rewrites it.
    const uid_t owner = c.before && qtest::canActAsOtherUser() ? uid_t(qtest::otherUid()) : ::geteuid();
    if (c.before) {
      qtest::writeFile(target, "old");
      ASSERT_EQ(chmod(target.c_str(), c.before), 0);
      ASSERT_EQ(chown(target.c_str(), owner, gid_t(-1)), 0);
    }
    std::string seen;
    mode_t modeSeen = 0;
    uid_t ownerSeen = 0;
    // A new file is named as it is (a link to no file is replaced as one).
    ASSERT_TRUE(replaceFileWith(
        c.before ? link : target,
        [&](const std::string& temporary) {
          seen = temporary;
          modeSeen = modeOf(temporary);
          ownerSeen = ownerOf(temporary);
          qtest::writeFile(temporary, "new");
          return true;
        },
        0666, c.clear));
    EXPECT_EQ(folderOf(seen), (dir / "real").string());
    EXPECT_TRUE(fileNameOf(seen).starts_with(".book.xml.")) << seen;
    EXPECT_EQ(modeSeen, c.mode);
    EXPECT_EQ(ownerSeen, owner);
    EXPECT_TRUE(std::filesystem::is_symlink(link));
    EXPECT_EQ(qtest::readFile(target), "new");
    EXPECT_EQ(modeOf(target), c.mode);
    EXPECT_EQ(ownerOf(target), owner);
    EXPECT_EQ(namesIn(dir / "real"), "book.xml ");
  }
  umask(oldMask);
}

// A writer that fails, or a file that may not be written, leaves the old file and no
// temporary file, and errno says why.
TEST(File, ReplaceFileWithKeepsTheOldFileOnFailure) {
  qtest::TempDir dir;
  const std::string path = (dir / "book.xml").string();
  qtest::writeFile(path, "old");
  EXPECT_FALSE(replaceFileWith(path, [](const std::string& temporary) {
    qtest::writeFile(temporary, "ne");
    errno = ENOSPC;
    return false;
  }));
  EXPECT_EQ(errno, ENOSPC);
  EXPECT_EQ(qtest::readFile(path), "old");
  EXPECT_EQ(namesIn(dir.path()), "book.xml ");

  ASSERT_EQ(chmod(path.c_str(), 0444), 0);
  EXPECT_EQ(qtest::inChildProcess([&] {
              qtest::obeyFilePermissions();
              bool called = false;
              const bool ok = replaceFileWith(path, [&](const std::string&) { return called = true; });
              return ok || called ? 1 : errno == EACCES ? 0 : 2;
            }),
            0);
  EXPECT_EQ(qtest::readFile(path), "old");
  EXPECT_EQ(namesIn(dir.path()), "book.xml ");
}

// A folder is synced by its own name or by the name of a file in it.
TEST(File, SyncFolderTakesAFolderOrAFileInIt) {
  qtest::TempDir dir;
  const std::string file = (dir / "a.txt").string();
  qtest::writeFile(file, "x");
  EXPECT_TRUE(syncFolder(dir.path().string()));
  EXPECT_TRUE(syncFolder(file));
  errno = 0;
  EXPECT_FALSE(syncFolder((dir / "no" / "such").string()));
  EXPECT_EQ(errno, ENOENT);
}
