// The scheme editor: fills the column table from the scheme and the sample rows, and on OK
// reads the fields back, refusing any that is not a field.
#include "SchemeDlg.h"

#include <ui/modal.h>

#include <QCheckBox>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

#include <algorithm>

namespace sheetrix {

CXlsSchemeDlg::CXlsSchemeDlg(const Scheme& scheme, const std::vector<Row>& sample, QWidget* parent)
    : ui::Dialog(IDD_XLS_SCHEME, parent), scheme_(scheme), sample_(sample) {
  setWindowTitle(QStringLiteral("Excel字段转换设置"));
  header_ = add<QCheckBox>(IDC_XLS_HEADER, 7, 7, 300, 10);
  header_->setText(QStringLiteral("第一行是列标题（不作为数据读取）"));
  table_ = add<QTableWidget>(IDC_XLS_COLUMNS, 7, 20, 300, 150);
  QLabel* hint = addStatic(QStringLiteral("字段写作三位字段号加一位子字段代码，如 200a、010a；"
                                          "控制字段只写字段号，如 001；留空的列不转换。"),
                           7, 175, 300, 20, IDC_XLS_HINT);
  hint->setWordWrap(true);
  QPushButton* ok = addButton(ui::IDOK, QStringLiteral("确定"), 200, 200, 50, 14, true);
  QPushButton* cancel = addButton(ui::IDCANCEL, QStringLiteral("取消"), 257, 200, 50, 14);

  auto* buttons = new QHBoxLayout;
  buttons->addStretch();
  buttons->addWidget(ok);
  buttons->addWidget(cancel);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(header_);
  layout->addWidget(table_, 1);
  layout->addWidget(hint);
  layout->addLayout(buttons);
  resize(mapDialogRect(QRect(0, 0, 320, 220)).size());
}

void CXlsSchemeDlg::onInitDialog() {
  header_->setChecked(scheme_.header);
  size_t columns = 1;
  for (const Row& r : sample_) columns = std::max(columns, r.size());
  if (!scheme_.columns.empty()) columns = std::max(columns, size_t(scheme_.columns.rbegin()->first) + 1);

  table_->setColumnCount(4);
  table_->setHorizontalHeaderLabels(
      {QStringLiteral("列"), QStringLiteral("第一行"), QStringLiteral("第二行"), QStringLiteral("MARC字段")});
  table_->setRowCount(int(columns));
  table_->verticalHeader()->hide();
  table_->horizontalHeader()->setStretchLastSection(true);
  for (size_t c = 0; c < columns; ++c) {
    auto fixed = [](const QString& text) {
      auto* item = new QTableWidgetItem(text);
      item->setFlags(item->flags() & ~Qt::ItemIsEditable);
      return item;
    };
    table_->setItem(int(c), 0, fixed(QString::fromStdString(columnName(int(c)))));
    for (size_t s = 0; s < 2; ++s) {
      QString text = s < sample_.size() && c < sample_[s].size() ? QString::fromStdString(sample_[s][c].text) : QString();
      table_->setItem(int(c), int(s) + 1, fixed(text));
    }
    auto mapped = scheme_.columns.find(int(c));
    table_->setItem(int(c), kFieldColumn,
                    new QTableWidgetItem(mapped != scheme_.columns.end()
                                             ? QString::fromStdString(mapped->second.label())
                                             : QString()));
  }
}

void CXlsSchemeDlg::onOK() {
  Scheme edited;
  edited.header = header_->isChecked();
  for (int c = 0; c < table_->rowCount(); ++c) {
    QTableWidgetItem* item = table_->item(c, kFieldColumn);
    QString text = item ? item->text().trimmed() : QString();
    if (text.isEmpty()) continue;
    auto target = parseField(text.toStdString());
    if (!target) {
      ui::messageBox(this,
                     QStringLiteral("第 %1 列的“%2”不是有效的字段：应为三位字段号加一位子字段代码（如 200a），"
                                    "或只写控制字段号（如 001）。")
                         .arg(QString::fromStdString(columnName(c)), text),
                     windowTitle(), ui::Icon::Warning);
      table_->setCurrentCell(c, kFieldColumn);
      return;
    }
    edited.columns[c] = *target;
  }
  scheme_ = std::move(edited);
  endDialog(ui::IDOK);
}

}  // namespace sheetrix
