#include <ui/commondlg.h>
#include <ui/fonts.h>
#include <ui_testing/modal_script.h>

#include <qorvel_testing/testing.h>

#include <QFileDialog>
#include <QFontDialog>

#include <gtest/gtest.h>

namespace {

TEST(CommonDialogs, WindowsFiltersBecomeQtNameFilters) {
  struct Case {
    const char16_t* in;
    QStringList out;
  } cases[] = {
      {u"Excel数据文件 (*.xls)|*.xls|所有文件 (*.*)|*.*||",
       {QStringLiteral("Excel数据文件 (*.xls)"), QStringLiteral("所有文件 (*.*)")}},
      {u"MARC|*.mrc;*.iso||", {QStringLiteral("MARC (*.mrc *.iso)")}},
      {u"", {}},
  };
  for (const Case& c : cases) EXPECT_EQ(ui::nameFilters(QString::fromUtf16(c.in)), c.out);
}

TEST(CommonDialogs, SaveDialogRunsThroughTheHook) {
  qtest::TempDir dir;
  uitest::ModalScript script;
  QString wanted = QString::fromStdString((dir / "样例").string());
  script.actOn<QFileDialog>([&](QFileDialog& d) {
    EXPECT_EQ(d.windowTitle(), QStringLiteral("指定Excel样例文件名"));
    EXPECT_EQ(d.defaultSuffix(), QStringLiteral("xls"));
    d.selectFile(wanted);
    static_cast<QDialog&>(d).accept();  // QFileDialog's own checks and suffix run
  });
  ui::FileDialogOptions o;
  o.title = QStringLiteral("指定Excel样例文件名");
  o.filter = QStringLiteral("Excel数据文件 (*.xls)|*.xls|所有文件 (*.*)|*.*||");
  o.defaultExt = QStringLiteral("xls");
  o.initialDir = QString::fromStdString(dir.path().string());
  auto got = ui::getSaveFileName(nullptr, o);
  ASSERT_TRUE(got.has_value());
  EXPECT_EQ(*got, wanted + QStringLiteral(".xls"));

  script.act([](QDialog& d) { d.reject(); });
  EXPECT_FALSE(ui::getOpenFileName(nullptr, o).has_value());
  ASSERT_EQ(script.records().size(), 2u);
  EXPECT_EQ(script.records()[1].className, QStringLiteral("QFileDialog"));
}

TEST(CommonDialogs, FontDialogRunsThroughTheHook) {
  uitest::ModalScript script;
  script.actOn<QFontDialog>([](QFontDialog& d) {
    QFont f = d.currentFont();
    f.setPointSize(14);
    d.setCurrentFont(f);
    d.accept();
  });
  auto f = ui::chooseFont(nullptr, ui::dialogFont());
  ASSERT_TRUE(f.has_value());
  EXPECT_EQ(f->pointSize(), 14);
  EXPECT_FALSE(ui::chooseFont(nullptr, ui::dialogFont()).has_value()) << "unscripted: cancelled";
}

}  // namespace
