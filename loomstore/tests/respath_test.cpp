// Resource paths: parsing, formatting, and changing the parts.
#include <loomstore/ResPath.h>

#include <platform/text.h>

#include <gtest/gtest.h>

#include <array>
#include <string>

namespace {

struct Parts {
  int32_t count;
  std::array<std::u16string, 4> parts;  // protocol, server, database, from
  std::u16string all;
};

Parts read(CResPath& p) {
  Parts r;
  r.count = p.GetPartNum();
  char16_t buf[256];
  EXPECT_EQ(p.GetProtocol(buf, 256), 1);
  r.parts[0] = buf;
  EXPECT_EQ(p.GetSvrName(buf, 256), 1);
  r.parts[1] = buf;
  EXPECT_EQ(p.GetDbName(buf, 256), 1);
  r.parts[2] = buf;
  EXPECT_EQ(p.GetFrom(buf, 256), 1);
  r.parts[3] = buf;
  EXPECT_EQ(p.GetAll(buf, 256), 1);
  r.all = buf;
  return r;
}

TEST(ResPath, ParsesUpToFourParts) {
  struct Case {
    const char16_t* text;
    Parts expected;
  } cases[] = {
      {u"z39.50://lib/books/title", {4, {u"z39.50", u"lib", u"books", u"title"}, u"z39.50://lib/books/title"}},
      {u"qzap://main/", {2, {u"qzap", u"main", u"", u""}, u"qzap://main//"}},
      {u"qzap://main//title", {4, {u"qzap", u"main", u"", u"title"}, u"qzap://main//title"}},
      {u"qzap://main//", {3, {u"qzap", u"main", u"", u""}, u"qzap://main//"}},
      {u"qzap://", {1, {u"qzap", u"", u"", u""}, u"qzap:////"}},
      {u"z39.50://", {1, {u"z39.50", u"", u"", u""}, u"z39.50:////"}},
      {u"//srv/db", {3, {u"qzap", u"srv", u"db", u""}, u"qzap://srv/db/"}},
      {u"://srv/db", {3, {u"qzap", u"srv", u"db", u""}, u"qzap://srv/db/"}},
      {u"z39.50://srv/db#12", {3, {u"z39.50", u"srv", u"db#12", u""}, u"z39.50://srv/db#12/"}},
      {u"qzap://a/b/c/d/e", {4, {u"qzap", u"a", u"b", u"c"}, u"qzap://a/b/c"}},
      {u"ab//srv", {2, {u"a", u"srv", u"", u""}, u"a://srv//"}},  // the character before "//" is dropped
      {u"x://y//z//w", {4, {u"x", u"y", u"", u"z"}, u"x://y//z"}},
      {u"", {0, {}, u":////"}},
      {u"server/db", {0, {}, u":////"}},
      {nullptr, {0, {}, u":////"}},
  };
  // Absent parts format as empty ones, so a path of no parts is ":////".
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text ? platform::toUtf8(c.text) : "(null)");
    CResPath p(c.text);
    Parts got = read(p);
    EXPECT_EQ(got.count, c.expected.count);
    EXPECT_EQ(got.parts, c.expected.parts);
    EXPECT_EQ(got.all, c.expected.all);
  }
}

TEST(ResPath, GettersNeedRoomForTheNul) {
  CResPath p(u"qzap://main/books/title");
  char16_t buf[16] = u"untouched";
  EXPECT_EQ(p.GetSvrName(buf, 4), 0);  // "main" and its NUL need 5
  EXPECT_EQ(std::u16string(buf), u"untouched");
  EXPECT_EQ(p.GetSvrName(buf, 5), 1);
  EXPECT_EQ(std::u16string(buf), u"main");
  EXPECT_EQ(p.GetAll(buf, 16), 0);  // 23 characters
  EXPECT_EQ(std::u16string(buf), u"main");
  EXPECT_EQ(p.GetDbName(buf, 0), 0);
  EXPECT_EQ(p.GetFrom(nullptr, 10), 0);
  CResPath none(u"");
  EXPECT_EQ(none.GetFrom(buf, 1), 1);  // an empty part fits in one character
  EXPECT_EQ(std::u16string(buf), u"");
}

TEST(ResPath, AppendAndCutTailWalkThePartsInOrder) {
  CResPath p(u"");
  EXPECT_EQ(p.CutTail(), 0);
  EXPECT_EQ(p.GetPartNum(), 0);
  for (const char16_t* part : {u"z39.50", u"lib", u"books", u"title"}) EXPECT_EQ(p.Append(part), 1);
  EXPECT_EQ(p.Append(u"more"), 0);
  Parts full = read(p);
  EXPECT_EQ(full.count, 4);
  EXPECT_EQ(full.all, u"z39.50://lib/books/title");

  EXPECT_EQ(p.CutTail(), 1);
  EXPECT_EQ(read(p).all, u"z39.50://lib/books/");
  EXPECT_EQ(p.CutTail(), 1);
  EXPECT_EQ(p.Append(u"other"), 1);
  EXPECT_EQ(read(p).all, u"z39.50://lib/other/");
  EXPECT_EQ(p.GetPartNum(), 3);
  for (int i = 0; i < 3; ++i) EXPECT_EQ(p.CutTail(), 1);
  EXPECT_EQ(p.CutTail(), 0);
  EXPECT_EQ(read(p).all, u":////");
}

TEST(ResPath, RepPartReplacesWithoutCounting) {
  struct Case {
    int32_t which;
    int index;  // -1: refused
  } cases[] = {{0, 0},   {u'P', 0}, {u'p', 0}, {1, 1},    {u'S', 1}, {u's', 1}, {2, 2},  {u'D', 2},
               {u'd', 2}, {3, 3},   {u'F', 3}, {u'f', 3}, {4, -1},   {-1, -1},  {u'x', -1}, {u'Q', -1}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.which);
    CResPath p(u"qzap://main/books/title");
    EXPECT_EQ(p.RepPart(c.which, u"NEW"), c.index >= 0 ? 1 : 0);
    Parts got = read(p);
    std::array<std::u16string, 4> expected = {u"qzap", u"main", u"books", u"title"};
    if (c.index >= 0) expected[size_t(c.index)] = u"NEW";
    EXPECT_EQ(got.parts, expected);
    EXPECT_EQ(got.count, 4);
  }
  // The count stays, so the next CutTail clears the protocol, not the database just set.
  CResPath p(u"qzap://");
  EXPECT_EQ(p.RepPart(2, u"db"), 1);
  EXPECT_EQ(p.GetPartNum(), 1);
  EXPECT_EQ(p.CutTail(), 1);
  Parts got = read(p);
  EXPECT_EQ(got.count, 0);
  EXPECT_EQ(got.parts, (std::array<std::u16string, 4>{u"", u"", u"db", u""}));
}

}  // namespace
