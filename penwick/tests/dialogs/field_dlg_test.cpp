// The MARC field dialog: proposed tag and indicators, the rules of the two edits, the
// defaults of the field-definition file, the alias, the help pane, OK's checks and Cancel.
#include "dialog_fixture.h"

#include "field_dlg.h"
#include "help_browser.h"

#include <QLabel>
#include <QPushButton>
#include <QTest>

#include <functional>

namespace {

const std::u16string SF(1, u'\x1f');

struct FieldDlg : DialogTest {
  FieldDlg() {
    write("fldtips.ini", "[Alias]\n200=题名与责任说明\n005=最近处理时间\n");
    // Raw U+0011-U+0016 stand for the blank and the XML specials, as in record text.
    write("defs.xml",
          "<defs>"
          "<field name=\"200\" indicator=\"10\"><sf name=\"a\">x</sf><sf name=\"f\"/></field>"
          "<field name=\"210\" indicator=\"\x11" "1\"><sf name=\"a\">A\x11\x12\x13\x14\x15\x16</sf>"
          "<!-- note --><sf>no code</sf>text<sf name=\"c\">C</sf></field>"
          "<field name=\"005\">2024\x11" "01</field>"
          "<field name=\"300\"/>"
          "</defs>");
    write("marcfld.htm", "<html><body><p>Field help 200</p></body></html>");
  }

  // Runs the dialog; `act` gets the shown dialog, then OK is pressed unless it ended it.
  int run(CMarcFieldDlg& dlg, std::function<void(CMarcFieldDlg&)> act = {}) {
    dlg.propertyIniPath = file("fldtips.ini");
    script.actOn<CMarcFieldDlg>([act](CMarcFieldDlg& d) {
      if (act) act(d);
      if (d.isVisible()) uitest::click(&d, ui::IDOK);
    });
    return dlg.exec();
  }
  static QLineEdit* edit(CMarcFieldDlg& d, int id) { return d.itemAs<QLineEdit>(id); }
  static void type(CMarcFieldDlg& d, int id, const QString& text) { edit(d, id)->setText(text); }
};

TEST_F(FieldDlg, InsertedFieldResults) {
  using Act = std::function<void(CMarcFieldDlg&)>;
  struct Case {
    const char* what;
    bool definitions;
    Act act;
    std::u16string tag, indicators, data;
  } cases[] = {
      {"proposed 999, no definition", true, {}, u"999", u"  ", SF + u"a"},
      {"proposed 999, no file", false, {}, u"999", u"  ", SF + u"a"},
      {"defined data field", true, [](CMarcFieldDlg& d) { type(d, CMarcFieldDlg::IDC_TAG, "200"); }, u"200", u"10",
       SF + u"ax" + SF + u"f"},
      {"escapes undone, odd children skipped", true, [](CMarcFieldDlg& d) { type(d, CMarcFieldDlg::IDC_TAG, "210"); },
       u"210", u" 1", SF + u"aA &<>\"'" + SF + u"cC"},
      {"defined control field", true, [](CMarcFieldDlg& d) { type(d, CMarcFieldDlg::IDC_TAG, "005"); }, u"005", u"",
       u"2024 01"},
      {"control field without definition", true, [](CMarcFieldDlg& d) { type(d, CMarcFieldDlg::IDC_TAG, "-01"); },
       u"-01", u"", u""},
      {"definition without subfields", true, [](CMarcFieldDlg& d) { type(d, CMarcFieldDlg::IDC_TAG, "300"); }, u"300",
       u"  ", u""},
      {"one indicator", true,
       [](CMarcFieldDlg& d) {
         type(d, CMarcFieldDlg::IDC_TAG, "700");
         type(d, CMarcFieldDlg::IDC_INDICATORS, "1");
       },
       u"700", u"1 ", SF + u"a"},
      {"indicators emptied", true,
       [](CMarcFieldDlg& d) {
         type(d, CMarcFieldDlg::IDC_TAG, "200");
         type(d, CMarcFieldDlg::IDC_INDICATORS, "");
       },
       u"200", u"  ", SF + u"ax" + SF + u"f"},
      {"quote in the tag", true, [](CMarcFieldDlg& d) { type(d, CMarcFieldDlg::IDC_TAG, "2\"0"); }, u"2\"0", u"  ",
       SF + u"a"},
      // The edit holds two units: a pair after one indicator does not fit and goes whole,
      // a pair alone fits.
      {"a character outside the BMP after an indicator", true,
       [](CMarcFieldDlg& d) {
         type(d, CMarcFieldDlg::IDC_TAG, "700");
         QTest::keyClicks(edit(d, CMarcFieldDlg::IDC_INDICATORS), "1");
         QTest::sendKeyEvent(QTest::Click, edit(d, CMarcFieldDlg::IDC_INDICATORS), Qt::Key_unknown,
                             QString::fromUtf16(u"\U0002000B"), Qt::NoModifier);
       },
       u"700", u"1 ", SF + u"a"},
      {"a character outside the BMP as the indicators", true,
       [](CMarcFieldDlg& d) {
         type(d, CMarcFieldDlg::IDC_TAG, "700");
         type(d, CMarcFieldDlg::IDC_INDICATORS, QString::fromUtf16(u"\U0002000B\U0002123D"));
       },
       u"700", u"\U0002000B", SF + u"a"},
      {"tag typed on into the indicators", true, [](CMarcFieldDlg& d) { type(d, CMarcFieldDlg::IDC_TAG, "2001"); },
       u"200", u"10", SF + u"ax" + SF + u"f"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    CMarcFieldDlg dlg(nullptr, hostFolder());
    if (c.definitions) dlg.fieldDefinitionPath = file("defs.xml");
    ASSERT_EQ(run(dlg, c.act), ui::IDOK);
    EXPECT_EQ(u8(dlg.tag), u8(c.tag));
    EXPECT_EQ(u8(dlg.indicators), u8(c.indicators));
    EXPECT_EQ(u8(dlg.defaultData), u8(c.data));
  }
}

TEST_F(FieldDlg, EditRules) {
  CMarcFieldDlg dlg(nullptr, hostFolder());
  dlg.fieldDefinitionPath = file("defs.xml");
  run(dlg, [](CMarcFieldDlg& d) {
    QLineEdit* tag = edit(d, CMarcFieldDlg::IDC_TAG);
    QLineEdit* ind = edit(d, CMarcFieldDlg::IDC_INDICATORS);
    EXPECT_EQ(u8(d.windowTitle()), "插入新的MARC字段");
    EXPECT_EQ(tag->text(), "999");
    EXPECT_EQ(ind->text(), "  ");
    EXPECT_EQ(tag->maxLength(), 5);
    EXPECT_EQ(ind->maxLength(), 2);
    EXPECT_EQ(d.focusWidget(), tag);

    tag->setText("2001");
    EXPECT_EQ(tag->text(), "200");
    EXPECT_EQ(ind->text(), "10");
    EXPECT_TRUE(ind->isEnabled());
    EXPECT_EQ(d.focusWidget(), ind);
    EXPECT_EQ(ui::controlText(&d, CMarcFieldDlg::IDC_ALIAS), "题名与责任说明");

    tag->setText("005");
    EXPECT_EQ(ind->text(), "");
    EXPECT_FALSE(ind->isEnabled());
    EXPECT_EQ(tag->selectedText(), "005");
    EXPECT_EQ(ui::controlText(&d, CMarcFieldDlg::IDC_ALIAS), "最近处理时间");

    tag->setText("70");  // short tags: only the alias, empty here
    EXPECT_EQ(ui::controlText(&d, CMarcFieldDlg::IDC_ALIAS), "");
    EXPECT_FALSE(ind->isEnabled());

    tag->setText("700");
    ind->setText("01");  // two indicator characters hand the focus back to the tag
    EXPECT_EQ(d.focusWidget(), tag);
    EXPECT_EQ(tag->selectedText(), "700");
    d.endDialog(ui::IDCANCEL);
  });
}

TEST_F(FieldDlg, OkNeedsAThreeCharacterTag) {
  for (const char* bad : {"20", "", "2"}) {
    CMarcFieldDlg dlg(nullptr, hostFolder());
    dlg.tag = u"245";
    dlg.indicators = u"10";
    bool stayedOpen = false;
    EXPECT_EQ(run(dlg,
                  [&](CMarcFieldDlg& d) {
                    type(d, CMarcFieldDlg::IDC_TAG, bad);
                    uitest::click(&d, ui::IDOK);
                    stayedOpen = d.isVisible();
                  }),
              ui::IDCANCEL);
    EXPECT_TRUE(stayedOpen) << bad;
    EXPECT_EQ(u8(dlg.tag), "245");
  }
}

TEST_F(FieldDlg, EditingAttributesAndCancel) {
  // An existing field: its own tag and indicators, the usual caption, no definitions.
  CMarcFieldDlg dlg(nullptr, hostFolder());
  dlg.tag = u"200";
  dlg.indicators = u"01";
  run(dlg, [](CMarcFieldDlg& d) {
    EXPECT_EQ(u8(d.windowTitle()), "MARC字段属性");
    EXPECT_EQ(edit(d, CMarcFieldDlg::IDC_TAG)->text(), "200");
    EXPECT_EQ(edit(d, CMarcFieldDlg::IDC_INDICATORS)->text(), "01");
    type(d, CMarcFieldDlg::IDC_TAG, "201");  // no definition file: blank indicators proposed
    EXPECT_EQ(edit(d, CMarcFieldDlg::IDC_INDICATORS)->text(), "  ");
    uitest::click(&d, ui::IDCANCEL);
  });
  EXPECT_EQ(u8(dlg.tag), "200");
  EXPECT_EQ(u8(dlg.indicators), "01");
  EXPECT_EQ(u8(dlg.defaultData), "");
}

TEST_F(FieldDlg, HelpPaneOpensBelowAndLoadsOnce) {
  CMarcFieldDlg dlg(nullptr, hostFolder());
  run(dlg, [this](CMarcFieldDlg& d) {
    auto* button = d.itemAs<QPushButton>(CMarcFieldDlg::IDC_HELP);
    const QRect browser = d.browser()->geometry();
    EXPECT_EQ(button->text(), "字段帮助>>");
    EXPECT_EQ(d.height(), browser.top());
    EXPECT_EQ(d.pageLoaded, 0);
    uitest::saveScreenshot(d, "penwick_field_dlg");

    uitest::click(&d, CMarcFieldDlg::IDC_HELP);
    EXPECT_EQ(button->text(), "无帮助 <<");
    EXPECT_EQ(d.height(), browser.bottom() + 1 + 10);
    EXPECT_EQ(d.pageLoaded, 1);
    EXPECT_EQ(u8(d.browser()->LocationURL()), u8(file("marcfld.htm")));
    EXPECT_TRUE(d.browser()->toPlainText().contains("Field help 200"));
    EXPECT_EQ(d.focusWidget(), edit(d, CMarcFieldDlg::IDC_TAG));
    uitest::saveScreenshot(d, "penwick_field_dlg_help");

    uitest::click(&d, CMarcFieldDlg::IDC_HELP);
    EXPECT_EQ(d.height(), browser.top());
    uitest::click(&d, CMarcFieldDlg::IDC_HELP);
    EXPECT_EQ(d.pageLoaded, 1);
  });
  EXPECT_EQ(dlg.helpShown, 1);
  // OK leaves the page, so the control lets go of the file.
  EXPECT_EQ(u8(dlg.browser()->LocationURL()), "about:blank");

  // The editor hands the state back in: the pane opens at once.
  CMarcFieldDlg again(nullptr, hostFolder());
  again.helpShown = 1;
  run(again, [](CMarcFieldDlg& d) {
    EXPECT_EQ(d.pageLoaded, 1);
    EXPECT_EQ(d.height(), d.browser()->geometry().bottom() + 1 + 10);
  });
}

}  // namespace
