// The sample harvest that scripts/run.sh opens: made anew in a temporary folder by the same
// script as the build's, harvested headless with its own settings and QORVEL_HOME, and its
// output read back by yaz-marcdump.
#include "main_dlg.h"

#include <com/drivers/XlsFileDriver.h>
#include <platform/paths.h>
#include <qorvel_testing/testing.h>
#include <ui_testing/modal_script.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>

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

}  // namespace
