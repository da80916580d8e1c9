// CNewSchemeDlg and CRenameSchemeDlg: templates, the sample file picker and the checks on OK.
#include "NameDialogs.h"

#include "TabuloApp.h"
#include "resource.h"

#include <ui/commondlg.h>
#include <ui/modal.h>

#include <QLineEdit>

namespace {

std::u16string text(const QWidget* dlg, int id) { return ui::controlText(dlg, id).toStdU16String(); }

void infoMessage(QWidget* parent, const char16_t* text) {
  ui::messageBox(parent, QString::fromStdU16String(text), QString(), ui::Icon::Information);
}

constexpr char16_t kNameInUse[] = u"指定的方案已经存在，请重新输入!";

}  // namespace

CNewSchemeDlg::CNewSchemeDlg(QWidget* parent) : ui::Dialog(IDD_NEW_SCHEME, parent) {
  setWindowTitle(QStringLiteral("创建新方案"));
  setDialogSize(254, 75);
  addStatic(QStringLiteral("方案名称:"), 7, 11, 36, 9);
  add<QLineEdit>(IDC_SCHEME_NAME, 47, 7, 81, 15);
  addStatic(QStringLiteral("样例文件:"), 7, 27, 36, 9);
  add<QLineEdit>(IDC_SAMPLE_FILE, 47, 25, 184, 15);
  addButton(IDC_SAMPLE_BROWSE, QStringLiteral("..."), 232, 25, 14, 16);
  addButton(ui::IDOK, QStringLiteral("确定"), 142, 54, 50, 14, true);
  addButton(ui::IDCANCEL, QStringLiteral("放弃"), 197, 54, 50, 14);
}

void CNewSchemeDlg::onInitDialog() {
  ui::setControlText(this, IDC_SCHEME_NAME, QString::fromStdU16String(m_strName));
  ui::setControlText(this, IDC_SAMPLE_FILE, QString::fromStdU16String(m_strSample));
}

void CNewSchemeDlg::onCommand(int id) {
  if (id != IDC_SAMPLE_BROWSE) return;
  ui::FileDialogOptions o;
  o.title = QStringLiteral("指定Excel样例文件名");
  o.filter = QStringLiteral("Excel数据文件 (*.xls)|*.xls|所有文件 (*.*)|*.*||");
  o.defaultExt = QStringLiteral("xls");
  o.overwritePrompt = true;
  if (auto path = ui::getSaveFileName(this, o)) ui::setControlText(this, IDC_SAMPLE_FILE, *path);
}

void CNewSchemeDlg::onOK() {
  std::u16string name = text(this, IDC_SCHEME_NAME);
  std::u16string sample = text(this, IDC_SAMPLE_FILE);
  // A name the INI file cannot hold as a key would be stored under another name.
  if (name.empty() || sample.empty() || !isValidSchemeName(name)) {
    infoMessage(this, u"请输入有效的方案名称和样例文件!");
    return;
  }
  if (!schemeText(name).empty()) {
    infoMessage(this, kNameInUse);
    return;
  }
  m_strName = std::move(name);
  m_strSample = std::move(sample);
  endDialog(ui::IDOK);
}

CRenameSchemeDlg::CRenameSchemeDlg(QWidget* parent) : ui::Dialog(IDD_RENAME_SCHEME, parent) {
  setWindowTitle(QStringLiteral("方案改名"));
  setDialogSize(234, 51);
  addStatic(QStringLiteral("原方案名称:"), 7, 11, 45, 9);
  add<QLineEdit>(IDC_SCHEME_CURRENT, 55, 7, 81, 15)->setReadOnly(true);
  addStatic(QStringLiteral("新方案名称:"), 7, 31, 45, 9);
  add<QLineEdit>(IDC_SCHEME_NAME, 55, 28, 81, 15);
  addButton(ui::IDOK, QStringLiteral("确定"), 177, 7, 50, 14, true);
  addButton(ui::IDCANCEL, QStringLiteral("放弃"), 177, 24, 50, 14);
}

void CRenameSchemeDlg::onInitDialog() {
  ui::setControlText(this, IDC_SCHEME_CURRENT, QString::fromStdU16String(m_strOld));
  ui::setControlText(this, IDC_SCHEME_NAME, QString::fromStdU16String(m_strNew));
}

void CRenameSchemeDlg::onOK() {
  std::u16string name = text(this, IDC_SCHEME_NAME);
  if (name.empty()) return;
  if (name != m_strOld) {
    if (!isValidSchemeName(name)) {
      infoMessage(this, u"请输入有效的方案名称和样例文件!");
      return;
    }
    // Renaming onto another scheme would silently replace it; a new spelling of the
    // scheme's own name (the INI keys ignore case) is no clash.
    if (!platform::equalsNoCase(name, m_strOld) && !schemeText(name).empty()) {
      infoMessage(this, kNameInUse);
      return;
    }
  }
  m_strNew = std::move(name);
  endDialog(ui::IDOK);
}
