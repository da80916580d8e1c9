// Qt's own texts in Gleanex's dialogs: the source file dialog (Qt's own, not the desktop's)
// shows its buttons in Chinese once the program has loaded Qt's translation at its start, and
// a missing translation changes nothing else.
#include "dialog_fixture.h"
#include "main_dlg.h"

#include <ui/translations.h>

#include <QAbstractButton>
#include <QDialogButtonBox>
#include <QDir>
#include <QFileInfo>

namespace {

class QtTexts : public DialogTest {
 protected:
  void SetUp() override {
    DialogTest::SetUp();
    theApp().SetProgramFolder(platform::fromUtf8(dir.path().string()));
    theApp().settings = CAppSettings();
  }
  QString file(const std::string& name) {
    qtest::writeFile(dir / name, "");
    return QString::fromStdString((dir / name).string());
  }
  /// Presses the source file's browse button; the file dialog that comes up picks `name`.
  /// The texts of the dialog's buttons, sorted.
  QStringList browse(CGleanexDlg& dlg, const QString& name) {
    QStringList texts;
    pickFile(name, [&texts](QFileDialog& f) {
      EXPECT_TRUE(f.testOption(QFileDialog::DontUseNativeDialog));
      EXPECT_EQ(f.windowTitle(), QStringLiteral("指定源数据文件名"));
      for (QDialogButtonBox* box : f.findChildren<QDialogButtonBox*>())
        for (QAbstractButton* b : box->buttons()) texts << b->text();
    });
    uitest::click(&dlg, 1003);
    EXPECT_EQ(script.pending(), 0u) << "the file dialog never came up";
    texts.sort();
    return texts;
  }
  qtest::TempDir dir;
};

TEST_F(QtTexts, TheSourceFileDialogSpeaksChineseOnceTheTranslationIsLoaded) {
  CGleanexDlg dlg;
  // Without the translation's file: nothing is loaded, and the dialog works as before.
  qtest::TempDir empty;
  EXPECT_FALSE(ui::loadQtTranslations(QString::fromStdString(empty.path().string())));
  const QString first = file("源数据.mrc");
  EXPECT_EQ(browse(dlg, first), (QStringList{QStringLiteral("&Open"), QStringLiteral("Cancel")}));
  EXPECT_EQ(ui::controlText(&dlg, 1000), first);

  const QString installed = QDir(ui::qtTranslationFolder()).filePath(QLatin1String(ui::kQtTranslationFile));
  if (!QFileInfo(installed).isFile())
    GTEST_SKIP() << installed.toStdString() << " is missing: install qt6-translations-l10n (scripts/install-deps.sh)";
  // What Gleanex's start does.
  ASSERT_TRUE(ui::loadQtTranslations());
  const QString second = file("第二批.iso");
  EXPECT_EQ(browse(dlg, second), (QStringList{QStringLiteral("取消"), QStringLiteral("打开(&O)")}));
  EXPECT_EQ(ui::controlText(&dlg, 1000), second);
}

}  // namespace
