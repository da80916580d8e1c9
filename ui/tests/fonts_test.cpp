#include <ui/fonts.h>

#include <QFontInfo>
#include <QRawFont>

#include <gtest/gtest.h>

namespace {

TEST(Fonts, SongtiIsServedByUmingWithoutKerning) {
  for (const char16_t* face : {u"宋体", u"SimSun", u"新宋体"}) {
    QFont f = ui::makeFont(QString::fromUtf16(face), 9);
    EXPECT_EQ(QFontInfo(f).family(), QStringLiteral("AR PL UMing CN")) << QString::fromUtf16(face).toStdString();
    EXPECT_FALSE(f.kerning());
  }
  QFont d = ui::dialogFont();
  EXPECT_EQ(d.pointSize(), 9);
  QRawFont raw = QRawFont::fromFont(d);
  for (char32_t c : {U'中', U'文', U'库', U'A'}) EXPECT_TRUE(raw.supportsCharacter(c)) << uint32_t(c);
}

TEST(Fonts, LogFontSetsHeightWeightAndWidth) {
  QFont f = ui::logFont(ui::dialogFont(), 32, 24, 100);
  EXPECT_EQ(f.pixelSize(), 32);
  EXPECT_EQ(f.weight(), QFont::Thin);
  EXPECT_GT(f.stretch(), 100) << "24 pixels is wider than the face's own average at 32";
  EXPECT_FALSE(f.kerning());
}

}  // namespace
