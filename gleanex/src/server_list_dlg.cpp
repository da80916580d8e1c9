#include "server_list_dlg.h"

#include "db_picker.h"
#include "settings.h"

#include <loomstore/QzDir.h>
#include <loomstore/ResPath.h>
#include <ui/modal.h>

#include <QButtonGroup>
#include <QCheckBox>
#include <QLineEdit>
#include <QRadioButton>
#include <QTreeWidget>

#include <array>

namespace {

constexpr int kPathSize = 256;

QRadioButton* radio(QWidget* parent, QButtonGroup* group, const QString& text) {
  auto* r = new QRadioButton(text, parent);
  group->addButton(r);
  return r;
}

}  // namespace

// ---- CServerPropDlg ----

CServerPropDlg::CServerPropDlg(u16 entry, QWidget* parent) : ui::Dialog(IDD, parent), m_entry(std::move(entry)) {
  setWindowTitle(QStringLiteral("服务器属性"));
  setDialogSize(250, 190);
  addStatic(QStringLiteral("服务器:"), 7, 9, 40, 8);
  addStatic(QString(), 50, 9, 190, 8, IDC_SERVER_NAME);
  addStatic(QStringLiteral("登录名:"), 7, 25, 40, 8);
  add<QLineEdit>(IDC_USER, 50, 23, 100, 12);
  addStatic(QStringLiteral("口令字:"), 7, 41, 40, 8);
  add<QLineEdit>(IDC_PASSWORD, 50, 39, 100, 12);
  add<QCheckBox>(IDC_RECONNECT, 7, 56, 236, 10)->setText(QStringLiteral("不能保持长时间连接(检索每条数据都需重新连接)"));
  // Each set of radio buttons is a group of its own: all are children of the dialog.
  auto* hyphens = new QButtonGroup(this);
  auto* rules = new QButtonGroup(this);
  const std::array<std::pair<int, const char16_t*>, 3> hyphenRows{{
      {IDC_HYPHEN_EITHER, u"ISBN内有无短横线都可以"},
      {IDC_HYPHEN_NONE, u"ISBN内不能有短横线"},
      {IDC_HYPHEN_REQUIRED, u"ISBN内必须有短横线"}}};
  const std::array<std::pair<int, const char16_t*>, 3> ruleRows{{
      {IDC_ISBN_KEEP, u"不对ISBN进行新旧标准格式的转换"},
      {IDC_ISBN_13, u"ISBN统一采用2007年新标准"},
      {IDC_ISBN_10, u"ISBN统一采用2007年之前的标准"}}};
  int y = 72;
  for (auto [id, text] : hyphenRows) {
    place(radio(this, hyphens, QString::fromUtf16(text)), id, 12, y, 230, 10);
    y += 13;
  }
  y += 4;
  for (auto [id, text] : ruleRows) {
    place(radio(this, rules, QString::fromUtf16(text)), id, 12, y, 230, 10);
    y += 13;
  }
  addButton(ui::IDOK, QStringLiteral("确定"), 138, 170, 50, 14, true);
  addButton(ui::IDCANCEL, QStringLiteral("取消"), 193, 170, 50, 14);
}

void CServerPropDlg::onInitDialog() {
  ServerOptions o = ParseServerEntry(m_entry);
  setChecked(this, o.hyphenRule == 1 ? IDC_HYPHEN_NONE : o.hyphenRule == 2 ? IDC_HYPHEN_REQUIRED : IDC_HYPHEN_EITHER, true);
  setChecked(this, o.isbnRule == 1 ? IDC_ISBN_13 : o.isbnRule == 2 ? IDC_ISBN_10 : IDC_ISBN_KEEP, true);
  setChecked(this, IDC_RECONNECT, o.reconnect);
  // An entry without an account shows the public one.
  setControlText(this, IDC_USER, o.hasAccount ? ui::qs(o.user) : QStringLiteral("public"));
  setControlText(this, IDC_PASSWORD, ui::qs(o.password));
  char16_t name[kPathSize] = {};
  CResPath(o.path.c_str()).GetSvrName(name, kPathSize);
  setControlText(this, IDC_SERVER_NAME, QString::fromUtf16(name));
}

void CServerPropDlg::onOK() {
  ServerOptions o = ParseServerEntry(m_entry);
  o.user = ui::toU16(ui::controlText(this, IDC_USER));
  if (o.user.empty()) {
    ui::messageBox(this, QStringLiteral("登录到服务器的帐户名不能为空!"), QString(), ui::Icon::Information);
    return;
  }
  o.password = ui::toU16(ui::controlText(this, IDC_PASSWORD));
  o.reconnect = isChecked(this, IDC_RECONNECT);
  o.hyphenRule = isChecked(this, IDC_HYPHEN_NONE) ? 1 : isChecked(this, IDC_HYPHEN_REQUIRED) ? 2 : 0;
  o.isbnRule = isChecked(this, IDC_ISBN_13) ? 1 : isChecked(this, IDC_ISBN_10) ? 2 : 0;
  // Rebuilt on the path that parsing leaves, so that a stray "?r=" or "?n=" of a
  // hand-written entry cannot outlive the choices made here.
  m_entry = FormatServerEntry(o);
  endDialog(ui::IDOK);
}

// ---- CServerListDlg ----

CServerListDlg::CServerListDlg(CAppSettings& settings, QWidget* parent)
    : ui::Dialog(IDD, parent), m_settings(settings), m_dir(std::make_unique<CQzDir>()) {
  setWindowTitle(QStringLiteral("设置数据下载服务器属性"));
  setDialogSize(400, 220);
  add<QLineEdit>(IDC_TREE_PLACE, 7, 7, 150, 185);
  addButton(IDC_ADD, QStringLiteral("添加 >>"), 163, 60, 50, 14);
  addButton(IDC_DELETE, QStringLiteral("<< 删除"), 163, 80, 50, 14);
  m_list = add<QTreeWidget>(IDC_LIST, 219, 7, 174, 185);
  m_list->setRootIsDecorated(false);
  m_list->setSelectionMode(QAbstractItemView::SingleSelection);
  m_list->setSelectionBehavior(QAbstractItemView::SelectRows);
  addButton(IDC_UP, QStringLiteral("上移 ↑"), 219, 199, 50, 14);
  addButton(IDC_DOWN, QStringLiteral("下移 ↓"), 274, 199, 50, 14);
  addButton(ui::IDOK, QStringLiteral("确定"), 7, 199, 50, 14, true);
  addButton(ui::IDCANCEL, QStringLiteral("取消"), 62, 199, 50, 14);
  connect(m_list, &QTreeWidget::itemDoubleClicked, this, [this] { OnEditRow(); });
}

CServerListDlg::~CServerListDlg() = default;

void CServerListDlg::onInitDialog() {
  PlaceDirTree(*this, *m_dir, IDC_TREE_PLACE, 1, m_settings);
  m_list->setHeaderLabels({QStringLiteral("数据库名称")});
  m_list->setColumnWidth(0, 380);
  for (const u16& entry : m_settings.servers) m_list->addTopLevelItem(new QTreeWidgetItem(QStringList{ui::qs(entry)}));
  selectRow(0);
}

void CServerListDlg::onCommand(int id) {
  switch (id) {
    case IDC_ADD: OnAdd(); break;
    case IDC_DELETE: OnDelete(); break;
    case IDC_UP: OnMove(-1); break;
    case IDC_DOWN: OnMove(1); break;
    default: break;
  }
}

void CServerListDlg::onOK() {
  m_settings.servers.clear();
  for (int i = 0; i < m_list->topLevelItemCount(); ++i)
    m_settings.servers.push_back(ui::toU16(m_list->topLevelItem(i)->text(0)));
  endDialog(ui::IDOK);
}

int CServerListDlg::selectedRow() const {
  QList<QTreeWidgetItem*> sel = m_list->selectedItems();
  return sel.isEmpty() ? -1 : m_list->indexOfTopLevelItem(sel.front());
}

void CServerListDlg::selectRow(int row) {
  if (QTreeWidgetItem* it = m_list->topLevelItem(row)) m_list->setCurrentItem(it);
}

void CServerListDlg::OnAdd() {
  char16_t path[kPathSize] = {};
  if (!m_dir->GetCurSelPath(path, kPathSize) || CResPath(path).GetPartNum() <= 2) return;
  CServerPropDlg dlg(NewServerEntry(path), this);
  if (dlg.exec() != ui::IDOK) return;
  m_list->addTopLevelItem(new QTreeWidgetItem(QStringList{ui::qs(dlg.entry())}));
  selectRow(m_list->topLevelItemCount() - 1);
}

void CServerListDlg::OnDelete() {
  int row = selectedRow();
  if (row >= 0) delete m_list->takeTopLevelItem(row);
}

void CServerListDlg::OnMove(int step) {
  int row = selectedRow();
  int to = row + step;
  if (row < 0 || to < 0 || to >= m_list->topLevelItemCount()) return;
  QTreeWidgetItem* it = m_list->takeTopLevelItem(row);
  m_list->insertTopLevelItem(to, it);
  selectRow(to);
}

void CServerListDlg::OnEditRow() {
  int row = selectedRow();
  if (row < 0) return;
  QTreeWidgetItem* it = m_list->topLevelItem(row);
  CServerPropDlg dlg(ui::toU16(it->text(0)), this);
  if (dlg.exec() == ui::IDOK) it->setText(0, ui::qs(dlg.entry()));
}
