// CSubItemDlg and the Lang / MarcID pickers of the qualifier rows.
#include "subitem_dlg.h"

#include "field_item.h"
#include "help_browser.h"
#include "whole_characters.h"

#include <platform/text.h>

#include <QLineEdit>
#include <QUrl>

CSubItemDlg::CSubItemDlg(QWidget* parent) : ui::Dialog(IDD, parent) {
  setWindowTitle(QStringLiteral("选择子项目"));
  setDialogSize(292, 213);
  addStatic(QStringLiteral("选择项目:"), 7, 9, 40, 9, IDC_PROMPT);
  add<QLineEdit>(IDC_CODE, 50, 7, 120, 14);
  addButton(ui::IDOK, QStringLiteral("确定"), 180, 7, 50, 14, true);
  addButton(ui::IDCANCEL, QStringLiteral("放弃"), 235, 7, 50, 14);
  browser_ = add<CWebBrowser2>(penwick::IDC_WEB_BROWSER, 7, 26, 278, 180);
  // A page offers its codes as links "code:chi", "code:245$a": a click puts the code into
  // the edit box, where the user may still change it.
  connect(browser_, &QTextBrowser::anchorClicked, this, [this](const QUrl& link) {
    if (link.scheme().compare(QStringLiteral("code"), Qt::CaseInsensitive) == 0)
      ui::setControlText(this, IDC_CODE, link.path(QUrl::FullyDecoded));
  });
  penwick::KeepWholeCharacters(*this);
}

void CSubItemDlg::onInitDialog() {
  ui::setControlText(this, IDC_CODE, ui::qs(result));
  if (!caption.empty()) setWindowTitle(ui::qs(caption));
  browser_->Navigate(pagePath);
}

void CSubItemDlg::onOK() {
  result = ui::toU16(ui::controlText(this, IDC_CODE));
  browser_->Navigate(u"about:blank");
  endDialog(ui::IDOK);
}

void CSubItemDlg::onCancel() {
  browser_->Navigate(u"about:blank");
  endDialog(ui::IDCANCEL);
}

bool PickQualifierCode(QWidget* parent, CFieldItem& item, std::u16string_view qualifier,
                       std::u16string_view hostFolder) {
  struct Picker {
    const char16_t* qualifier;
    const char* page;
    const char16_t* caption;
  };
  static const Picker pickers[] = {
      {u"Lang", "lang.htm", u"请从下面的语言列表中选择一个恰当的代码："},
      {u"MarcID", "marcid.htm", u"请从下面的字段表中选择一个恰当的字段和子字段："},
  };
  const Picker* picker = nullptr;
  for (const Picker& p : pickers)
    if (qualifier == p.qualifier) picker = &p;
  if (!picker) return false;

  CSubItemDlg dlg(parent);
  dlg.pagePath = penwick::HostFile(hostFolder, picker->page);
  dlg.caption = picker->caption;
  // The row's own text: it may have been edited since the item's data was last gathered.
  for (const CFieldRow* row = item.firstRow; row; row = row->next)
    if (row->label == qualifier) {
      dlg.result = row->text;
      break;
    }
  if (dlg.exec() != ui::IDOK) return false;
  return item.SetQualifierRow(qualifier, dlg.result);
}
