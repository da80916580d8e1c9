// The record-object forms of the file methods, over the platform's file object.
#include <loomkit/Marc.h>
#include <loomkit/MarcFile.h>
#include <platform/file.h>
#include <platform/text.h>

#include "fixtures.h"

#include <gtest/gtest.h>

using namespace files_test;

namespace {

u16 content(CMarc& marc) {
  std::vector<char16_t> buf(128000);
  return marc.GetContent(buf.data(), int32_t(buf.size())) ? u16(buf.data()) : u16();
}

TEST(FileRecord, ReadsLoadsOrOnlyCounts) {
  File f(simple(u"1", u"A", 0) + simple(u"2", u"B", 0) + simple(u"3", u"C", 0));
  platform::CFile file(f.fd());
  CMarcFile m;
  CMarc marc;
  ASSERT_GT(m.ReadFromIso2709(marc, file), 0);
  EXPECT_EQ(marc.GetFieldCount(), 3);
  const u16 first = content(marc);
  EXPECT_NE(first.find(u">A</sf>"), u16::npos);
  ASSERT_GT(m.ReadFromIso2709(marc, file, 1), 0);  // read but not loaded
  EXPECT_EQ(content(marc), first);
  ASSERT_GT(m.ReadFromIso2709(marc, file), 0);
  EXPECT_NE(content(marc).find(u">C</sf>"), u16::npos);
  ASSERT_GT(m.ReadPrevRecord(marc, file), 0);
  EXPECT_NE(content(marc).find(u">B</sf>"), u16::npos);
  ASSERT_GT(m.ReadPrevRecord(marc, file), 0);
  EXPECT_EQ(content(marc), first);
  EXPECT_EQ(m.ReadPrevRecord(marc, file), -1);
  EXPECT_EQ(content(marc), first);
}

TEST(FileRecord, AppendsARecordThatReadsBackTheSame) {
  File in(simple(u"1", u"中文 & <title>", 0));
  platform::CFile source(in.fd());
  CMarcFile reader;
  CMarc marc;
  ASSERT_GT(reader.ReadFromIso2709(marc, source), 0);

  for (int32_t cp : {-1, 0, 65001, -2}) {
    SCOPED_TRACE(cp);
    File out;
    platform::CFile target(out.fd());
    CMarcFile writer;
    writer.SetAttributeEx(cp, 1, 1);
    int32_t n = writer.AppendToIso2709(marc, target);
    EXPECT_GT(n, 0);
    EXPECT_EQ(writer.AppendToIso2709(marc, target), n);  // the UTF-16 length both times
    target.SeekToBegin();
    CMarcFile again;
    CMarc copy, second;
    ASSERT_GT(again.ReadFromIso2709(copy, target), 0);
    ASSERT_GT(again.ReadFromIso2709(second, target), 0);
    // Fields alike; the leader's length and base address are those of the written form.
    auto fields = [](CMarc& r) {
      u16 t = content(r);
      return t.substr(t.find(u"</header>"));
    };
    EXPECT_EQ(platform::toUtf8(fields(copy)), platform::toUtf8(fields(marc)));
    EXPECT_EQ(platform::toUtf8(fields(second)), platform::toUtf8(fields(marc)));
  }
}

TEST(FileRecord, ARecordWithoutContentWritesNothing) {
  File out;
  platform::CFile target(out.fd());
  CMarcFile writer;
  writer.SetAttributeEx(65001, 1, 1);
  CMarc empty;
  EXPECT_EQ(writer.AppendToIso2709(empty, target), 0);
  EXPECT_EQ(out.bytes().size(), 0u);
  // A record with an empty header would go out with a leader of zeros: nothing is written.
  const char16_t* noLeader = u"<marc><header></header><field name=\"001\">x</field></marc>";
  CMarc headless;
  headless.SetContent(noLeader);
  ASSERT_EQ(headless.IsNull(), 0);
  EXPECT_EQ(writer.AppendToIso2709(headless, target), 0);
  EXPECT_EQ(out.bytes().size(), 0u);
  char16_t iso[128];
  EXPECT_EQ(writer.Jinei2Iso(headless, iso, 128), 0);
  char bytes[128];
  EXPECT_EQ(OutMarc(noLeader, 0, 0, bytes), 0);
}

}  // namespace
