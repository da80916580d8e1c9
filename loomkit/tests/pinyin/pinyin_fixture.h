// Shared set-up of the pinyin tests: a pinyin.ini of the test's own, a chooser that answers
// from a script, and Gbk2Pinyin as a function returning the text.
#pragma once

#include <loomkit/CvtCode.h>
#include <loomkit/Pinyin.h>

#include <platform/codepage.h>
#include <platform/profile.h>
#include <platform/text.h>
#include <qorvel_testing/testing.h>

#include <gtest/gtest.h>

#include <deque>
#include <string>
#include <vector>

struct ScriptedChooser : loomkit::PolyphoneChooser {
  std::deque<loomkit::PolyphoneAnswer> answers;
  std::vector<loomkit::PolyphoneQuestion> asked;
  std::vector<std::u16string> askedText;  // the question's text outlives the call only here

  loomkit::PolyphoneAnswer choose(const loomkit::PolyphoneQuestion& q) override {
    asked.push_back(q);
    askedText.emplace_back(q.text);
    if (answers.empty()) return {};
    auto a = answers.front();
    answers.pop_front();
    return a;
  }
  void pick(const std::u16string& r, bool alwaysFirst = false) {
    answers.push_back({loomkit::PolyphoneAnswer::Chosen, r, alwaysFirst});
  }
  void cancel() { answers.push_back({loomkit::PolyphoneAnswer::Cancelled, u"", false}); }
  void stop() { answers.push_back({loomkit::PolyphoneAnswer::Stopped, u"", false}); }
};

class PinyinTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ini_ = (dir_ / "pinyin.ini").string();
    loomkit::SetPinyinIniPath(ini_);
  }
  void TearDown() override {
    loomkit::SetPinyinIniPath("");
    loomkit::SetPolyphoneChooser(nullptr);
  }
  void useScript() { loomkit::SetPolyphoneChooser(&chooser_); }
  /// The ini text in UTF-8, written as GBK (as the cataloguers' files are).
  void writeGbkIni(const std::string& utf8) {
    qtest::writeFile(ini_, platform::toNarrow(936, platform::fromUtf8(utf8)));
  }
  std::u16string iniValue(const char16_t* section, const char16_t* key) {
    return platform::profileString(ini_, section, key, u"<missing>", 512);
  }

  struct Result {
    int32_t n;
    std::u16string text;
  };
  Result pinyin(const std::u16string& text, const char16_t* subfield = u"200$a", int32_t mode = 0,
                int32_t size = 256) {
    std::vector<char16_t> out(size_t(size) + 8, u'#');
    int32_t n = cvt_.Gbk2Pinyin(mode, text.c_str(), subfield, out.data(), size);
    for (size_t i = size_t(size); i < out.size(); ++i) EXPECT_EQ(out[i], u'#') << "written past the capacity";
    std::u16string s(out.data(), std::find(out.begin(), out.begin() + size, u'\0') - out.begin());
    return {n, s};
  }

  qtest::TempDir dir_;
  std::string ini_;
  CCvtCode cvt_{u"Pinyin"};
  ScriptedChooser chooser_;
};

inline std::string show(const std::u16string& s) {
  std::u16string t = s;
  for (char16_t& c : t)
    if (c == u'\x11') c = u'|';
  return platform::toUtf8(t);
}
