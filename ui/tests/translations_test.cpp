// Qt's own texts in Chinese once its translation is loaded, and nothing changed without it.
#include <ui/translations.h>

#include <qorvel_testing/testing.h>

#include <QDialogButtonBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QFontDialog>
#include <QLabel>
#include <QPushButton>

#include <gtest/gtest.h>

namespace {

QString buttonText(QDialogButtonBox::StandardButton which) {
  QDialogButtonBox box(which);
  return box.button(which)->text();
}

QStringList labelsOf(QWidget& w) {
  QStringList out;
  for (QLabel* l : w.findChildren<QLabel*>()) out << l->text();
  return out;
}

QString folderOf(const qtest::TempDir& dir) { return QString::fromStdString(dir.path().string()); }

TEST(QtTranslations, StandardTextsTurnChineseOnlyWithTheFile) {
  const QString installed = QDir(ui::qtTranslationFolder()).filePath(QLatin1String(ui::kQtTranslationFile));
  // A folder without the file, or with an unreadable one: false, and Qt still speaks English.
  qtest::TempDir empty, broken;
  qtest::writeFile(broken / ui::kQtTranslationFile, "not a translation");
  for (const qtest::TempDir* dir : {&empty, &broken}) {
    EXPECT_FALSE(ui::loadQtTranslations(folderOf(*dir)));
    EXPECT_EQ(buttonText(QDialogButtonBox::Cancel), QStringLiteral("Cancel"));
  }
  if (!QFileInfo(installed).isFile())
    GTEST_SKIP() << installed.toStdString() << " is missing: install qt6-translations-l10n (scripts/install-deps.sh)";

  // Only the Chinese file itself: the same translation under a shorter name is not taken.
  qtest::TempDir shorter;
  ASSERT_TRUE(QFile::copy(installed, QDir(folderOf(shorter)).filePath(QStringLiteral("qtbase.qm"))));
  EXPECT_FALSE(ui::loadQtTranslations(folderOf(shorter)));
  EXPECT_EQ(buttonText(QDialogButtonBox::Cancel), QStringLiteral("Cancel"));

  ASSERT_TRUE(ui::loadQtTranslations());
  EXPECT_EQ(buttonText(QDialogButtonBox::Cancel), QStringLiteral("取消"));
  EXPECT_EQ(buttonText(QDialogButtonBox::Yes), QStringLiteral("是(&Y)"));
  QFontDialog font;
  font.setOption(QFontDialog::DontUseNativeDialog);
  EXPECT_TRUE(labelsOf(font).contains(QStringLiteral("字体(&F)"))) << labelsOf(font).join(u'|').toStdString();
  // Loaded once: a later call answers at once, whatever folder it names.
  EXPECT_TRUE(ui::loadQtTranslations(folderOf(empty)));
}

}  // namespace
