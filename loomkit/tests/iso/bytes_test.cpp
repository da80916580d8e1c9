// Byte records: the directory recomputed, the cuts that never break a character, EACC.
#include "iso_support.h"

#include <cstring>

using namespace isotest;

namespace {

// A byte record from its fields; the columns are left wrong on purpose ("9999" lengths,
// "99999" starts) so that only a recompute can make them right.
std::string rawRecord(const std::vector<std::pair<std::string, std::string>>& fields) {
  std::string dir, data;
  for (auto& [tag, d] : fields) {
    dir += tag + "999999999";
    data += d + '\x1E';
  }
  return "99999nam  2299999   4500" + dir + '\x1E' + data + '\x1D';
}

std::string recompute(std::string rec, int codePage, int leadByteCare) {
  CMarcFile f;
  f.SetAttributeEx(codePage, 0, 3);
  rec.push_back('\0');
  int32_t n = f.RecomputeIsoDirectory(rec.data(), int32_t(rec.size() - 1), leadByteCare);
  EXPECT_EQ(rec[size_t(n)], '\0');
  return rec.substr(0, size_t(n));
}

std::string gbk(const u16& s) { return platform::toNarrow(0, s); }

u16 field(const char16_t* tag, const u16& text) {
  return u"<field name=\"" + u16(tag) + u"\"><sf name=\"a\">" + text + u"</sf></field>";
}
u16 record(const u16& fields) { return u"<marc><header>00000nam  2200000   4500</header>" + fields + u"</marc>"; }

}  // namespace

TEST(RecomputeIsoDirectory, RewritesEveryColumn) {
  std::string rec = recompute(rawRecord({{"245", "ab"}, {"100", ""}, {"001", "xyz"}}), 0, 1);
  EXPECT_EQ(rec, "00070nam  2200061   4500245000300000100000100003001000400004\x1E" "ab\x1E\x1Exyz\x1E\x1D");
  isocheck::check(rec);
}

TEST(RecomputeIsoDirectory, GbkCutsNeverSplitACharacter) {
  // 10,000 bytes of two-byte characters: byte 9,989 is a trail byte, so 9,990 bytes stay;
  // one ASCII byte in front moves the pairs, and byte 9,989 then starts a character.
  std::string even = gbk(u16(5000, u'书'));
  std::string odd = "a" + gbk(u16(4999, u'书')) + "b";
  ASSERT_EQ(even.size(), 10000u);
  ASSERT_EQ(odd.size(), 10000u);
  for (auto [data, kept] : {std::pair{even, size_t(9990)}, std::pair{odd, size_t(9989)}}) {
    std::string rec = recompute(rawRecord({{"200", data}, {"300", "next"}}), 0, 1);
    auto r = isocheck::check(rec);
    ASSERT_EQ(r.data.size(), 2u);
    EXPECT_EQ(r.data[0], data.substr(0, kept));
    EXPECT_EQ(r.entries[1].start, kept + 1);
    EXPECT_EQ(r.data[1], "next");
    EXPECT_EQ(platform::toWide(0, r.data[0]).find(u'\uFFFD'), u16::npos);
  }
}

TEST(RecomputeIsoDirectory, Utf8CutsNeverSplitASequence) {
  for (const char* prefix : {"", "a", "ab"}) {
    std::string data = prefix + platform::toNarrow(65001, u16(3400, u'书'));
    std::string rec = recompute(rawRecord({{"200", data}, {"300", "next"}}), 65001, 1);
    auto r = isocheck::check(rec);
    ASSERT_EQ(r.data.size(), 2u);
    EXPECT_LE(r.data[0].size(), 9990u);
    EXPECT_GE(r.data[0].size(), 9988u);
    EXPECT_TRUE(platform::isValidUtf8(r.data[0])) << "prefix " << prefix;
    EXPECT_EQ(r.data[0], data.substr(0, r.data[0].size()));
  }
}

TEST(RecomputeIsoDirectory, EaccCutsCloseTheRun) {
  // Through the EACC writer: 3,400 characters of the table in one run, alone or after
  // characters written in code page 936 (U+00E9 is A8 A6).
  struct Prefix {
    u16 text;
    std::string bytes;
  } prefixes[] = {{u"", ""}, {u"\u00E9", "\xA8\xA6"}, {u"\u00E9\u00E9\u00E9", "\xA8\xA6\xA8\xA6\xA8\xA6"}};
  for (const Prefix& p : prefixes)
    for (int marker : {3, 4}) {
      SCOPED_TRACE(p.bytes.size());
      u16 iso = isoOf(record(field(u"200", p.text + u16(3400, u'中')) + field(u"300", u"next")));
      std::string bytes = bytesOf(iso, -2, marker);
      auto r = isocheck::check(bytes);
      ASSERT_EQ(r.data.size(), 2u);
      std::string in = marker == 3 ? "\x1B$1" : "\x1B$$1", out = marker == 3 ? "\x1B(B" : "\x1B((B";
      const std::string& d = r.data[0];
      const std::string head = "\x1F" "a" + p.bytes;
      EXPECT_LE(d.size(), 9990u);
      EXPECT_EQ(d.substr(0, head.size()), head);
      EXPECT_EQ(d.substr(head.size(), in.size()), in);
      EXPECT_EQ(d.substr(d.size() - out.size()), out) << "the run is closed before the cut";
      EXPECT_EQ((d.size() - head.size() - in.size() - out.size()) % 3, 0u) << "whole codes only";
      EXPECT_EQ(r.data[1], "\x1F" "anext");
      // Decoded back, the field is the first characters of the original.
      u16 back = textOf(widen(bytes, -2));
      size_t kept = (d.size() - head.size() - in.size() - out.size()) / 3;
      EXPECT_NE(back.find(u16(kept, u'中') + u"</sf>"), u16::npos);
    }
  // Bytes given directly: a plain cut would land inside a code. A single byte above 7F (as
  // other writers give Latin letters) is no GBK lead byte of the escape that follows it.
  std::string run = "\x1B$1";
  for (int i = 0; i < 3400; ++i) run += "\x21\x23\x21";
  for (const char* head : {"x", "\xE9"}) {
    std::string rec = recompute(rawRecord({{"200", head + run + "\x1B(B"}}), -2, 0);
    auto r = isocheck::check(rec);
    ASSERT_EQ(r.data.size(), 1u);
    EXPECT_EQ(r.data[0].size(), 1 + 3 + 3 * 3327 + 3u);
    EXPECT_EQ(r.data[0].substr(r.data[0].size() - 3), "\x1B(B");
  }
}

TEST(RecomputeIsoDirectory, DropsTrailingFieldsPast99999Bytes) {
  std::vector<std::pair<std::string, std::string>> fields;
  for (int i = 0; i < 15; ++i) fields.push_back({"5" + std::to_string(10 + i), gbk(u16(4500, u'书'))});
  std::string rec = recompute(rawRecord(fields), 0, 1);
  auto r = isocheck::check(rec);
  // 26 + (12 + 9,001) n <= 99,999
  EXPECT_EQ(r.data.size(), 11u);
  EXPECT_EQ(r.entries.back().tag, "520");
  // And through the converter, from a UTF-16 record that fits.
  u16 text;
  for (int i = 0; i < 15; ++i) text += field(u"500", u16(4500, u'书'));
  u16 iso = isoOf(record(text));
  EXPECT_EQ(isocheck::check(iso).data.size(), 15u);
  EXPECT_EQ(isocheck::check(bytesOf(iso, 0)).data.size(), 11u);
}

TEST(EaccWriter, RunsAndSingleBytes) {
  struct Case {
    u16 text;
    int marker;
    std::string bytes;
  } cases[] = {
      {u"A\u3000\uFF08B", 3, "A\x1B$1\x21\x23\x21\x21\x23\x28\x1B(BB"},
      {u"A\u3000\uFF08B", 4, "A\x1B$$1\x21\x23\x21\x21\x23\x28\x1B((BB"},
      {u"\u00FC\u00E9\u0001", 3, "\xE8u\xA8\xA6\x01"},
      {u"\u3000", 0, "\x1B$$1\x21\x23\x21\x1B((B"},
      // An escape in the content would open or close a run when read back: it goes as a blank.
      {u"a\x1B$1!#!\x1B(Bb", 3, "a $1!#! (Bb"},
      {u"\x1B$$1\u3000", 4, " $$1\x1B$$1\x21\x23\x21\x1B((B"},
      // Inside a run, an escape, a u-umlaut or a single byte closes the run first.
      {u"\u3000\x1B\u3000", 3, "\x1B$1\x21\x23\x21\x1B(B \x1B$1\x21\x23\x21\x1B(B"},
      {u"\u3000\u00FCa\u3000\u00E9", 3, "\x1B$1\x21\x23\x21\x1B(B\xE8ua\x1B$1\x21\x23\x21\x1B(B\xA8\xA6"},
      // U+0080-U+00FE in code page 936 where it holds them, else "?"; so are characters the
      // table lacks, and a lone surrogate is one "?" a unit (a pair one "?" for its character).
      {u"\u00B7\u00D7\u00B0\u00FE\u0080", 3, "\xA1\xA4\xA1\xC1\xA1\xE3??"},
      {u"\u3000\u00B7\u3000", 3, "\x1B$1\x21\x23\x21\x1B(B\xA1\xA4\x1B$1\x21\x23\x21\x1B(B"},
      {u"a\xD800" u"b\xDC00\xD800\xD800\U00020000", 3, "a?b????"},
  };
  for (const Case& c : cases) {
    // A record of one control field shows the field's bytes.
    u16 iso = isoOf(u"<marc><header>00000nam  2200000   4500</header><field name=\"001\">" + c.text +
                    u"</field></marc>");
    auto r = isocheck::check(bytesOf(iso, -2, c.marker));
    ASSERT_EQ(r.data.size(), 1u);
    EXPECT_EQ(r.data[0], c.bytes) << u8(c.text);
  }
}

TEST(DecodeEaccRuns, Cases) {
  struct Case {
    const char* what;
    std::string in;
    u16 out;
    int marker;  // 0: unchanged
  } cases[] = {
      {"no escape", "plain \xE8u text", u"plain \u9465 text", 0},
      {"short pair", "A\x1B$1!#!!#(\x1B(BB", u"A\u3000\uFF08B", 3},
      {"long pair", "A\x1B$$1!#!\x1B((BB", u"A\u3000B", 4},
      {"u-umlaut outside runs", "\xE8u\x1B$1!#!\x1B(B\xE8u", u"\u00FC\u3000\u00FC", 3},
      {"a missing code is dropped", "\x1B$1~~~!#!\x1B(B", u"\u3000", 3},
      {"an incomplete group is dropped", "\x1B$1!#!!#\x1B(Bx", u"\u3000x", 3},
      // 213034 中, 27553C 华, 274355 书, 213B50 局: a broken code costs that code only.
      {"a unit lost inside a run", "\x1B$1!04'<'CU!;P\x1B(B", u"中书局", 3},
      {"a unit added inside a run is lost", "\x1B$1!04'U<x'CU!;P\x1B(B", u"中华书局", 3},
      {"a code missing from the table inside a run", "\x1B$1!04~~~'CU!;P\x1B(B", u"中书局", 3},
      {"a blank inside a code", "\x1B$1!04' U<'CU\x1B(B", u"中 书", 3},
      {"no escape-out: the run ends at the field's end",
       "A\x1B$1!#!\x1E" "B\x1E\x1D", u"A\u3000\x1E" u"B\x1E\x1D", 3},
      {"blanks inside a run pass through", "\x1B$1!#! !#(\x1B(B", u"\u3000 \uFF08", 3},
      // A delimiter ends a run: the unit after it is the code, the text after it is read
      // outside a run (as yaz-marcdump reads it), never as EACC codes.
      {"a delimiter inside a run", "\x1B$1!#!\x1F!#( !#!\x1B(B", u"\u3000\x1F!#( !#!", 3},
      {"a delimiter inside a run, the code a letter",
       "\x1B$1!#!\x1Fhvideo /\x1F" "c!#!\x1E", u"\u3000\x1Fhvideo /\x1F" u"c!#!\x1E", 3},
      // Escapes to other MARC-8 sets end a run and go; their bytes are read as they are.
      {"Greek inside a run", "\x1B$1!#!\x1B(Sab\x1B$1!#(\x1B(B", u"\u3000ab\uFF08", 3},
      {"quotation marks as yaz writes them",
       "\x1B$1!#!\x1B(3z\x1B$1!#(\x1B(3y\x1B(B.", u"\u3000z\uFF08y.", 3},
      {"escapes outside a run and a lone ESC", "a\x1B(Sb\x1Bg\x1Bs\x1B\x1B$1!#!\x1B(B", u"ab\u3000", 3},
      {"the next run after an unclosed one",
       "\x1B$1!#!\x1E\x1B$1!#(\x1B(Bz\x1E\x1D", u"\u3000\x1E\uFF08z\x1E\x1D", 3},
  };
  for (const Case& c : cases) {
    u16 text = platform::toWide(0, c.in);
    CMarcFile f;
    f.SetAttributeEx(-2, 0, 7);
    u16 buf = text;
    int32_t n = f.DecodeEaccRuns(buf.data(), int32_t(buf.size()));
    EXPECT_EQ(u8(buf.substr(0, size_t(n))), u8(c.out)) << c.what;
    int32_t cp, nl, marker;
    f.GetAttributeEx(cp, nl, marker);
    EXPECT_EQ(marker, c.marker ? c.marker : 7) << c.what;
    if (c.marker) {
      EXPECT_LT(size_t(n), text.size()) << c.what;
      EXPECT_EQ(buf[size_t(n)], 0) << c.what;
    } else {
      EXPECT_EQ(size_t(n), text.size()) << c.what;
    }
  }
}
