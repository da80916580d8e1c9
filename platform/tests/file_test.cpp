#include <platform/file.h>
#include <qorvel_testing/testing.h>

#include <gtest/gtest.h>

#include <fcntl.h>
#include <unistd.h>

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
