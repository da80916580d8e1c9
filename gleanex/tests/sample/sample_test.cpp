// The sample harvest that scripts/run.sh opens: made anew in a temporary folder by the same
// script as the build's, harvested headless with its own settings and QORVEL_HOME, and its
// output read back by yaz-marcdump. Then the same harvest as a cataloguer's machine fails
// under it: a disk that fills, a file-size limit, a log-out or kill in the middle of a run.
#include "main_dlg.h"
#include "stop_signals.h"

#include <com/drivers/XlsFileDriver.h>
#include <platform/paths.h>
#include <qorvel_testing/testing.h>
#include <ui_testing/modal_script.h>

#include <gtest/gtest.h>

#include <QTimer>

#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <string>

#include <sys/wait.h>
#include <unistd.h>

namespace {

namespace fs = std::filesystem;

/// QORVEL_HOME set to a folder for the test's life, the old value back afterwards.
class HomeAt {
 public:
  explicit HomeAt(const fs::path& home) {
    if (const char* old = std::getenv("QORVEL_HOME")) old_ = old;
    setenv("QORVEL_HOME", home.c_str(), 1);
  }
  ~HomeAt() {
    if (old_) setenv("QORVEL_HOME", old_->c_str(), 1);
    else unsetenv("QORVEL_HOME");
  }

 private:
  std::optional<std::string> old_;
};

size_t count(const std::string& text, const std::string& what) {
  size_t n = 0;
  for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
  return n;
}

TEST(Sample, HarvestsItsSpreadsheetFromItsRecordServer) {
  qtest::TempDir dir;
  const fs::path sample = dir / "sample";
  ASSERT_EQ(qtest::run(std::string("bash ") + GLEANEX_SAMPLE_SCRIPT + " '" + sample.string() + "' " + GLEANEX_SAMPLE_MAKER +
                       " " + KELVRA_ADMIN + " >/dev/null"),
            0);
  HomeAt home(sample / "home");
  ASSERT_EQ(qtest::run(std::string(QORVEL_REGSVR) + " " + QORVEL_SERVERS), 0);
  theApp().SetProgramFolder(platform::fromUtf8(sample.string()));
  theApp().LoadSettings();

  uitest::ModalScript script;
  CGleanexDlg dlg;
  dlg.SetInitialSource(platform::fromUtf8((sample / "isbns.xlsx").string()));
  dlg.initialize();
  EXPECT_EQ(ui::controlText(&dlg, 1000).toStdString(), (sample / "isbns.xlsx").string());
  dlg.OnOK();
  EXPECT_EQ(ui::controlText(&dlg, 1017).toStdU16String(), u"完成，共处理15条记录");
  EXPECT_TRUE(script.records().empty()) << script.records().front().text.toStdString();
  EXPECT_EQ(std::make_tuple(dlg.oneHitCount, dlg.multiHitCount, dlg.noHitCount), std::make_tuple(10, 1, 4));

  // The hits: eleven records (the set gives its first volume) that yaz-marcdump reads
  // without a word of complaint.
  std::string xml, errors;
  const std::string hits = (sample / "hits.mrc").string();
  ASSERT_EQ(qtest::run("yaz-marcdump -i marc -o marcxml '" + hits + "' 2>'" + (dir / "errors").string() + "'", &xml), 0);
  errors = qtest::readFile(dir / "errors");
  EXPECT_EQ(errors, "");
  EXPECT_EQ(count(xml, "<record"), 11u);
  EXPECT_EQ(count(xml, "多卷书著录（上册）"), 1u);
  EXPECT_EQ(count(xml, "多卷书著录（下册）"), 0u);
  EXPECT_NE(xml.find("<subfield code=\"a\">编目工作入门</subfield>"), std::string::npos);
  EXPECT_NE(xml.find("<subfield code=\"a\">7-02-110001-"), std::string::npos) << xml.substr(0, 2000);

  // The catalogue the server was filled from is an ISO 2709 file too.
  ASSERT_EQ(qtest::run("yaz-marcdump -i marc -o marcxml '" + (sample / "catalogue.mrc").string() + "' 2>'" +
                           (dir / "errors").string() + "'", &xml), 0);
  EXPECT_EQ(qtest::readFile(dir / "errors"), "");
  EXPECT_EQ(count(xml, "<record"), 36u);

  // The unmatched rows: a workbook with the caption row and four rows.
  CXlsFileDriver misses;
  ASSERT_TRUE(misses.CreateDispatch(u"Sheetrix.XlsFile"));
  EXPECT_EQ(misses.Open(platform::fromUtf8((sample / "misses.xlsx").string())), 5);
  misses.Close();
}

/// The sample made anew in a temporary folder, its servers registered in its own QORVEL_HOME.
class SampleRun : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(qtest::run(std::string("bash ") + GLEANEX_SAMPLE_SCRIPT + " '" + sample.string() + "' " +
                         GLEANEX_SAMPLE_MAKER + " " + KELVRA_ADMIN + " >/dev/null"),
              0);
    ASSERT_EQ(qtest::run(std::string(QORVEL_REGSVR) + " " + QORVEL_SERVERS), 0);
    theApp().SetProgramFolder(platform::fromUtf8(sample.string()));
    theApp().LoadSettings();
  }

  /// A source of `rows` rows taken from the sample's fifteen in a shuffled order (every
  /// seventh, round and round), so that hits, the set and the misses come early and mixed.
  fs::path bigSource(int rows) {
    CXlsFileDriver in, out;
    EXPECT_TRUE(in.CreateDispatch(u"Sheetrix.XlsFile") && out.CreateDispatch(u"Sheetrix.XlsFile"));
    const u16 scheme = u"header=1;A=010a;B=200a;C=701a";
    EXPECT_EQ(in.Open(platform::fromUtf8((sample / "isbns.xlsx").string())), 16);
    in.SetScheme(scheme);
    std::vector<u16> sampleRows;
    for (int i = 0; i < 15; ++i) sampleRows.push_back(in.ReadRow());
    in.Close();
    const fs::path big = sample / "big.xlsx";
    EXPECT_EQ(out.Open(platform::fromUtf8(big.string())), 0);
    out.SetScheme(scheme);
    for (int i = 0; i < rows; ++i) out.WriteRow(sampleRows[size_t(i * 7 % 15)]);
    EXPECT_EQ(out.Close(), 1);
    return big;
  }

  /// Points the one-hit output somewhere else.
  void hitsTo(const fs::path& file) {
    theApp().settings.oneHit.output = platform::fromUtf8(file.string());
    ASSERT_TRUE(theApp().settings.Save(theApp().settingsPath));
  }

  /// The rows of the no-hit workbook (its caption row not counted); -1 when it cannot be read.
  static int missesIn(const fs::path& p) {
    CXlsFileDriver misses;
    if (!misses.CreateDispatch(u"Sheetrix.XlsFile")) return -1;
    int32_t n = misses.Open(platform::fromUtf8(p.string()));
    misses.Close();
    return n > 0 ? n - 1 : -1;
  }

  /// What yaz-marcdump says of a record file besides its records, and how many it read.
  static std::string yazComplaints(const fs::path& p, size_t& records) {
    std::string xml;
    const std::string errors = p.string() + ".errors";
    qtest::run("yaz-marcdump -i marc -o marcxml '" + p.string() + "' 2>'" + errors + "'", &xml);
    records = count(xml, "<record");
    std::string complaints = qtest::readFile(errors);
    fs::remove(errors);
    return complaints;
  }

  qtest::TempDir dir;
  const fs::path sample = dir / "sample";
  HomeAt home{sample / "home"};
};

/// A run of Gleanex in a process of its own (tests/run_child.cpp) and what it printed.
struct Child {
  pid_t pid = -1;
  int out = -1;
  std::string printed;

  /// Starts the run; `limit` (bytes, 0: none) caps the size of every file it writes.
  Child(const fs::path& folder, const fs::path& source, uint64_t limit = 0) {
    int fds[2];
    if (pipe(fds) != 0) return;
    std::fflush(nullptr);
    pid = fork();
    if (pid == 0) {
      dup2(fds[1], 1);
      ::close(fds[0]);
      ::close(fds[1]);
      if (limit) qtest::limitFileSize(limit);
      execl(GLEANEX_RUN_CHILD, GLEANEX_RUN_CHILD, folder.c_str(), source.c_str(), nullptr);
      _exit(127);
    }
    ::close(fds[1]);
    out = fds[0];
  }
  /// Reads what it prints until `line` has come (true) or it has ended (false).
  bool waitFor(const std::string& line) {
    char buf[4096];
    while (printed.find(line) == std::string::npos) {
      ssize_t n = ::read(out, buf, sizeof buf);
      if (n <= 0) return false;
      printed.append(buf, size_t(n));
    }
    return true;
  }
  /// Waits for its end: its exit status, or -1 when a signal ended it.
  int finish() {
    char buf[4096];
    for (ssize_t n; (n = ::read(out, buf, sizeof buf)) > 0;) printed.append(buf, size_t(n));
    ::close(out);
    int status = 0;
    waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }
  /// The text after "what: " on its line.
  std::string value(const std::string& what) const {
    size_t at = printed.find(what + ": ");
    if (at == std::string::npos) return "(none)";
    at += what.size() + 2;
    return printed.substr(at, printed.find('\n', at) - at);
  }
  std::vector<int> counts() const {
    std::vector<int> c(3, -1);
    std::sscanf(value("counts").c_str(), "%d %d %d", &c[0], &c[1], &c[2]);
    return c;
  }
};

// The sample harvest with an output on a disk of 8 KiB. Hits there: the run stops at the
// first record that does not fit, says so with the file and the reason, and counts only what
// was done; the hits file holds whole records only and the unmatched rows are saved. The
// unmatched rows' workbook there: its save fails and says so, the old workbook stays as it
// was, and the run does not end as done.
TEST_F(SampleRun, OnAFullDiskTheRunStopsWithWholeFiles) {
  const fs::path source = bigSource(60);
  for (bool hitsOnDisk : {true, false}) {
    SCOPED_TRACE(hitsOnDisk ? "hits on the full disk" : "unmatched rows on the full disk");
    qtest::SmallDisk disk(8192);
    if (!disk.mounted()) GTEST_SKIP() << disk.why();
    fs::remove(sample / "hits.mrc");
    fs::remove(sample / "misses.xlsx");
    const fs::path hits = hitsOnDisk ? disk / "hits.mrc" : sample / "hits.mrc";
    const fs::path misses = hitsOnDisk ? sample / "misses.xlsx" : disk / "misses.xlsx";
    hitsTo(hits);
    theApp().settings.noHit.output = platform::fromUtf8(misses.string());
    std::string oldMisses;
    if (!hitsOnDisk) {
      // A workbook of an earlier run, with one unmatched row.
      CXlsFileDriver old;
      ASSERT_TRUE(old.CreateDispatch(u"Sheetrix.XlsFile"));
      old.Open(platform::fromUtf8(misses.string()));
      old.SetScheme(u"header=1;A=010a;B=200a;C=701a");
      old.WriteRow(u"<row><F010a>7-5053-0000-0</F010a><F200a>旧的</F200a><F701a/></row>");
      ASSERT_EQ(old.Close(), 1);
      oldMisses = qtest::readFile(misses);
    }
    uitest::ModalScript script;
    CGleanexDlg dlg;
    dlg.SetInitialSource(platform::fromUtf8(source.string()));
    dlg.initialize();
    dlg.OnOK();
    ASSERT_EQ(script.messages().size(), 1u);
    const int done = dlg.oneHitCount + dlg.multiHitCount + dlg.noHitCount;
    EXPECT_EQ(ui::controlText(&dlg, 1017).toStdU16String(), platform::format(u"输出文件写入失败，已处理%ld条记录", done));
    EXPECT_GT(dlg.noHitCount, 0);
    size_t records = 0;
    EXPECT_EQ(yazComplaints(hits, records), "");
    EXPECT_EQ(records, size_t(dlg.oneHitCount + dlg.multiHitCount)) << "every hit counted is in the file, whole";
    if (hitsOnDisk) {
      EXPECT_EQ(script.messages()[0].text.toStdU16String(),
                u"输出文件[" + platform::fromUtf8(hits.string()) + u"]写入失败，处理已停止!\nNo space left on device");
      EXPECT_LT(done, 60);
      EXPECT_EQ(missesIn(misses), dlg.noHitCount);
    } else {
      EXPECT_EQ(script.messages()[0].text.toStdU16String(),
                u"无命中记录输出的Excel文件[" + platform::fromUtf8(misses.string()) +
                    u"]保存失败，本次处理的无命中记录没有写入，原有文件保持不变!");
      EXPECT_EQ(done, 60);
      EXPECT_TRUE(qtest::readFile(misses) == oldMisses) << "the old workbook changed";
    }
  }
}

// The same under a file-size limit of 256 KiB, in a process of its own: the hits file stops
// whole at the limit, the run says why and counts only what was done.
TEST_F(SampleRun, UnderAFileSizeLimitTheRunStopsWithWholeFiles) {
  const fs::path source = bigSource(2000);
  const uint64_t limit = 256 * 1024;
  Child child(sample, source, limit);
  EXPECT_EQ(child.finish(), 0) << child.printed;
  EXPECT_EQ(child.value("message"), "输出文件[" + (sample / "hits.mrc").string() + "]写入失败，处理已停止! | File too large");
  std::vector<int> c = child.counts();
  const int done = c[0] + c[1] + c[2];
  EXPECT_EQ(child.value("status"), "输出文件写入失败，已处理" + std::to_string(done) + "条记录");
  EXPECT_LT(done, 2000);
  size_t records = 0;
  EXPECT_EQ(yazComplaints(sample / "hits.mrc", records), "");
  EXPECT_EQ(records, size_t(c[0] + c[1]));
  EXPECT_GT(fs::file_size(sample / "hits.mrc"), limit - 1000);
  EXPECT_EQ(missesIn(sample / "misses.xlsx"), c[2]);
}

// A log-out or a kill in the middle of a run (SIGTERM from outside, as a session manager
// sends it): the run ends as after 停止, the unmatched rows so far are saved, the window
// closes by itself and the program ends normally.
TEST_F(SampleRun, SigtermInTheMiddleOfARunSavesTheUnmatchedRows) {
  const int rows = 5000;
  const fs::path source = bigSource(rows);
  Child child(sample, source);
  ASSERT_TRUE(child.waitFor("started")) << child.printed;
  // Well into the run: the hits file has grown past a few records.
  int status = 0;
  while (!fs::exists(sample / "hits.mrc") || fs::file_size(sample / "hits.mrc") < 20000) {
    ASSERT_EQ(waitpid(child.pid, &status, WNOHANG), 0) << "the run ended by itself: " << child.printed;
    usleep(2000);
  }
  ::kill(child.pid, SIGTERM);
  EXPECT_EQ(child.finish(), 0) << child.printed;
  std::vector<int> c = child.counts();
  const int done = c[0] + c[1] + c[2];
  EXPECT_EQ(child.value("status"), "用户中断，已处理" + std::to_string(done) + "条记录");
  EXPECT_LT(done, rows) << "the run ended early";
  EXPECT_EQ(child.value("closed"), "by itself");
  EXPECT_EQ(child.value("message"), "(none)");
  EXPECT_GT(c[2], 0);
  EXPECT_EQ(missesIn(sample / "misses.xlsx"), c[2]);
  size_t records = 0;
  EXPECT_EQ(yazComplaints(sample / "hits.mrc", records), "");
  EXPECT_EQ(records, size_t(c[0] + c[1]));
}

// Each of the signals of a log-out, a kill or Ctrl-C, in the test process: the run stops,
// its end saves the unmatched rows, and the window closes as by 退出.
TEST_F(SampleRun, EachStopSignalEndsTheRunAndClosesTheWindow) {
  const fs::path source = bigSource(60);
  for (int signal : {SIGTERM, SIGHUP, SIGINT}) {
    SCOPED_TRACE(signal);
    fs::remove(sample / "misses.xlsx");
    uitest::ModalScript script;
    CGleanexDlg dlg;
    dlg.SetInitialSource(platform::fromUtf8(source.string()));
    dlg.initialize();
    CStopSignals stopSignals(dlg);
    // The signal comes while the run drains its first item's messages.
    QTimer::singleShot(0, [signal] { ::raise(signal); });
    dlg.OnOK();
    EXPECT_TRUE(script.messages().empty());
    const int done = dlg.oneHitCount + dlg.multiHitCount + dlg.noHitCount;
    EXPECT_EQ(ui::controlText(&dlg, 1017).toStdU16String(), platform::format(u"用户中断，已处理%ld条记录", done));
    EXPECT_LT(done, 60);
    EXPECT_EQ(dlg.result(), ui::IDCANCEL) << "the window closed";
    EXPECT_EQ(missesIn(sample / "misses.xlsx"), dlg.noHitCount > 0 ? dlg.noHitCount : -1);
  }
}

// A stop signal while the run is being started, here while a rule's top-level code runs
// before the first item: the run does not start and the window closes, at once rather than
// after the next run.
TEST_F(SampleRun, AStopSignalWhileTheRunStartsClosesTheWindow) {
  const fs::path source = bigSource(60);
  const fs::path rule = sample / "loops.js";
  qtest::writeFile(rule, "for (;;) {}\nfunction process(text) { return text; }\n");
  theApp().settings.oneHit.script = platform::fromUtf8(rule.string());
  fs::remove(sample / "misses.xlsx");
  uitest::ModalScript script;
  CGleanexDlg dlg;
  dlg.SetInitialSource(platform::fromUtf8(source.string()));
  dlg.initialize();
  CStopSignals stopSignals(dlg);
  QTimer::singleShot(300, [] { ::raise(SIGTERM); });
  dlg.OnOK();
  EXPECT_TRUE(script.messages().empty());
  EXPECT_EQ(dlg.oneHitCount + dlg.multiHitCount + dlg.noHitCount, 0);
  EXPECT_EQ(dlg.result(), ui::IDCANCEL) << "the window closed";
  EXPECT_FALSE(fs::exists(sample / "misses.xlsx"));
}

}  // namespace
