// Every dialog of Gleanex, as it opens: no two visible controls cover each other (a group box
// may hold controls wholly inside it), and every visible control lies inside its dialog.
#include "browse_dlg.h"
#include "db_picker.h"
#include "dialog_fixture.h"
#include "main_dlg.h"
#include "options_dlg.h"
#include "rule_dlg.h"
#include "server_list_dlg.h"

#include <QAction>
#include <QGroupBox>

#include <functional>
#include <memory>

namespace {

using platform::u16;

/// The visible controls of a dialog that overlap, as "id/class ~ id/class" lines.
std::vector<std::string> overlaps(QDialog& d) {
  std::vector<QWidget*> controls;
  for (QWidget* w : d.findChildren<QWidget*>(Qt::FindDirectChildrenOnly))
    if (w->isVisibleTo(&d) && !w->isWindow()) controls.push_back(w);
  auto name = [](QWidget* w) {
    return std::to_string(ui::controlId(w)) + "/" + w->metaObject()->className() + " \"" +
           ui::controlText(w->parentWidget(), ui::controlId(w)).toStdString() + "\"";
  };
  std::vector<std::string> found;
  for (size_t i = 0; i < controls.size(); ++i) {
    QRect a = controls[i]->geometry();
    if (!d.rect().contains(a)) found.push_back(name(controls[i]) + " leaves the dialog");
    for (size_t j = i + 1; j < controls.size(); ++j) {
      QRect b = controls[j]->geometry();
      if (!a.intersects(b)) continue;
      bool framed = (qobject_cast<QGroupBox*>(controls[i]) && a.contains(b)) ||
                    (qobject_cast<QGroupBox*>(controls[j]) && b.contains(a));
      if (!framed) found.push_back(name(controls[i]) + " ~ " + name(controls[j]));
    }
  }
  return found;
}

class DialogLayout : public DialogTest {
 protected:
  void SetUp() override {
    DialogTest::SetUp();
    theApp().SetProgramFolder(platform::fromUtf8(dir.path().string()));
    theApp().settings = CAppSettings();
    theApp().settings.servers = {u"z39.50://LC/Voyager?p=public/?r=no?n=0"};
  }
  qtest::TempDir dir;
};

TEST_F(DialogLayout, NoTwoVisibleControlsOverlap) {
  using Make = std::function<std::unique_ptr<QDialog>()>;
  CAppSettings& s = settings;
  s.codePage = -2;  // EACC: the variant radio buttons are shown enabled
  s.marker = 4;
  s.multiStrategy = kStrategyAll;
  const struct {
    int id;
    Make make;
  } dialogs[] = {
      {102, [] { return std::make_unique<CGleanexDlg>(); }},
      {129, [&] { return std::make_unique<CServerListDlg>(s); }},
      {130, [] { return std::make_unique<CServerPropDlg>(u"qzap://main/books?p=u/?r=no?n=21"); }},
      {131, [&] { return std::make_unique<CMultiHitDlg>(s); }},
      {132, [&] { return std::make_unique<CHitRuleDlg>(CHitRuleDlg::kModeOneHit, s); }},
      {132, [&] { return std::make_unique<CHitRuleDlg>(CHitRuleDlg::kModeNoHit, s); }},
      {133, [&] { return std::make_unique<CDbPickerDlg>(u"qzap://main/books", s); }},
      {135, [&] { return std::make_unique<COptionsDlg>(s, platform::fromUtf8(dir.path().string() + "/"), u""); }},
      {137, [] {
         auto d = std::make_unique<CBrowseHitsDlg>();
         d->first = [](char16_t*, int32_t) { return 0; };
         d->next = [](char16_t*, int32_t) { return -1; };
         return d;
       }},
  };
  std::vector<int> seen;
  for (const auto& entry : dialogs) {
    std::unique_ptr<QDialog> dlg = entry.make();
    script.act([&](QDialog& d) {
      auto* u = qobject_cast<ui::Dialog*>(&d);
      ASSERT_TRUE(u);
      seen.push_back(u->templateId());
      for (const std::string& o : overlaps(d)) ADD_FAILURE() << "dialog " << u->templateId() << ": " << o;
      uitest::saveScreenshot(d, "gleanex_layout_" + std::to_string(u->templateId()));
      // The About box opens from the main dialog.
      if (u->templateId() == 102) {
        script.act([&](QDialog& about) {
          seen.push_back(qobject_cast<ui::Dialog*>(&about)->templateId());
          for (const std::string& o : overlaps(about)) ADD_FAILURE() << "dialog 100: " << o;
        });
        ASSERT_FALSE(d.actions().isEmpty());
        d.actions().front()->trigger();
      }
    });
    ui::execDialog(*dlg);
  }
  EXPECT_EQ(seen, (std::vector<int>{102, 100, 129, 130, 131, 132, 132, 133, 135, 137})) << "a dialog did not open";
}

}  // namespace
