#include "pinyin_fixture.h"

#include <loomkit/PolyphoneDlg.h>

#include <ui/dialog.h>
#include <ui_testing/modal_script.h>

#include <ui/fonts.h>

#include <QComboBox>
#include <QFontInfo>
#include <QLabel>
#include <QRawFont>

#include <algorithm>

namespace {

using ui::IDCANCEL;
using ui::IDOK;
using uitest::click;

enum { kCharacter = 9020, kContext = 9021, kSubfield = 9026, kReadings = 9024, kPhraseEdit = 9016,
       kStorePhrase = 9019, kPhraseList = 9028, kKeep = 9025, kDefault = 9029, kAlwaysFirst = 9027,
       kSurname = 9022, kStop = 3 };

// Gbk2Pinyin with its own dialog, run offscreen by the script.
class PolyphoneDialog : public PinyinTest {
 protected:
  QComboBox* readings(QDialog& d) { return ui::findControlAs<QComboBox>(&d, kReadings); }
  std::vector<uitest::ModalRecord> boxes() { return script_.messages(); }
  uitest::ModalScript script_;
};

TEST_F(PolyphoneDialog, HasItsControlsWithTheirTexts) {
  CPolyphoneDlg d;
  EXPECT_EQ(d.templateId(), 9002);
  EXPECT_EQ(d.windowTitle(), QStringLiteral("请选择下列多音字的读音"));
  QStringList want = {"9020 static ", "9021 static ", QStringLiteral("9026 static 当前子字段："),
                      "9024 droplist ", "9016 edit", QStringLiteral("9019 button 保存在此短语中读音"), "9028 edit",
                      QStringLiteral("9025 check 同一子字段保持此读音"),
                      QStringLiteral("9029 check 除了在其他读音已配置的短语以外，自动选择此读音"),
                      QStringLiteral("9027 check 不能从配置自动加拼音的一直选第一个读音"),
                      QStringLiteral("9022 button 保存姓氏读音"), QStringLiteral("3 button 停　止"),
                      QStringLiteral("1 button 确  定"), QStringLiteral("2 button 取　消")};
  std::sort(want.begin(), want.end());
  EXPECT_EQ(uitest::controlSummary(d), want);
}

TEST_F(PolyphoneDialog, OpensWithTheCharacterItsContextAndReadings) {
  writeGbkIni("[行]\r\nprior=HANG\r\nhang=银行;\r\n!=hang\r\n");
  script_.act([&](QDialog& d) {
    EXPECT_EQ(d.windowTitle(), QStringLiteral("请选择下列多音字的读音"));
    EXPECT_EQ(ui::controlText(&d, kCharacter), QStringLiteral("行"));
    EXPECT_EQ(ui::controlText(&d, kContext), QStringLiteral("一二三<行>四五七"));
    EXPECT_EQ(ui::controlText(&d, kPhraseEdit), QStringLiteral("一二三行四五七"));
    EXPECT_EQ(ui::controlText(&d, kSubfield), QStringLiteral("当前子字段：200$a"));
    ASSERT_EQ(readings(d)->count(), 2);
    EXPECT_EQ(readings(d)->itemText(0), QStringLiteral("xing"));
    EXPECT_EQ(readings(d)->currentText(), QStringLiteral("hang")) << "prior, found ignoring case";
    EXPECT_EQ(ui::controlText(&d, kPhraseList), QStringLiteral("银行;"));
    EXPECT_TRUE(ui::isChecked(&d, kDefault)) << "the reading is the default";
    EXPECT_FALSE(ui::findControl(&d, kSurname)->isEnabled());
    readings(d)->setCurrentIndex(0);  // a change of selection updates both
    EXPECT_EQ(ui::controlText(&d, kPhraseList), QString());
    EXPECT_FALSE(ui::isChecked(&d, kDefault));
    auto* big = ui::findControlAs<QLabel>(&d, kCharacter);
    EXPECT_EQ(big->font().pixelSize(), 32);
    EXPECT_EQ(big->palette().color(QPalette::WindowText), QColor(0, 0, 255));
    click(&d, IDCANCEL);
  });
  pinyin(u"一二三行四五七八", u"200$a");
  ASSERT_EQ(script_.records().size(), 1u);
  EXPECT_EQ(script_.records()[0].templateId, 9002);
}

TEST_F(PolyphoneDialog, PriorDecidesTheFirstSelection) {
  struct Case {
    const char* ini;
    int index;
  } cases[] = {{"", 0}, {"[行]\r\nprior=xing\r\n", 0}, {"[行]\r\nprior=hang\r\n", 1}, {"[行]\r\nprior=heng\r\n", -1}};
  for (const Case& c : cases) {
    writeGbkIni(c.ini);
    int seen = -2;
    script_.act([&](QDialog& d) {
      seen = readings(d)->currentIndex();
      click(&d, IDCANCEL);
    });
    pinyin(u"行");
    EXPECT_EQ(seen, c.index) << c.ini;
  }
}

TEST_F(PolyphoneDialog, OkTakesTheReadingAndStoresTheTickedRules) {
  writeGbkIni("[行]\r\n!=xing\r\n");
  script_.act([&](QDialog& d) {
    readings(d)->setCurrentIndex(-1);
    click(&d, IDOK);
    EXPECT_TRUE(d.isVisible());
    readings(d)->setCurrentIndex(1);
    ui::setChecked(&d, kKeep, true);
    ui::setChecked(&d, kDefault, true);
    click(&d, IDOK);
  });
  Result r = pinyin(u"行", u"200$a");
  EXPECT_EQ(r.text, u"Hang");
  ASSERT_EQ(boxes().size(), 1u);
  EXPECT_EQ(boxes()[0].text, QStringLiteral("请选择正确的读音，或者按取消不给该字加拼音"));
  EXPECT_EQ(boxes()[0].icon, ui::Icon::None);
  EXPECT_EQ(iniValue(u"行", u"prior"), u"hang");
  EXPECT_EQ(iniValue(u"行", u"200$a"), u"hang");
  EXPECT_EQ(iniValue(u"行", u"!"), u"hang");

  // Confirming the default with the box cleared takes the default away.
  script_.clear();
  writeGbkIni("[行]\r\n!=xing\r\n");
  script_.act([&](QDialog& d) {
    readings(d)->setCurrentIndex(0);
    EXPECT_TRUE(ui::isChecked(&d, kDefault));
    ui::setChecked(&d, kDefault, false);
    click(&d, IDOK);
  });
  EXPECT_EQ(pinyin(u"行走", u"200$b").text, u"Xing\x11zou");
  EXPECT_EQ(iniValue(u"行", u"!"), u"");
  EXPECT_EQ(iniValue(u"行", u"200$b"), u"<missing>") << "box 9025 not ticked";
}

TEST_F(PolyphoneDialog, AlwaysFirstStopAndCancel) {
  script_.act([&](QDialog& d) {
    readings(d)->setCurrentIndex(1);
    ui::setChecked(&d, kAlwaysFirst, true);
    click(&d, IDOK);
  });
  EXPECT_EQ(pinyin(u"行长单").text, u"Hang\x11zhang\x11" u"dan");
  EXPECT_EQ(script_.records().size(), 1u);

  CCvtCode other(u"Pinyin");
  std::vector<char16_t> out(64, u'#');
  script_.clear();
  script_.act([&](QDialog& d) { click(&d, kStop); });
  EXPECT_EQ(other.Gbk2Pinyin(0, u"中行", u"", out.data(), 64), -1);
  EXPECT_EQ(std::u16string(out.data()), u"Zhong\x11");
  EXPECT_EQ(iniValue(u"行", u"prior"), u"hang") << "Stop writes nothing";

  // Cancel with every box ticked still writes nothing.
  script_.clear();
  const std::string before = qtest::readFile(ini_);
  script_.act([&](QDialog& d) {
    readings(d)->setCurrentIndex(0);
    for (int box : {kKeep, kDefault, kAlwaysFirst}) ui::setChecked(&d, box, true);
    click(&d, IDCANCEL);
  });
  EXPECT_EQ(other.Gbk2Pinyin(0, u"行中", u"200$a", out.data(), 64), 5);
  EXPECT_EQ(std::u16string(out.data()), u"Zhong");
  EXPECT_EQ(qtest::readFile(ini_), before);
  script_.clear();
  EXPECT_EQ(other.Gbk2Pinyin(0, u"行", u"200$a", out.data(), 64), 0) << "always-first was not taken";
  EXPECT_EQ(script_.records().size(), 1u);
}

TEST_F(PolyphoneDialog, StoringPhrasesAndTheSurname) {
  writeGbkIni("[行]\r\nhang=大银行;\r\n");
  const QString done = QStringLiteral("汉字 <行> 在短语 <银行; >中读音为 <hang> 配置完毕");
  script_.act([&](QDialog& d) {
    auto store = [&](int reading, const QString& phrase) {
      readings(d)->setCurrentIndex(reading);
      ui::setControlText(&d, kPhraseEdit, phrase);
      click(&d, kStorePhrase);
    };
    store(-1, QStringLiteral("银行"));
    store(1, QString());
    store(1, QStringLiteral("银;行"));
    store(1, QStringLiteral("银行"));  // "大银行;" ends with it, but it is another phrase
    store(1, QStringLiteral("银行"));  // now after a ";"
    store(1, QStringLiteral("大银行"));  // at the start
    EXPECT_EQ(ui::controlText(&d, kPhraseList), QStringLiteral("大银行;银行;"));
    EXPECT_TRUE(d.isVisible());
    click(&d, kSurname);  // disabled outside a surname context
    click(&d, IDCANCEL);
  });
  pinyin(u"中国银行", u"200$a");
  std::vector<QString> texts;
  for (auto& b : boxes()) texts.push_back(b.text);
  ASSERT_EQ(texts.size(), 6u);
  EXPECT_EQ(texts[0], QStringLiteral("请选择正确的读音，再进行保存"));
  EXPECT_EQ(texts[1], QStringLiteral("请输入对应该读音的短语，再进行保存"));
  EXPECT_EQ(texts[2], QStringLiteral("分号被用做格式符号，所以指定的短语中不能包含分号"));
  EXPECT_EQ(texts[3], done);
  EXPECT_EQ(texts[4], QStringLiteral("该短语的读音已经在配置中定义"));
  EXPECT_EQ(texts[5], QStringLiteral("该短语的读音已经在配置中定义"));
  for (auto& b : boxes()) {
    EXPECT_EQ(b.icon, ui::Icon::None) << b.text.toStdString();
    EXPECT_EQ(b.buttons, ui::MB_OK);
  }
  EXPECT_EQ(iniValue(u"行", u"hang"), u"大银行;银行;");
  EXPECT_EQ(iniValue(u"行", u"Surname"), u"<missing>");

  // A full list takes nothing more; in a surname context 9022 stores the reading.
  script_.clear();
  writeGbkIni("[曾]\r\nceng=" + std::string(257, 'x') + "\r\n");
  script_.act([&](QDialog& d) {
    EXPECT_TRUE(ui::findControl(&d, kSurname)->isEnabled());
    readings(d)->setCurrentIndex(0);
    ui::setControlText(&d, kPhraseEdit, QStringLiteral("曾经"));
    click(&d, kStorePhrase);
    readings(d)->setCurrentIndex(1);
    click(&d, kSurname);
    click(&d, IDCANCEL);
  });
  pinyin(u"曾经", u"701$a");
  ASSERT_EQ(boxes().size(), 1u);
  EXPECT_EQ(boxes()[0].text, QStringLiteral("该多音字指定读音的配置内容太多，无法再追加新内容"));
  EXPECT_EQ(iniValue(u"曾", u"Surname"), u"zeng");
}

TEST_F(PolyphoneDialog, ChoicesComeBackTheSameFromAGbkFile) {
  writeGbkIni("; 多音字\r\n[长]\r\n!=chang\r\n");
  script_.act([&](QDialog& d) {
    readings(d)->setCurrentIndex(0);
    ui::setChecked(&d, kKeep, true);
    ui::setControlText(&d, kPhraseEdit, QStringLiteral("院长"));
    click(&d, kStorePhrase);
    click(&d, IDOK);
  });
  EXPECT_EQ(pinyin(u"院长", u"200$a").text, u"Yuan\x11zhang");
  const std::string bytes = qtest::readFile(ini_);
  EXPECT_FALSE(platform::isValidUtf8(bytes)) << "still GBK";
  EXPECT_EQ(platform::toWide(936, bytes).substr(0, 7), u"; 多音字\r\n");
  EXPECT_EQ(iniValue(u"长", u"zhang"), u"院长;");
  // The stored rules now settle it without a dialog, in this and in other subfields.
  script_.clear();
  EXPECT_EQ(pinyin(u"院长", u"200$a").text, u"Yuan\x11zhang");
  EXPECT_EQ(pinyin(u"院长好", u"200$e").text, u"Yuan\x11zhang\x11hao");
  EXPECT_EQ(pinyin(u"长短", u"200$e").text, u"Chang\x11" u"duan");
  EXPECT_TRUE(script_.records().empty());
}

TEST_F(PolyphoneDialog, Screenshot) {
  CPolyphoneDlg d;
  d.m_character = u"曾";
  d.m_readings = {u"ceng", u"zeng"};
  d.m_text = u"曾国藩家书";
  d.m_position = 0;
  d.m_subfield = u"701$a";
  d.m_surname = true;
  d.m_iniPath = ini_;
  d.initialize();
  d.show();
  EXPECT_EQ(QFontInfo(d.font()).family(), QString::fromLatin1(ui::kSongtiSubstitute));
  QRawFont raw = QRawFont::fromFont(d.font());
  QStringList texts = uitest::controlSummary(d);
  texts << d.windowTitle() << ui::controlText(&d, kContext);
  for (const QString& t : texts)
    for (QChar c : t)
      if (c.unicode() > 0x7F) {
        EXPECT_TRUE(raw.supportsCharacter(c)) << QString(c).toStdString() << " in " << t.toStdString();
      }
  auto* big = ui::findControlAs<QLabel>(&d, kCharacter);
  EXPECT_TRUE(QRawFont::fromFont(big->font()).supportsCharacter(QChar(u'曾')));
  auto path = uitest::saveScreenshot(d, "dialog9002_polyphone");
  EXPECT_FALSE(QImage(QString::fromStdString(path.string())).isNull());
}

}  // namespace
