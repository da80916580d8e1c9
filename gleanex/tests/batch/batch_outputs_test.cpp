// A run's outputs stay whole or are said not to be: an output file torn by an earlier run is
// mended before the run's first record goes into it (its tail kept beside it), a tail that
// cannot be kept stops the run, and the records that a database did not take are counted and
// told once at the end of the run.
#include "batch_fixture.h"

#include <gtest/gtest.h>

namespace {

using namespace batchtest;

std::vector<std::u16string> texts(const uitest::ModalScript& script) {
  std::vector<std::u16string> out;
  for (const auto& m : script.messages()) out.push_back(m.text.toStdU16String());
  return out;
}

/// What yaz-marcdump reads of a record file: its records, or its complaints.
std::string yazRead(const fs::path& p, size_t& records) {
  std::string xml;
  const std::string errors = p.string() + ".errors";
  qtest::run("yaz-marcdump -i marc -o marcxml '" + p.string() + "' 2>'" + errors + "'", &xml);
  records = 0;
  for (size_t at = xml.find("<record"); at != std::string::npos; at = xml.find("<record", at + 1)) ++records;
  std::string complaints = qtest::readFile(errors);
  fs::remove(errors);
  return complaints;
}

TEST_F(KelvraRun, ATornOutputIsMendedOnceBeforeTheRunAppends) {
  // An earlier run was killed in the middle of its second record.
  const std::string whole = sourceRecord("old", "1"), torn = sourceRecord("cut", "2").substr(0, 40);
  qtest::writeFile(out("one.mrc"), whole + torn);
  theApp().settings.oneHit.output = wide(out("one.mrc"));
  for (int run = 0; run < 2; ++run) {
    SCOPED_TRACE(run);
    uitest::ModalScript script;
    CGleanexDlg dlg;
    EXPECT_EQ(this->run(dlg).toStdU16String(), u"完成，共处理3条记录");
    if (run == 0) {
      EXPECT_EQ(texts(script), std::vector<std::u16string>{u"输出文件[" + wide(out("one.mrc")) + u"]的末尾是一条不完整的记录，已移到文件[" +
                                                           wide(out("one.mrc.torn")) + u"]中，输出文件从最后一条完整的记录之后继续写入。"});
    } else {
      EXPECT_TRUE(texts(script).empty()) << "a whole file is left as it is";
    }
  }
  EXPECT_EQ(qtest::readFile(out("one.mrc.torn")), torn) << "nothing is thrown away";
  size_t records = 0;
  EXPECT_EQ(yazRead(out("one.mrc"), records), "");
  EXPECT_EQ(records, 5u) << "the old record and two hits from each run";
  std::vector<u16> read = readRecords(out("one.mrc"));
  ASSERT_EQ(read.size(), 5u);
  EXPECT_TRUE(has(read[0], "<field name=\"001\">old</field>"));
  EXPECT_TRUE(has(read[1], "<field name=\"001\">k1</field>"));
}

TEST_F(KelvraRun, ATornTailThatCannotBeKeptStopsTheRun) {
  qtest::SmallDisk disk(4096);
  if (!disk.mounted()) GTEST_SKIP() << disk.why();
  // The torn tail fills the disk: there is no room to keep it anywhere beside the file.
  std::string tail = ztest::isoRecord({{"001", "cut"}, {"300", ztest::df('a', std::string(5000, 'x'))}});
  const std::string before = sourceRecord("old", "1") + tail.substr(0, 3900);
  qtest::writeFile(disk / "one.mrc", before);
  theApp().settings.oneHit.output = wide(disk / "one.mrc");
  uitest::ModalScript script;
  CGleanexDlg dlg;
  EXPECT_EQ(run(dlg).toStdU16String(), u"输出文件写入失败，已处理0条记录");
  EXPECT_EQ(texts(script), std::vector<std::u16string>{u"输出文件[" + wide(disk / "one.mrc") +
                                                       u"]的末尾是一条不完整的记录，无法移出，处理已停止!\nNo space left on device"});
  EXPECT_EQ(std::make_tuple(dlg.oneHitCount, dlg.multiHitCount, dlg.noHitCount), std::make_tuple(0, 0, 0));
  EXPECT_TRUE(qtest::readFile(disk / "one.mrc") == before) << "the file is as it was";
  EXPECT_FALSE(fs::exists(disk / "one.mrc.torn"));
  EXPECT_TRUE(records(u"saved").empty()) << "the item whose output failed is not stored either";
}

TEST_F(KelvraRun, RecordsADatabaseDidNotTakeAreToldOnceAtTheEnd) {
  // A document database takes no records, and a database that is not there takes none either.
  ASSERT_EQ(store->createDatabase(u"notes.htm"), 0);
  CAppSettings& s = theApp().settings;
  s.oneHit.database[1] = u"qzap://kv/notes.htm";
  s.oneHit.database[2] = u"qzap://kv/gone";
  s.noHit.database[2] = u"qzap://kv/notes.htm";
  uitest::ModalScript script;
  CGleanexDlg dlg;
  EXPECT_EQ(run(dlg).toStdU16String(), u"完成，共处理3条记录");
  EXPECT_EQ(texts(script), (std::vector<std::u16string>{u"3条记录未能存入数据库[notes.htm]（服务器[kv]）!",
                                                        u"2条记录未能存入数据库[gone]（服务器[kv]）!"}));
  EXPECT_EQ(records(u"saved").size(), 2u) << "the databases that take records still get them";
  EXPECT_EQ(records(u"missed").size(), 1u);
  // The next run counts afresh.
  s.oneHit.database[1].clear();
  s.oneHit.database[2].clear();
  s.noHit.database[2].clear();
  uitest::ModalScript again;
  CGleanexDlg second;
  EXPECT_EQ(run(second).toStdU16String(), u"完成，共处理3条记录");
  EXPECT_TRUE(texts(again).empty());
}

}  // namespace
