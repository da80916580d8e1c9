// CSchemeListDlg: listing the schemes of Sheetrix.ini and the four scheme commands.
#include "SchemeListDlg.h"

#include "NameDialogs.h"
#include "TabuloApp.h"
#include "resource.h"

#include <ui/modal.h>

#include <QFrame>
#include <QHeaderView>
#include <QLineEdit>
#include <QTreeWidget>

CSchemeListDlg::CSchemeListDlg(QWidget* parent) : ui::Dialog(IDD_SCHEME_LIST, parent) {
  setWindowTitle(QStringLiteral("Excel字段转换方案"));
  setDialogSize(275, 159);
  current_ = add<QLineEdit>(IDC_SCHEME_CURRENT, 7, 7, 184, 13);
  current_->setReadOnly(true);
  m_lstScheme = add<QTreeWidget>(IDC_SCHEME_LIST, 7, 27, 184, 94);
  m_lstScheme->setRootIsDecorated(false);
  m_lstScheme->setSelectionMode(QAbstractItemView::SingleSelection);
  addButton(IDC_SCHEME_CONFIG, QStringLiteral("配置 >>"), 218, 7, 50, 14);
  addButton(IDC_SCHEME_NEW, QStringLiteral("新建"), 218, 30, 50, 14);
  addButton(IDC_SCHEME_DELETE, QStringLiteral("删除"), 218, 45, 50, 14);
  addButton(IDC_SCHEME_RENAME, QStringLiteral("改名"), 218, 60, 50, 14);
  auto* line = add<QFrame>(ui::IDC_STATIC, 7, 128, 261, 1);
  line->setFrameShape(QFrame::HLine);
  line->setFrameShadow(QFrame::Sunken);
  addButton(ui::IDOK, QStringLiteral("确定"), 163, 138, 50, 14, true);
  addButton(ui::IDCANCEL, QStringLiteral("放弃"), 218, 138, 50, 14);
  connect(m_lstScheme, &QTreeWidget::itemSelectionChanged, this, [this] { OnItemChanged(); });
}

void CSchemeListDlg::onInitDialog() {
  m_lstScheme->setSelectionBehavior(QAbstractItemView::SelectRows);
  m_lstScheme->setHeaderLabels({QStringLiteral("方案名称")});
  m_lstScheme->headerItem()->setTextAlignment(0, Qt::AlignLeft);
  m_lstScheme->setColumnWidth(0, 260);
  for (const std::u16string& name : schemeNames())
    m_lstScheme->addTopLevelItem(new QTreeWidgetItem(QStringList{QString::fromStdU16String(name)}));
  int row = findRow(m_strScheme);
  selectRow(row >= 0 ? row : 0);
  setCurrentName(m_strScheme);
}

void CSchemeListDlg::onCommand(int id) {
  switch (id) {
    case IDC_SCHEME_CONFIG: OnConfigure(); break;
    case IDC_SCHEME_NEW: OnNew(); break;
    case IDC_SCHEME_DELETE: OnDelete(); break;
    case IDC_SCHEME_RENAME: OnRename(); break;
    default: break;
  }
}

std::u16string CSchemeListDlg::currentName() const { return current_->text().toStdU16String(); }
void CSchemeListDlg::setCurrentName(std::u16string_view name) {
  current_->setText(QString::fromStdU16String(std::u16string(name)));
}

int CSchemeListDlg::findRow(std::u16string_view name) const {
  QString wanted = QString::fromStdU16String(std::u16string(name));
  for (int i = 0; i < m_lstScheme->topLevelItemCount(); ++i)
    if (rowText(i).compare(wanted, Qt::CaseInsensitive) == 0) return i;
  return -1;
}

void CSchemeListDlg::selectRow(int row) {
  QTreeWidgetItem* item = m_lstScheme->topLevelItem(row);
  if (!item) return;
  // Single selection: the row becomes the only selected one.
  m_lstScheme->setCurrentItem(item);
}

QString CSchemeListDlg::rowText(int row) const {
  QTreeWidgetItem* item = m_lstScheme->topLevelItem(row);
  return item ? item->text(0) : QString();
}

void CSchemeListDlg::OnItemChanged() {
  QList<QTreeWidgetItem*> selected = m_lstScheme->selectedItems();
  current_->setText(selected.isEmpty() ? QString() : selected.front()->text(0));
}

void CSchemeListDlg::OnConfigure() {
  std::u16string name = currentName();
  if (name.empty()) return;
  // Only the scheme the caller passed has a sample file to configure it on.
  if (name != m_strScheme) {
    ui::messageBox(this, QStringLiteral("当前方案没有关联的Excel文件，无法配置字段转换信息!"), QString(),
                   ui::Icon::Information);
    return;
  }
  editScheme(this, name, m_strSample);
}

void CSchemeListDlg::OnNew() {
  CNewSchemeDlg dlg(this);
  if (dlg.exec() != ui::IDOK) return;
  if (!editScheme(this, dlg.m_strName, dlg.m_strSample)) return;
  setCurrentName(dlg.m_strName);
  m_lstScheme->addTopLevelItem(new QTreeWidgetItem(QStringList{QString::fromStdU16String(dlg.m_strName)}));
  selectRow(m_lstScheme->topLevelItemCount() - 1);
}

void CSchemeListDlg::OnDelete() {
  std::u16string name = currentName();
  if (name.empty()) return;
  if (ui::messageBox(this, QStringLiteral("你确实要删除指定的转换方案吗？"), QString(), ui::Icon::Question,
                     ui::MB_YESNO) != ui::IDYES)
    return;
  deleteScheme(name);
  int n = m_lstScheme->topLevelItemCount();
  int i = findRow(name);
  if (i < 0) {
    // A name without a row (passed in but never stored): its key is gone, the list stays.
    m_lstScheme->clearSelection();
    setCurrentName(u"");
    return;
  }
  delete m_lstScheme->takeTopLevelItem(i);
  if (n <= 1) {
    setCurrentName(u"");
    return;
  }
  int next = i == n - 1 ? i - 1 : i;
  selectRow(next);
  setCurrentName(rowText(next).toStdU16String());
}

void CSchemeListDlg::OnRename() {
  // Taken whole: a name cut to 255 characters would rename a key that does not exist.
  std::u16string old = currentName();
  CRenameSchemeDlg dlg(this);
  dlg.m_strOld = dlg.m_strNew = old;
  if (dlg.exec() != ui::IDOK || dlg.m_strNew == old) return;
  const std::u16string& renamed = dlg.m_strNew;
  QString newText = QString::fromStdU16String(renamed);
  std::u16string value = schemeText(old);
  int row = findRow(old);
  if (row >= 0) {
    delete m_lstScheme->takeTopLevelItem(row);
    m_lstScheme->insertTopLevelItem(row, new QTreeWidgetItem(QStringList{newText}));
    selectRow(row);
  } else if (!value.empty()) {
    // A stored scheme that was not listed yet is listed under its new name.
    m_lstScheme->addTopLevelItem(new QTreeWidgetItem(QStringList{newText}));
    selectRow(m_lstScheme->topLevelItemCount() - 1);
  }
  setCurrentName(renamed);
  deleteScheme(old);
  if (row >= 0 || !value.empty()) writeSchemeText(renamed, value);
}
