#include <ui/dialog.h>
#include <ui/fonts.h>
#include <ui/modal.h>
#include <ui_testing/modal_script.h>

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include <gtest/gtest.h>

namespace {

using ui::IDCANCEL;
using ui::IDOK;

// A small dialog in the shape of the suite's: an edit that must not be empty on OK.
class SampleDlg : public ui::Dialog {
 public:
  explicit SampleDlg(QWidget* parent = nullptr) : ui::Dialog(7001, parent) {
    setWindowTitle(QStringLiteral("样例"));
    setDialogSize(200, 60);
    addStatic(QStringLiteral("名称:"), 7, 9, 30, 8);
    add<QLineEdit>(1001, 40, 7, 100, 14);
    add<QCheckBox>(1002, 40, 25, 100, 10)->setText(QStringLiteral("选项"));
    addButton(IDOK, QStringLiteral("确定"), 145, 7, 50, 14, true);
    addButton(IDCANCEL, QStringLiteral("取消"), 145, 24, 50, 14);
    addButton(1003, QStringLiteral("其他"), 145, 41, 50, 14);
  }
  int inits = 0;
  int commands = 0;
  QString taken;

 protected:
  void onInitDialog() override {
    ++inits;
    ui::setControlText(this, 1001, QStringLiteral("初值"));
  }
  void onOK() override {
    QString t = ui::controlText(this, 1001);
    if (t.isEmpty()) {
      ui::messageBox(this, QStringLiteral("请输入名称"), QString(), ui::Icon::Warning);
      return;
    }
    taken = t;
    endDialog(IDOK);
  }
  void onCommand(int id) override {
    if (id == 1003) ++commands;
  }
};

TEST(Dialog, ControlsAreFoundByTheirIds) {
  SampleDlg d;
  EXPECT_NE(ui::findControlAs<QLineEdit>(&d, 1001), nullptr);
  EXPECT_NE(ui::findControlAs<QCheckBox>(&d, 1002), nullptr);
  EXPECT_EQ(ui::controlId(d.item(IDOK)), IDOK);
  EXPECT_EQ(ui::findControl(&d, 4711), nullptr);
  EXPECT_EQ(ui::findControl(&d, ui::IDC_STATIC), nullptr);
  EXPECT_EQ(d.templateId(), 7001);

  // A nested dialog with a clashing id is not one of the parent's controls.
  SampleDlg inner(&d);
  EXPECT_EQ(ui::findControl(&d, 1001), d.item(1001));
  EXPECT_NE(ui::findControl(&d, 1001), inner.item(1001));
}

TEST(Dialog, TextReadsAreCutLikeAWin32Buffer) {
  SampleDlg d;
  ui::setControlText(&d, 1001, QStringLiteral("abcdef"));
  EXPECT_EQ(ui::controlText(&d, 1001), QStringLiteral("abcdef"));
  EXPECT_EQ(ui::controlText(&d, 1001, 4), QStringLiteral("abc"));
  EXPECT_EQ(ui::controlText(&d, 1001, 7), QStringLiteral("abcdef"));
  EXPECT_EQ(ui::controlText(&d, 4711), QString());
  EXPECT_FALSE(ui::setControlText(&d, 4711, QStringLiteral("x")));
}

TEST(Dialog, DialogUnitsFollowTheDialogFont) {
  QFont f = ui::dialogFont();
  QSize u = ui::dialogBaseUnits(f);
  ASSERT_GT(u.width(), 0);
  ASSERT_GT(u.height(), 0);
  QRect r = ui::mapDialogRect(f, QRect(4, 8, 40, 16));
  EXPECT_EQ(r, QRect(u.width(), u.height(), 10 * u.width(), 2 * u.height()));

  SampleDlg d;
  QRect edit = d.item(1001)->geometry();
  EXPECT_EQ(edit, d.mapDialogRect(QRect(40, 7, 100, 14)));
  EXPECT_EQ(d.size(), d.mapDialogRect(QRect(0, 0, 200, 60)).size());
}

TEST(Dialog, OkAndCancelGiveWin32Results) {
  uitest::ModalScript script;
  SampleDlg a;
  script.act([](QDialog& d) { uitest::click(&d, IDOK); });
  EXPECT_EQ(a.exec(), IDOK);
  EXPECT_EQ(a.taken, QStringLiteral("初值"));
  EXPECT_EQ(a.inits, 1);

  SampleDlg b;
  script.act([](QDialog& d) { uitest::click(&d, IDCANCEL); });
  EXPECT_EQ(ui::execDialog(b), IDCANCEL);

  // Escape and the close box go the Cancel way too.
  SampleDlg c;
  script.act([](QDialog& d) { d.reject(); });
  EXPECT_EQ(ui::execDialog(c), IDCANCEL);
  EXPECT_TRUE(script.allScripted());
  EXPECT_EQ(script.pending(), 0u);
}

TEST(Dialog, ScriptActsOnTheLiveDialogAndSeesItsMessages) {
  uitest::ModalScript script;
  SampleDlg d;
  script.act([](QDialog& dlg) {
    EXPECT_TRUE(dlg.isVisible());
    EXPECT_EQ(ui::controlText(&dlg, 1001), QStringLiteral("初值"));  // initialised first
    ui::setControlText(&dlg, 1001, QString());
    uitest::click(&dlg, IDOK);
    EXPECT_TRUE(dlg.isVisible()) << "an empty name keeps the dialog open";
    uitest::click(&dlg, 1003);
    ui::setControlText(&dlg, 1001, QStringLiteral("新名"));
    uitest::click(&dlg, IDOK);
  });
  EXPECT_EQ(d.exec(), IDOK);
  EXPECT_EQ(d.taken, QStringLiteral("新名"));
  EXPECT_EQ(d.commands, 1);

  ASSERT_EQ(script.records().size(), 2u);
  EXPECT_EQ(script.records()[0].kind, uitest::ModalRecord::Dialog);
  EXPECT_EQ(script.records()[0].templateId, 7001);
  EXPECT_EQ(script.records()[0].caption, QStringLiteral("样例"));
  EXPECT_EQ(script.records()[0].result, IDOK);
  EXPECT_EQ(script.records()[1].kind, uitest::ModalRecord::Message);
  EXPECT_EQ(script.records()[1].text, QStringLiteral("请输入名称"));
  EXPECT_EQ(script.records()[1].icon, ui::Icon::Warning);
}

TEST(Dialog, UnscriptedDialogIsCancelledNotShownModally) {
  uitest::ModalScript script;
  SampleDlg d;
  EXPECT_EQ(d.exec(), IDCANCEL);
  ASSERT_EQ(script.records().size(), 1u);
  EXPECT_FALSE(script.records()[0].scripted);

  // An action that leaves the dialog open ends it with Cancel as well.
  SampleDlg e;
  script.act([](QDialog&) {});
  EXPECT_EQ(e.exec(), IDCANCEL);
  EXPECT_FALSE(e.isVisible());
}

}  // namespace
