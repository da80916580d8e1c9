#include "pinyin_fixture.h"

#include <platform/paths.h>

namespace {

using loomkit::PhraseListMatches;

TEST_F(PinyinTest, SyllablesSeparatorsAndCaseModes) {
  useScript();
  struct Case {
    std::u16string in;
    int32_t mode;
    std::u16string out;
  } cases[] = {
      {u"中文", 0, u"Zhong\x11wen"},
      {u"中文", 1, u"Zhong\x11Wen"},
      {u"中文", 2, u"zhong\x11wen"},
      {u"中文", -1, u"zhong\x11wen"},
      {u"中,文", 0, u"Zhong,wen"},           // no separator around listed punctuation
      {u"中/文.", 0, u"Zhong/wen."},
      {u"中A", 0, u"Zhong\x11" u"A"},        // Latin after a syllable
      {u"中\x11" u"A", 0, u"Zhong\x11" u"A"}, // an existing U+0011 is not doubled
      {u"A中", 0, u"A\x11Zhong"},
      {u"中—文", 0, u"Zhong—wen"},            // not in the table: copied, no separator after
      {u"“中”", 0, u"“Zhong”"},
      {u"", 0, u""},
  };
  for (const Case& c : cases) {
    Result r = pinyin(c.in, u"200$a", c.mode);
    EXPECT_EQ(r.text, c.out) << show(c.in) << " mode " << c.mode << " got " << show(r.text);
    EXPECT_EQ(r.n, int32_t(c.out.size()));
  }
  EXPECT_TRUE(chooser_.asked.empty());
}

TEST_F(PinyinTest, ReadingsOfATableLine) {
  EXPECT_EQ(loomkit::SplitReadings("     xing;hang"), (std::vector<std::u16string>{u"xing", u"hang"}));
  EXPECT_EQ(loomkit::SplitReadings(" Dan  Chan;shan\r\n"), (std::vector<std::u16string>{u"dan", u"chan", u"shan"}));
  EXPECT_TRUE(loomkit::SplitReadings("   ").empty());
}

TEST_F(PinyinTest, SurnameContexts) {
  struct Case {
    const char16_t* subfield;
    std::u16string text;
    size_t pos;
    bool surname;
  } cases[] = {
      {u"701$a", u"曾国藩", 0, true},     {u"701$a", u"李曾", 1, false},
      {u"702$a", u"曾", 0, true},         {u"SurName", u"曾", 0, true},
      {u"701$A", u"曾", 0, false},        {u"200$f", u"曾", 0, true},
      {u"200$f", u"李,曾", 2, true},      {u"200$g", u"李]曾", 2, true},
      {u"200$f", u"李, 曾", 3, true},     {u"200$f", u"李] 曾", 3, true},
      {u"200$f", u"李，曾", 2, true},     {u"200$f", u"李］曾", 2, true},
      {u"200$f", u"李 曾", 2, false},     {u"200$f", u"李;曾", 2, false},
      {u"200$a", u"曾", 0, false},        {u"", u"曾", 0, false},
  };
  for (const Case& c : cases)
    EXPECT_EQ(loomkit::IsSurnameContext(c.subfield, c.text, c.pos), c.surname)
        << platform::toUtf8(c.subfield) << " " << show(c.text) << " @" << c.pos;
}

TEST_F(PinyinTest, PhraseMatchPutsTheCharacterOnItsPosition) {
  struct Case {
    std::u16string list, text;
    size_t pos;
    bool match;
  } cases[] = {
      {u"银行;", u"中国银行", 3, true},
      {u"银行;", u"行银行", 0, false},          // the phrase stands elsewhere
      {u"银行;", u"行银行", 2, true},
      {u"行业;银行;", u"银行行业", 2, true},    // the second phrase's occurrence
      {u"银行", u"银行", 1, false},              // text after the last ";" is ignored
      {u"行行;", u"行行行行", 0, true},          // the character's first place in the phrase
      {u"行行;", u"行行行行", 1, false},
      {u"行行;", u"行行行行", 2, true},
      {u"行行;", u"行行行行", 3, false},         // searches do not overlap: found at 0 and 2
      {u"走;", u"行走", 0, false},               // a phrase without the character
  };
  for (const Case& c : cases)
    EXPECT_EQ(PhraseListMatches(c.list, c.text, c.pos), c.match) << show(c.list) << " in " << show(c.text) << " @" << c.pos;
}

TEST_F(PinyinTest, StoredRulesResolveWithoutAsking) {
  useScript();
  writeGbkIni("[曾]\r\nSurname=zeng\r\n[行]\r\nhang=银行;行业;\r\n!=xing\r\n200$g=hang\r\n[大]\r\ndai=大夫;\r\n");
  struct Case {
    std::u16string in;
    const char16_t* subfield;
    std::u16string out;
  } cases[] = {
      {u"曾国藩", u"701$a", u"Zeng\x11guo\x11" u"fan"},
      {u"李, 曾", u"200$f", u"Li, \x11zeng"},  // ", ": a surname after the blank
      {u"李，曾", u"200$f", u"Li，zeng"},        // the full-width comma: not in the table
      {u"中国银行", u"200$a", u"Zhong\x11guo\x11yin\x11hang"},
      {u"行走", u"200$a", u"Xing\x11zou"},      // default "!" when the other lists do not match
      {u"行", u"200$g", u"Hang"},               // kept for the subfield
      {u"大夫", u"200$a", u"Dai\x11" u"fu"},
  };
  for (const Case& c : cases) {
    Result r = pinyin(c.in, c.subfield);
    EXPECT_EQ(r.text, c.out) << show(c.in) << " got " << show(r.text);
  }
  EXPECT_TRUE(chooser_.asked.empty()) << show(chooser_.askedText.front());

  // Without a default, a list that does not match leaves the character to the chooser.
  chooser_.pick(u"da");
  EXPECT_EQ(pinyin(u"大家", u"200$a").text.substr(0, 2), u"Da");
  ASSERT_FALSE(chooser_.asked.empty());
  EXPECT_EQ(chooser_.asked[0].character, u'大');
}

TEST_F(PinyinTest, SurnameOnlyWhereASurnameStands) {
  useScript();
  writeGbkIni("[曾]\r\nSurname=zeng\r\n");
  chooser_.pick(u"ceng");
  Result r = pinyin(u"李曾", u"701$a");
  EXPECT_EQ(r.text, u"Li\x11" u"ceng");
  ASSERT_EQ(chooser_.asked.size(), 1u);
  EXPECT_FALSE(chooser_.asked[0].surnameContext);
  EXPECT_EQ(chooser_.asked[0].position, 1u);
  EXPECT_EQ(chooser_.asked[0].readings, (std::vector<std::u16string>{u"ceng", u"zeng"}));
  EXPECT_EQ(chooser_.asked[0].subfield, u"701$a");
}

TEST_F(PinyinTest, StopCancelAndAlwaysFirst) {
  useScript();
  chooser_.stop();
  Result stopped = pinyin(u"中行文", u"200$a");
  EXPECT_EQ(stopped.n, -1);
  EXPECT_EQ(stopped.text, u"Zhong\x11") << "terminated after what was done";

  chooser_.cancel();
  Result cancelled = pinyin(u"中行文");
  EXPECT_EQ(cancelled.text, u"Zhong\x11wen");
  EXPECT_EQ(cancelled.n, 9);

  // A character left out leaves no separator of its own behind.
  struct Left {
    std::u16string in, out;
  } leftOut[] = {
      {u"行中", u"Zhong"},                  // first: no separator before the next syllable
      {u"中行A", u"Zhong\x11" u"A"},        // one U+0011 before the letter, not two
      {u"中行,文", u"Zhong,wen"},            // none before the comma
      {u"中,行文", u"Zhong,wen"},            // none after it either
  };
  for (const Left& c : leftOut) {
    chooser_.cancel();
    Result r = pinyin(c.in);
    EXPECT_EQ(r.text, c.out) << show(c.in) << " got " << show(r.text);
    EXPECT_EQ(r.n, int32_t(c.out.size()));
  }
  ASSERT_EQ(chooser_.asked.size(), 6u);

  chooser_.pick(u"hang", true);
  EXPECT_EQ(pinyin(u"行长").text, u"Hang\x11zhang") << "always-first settles 长 at once";
  EXPECT_EQ(chooser_.asked.size(), 7u);
  EXPECT_EQ(pinyin(u"单").text, u"Dan") << "and lasts as long as the object";
  EXPECT_EQ(chooser_.asked.size(), 7u);
  CCvtCode fresh(u"Pinyin");
  std::vector<char16_t> out(32);
  chooser_.cancel();
  EXPECT_EQ(fresh.Gbk2Pinyin(0, u"单", u"", out.data(), 32), 0);
  EXPECT_EQ(chooser_.asked.size(), 8u);
}

TEST_F(PinyinTest, OutputNeverPassesItsCapacity) {
  useScript();
  const std::u16string want = u"Zhong\x11wen";  // 9 units and the NUL
  Result fits = pinyin(u"中文", u"200$a", 0, 10);
  EXPECT_EQ(fits.n, 9);
  EXPECT_EQ(fits.text, want);
  Result tight = pinyin(u"中文", u"200$a", 0, 9);
  EXPECT_EQ(tight.n, 0);
  EXPECT_EQ(tight.text, u"") << "emptied, nothing past the capacity";
  chooser_.stop();
  Result stopTight = pinyin(u"中文行", u"200$a", 0, 4);
  EXPECT_EQ(stopTight.n, -1);
  EXPECT_EQ(stopTight.text, u"");

  std::vector<char16_t> out(8, u'#');
  EXPECT_EQ(cvt_.Gbk2Pinyin(0, u"中", u"", out.data(), 0), 0);
  EXPECT_EQ(out[0], u'#');
  EXPECT_EQ(cvt_.Gbk2Pinyin(0, nullptr, u"", out.data(), 8), 0);
}

TEST_F(PinyinTest, OnlyThePinyinTableConverts) {
  std::vector<char16_t> out(16, u'#');
  for (const char16_t* name : {u"Codes", u"Latin", u"nothing"}) {
    CCvtCode other(name);
    EXPECT_EQ(other.Gbk2Pinyin(0, u"中文", u"", out.data(), 16), 0) << platform::toUtf8(name);
  }
  CCvtCode lower(u"pinyin");
  EXPECT_EQ(lower.Gbk2Pinyin(0, u"中", u"", out.data(), 16), 5);
}

TEST_F(PinyinTest, IniBesideTheProgramByDefault) {
  loomkit::SetPinyinIniPath("");
  EXPECT_EQ(loomkit::PinyinIniPath(), platform::joinPath(platform::programFolder(), "pinyin.ini"));
  loomkit::SetPinyinIniPath(ini_);
  EXPECT_EQ(loomkit::PinyinIniPath(), ini_);
}

}  // namespace
