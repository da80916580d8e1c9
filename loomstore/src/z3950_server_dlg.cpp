#include <loomstore/Z3950ServerDlg.h>

#include <loomstore/ServerSettings.h>

#include <ui/modal.h>

#include "server_messages.h"

#include <QComboBox>
#include <QLineEdit>
#include <QListWidget>

using namespace loomstore;
using ui::qs;
using ui::toU16;

namespace {

constexpr int kSyntaxList = 5017;
constexpr int kCharsetList = 5018;
constexpr int kDatabaseEdit = 5007;
constexpr int kDatabaseList = 5008;
constexpr int kAddDatabase = 5009;
constexpr int kRemoveDatabase = 5010;

const QString kAutoSyntax = QStringLiteral("自动");

// The item whose whole text equals `value` ignoring letter case, else the first.
void selectByText(QComboBox* c, const QString& value) {
  int index = 0;
  for (int i = 0; i < c->count(); ++i)
    if (c->itemText(i).compare(value, Qt::CaseInsensitive) == 0) {
      index = i;
      break;
    }
  c->setCurrentIndex(index);
}

}  // namespace

CZ3950ServerDlg::CZ3950ServerDlg(QWidget* parent)
    : CServerDlgBase(IDD, Ids{5012, 5013, 5011, 5006}, kDefaultZ3950Port, false, parent) {
  setWindowTitle(QStringLiteral("Z39.50服务器属性设置"));
  setDialogSize(250, 207);
  addCommonControls(250);
  addStatic(QStringLiteral("MARC格式:"), 7, 80, 45, 8);
  add<QComboBox>(kSyntaxList, 55, 78, 70, 60)->addItems({kAutoSyntax, QStringLiteral("USmarc"), QStringLiteral("Unimarc")});
  addStatic(QStringLiteral("字符集:"), 133, 80, 35, 8);
  add<QComboBox>(kCharsetList, 170, 78, 73, 60)->addItems({QStringLiteral("GBK"), QStringLiteral("UTF8")});
  for (int id : {kSyntaxList, kCharsetList}) {
    // A drop-down list is as high as its edit part; the 60 units hold the open list.
    QWidget* w = item(id);
    w->resize(w->width(), mapDialogRect(QRect(0, 0, 0, 13)).height());
  }
  addStatic(QStringLiteral("可供访问的数据库名:"), 7, 98, 120, 8);
  add<QLineEdit>(kDatabaseEdit, 7, 110, 170, 13);
  addButton(kAddDatabase, QStringLiteral("增加库"), 183, 109, 60, 14);
  add<QListWidget>(kDatabaseList, 7, 127, 170, 55)->setSelectionMode(QAbstractItemView::SingleSelection);
  addButton(kRemoveDatabase, QStringLiteral("删除库"), 183, 127, 60, 14);
  addButton(ui::IDOK, QStringLiteral("确定"), 138, 187, 50, 14, true);
  addButton(ui::IDCANCEL, QStringLiteral("取消"), 193, 187, 50, 14);
}

void CZ3950ServerDlg::onInitDialog() {
  CServerDlgBase::onInitDialog();
  const platform::ProfileFile file(m_iniFile);
  selectByText(itemAs<QComboBox>(kCharsetList), qs(platform::profileString(file, m_name, kKeyCharset, kDefaultCharset, kCharsetSize)));
  selectByText(itemAs<QComboBox>(kSyntaxList), qs(platform::profileString(file, m_name, kKeySyntax, u"", kSyntaxSize)));
  auto* list = itemAs<QListWidget>(kDatabaseList);
  for (const u16& db : SplitDatabases(platform::profileString(file, m_name, kKeyDatabases, u"", kDatabasesSize)))
    list->addItem(qs(db));
}

void CZ3950ServerDlg::onCommand(int id) {
  if (id == kAddDatabase) addDatabase();
  else if (id == kRemoveDatabase) removeDatabase();
}

void CZ3950ServerDlg::addDatabase() {
  QString name = ui::controlText(this, kDatabaseEdit);
  if (name.isEmpty()) return;
  // "+" ends a name in the file: a name holding one would come back as two.
  if (name.contains(QLatin1Char('+'))) {
    ui::messageBox(this, msg::badDatabaseName());
    return;
  }
  auto* list = itemAs<QListWidget>(kDatabaseList);
  for (int i = 0; i < list->count(); ++i)
    if (list->item(i)->text().compare(name, Qt::CaseInsensitive) == 0) return;
  list->addItem(name);
}

void CZ3950ServerDlg::removeDatabase() {
  auto* list = itemAs<QListWidget>(kDatabaseList);
  QList<QListWidgetItem*> selected = list->selectedItems();
  if (!selected.isEmpty()) delete selected.front();
}

void CZ3950ServerDlg::writeOwnKeys(const std::u16string& section) {
  const platform::ProfileFile file(m_iniFile);
  QString syntax = itemAs<QComboBox>(kSyntaxList)->currentText();
  platform::writeProfileString(file, section, kKeySyntax, syntax == kAutoSyntax ? u16() : toU16(syntax));
  platform::writeProfileString(file, section, kKeyCharset, toU16(itemAs<QComboBox>(kCharsetList)->currentText()));
  auto* list = itemAs<QListWidget>(kDatabaseList);
  std::vector<u16> names;
  for (int i = 0; i < list->count(); ++i) names.push_back(toU16(list->item(i)->text()));
  m_databases = JoinDatabases(names);
  platform::writeProfileString(file, section, kKeyDatabases, m_databases);
}
