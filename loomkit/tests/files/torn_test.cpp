// Record files stay whole: an append that the disk cuts short (a full disk, a file-size limit)
// leaves nothing of its record behind; a file that ends in a torn record (a writer killed in
// the middle) is mended before the next append, its tail kept in a file beside it; and after
// a writer killed again and again, the next append leaves a file that yaz-marcdump reads whole.
#include <loomkit/Marc.h>
#include <loomkit/MarcFile.h>
#include <platform/file.h>
#include <platform/text.h>

#include "faults.h"
#include "fixtures.h"

#include <gtest/gtest.h>

#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>

#include <random>

using namespace files_test;

namespace {

namespace fs = std::filesystem;

// Internal record text with a title and, to make the record long, `body` characters of text.
u16 jinei(const u16& id, size_t body) {
  u16 text = u"<marc><header>00000nam\x11\x11" u"2200000\x11\x11\x11" u"4500</header><field name=\"001\">" + id +
             u"</field><field name=\"200\" indicator=\"1\x11\"><sf name=\"a\">题名" + id + u"</sf></field>";
  for (size_t done = 0; done < body; done += 3000)
    text += u"<field name=\"330\" indicator=\"\x11\x11\"><sf name=\"a\">" + u16(std::min<size_t>(3000, body - done), u'文') +
            u"</sf></field>";
  return text + u"</marc>";
}

// The three ways of appending: a UTF-16 ISO 2709 record through a handle or a file object,
// and a record object.
enum class Way { Handle, FileObject, Record };

int32_t append(CMarcFile& writer, platform::CFile& file, const u16& text, Way way) {
  CMarc marc;
  marc.SetContent(text.c_str());
  if (way == Way::Record) return writer.AppendToIso2709(marc, file);
  std::vector<char16_t> iso(128000);
  int32_t n = writer.Jinei2Iso(marc, iso.data(), int32_t(iso.size()));
  if (way == Way::Handle) return writer.AppendToIso2709(iso.data(), n, file.handle());
  return writer.AppendToIso2709(iso.data(), n, file);
}

// The records our own reader finds in a file, and whether yaz-marcdump (byte forms) reads it
// without a complaint.
size_t recordsIn(const fs::path& path) {
  platform::CFile f;
  if (!f.Open(path.string(), platform::CFile::modeRead)) return 0;
  CMarcFile reader;
  std::vector<char16_t> buf(128000);
  size_t n = 0;
  while (reader.ReadFromIso2709(buf.data(), int32_t(buf.size()), f) > 0) ++n;
  return n;
}

std::string yazComplaints(const fs::path& path, size_t* records = nullptr) {
  std::string out;
  const fs::path errors = path.string() + ".yaz-errors";
  qtest::run("yaz-marcdump -i marc -o line '" + path.string() + "' 2>'" + errors.string() + "'", &out);
  if (records) {
    *records = 0;
    for (size_t at = out.find("001 "); at != std::string::npos; at = out.find("001 ", at + 1))
      if (at == 0 || out[at - 1] == '\n') ++*records;
  }
  std::string complaints = qtest::readFile(errors);
  fs::remove(errors);
  for (size_t at = out.find("Warning"); at != std::string::npos; at = out.find("Warning", at + 1))
    complaints += out.substr(at, out.find('\n', at) - at) + "\n";
  return complaints;
}

struct Form {
  const char* name;
  int32_t codePage, newline, marker;
  bool yaz;  // another toolkit reads this form
};
const Form kForms[] = {{"UTF-8", 65001, 0, 0, true},        {"GBK", 0, 0, 0, true},
                       {"UTF-8, mark, CR LF", 65001, 1, 1, false}, {"UTF-16, mark, CR LF", -1, 1, 1, false},
                       {"EACC", -2, 0, 3, false}};
const std::pair<const char*, Way> kWays[] = {{"handle", Way::Handle}, {"file object", Way::FileObject}, {"record", Way::Record}};

// Appends records of about 3 KB to `path` until one fails; what it must look like then: a
// failure with the disk's reason, the file ending on the last whole record, the position
// there, and nothing of the failed record in the file. Returns a description of what went
// wrong (empty when all held), for a child process to hand back by its exit status.
std::string fillUntilFull(const fs::path& path, const Form& form, Way way, int expectedError) {
  platform::CFile file;
  if (!file.Open(path.string(), platform::CFile::modeCreate | platform::CFile::modeReadWrite)) return "cannot create";
  CMarcFile writer;
  writer.SetAttributeEx(form.codePage, form.newline, form.marker);
  for (int i = 0; i < 1000; ++i) {
    const int64_t before = file.GetLength();
    errno = 0;
    int32_t n = append(writer, file, jinei(u"r" + platform::fromUtf8(std::to_string(i)), 1000), way);
    if (n > 0) continue;
    int error = errno;
    if (i == 0) return "not even one record was written";
    if (error != expectedError) return "errno " + std::to_string(error);
    if (file.GetLength() != before) return "the file kept part of the record";
    if (file.GetPosition() != before) return "the position moved";
    if (recordsIn(path) != size_t(i)) return std::to_string(recordsIn(path)) + " records read of " + std::to_string(i);
    // Room for a smaller record may be left: the next one that fits is whole again.
    return {};
  }
  return "the disk never filled";
}

TEST(FileWhole, AppendsThatTheDiskCutsShortLeaveNothing) {
  for (const Form& form : kForms) {
    for (const auto& [wayName, way] : kWays) {
      SCOPED_TRACE(std::string(form.name) + " through a " + wayName);
      // A file-size limit of 10,000 bytes, in a child process.
      qtest::TempDir dir;
      const fs::path limited = dir / "limited.mrc";
      int rc = qtest::inChildProcess([&] {
        qtest::limitFileSize(10000);
        std::string what = fillUntilFull(limited, form, way, EFBIG);
        if (!what.empty()) std::fprintf(stderr, "%s\n", what.c_str());
        return what.empty() ? 0 : 1;
      });
      EXPECT_EQ(rc, 0) << "see the child's message above";
      if (form.yaz) {
        size_t read = 0;
        EXPECT_EQ(yazComplaints(limited, &read), "");
        EXPECT_EQ(read, recordsIn(limited));
      }
      // A disk of three pages.
      qtest::SmallDisk disk(12288);
      if (!disk.mounted()) {
        std::printf("skipped the small disk: %s\n", disk.why().c_str());
        continue;
      }
      EXPECT_EQ(fillUntilFull(disk / "full.mrc", form, way, ENOSPC), "");
      if (form.yaz) {
        EXPECT_EQ(yazComplaints(disk / "full.mrc"), "");
      }
    }
  }
}

// A file that cannot be cut back after a short write is not reported as cut: the part of the
// record stays at its end, the file stands past it (a record written over it from its start
// would leave the rest of it behind), and the next mend moves it out.
TEST(FileWhole, AnAppendThatCannotBeTakenBackLeavesItsPartAtTheEnd) {
  qtest::TempDir dir;
  const fs::path path = dir / "limited.mrc";
  int rc = qtest::inChildProcess([&] {
    qtest::limitFileSize(10000);
    platform::CFile file;
    if (!file.Open(path.string(), platform::CFile::modeCreate | platform::CFile::modeReadWrite)) return 2;
    CMarcFile writer;
    writer.SetAttributeEx(65001, 0, 0);
    int64_t before = 0;
    int error = 0;
    int i = 0;
    {
      faults::FailTruncate noCut(EIO);
      for (; i < 100; ++i) {
        before = file.GetLength();
        errno = 0;
        if (append(writer, file, jinei(u"r" + platform::fromUtf8(std::to_string(i)), 1000), Way::Record) > 0) continue;
        error = errno;
        break;
      }
    }
    if (error != EFBIG) return 3;  // the write's own reason, not the cut's
    if (file.GetLength() <= before) return 4;
    if (file.GetPosition() != file.GetLength()) return 5;
    std::string tail;
    if (writer.MendTornTail(file, tail) != 1 || file.GetLength() != before) return 6;
    return recordsIn(path) == size_t(i) ? 0 : 7;
  });
  EXPECT_EQ(rc, 0) << "3: errno, 4: nothing of the record left, 5: the position moved back, 6: no mend, "
                      "7: records lost";
}

// A record file whose tail is torn, as `bytes`; the mend's answer, the file and the tail after it.
struct Mended {
  int32_t result;
  std::string file, tail, tailName;
};

Mended mend(const std::string& bytes, int32_t codePage, bool byHandle = false) {
  File f(bytes);
  CMarcFile writer;
  writer.SetAttributeEx(codePage, 0, 0);
  std::string tailName;
  Mended m{};
  if (byHandle) {
    platform::CFile lent(f.fd());
    m.result = writer.MendTornTail(lent, tailName);
  } else {
    platform::CFile own;
    own.Open(f.path().string(), platform::CFile::modeReadWrite);
    m.result = writer.MendTornTail(own, tailName);
    EXPECT_EQ(own.GetPosition(), own.GetLength()) << "the file stands at its end";
  }
  m.file = f.bytes();
  if (!tailName.empty()) {
    m.tailName = fs::path(tailName).filename().string();
    m.tail = qtest::readFile(tailName);
  }
  return m;
}

TEST(FileWhole, ATornTailIsMovedBesideTheFile) {
  const std::string r1 = simple(u"1", u"Title"), r2 = simple(u"2", u"中文题名"), r3 = simple(u"3", u"Third");
  // A long record cut early: its leader promises far more than the record after it holds.
  const std::string longRecord = record({{u"001", u"4"}, {u"330", u"  \x1F" u"a" + u16(3000, u'x')}});
  const std::string w1 = utf16(u"\xFEFF").substr(0, 2) + simple(u"1", u"T", -1), w2 = simple(u"2", u"U", -1);
  // Files in the other form than the writer's, without a mark (a writer switched to another
  // code page, appending to the same file): read in their own units.
  const std::string u8 = simple(u"1", u"Title", 65001) + simple(u"2", u"中文题名", 65001) + simple(u"3", u"Third", 65001);
  const std::string u8more = simple(u"4", u"第四", 65001);
  const std::string w = simple(u"5", u"中文", -1) + simple(u"6", u"Sixth", -1);
  struct Case {
    const char* name;
    std::string bytes;
    int32_t codePage;
    int32_t result;
    std::string file, tail;
  } cases[] = {
      {"an empty file", "", 65001, 0, "", ""},
      {"whole records", r1 + r2, 65001, 0, r1 + r2, ""},
      {"whole records with line breaks", r1 + "\r\n" + r2 + "\r\n", 0, 0, r1 + "\r\n" + r2 + "\r\n", ""},
      {"a mark alone", "\xEF\xBB\xBF", 0, 0, "\xEF\xBB\xBF", ""},
      {"a record cut in its data", r1 + r2.substr(0, 40), 65001, 1, r1, r2.substr(0, 40)},
      {"a record cut in its leader", r1 + "\r\n" + r2.substr(0, 7), 0, 1, r1 + "\r\n", r2.substr(0, 7)},
      {"a record cut before its terminator", r1 + r2.substr(0, r2.size() - 1), 0, 1, r1, r2.substr(0, r2.size() - 1)},
      {"the only record cut", r1.substr(0, 30), 65001, 1, "", r1.substr(0, 30)},
      {"the only record cut, after a mark", "\xEF\xBB\xBF" + r1.substr(0, 30), -1, 1, "\xEF\xBB\xBF", r1.substr(0, 30)},
      {"stray bytes after the last record", r1 + "junk", 0, 1, r1, "junk"},
      {"a cut record with a whole one appended after it", r1 + longRecord.substr(0, 100) + r3, 0, 1, r1,
       longRecord.substr(0, 100) + r3},
      {"a last record whose length passes the end", r1 + "\r\n" + "99999" + r2.substr(5), 0, 1, r1 + "\r\n",
       "99999" + r2.substr(5)},
      {"UTF-16 cut inside a unit", w1 + w2.substr(0, 41), -1, 1, w1, w2.substr(0, 41)},
      {"UTF-16 cut between units, told by its mark", w1 + w2.substr(0, 40), 65001, 1, w1, w2.substr(0, 40)},
      {"UTF-16 whole", w1 + w2 + utf16(u"\r\n"), -1, 0, w1 + w2 + utf16(u"\r\n"), ""},
      {"UTF-8 whole, to a UTF-16 writer", u8, -1, 0, u8, ""},
      {"UTF-8 cut, to a UTF-16 writer", u8 + u8more.substr(0, 41), -1, 1, u8, u8more.substr(0, 41)},
      {"UTF-16 without a mark whole, to a UTF-8 writer", w + utf16(u"\r\n"), 65001, 0, w + utf16(u"\r\n"), ""},
      {"UTF-16 without a mark cut, to a UTF-8 writer", w + w2.substr(0, 41), 65001, 1, w, w2.substr(0, 41)},
      {"UTF-16 line breaks alone, to a UTF-16 writer", utf16(u"\r\n"), -1, 0, utf16(u"\r\n"), ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    for (bool byHandle : {false, true}) {
      Mended m = mend(c.bytes, c.codePage, byHandle);
      EXPECT_EQ(m.result, c.result);
      EXPECT_EQ(m.file, c.file);
      EXPECT_EQ(m.tail, c.tail) << "nothing is thrown away";
      EXPECT_EQ(m.tailName, c.result == 1 ? "records.mrc.torn" : "");
    }
  }
}

TEST(FileWhole, AMendedFileTakesTheNextRecordWhole) {
  const std::string r1 = simple(u"1", u"Title"), r2 = simple(u"2", u"Second");
  File f(r1 + r2.substr(0, 50));
  // A tail from an earlier mend is kept: this one goes into a file of its own.
  qtest::writeFile(f.path().string() + ".torn", "earlier");
  platform::CFile file;
  ASSERT_TRUE(file.Open(f.path().string(), platform::CFile::modeReadWrite));
  CMarcFile writer;
  writer.SetAttributeEx(65001, 0, 0);
  std::string tail;
  ASSERT_EQ(writer.MendTornTail(file, tail), 1);
  EXPECT_EQ(tail, f.path().string() + ".torn-2");
  EXPECT_EQ(qtest::readFile(f.path().string() + ".torn"), "earlier");
  ASSERT_GT(append(writer, file, jinei(u"3", 10), Way::Record), 0);
  size_t read = 0;
  EXPECT_EQ(yazComplaints(f.path(), &read), "");
  EXPECT_EQ(read, 2u);
  EXPECT_EQ(writer.MendTornTail(file, tail), 0) << "a whole file is left alone";
  EXPECT_EQ(tail, "");
}

TEST(FileWhole, ATailThatCannotBeKeptLeavesTheFileAsItWas) {
  const std::string torn = simple(u"1", u"Title") + simple(u"2", u"Second").substr(0, 50);
  // A folder where no file can be made.
  qtest::TempDir dir;
  const fs::path path = dir / "records.mrc";
  qtest::writeFile(path, torn);
  ASSERT_EQ(chmod(dir.path().c_str(), 0555), 0);
  int rc = qtest::inChildProcess([&] {
    qtest::obeyFilePermissions();
    platform::CFile file;
    if (!file.Open(path.string(), platform::CFile::modeReadWrite)) return 2;
    CMarcFile writer;
    writer.SetAttributeEx(65001, 0, 0);
    std::string tail;
    return writer.MendTornTail(file, tail) == -1 && errno == EACCES && tail.empty() ? 0 : 1;
  });
  chmod(dir.path().c_str(), 0755);
  EXPECT_EQ(rc, 0);
  EXPECT_EQ(qtest::readFile(path), torn);
  // A disk too full for the tail.
  qtest::SmallDisk disk(4096);
  if (!disk.mounted()) GTEST_SKIP() << disk.why();
  const std::string big = simple(u"1", u"T") + record({{u"001", u"2"}, {u"330", u"  \x1F" u"a" + u16(5000, u'x')}});
  qtest::writeFile(disk / "records.mrc", big.substr(0, 4000));
  platform::CFile file;
  ASSERT_TRUE(file.Open((disk / "records.mrc").string(), platform::CFile::modeReadWrite));
  CMarcFile writer;
  writer.SetAttributeEx(0, 0, 0);
  std::string tail;
  errno = 0;
  EXPECT_EQ(writer.MendTornTail(file, tail), -1);
  EXPECT_EQ(errno, ENOSPC);
  EXPECT_EQ(qtest::readFile(disk / "records.mrc"), big.substr(0, 4000));
  EXPECT_FALSE(fs::exists(disk / "records.mrc.torn")) << "no half tail is left behind";
}

// A mend is reported only once it has reached the disk: a tail file the folder may not name
// yet is taken back and the record file left as it was; a cut that could not be made durable
// answers -1, its tail kept beside the file as well.
TEST(FileWhole, AMendThatDoesNotReachTheDiskIsNoMend) {
  const std::string r1 = simple(u"1", u"Title"), torn = r1 + simple(u"2", u"Second").substr(0, 50);
  for (bool folder : {true, false}) {
    SCOPED_TRACE(folder ? "the folder cannot be synced" : "the record file cannot be synced");
    File f(torn);
    platform::CFile file;
    ASSERT_TRUE(file.Open(f.path().string(), platform::CFile::modeReadWrite));
    CMarcFile writer;
    writer.SetAttributeEx(65001, 0, 0);
    std::string tail;
    int32_t result = 0;
    int error = 0;
    {
      faults::FailSync failing(folder ? f.path().parent_path().string() : f.path().string(), EIO);
      errno = 0;
      result = writer.MendTornTail(file, tail);
      error = errno;
    }
    EXPECT_EQ(result, -1);
    EXPECT_EQ(error, EIO);
    const std::string torn1 = f.path().string() + ".torn";
    if (folder) {
      EXPECT_EQ(f.bytes(), torn);
      EXPECT_EQ(tail, "");
      EXPECT_FALSE(fs::exists(torn1)) << "no tail file is left behind";
    } else {
      EXPECT_EQ(tail, torn1);
      EXPECT_EQ(f.bytes() + qtest::readFile(torn1), torn) << "nothing is thrown away";
    }
    EXPECT_EQ(file.GetPosition(), file.GetLength());
  }
  // A file named without a folder: the working folder is the one synced.
  File f(torn);
  const int rc = qtest::inChildProcess([&] {
    if (chdir(f.path().parent_path().c_str()) != 0) return 2;
    platform::CFile file;
    if (!file.Open("records.mrc", platform::CFile::modeReadWrite)) return 3;
    CMarcFile writer;
    writer.SetAttributeEx(65001, 0, 0);
    std::string tail;
    return writer.MendTornTail(file, tail) == 1 && tail == "records.mrc.torn" ? 0 : 1;
  });
  EXPECT_EQ(rc, 0);
  EXPECT_EQ(f.bytes(), r1);
}

// A writer appending records of 54 KB, killed again and again; each new writer mends the file
// first, as a harvest run does. Every other writer is killed at a moment of the parent's
// choosing; the rest are stopped by the kernel in the middle of one of their records (a
// file-size limit that falls inside it signals the writer on the write that passes it, and
// the signal ends the process there), so that tears certainly happen and the next writer
// must mend each one. After the last kill one more mend and append must leave a file of
// whole records only.
TEST(FileWhole, WritersKilledInTheMiddleLeaveWholeRecordsBehind) {
  qtest::TempDir dir;
  const fs::path path = dir / "killed.mrc";
  std::vector<char16_t> iso(128000);
  CMarcFile converter;
  converter.SetAttributeEx(65001, 0, 0);
  CMarc marc;
  marc.SetContent(jinei(u"big", 18000).c_str());  // 54 KB in UTF-8
  const int32_t units = converter.Jinei2Iso(marc, iso.data(), int32_t(iso.size()));
  ASSERT_GT(units, 0);
  int64_t recordBytes = 0;
  {
    File scratch;
    platform::CFile file(scratch.fd());
    recordBytes = converter.AppendToIso2709(iso.data(), units, file);
    ASSERT_GT(recordBytes, 1);
  }

  std::mt19937 random(54);
  int torn = 0, cutInside = 0;
  bool tornBefore = false;  // the writer before was stopped inside a record
  for (int kill = 0; kill < 40; ++kill) {
    const bool byLimit = kill % 2 == 1;
    // How far past the mended file the limit falls: inside the first, second or third record.
    const int64_t limitPast = recordBytes * int64_t(random() % 3) + 1 + int64_t(random() % uint32_t(recordBytes - 1));
    int ready[2];
    ASSERT_EQ(pipe(ready), 0);
    std::fflush(nullptr);
    pid_t pid = fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
      platform::CFile file;
      if (!file.Open(path.string(), platform::CFile::modeCreate | platform::CFile::modeNoTruncate |
                                        platform::CFile::modeReadWrite))
        _exit(2);
      CMarcFile writer;
      writer.SetAttributeEx(65001, 0, 0);
      std::string tail;
      char mended = char('0' + writer.MendTornTail(file, tail) + 1);
      if (byLimit) {
        struct sigaction stop{};
        stop.sa_handler = [](int) { _exit(7); };
        sigaction(SIGXFSZ, &stop, nullptr);
        struct rlimit limit{rlim_t(file.GetLength() + limitPast), RLIM_INFINITY};
        if (setrlimit(RLIMIT_FSIZE, &limit) != 0) _exit(4);
      }
      if (::write(ready[1], &mended, 1) != 1) _exit(3);
      for (int i = 0; i < 10; ++i) writer.AppendToIso2709(iso.data(), units, file);
      pause();
      _exit(0);
    }
    ::close(ready[1]);
    char mended = 0;
    ASSERT_EQ(::read(ready[0], &mended, 1), 1);
    ::close(ready[0]);
    ASSERT_NE(mended, '0') << "the mend failed";
    if (mended == '2') ++torn;
    if (tornBefore) {
      EXPECT_EQ(mended, '2') << "writer " << kill << " did not mend the tear before it";
    }
    if (!byLimit) {
      usleep(useconds_t(random() % 1500));
      ::kill(pid, SIGKILL);
    }
    int status = 0;
    waitpid(pid, &status, 0);
    tornBefore = byLimit;
    if (byLimit) {
      ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 7) << "writer " << kill << " was not stopped by its limit";
      ++cutInside;
    }
  }
  platform::CFile file;
  ASSERT_TRUE(file.Open(path.string(), platform::CFile::modeReadWrite));
  CMarcFile writer;
  writer.SetAttributeEx(65001, 0, 0);
  std::string tail;
  const int32_t lastMend = writer.MendTornTail(file, tail);
  if (lastMend == 1) ++torn;
  if (tornBefore) {
    EXPECT_EQ(lastMend, 1);
  }
  EXPECT_GE(torn, cutInside);
  const int32_t appended = writer.AppendToIso2709(iso.data(), units, file);
  ASSERT_EQ(appended, recordBytes);
  file.Close();
  std::printf("%d of 40 kills tore the last record\n", torn);
  RecordProperty("torn", torn);
  size_t read = 0;
  EXPECT_EQ(yazComplaints(path, &read), "");
  EXPECT_EQ(read, recordsIn(path));
  EXPECT_EQ(fs::file_size(path), read * size_t(recordBytes)) << "whole records and nothing else";
}

}  // namespace
