// The fixtures of the batch run tests: a temporary program folder and QORVEL_HOME, an ISO 2709
// source built from (id, key) pairs, and a record server stand-in holding a small catalogue.
#pragma once

#include "main_dlg.h"

#include <loomkit/MarcFile.h>
#include <platform/file.h>
#include <platform/paths.h>
#include <platform/profile.h>
#include <qorvel_testing/testing.h>
#include <store/store.h>
#include <ui_testing/modal_script.h>

#include <gtest/gtest.h>

#include <marc_fixture.h>

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

namespace batchtest {


namespace fs = std::filesystem;

inline std::string utf8(u16v s) { return platform::toUtf8(s); }
inline u16 wide(const fs::path& p) { return platform::fromUtf8(p.string()); }

/// A source record: 001 with an id, 020 $a with the key (no 020 when the key is empty).
inline std::string sourceRecord(const std::string& id, const std::string& key) {
  std::vector<ztest::MarcField> fields = {{"001", id}, {"200", ztest::df('a', "title " + id)}};
  if (!key.empty()) fields.push_back({"020", ztest::df('a', key)});
  return ztest::isoRecord(fields);
}

/// The records of an ISO 2709 file as internal record text.
inline std::vector<u16> readRecords(const fs::path& path) {
  std::vector<u16> out;
  platform::CFile file;
  if (!file.Open(path.string(), platform::CFile::modeRead)) return out;
  CMarcFile reader;
  std::vector<char16_t> buffer(100000);
  while (reader.ReadFromIso2709(buffer.data(), int32_t(buffer.size()), file) >= 1) out.emplace_back(buffer.data());
  return out;
}

inline bool has(u16v text, const char* fragment) { return text.find(platform::fromUtf8(fragment)) != u16v::npos; }

class BatchRun : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(qtest::run(std::string(QORVEL_REGSVR) + " " + QORVEL_SERVERS), 0);
    platform::makeFolders(platform::windowsDirectory());
    theApp().SetProgramFolder(wide(dir.path()));
    theApp().settings = CAppSettings();
    theApp().settings.multiStrategy = kStrategyFirst;
    theApp().settings.waitSeconds = 0;
  }

  void writeSource(std::initializer_list<std::pair<std::string, std::string>> items) {
    std::string bytes;
    for (const auto& [id, key] : items) bytes += sourceRecord(id, key);
    qtest::writeFile(source(), bytes);
  }
  fs::path source() const { return dir.path() / "source.mrc"; }
  fs::path out(const char* name) const { return dir.path() / name; }

  /// Runs the batch on the source with `skip` items skipped; the status line afterwards.
  QString run(CGleanexDlg& dlg, int skip = 0) { return run(dlg, QString::number(skip)); }
  QString run(CGleanexDlg& dlg, const QString& skip) { return runOn(dlg, QString::fromStdString(source().string()), skip); }
  /// Runs the batch on the source named `sourceText` (as typed into the dialog).
  QString runOn(CGleanexDlg& dlg, const QString& sourceText, const QString& skip = QStringLiteral("0")) {
    dlg.initialize();
    ui::setControlText(&dlg, 1000, sourceText);
    ui::setControlText(&dlg, 1018, skip);
    dlg.OnOK();
    return ui::controlText(&dlg, 1017);
  }

  qtest::TempHome home;
  qtest::TempDir dir;
};


/// Writes a rule script beside the program's qzmarc.js; its path.
inline u16 ruleScript(const qtest::TempDir& dir, const char* name, const std::string& body) {
  fs::copy_file(qtest::sourceDir() / "outside" / "scriptel" / "qzmarc.js", dir.path() / "qzmarc.js",
                fs::copy_options::overwrite_existing);
  qtest::writeFile(dir.path() / name, body);
  return wide(dir.path() / name);
}

class KelvraRun : public BatchRun {
 protected:
  void SetUp() override {
    BatchRun::SetUp();
    int32_t error = 0;
    store = kelvra::Store::create(u"kv", &error);
    ASSERT_TRUE(store) << error;
    ASSERT_EQ(store->putAccount(u"root", u""), 0);
    for (const char16_t* db : {u"books", u"saved", u"missed"}) ASSERT_EQ(store->createDatabase(db), 0);
    // The catalogue: one record of 7020012345, two of 7505312340 (under 010).
    std::string catalogue = sourceRecord("k1", "7020012345") +
                            ztest::isoRecord({{"001", "k2"}, {"010", ztest::df('a', "7505312340")}}) +
                            ztest::isoRecord({{"001", "k3"}, {"010", ztest::df('a', "7505312340")}});
    qtest::writeFile(dir.path() / "catalogue.mrc", catalogue);
    int64_t books = id(u"books");
    for (const u16& text : readRecords(dir.path() / "catalogue.mrc")) {
      int32_t number = 0;
      ASSERT_EQ(store->addRecord(books, text, &number), 0) << utf8(text);
    }
    CAppSettings& s = theApp().settings;
    s.servers = {u"qzap://kv/books?p=public/?r=no?n=0"};
    s.oneHit.database[0] = u"qzap://kv/saved";
    s.noHit.database[1] = u"qzap://kv/missed";
    writeSource({{"a", "7020012345"}, {"b", "7505312340"}, {"c", "9999999999"}});
  }
  int64_t id(u16v db) {
    int32_t error = 0;
    auto info = store->findDatabase(db, &error);
    return info ? info->id : -1;
  }
  std::vector<u16> records(u16v db) {
    std::vector<int32_t> numbers;
    store->recordNumbers(id(db), numbers);
    std::vector<u16> out;
    for (int32_t n : numbers) {
      u16 text;
      store->record(id(db), n, text);
      out.push_back(text);
    }
    return out;
  }
  std::shared_ptr<kelvra::Store> store;
};

}  // namespace batchtest
