#include <ui/commondlg.h>
#include <ui/fonts.h>
#include <ui_testing/modal_script.h>

#include <qorvel_testing/testing.h>

#include <QCheckBox>
#include <QComboBox>
#include <QFileDialog>
#include <QFontDialog>
#include <QLineEdit>

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

// With a colour, the dialog shows the colour list among its effects and gives the choice.
TEST(CommonDialogs, FontDialogWithTheTextColour) {
  uitest::ModalScript script;
  struct Case {
    QColor start;
    int startItems;       // the sixteen basic colours, and one more for a colour outside them
    const char* pick;     // item chosen, or null to cancel
    QColor result;
  };
  const Case cases[] = {
      {QColor(0, 0, 0), 16, "红色", QColor(255, 0, 0)},
      {QColor(0, 0, 128), 16, nullptr, QColor(0, 0, 128)},
      {QColor(1, 2, 3), 17, "自定义", QColor(1, 2, 3)},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.pick ? c.pick : "cancel");
    QString shownFirst;
    int items = 0;
    bool amongEffects = false;
    QColor sampleColour;
    script.actOn<QFontDialog>([&](QFontDialog& d) {
      QComboBox* list = nullptr;
      for (auto* box : d.findChildren<QComboBox*>())
        if (ui::controlId(box) == ui::IDC_FONT_COLOUR) list = box;
      ASSERT_NE(list, nullptr);
      amongEffects = list->parentWidget() && !list->parentWidget()->findChildren<QCheckBox*>().isEmpty();
      items = list->count();
      shownFirst = list->currentText();
      if (!c.pick) return d.reject();
      list->setCurrentIndex(list->findText(QString::fromUtf8(c.pick)));
      for (auto* e : d.findChildren<QLineEdit*>())
        if (e->palette().color(QPalette::Text) == c.result) sampleColour = c.result;
      d.accept();
    });
    QColor colour = c.start;
    const auto f = ui::chooseFont(nullptr, ui::dialogFont(), colour);
    EXPECT_EQ(f.has_value(), c.pick != nullptr);
    EXPECT_TRUE(amongEffects);
    EXPECT_EQ(items, c.startItems);
    EXPECT_EQ(colour, c.result);
    if (c.pick) EXPECT_EQ(sampleColour, c.result) << "the sample line shows the colour";
  }
  EXPECT_EQ(script.records().size(), 3u);
}

}  // namespace
