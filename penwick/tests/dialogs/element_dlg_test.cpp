// The element dialog: lists from the property INI and lang.ini, the qualifiers an existing
// element shows, the flags that decide what OK writes, and Cancel.
#include "dialog_fixture.h"

#include "element_dlg.h"

#include <functional>

namespace {

const std::u16string ESC(1, u'\x1b');

struct ElementDlg : DialogTest {
  ElementDlg() {
    write("dctips.ini",
          "[Elements]\n1=title\n2=creator\n3=date\n"
          "[title.Type]\n1=T1\n2=Alt\n"
          "[title.Scheme]\n1=S0\n"
          "[title.T1.Scheme]\n1=S2\n2=S1\n"
          "[date.Scheme]\n1=W3CDTF\n");
    write("lang.ini", "[Langs]\n1=eng\n2=chi\n3=fre\n");
  }

  // Runs the dialog on (name, data); `act` gets the shown dialog, then OK is pressed
  // unless `act` ended it.
  int run(CElementDlg& dlg, const std::u16string& name, const std::u16string& data,
          std::function<void(CElementDlg&)> act = {}) {
    dlg.propertyIniPath = file("dctips.ini");
    dlg.elementName = name;
    dlg.elementData = data;
    script.actOn<CElementDlg>([act](CElementDlg& d) {
      if (act) act(d);
      if (d.isVisible()) uitest::click(&d, ui::IDOK);
    });
    return dlg.exec();
  }
  static QComboBox* box(CElementDlg& d, int id) { return d.itemAs<QComboBox>(id); }
  static QLineEdit* edit(CElementDlg& d, int id) { return d.itemAs<QLineEdit>(id); }
};

TEST_F(ElementDlg, OkAtOnceKeepsWhatTheElementHolds) {
  struct Case {
    std::u16string name, data, wantName, wantQualifiers;
  } cases[] = {
      {u"", u"", u"creator", u""},  // new element: the first entry of the sorted list
      {u"title", u"Report" + ESC + u"Type::=T1" + ESC + u"MarcID::=245$a", u"title",
       ESC + u"Type::=T1" + ESC + u"MarcID::=245$a"},
      {u"title", u"v" + ESC + u"MarcID::=245", u"title", ESC + u"MarcID::=245"},
      {u"TITLE", u"v" + ESC + u"Lang::=chi", u"title", ESC + u"Lang::=chi"},
      // A Scheme of an element without a Type is shown and so kept.
      {u"title", u"v" + ESC + u"Scheme::=S0", u"title", ESC + u"Scheme::=S0"},
      {u"title", u"v" + ESC + u"Type::=T1" + ESC + u"Scheme::=S1", u"title",
       ESC + u"Type::=T1" + ESC + u"Scheme::=S1"},
      // Values and names the lists do not offer, and empty values, come back unchanged.
      {u"title", u"v" + ESC + u"Lang::=xyz", u"title", ESC + u"Lang::=xyz"},
      {u"title", u"v" + ESC + u"Lang::=", u"title", ESC + u"Lang::="},
      {u"title", u"v" + ESC + u"Type::=Other", u"title", ESC + u"Type::=Other"},
      {u"my:tag", u"v", u"my:tag", u""},
  };
  for (const Case& c : cases) {
    CElementDlg dlg(nullptr, hostFolder());
    ASSERT_EQ(run(dlg, c.name, c.data), ui::IDOK);
    EXPECT_EQ(u8(dlg.elementName), u8(c.wantName)) << u8(c.name + u"|" + c.data);
    EXPECT_EQ(u8(dlg.elementData), u8(c.wantQualifiers)) << u8(c.name + u"|" + c.data);
  }
}

TEST_F(ElementDlg, InitialControls) {
  CElementDlg dlg(nullptr, hostFolder());
  run(dlg, u"title", u"Report" + ESC + u"Type::=T1" + ESC + u"MarcID::=245$a", [&](CElementDlg& d) {
    EXPECT_EQ(u8(d.windowTitle()), "DC元素及其属性输入模板");
    EXPECT_EQ(entries(box(d, CElementDlg::IDC_ELEMENT)), QStringList({"creator", "date", "title"}));
    EXPECT_EQ(box(d, CElementDlg::IDC_TYPE)->currentText(), "T1");
    // Sorted, from the T1 section; no Scheme stored: the first is shown but not written.
    EXPECT_EQ(entries(box(d, CElementDlg::IDC_SCHEME)), QStringList({"S1", "S2"}));
    EXPECT_EQ(box(d, CElementDlg::IDC_SCHEME)->currentText(), "S1");
    EXPECT_EQ(entries(box(d, CElementDlg::IDC_LANG)), QStringList({"", "chi", "eng", "fre"}));
    EXPECT_EQ(box(d, CElementDlg::IDC_LANG)->currentText(), "");
    EXPECT_EQ(edit(d, CElementDlg::IDC_MARC_TAG)->text(), "245");
    EXPECT_EQ(edit(d, CElementDlg::IDC_MARC_CODE)->text(), "a");
    EXPECT_EQ(edit(d, CElementDlg::IDC_MARC_TAG)->maxLength(), 3);
    EXPECT_EQ(edit(d, CElementDlg::IDC_MARC_CODE)->maxLength(), 1);
    uitest::saveScreenshot(d, "penwick_element_dlg");
  });

  CElementDlg fresh(nullptr, hostFolder());
  run(fresh, u"", u"", [&](CElementDlg& d) {
    EXPECT_EQ(u8(d.windowTitle()), "插入新的DC元素");
    EXPECT_EQ(box(d, CElementDlg::IDC_ELEMENT)->currentText(), "creator");
  });
}

TEST_F(ElementDlg, PicksSetWhatIsWritten) {
  using Act = std::function<void(CElementDlg&)>;
  struct Case {
    const char* what;
    std::u16string name, data;
    Act act;
    std::u16string wantName, wantQualifiers;
  } cases[] = {
      {"scheme on an element without Type", u"title", u"v",
       [](CElementDlg& d) { pick(box(d, CElementDlg::IDC_SCHEME), "S0"); }, u"title", ESC + u"Scheme::=S0"},
      {"type, then its scheme", u"title", u"v",
       [](CElementDlg& d) {
         pick(box(d, CElementDlg::IDC_TYPE), "T1");
         EXPECT_EQ(entries(box(d, CElementDlg::IDC_SCHEME)), QStringList({"S1", "S2"}));
         pick(box(d, CElementDlg::IDC_SCHEME), "S2");
       },
       u"title", ESC + u"Type::=T1" + ESC + u"Scheme::=S2"},
      {"language", u"title", u"v", [](CElementDlg& d) { pick(box(d, CElementDlg::IDC_LANG), "fre"); }, u"title",
       ESC + u"Lang::=fre"},
      {"typed, not picked: not written", u"title", u"v",
       [](CElementDlg& d) {
         box(d, CElementDlg::IDC_TYPE)->setEditText("Typed");
         box(d, CElementDlg::IDC_LANG)->setEditText("ger");
       },
       u"title", u""},
      {"another element: its lists", u"title", u"v" + ESC + u"Type::=T1",
       [](CElementDlg& d) {
         pick(box(d, CElementDlg::IDC_ELEMENT), "date");
         EXPECT_EQ(box(d, CElementDlg::IDC_TYPE)->count(), 0);
         EXPECT_EQ(box(d, CElementDlg::IDC_SCHEME)->count(), 0);
         pick(box(d, CElementDlg::IDC_ELEMENT), "title");
         EXPECT_EQ(entries(box(d, CElementDlg::IDC_TYPE)), QStringList({"Alt", "T1"}));
         EXPECT_EQ(entries(box(d, CElementDlg::IDC_SCHEME)), QStringList({"S0"}));
       },
       // The stored Type's flag stays set; its box now shows no choice.
       u"title", ESC + u"Type::="},
      {"typed element name", u"", u"", [](CElementDlg& d) { box(d, CElementDlg::IDC_ELEMENT)->setEditText("dc:new"); },
       u"dc:new", u""},
      {"MarcID typed", u"title", u"v",
       [](CElementDlg& d) {
         edit(d, CElementDlg::IDC_MARC_TAG)->setText("100");
         edit(d, CElementDlg::IDC_MARC_CODE)->setText("b");
       },
       u"title", ESC + u"MarcID::=100$b"},
      {"MarcID tag too short", u"title", u"v" + ESC + u"MarcID::=245$a",
       [](CElementDlg& d) { edit(d, CElementDlg::IDC_MARC_TAG)->setText("24"); }, u"title", u""},
      {"MarcID code cleared", u"title", u"v" + ESC + u"MarcID::=245$a",
       [](CElementDlg& d) { edit(d, CElementDlg::IDC_MARC_CODE)->clear(); }, u"title", ESC + u"MarcID::=245"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    CElementDlg dlg(nullptr, hostFolder());
    ASSERT_EQ(run(dlg, c.name, c.data, c.act), ui::IDOK);
    EXPECT_EQ(u8(dlg.elementName), u8(c.wantName));
    EXPECT_EQ(u8(dlg.elementData), u8(c.wantQualifiers));
  }
}

TEST_F(ElementDlg, MarcIdEditsHandTheFocusOver) {
  CElementDlg dlg(nullptr, hostFolder());
  run(dlg, u"title", u"v", [](CElementDlg& d) {
    QLineEdit* tag = edit(d, CElementDlg::IDC_MARC_TAG);
    QLineEdit* code = edit(d, CElementDlg::IDC_MARC_CODE);
    tag->setText("24");
    EXPECT_NE(d.focusWidget(), code);
    tag->setText("245");
    EXPECT_EQ(d.focusWidget(), code);
    code->setText("a");
    EXPECT_EQ(d.focusWidget(), tag);
    EXPECT_EQ(tag->selectedText(), "245");
  });
}

TEST_F(ElementDlg, CancelChangesNothing) {
  CElementDlg dlg(nullptr, hostFolder());
  const std::u16string data = u"v" + ESC + u"Lang::=chi";
  dlg.propertyIniPath = file("dctips.ini");
  dlg.elementName = u"title";
  dlg.elementData = data;
  script.actOn<CElementDlg>([](CElementDlg& d) {
    pick(box(d, CElementDlg::IDC_ELEMENT), "date");
    pick(box(d, CElementDlg::IDC_LANG), "eng");
    uitest::click(&d, ui::IDCANCEL);
  });
  EXPECT_EQ(dlg.exec(), ui::IDCANCEL);
  EXPECT_EQ(u8(dlg.elementName), "title");
  EXPECT_EQ(u8(dlg.elementData), u8(data));
}

TEST_F(ElementDlg, MissingFilesGiveEmptyLists) {
  CElementDlg dlg(nullptr, platform::pathToWide((host / "nowhere").string()));
  dlg.propertyIniPath = file("missing.ini");
  script.actOn<CElementDlg>([](CElementDlg& d) {
    EXPECT_EQ(box(d, CElementDlg::IDC_ELEMENT)->count(), 0);
    EXPECT_EQ(entries(box(d, CElementDlg::IDC_LANG)), QStringList({""}));
    box(d, CElementDlg::IDC_ELEMENT)->setEditText("title");
    uitest::click(&d, ui::IDOK);
  });
  ASSERT_EQ(dlg.exec(), ui::IDOK);
  EXPECT_EQ(u8(dlg.elementName), "title");
  EXPECT_EQ(u8(dlg.elementData), "");
}

}  // namespace
