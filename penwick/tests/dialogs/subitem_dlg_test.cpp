// The sub-item dialog, the qualifier pickers built on it and the help page loading.
#include "dialog_fixture.h"

#include "editor_document.h"
#include "field_item.h"
#include "help_browser.h"
#include "subitem_dlg.h"

#include <platform/codepage.h>

namespace {

const std::u16string ESC(1, u'\x1b');

using SubItemDlg = DialogTest;

TEST_F(SubItemDlg, ShowsPageAndReturnsTheEditBox) {
  write("codes.htm", "<html><body><p>chi Chinese</p></body></html>");
  struct Case {
    std::u16string caption, start;
    const char* typed;  // null: the box is left alone
    int button;
    std::u16string wantTitle, wantResult;
  } cases[] = {
      {u"", u"chi", nullptr, ui::IDOK, u"选择子项目", u"chi"},
      {u"请选择", u"", "eng", ui::IDOK, u"请选择", u"eng"},
      {u"", u"x", " a b ", ui::IDOK, u"选择子项目", u" a b "},
      {u"", u"chi", "eng", ui::IDCANCEL, u"选择子项目", u"chi"},
  };
  for (const Case& c : cases) {
    CSubItemDlg dlg;
    dlg.pagePath = file("codes.htm");
    dlg.caption = c.caption;
    dlg.result = c.start;
    script.actOn<CSubItemDlg>([&](CSubItemDlg& d) {
      EXPECT_EQ(u8(d.windowTitle()), u8(c.wantTitle));
      EXPECT_EQ(u8(ui::controlText(&d, CSubItemDlg::IDC_CODE)), u8(c.start));
      EXPECT_EQ(ui::controlText(&d, CSubItemDlg::IDC_PROMPT), "选择项目:");
      EXPECT_TRUE(d.browser()->toPlainText().contains("chi Chinese"));
      if (c.typed) ui::setControlText(&d, CSubItemDlg::IDC_CODE, c.typed);
      if (c.button == ui::IDOK && !c.typed) uitest::saveScreenshot(d, "penwick_subitem_dlg");
      uitest::click(&d, c.button);
    });
    EXPECT_EQ(dlg.exec(), c.button);
    EXPECT_EQ(u8(dlg.result), u8(c.wantResult));
    EXPECT_EQ(u8(dlg.browser()->LocationURL()), "about:blank");
  }
}

TEST_F(SubItemDlg, CodeLinksFillTheEditBox) {
  struct Case {
    const char* href;
    const char* want;
  } cases[] = {{"code:chi", "chi"}, {"code:245$a", "245$a"}, {"CODE:%E4%B8%AD", "中"}, {"other.htm", "start"}};
  for (const Case& c : cases) {
    CSubItemDlg dlg;
    dlg.result = u"start";
    script.actOn<CSubItemDlg>([&](CSubItemDlg& d) {
      emit d.browser()->anchorClicked(QUrl(c.href));
      uitest::click(&d, ui::IDOK);
    });
    EXPECT_EQ(dlg.exec(), ui::IDOK);
    EXPECT_EQ(u8(dlg.result), c.want) << c.href;
  }
}

TEST_F(SubItemDlg, MissingPageShowsEmpty) {
  CSubItemDlg dlg;
  dlg.pagePath = file("missing.htm");
  script.actOn<CSubItemDlg>([](CSubItemDlg& d) {
    EXPECT_TRUE(d.browser()->toPlainText().isEmpty());
    uitest::click(&d, ui::IDOK);
  });
  EXPECT_EQ(dlg.exec(), ui::IDOK);
}

TEST_F(SubItemDlg, QualifierPickersWriteTheirRow) {
  write("lang.htm", "<p>languages</p>");
  write("marcid.htm", "<p>fields</p>");
  CEditorDocument doc(hostFolder());
  doc.SetFormat(1);
  CFieldItem* item = doc.AddField(u"title", u"Report" + ESC + u"Lang::=eng" + ESC + u"MarcID::=245$a");
  item->ShowQualifierRow(u"Lang");
  struct Case {
    std::u16string qualifier;
    const char* caption;
    const char* page;
    const char* start;
  } cases[] = {
      {u"Lang", "请从下面的语言列表中选择一个恰当的代码：", "languages", "eng"},
      {u"MarcID", "请从下面的字段表中选择一个恰当的字段和子字段：", "fields", "245$a"},
  };
  for (const Case& c : cases) {
    script.actOn<CSubItemDlg>([&](CSubItemDlg& d) {
      EXPECT_EQ(u8(d.windowTitle()), c.caption);
      EXPECT_TRUE(d.browser()->toPlainText().contains(c.page));
      EXPECT_EQ(u8(ui::controlText(&d, CSubItemDlg::IDC_CODE)), c.start);
      ui::setControlText(&d, CSubItemDlg::IDC_CODE, "new");
      uitest::click(&d, ui::IDOK);
    });
    EXPECT_TRUE(PickQualifierCode(nullptr, *item, c.qualifier, hostFolder()));
    std::u16string text;
    for (CFieldRow* r = item->firstRow; r; r = r->next)
      if (r->label == c.qualifier) text = r->text;
    EXPECT_EQ(u8(text), "new");
  }
  // Cancel leaves the row as it was.
  script.actOn<CSubItemDlg>([](CSubItemDlg& d) {
    ui::setControlText(&d, CSubItemDlg::IDC_CODE, "other");
    uitest::click(&d, ui::IDCANCEL);
  });
  EXPECT_FALSE(PickQualifierCode(nullptr, *item, u"Lang", hostFolder()));
  EXPECT_EQ(u8(item->firstRow->next->text), "new");
}

TEST(HelpPage, DecodesByMarkCharsetOrContent) {
  const std::string chinese = "\xe4\xb8\xad\xe6\x96\x87";  // 中文 in UTF-8
  const std::string gbk = platform::toNarrow(0, u"中文");
  struct Case {
    const char* what;
    std::string bytes;
  } cases[] = {
      {"utf-8 without charset", "<p>" + chinese + "</p>"},
      {"utf-8 with mark", "\xEF\xBB\xBF<p>" + chinese + "</p>"},
      {"gbk without charset", "<p>" + gbk + "</p>"},
      {"gb2312 by meta", "<meta http-equiv=\"Content-Type\" content=\"text/html; charset=gb2312\"><p>" + gbk + "</p>"},
  };
  for (const Case& c : cases)
    EXPECT_TRUE(DecodeHtmlPage(QByteArray::fromStdString(c.bytes)).contains(QStringLiteral("中文"))) << c.what;
}

}  // namespace
