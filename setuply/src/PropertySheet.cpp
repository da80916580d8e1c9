#include "PropertySheet.h"

#include <QPushButton>
#include <QTabBar>
#include <QTabWidget>

CPropertyPage::CPropertyPage(int templateId, const QString& title) : ui::Dialog(templateId), title_(title) {
  // A child control of the sheet, not a window of its own.
  setWindowFlags(Qt::Widget);
}

void CPropertyPage::onOK() {
  if (sheet_) sheet_->onOK();
}

void CPropertyPage::onCancel() {
  if (sheet_) sheet_->onCancel();
}

CPropertySheet::CPropertySheet(const QString& caption, QWidget* parent) : ui::Dialog(0, parent) {
  setWindowTitle(caption);
  tabs_ = add<QTabWidget>(ui::IDC_STATIC, 7, 7, 100, 100);
  addButton(ui::IDOK, QStringLiteral("确定"), 0, 0, 50, 14, true);
  addButton(ui::IDCANCEL, QStringLiteral("取消"), 0, 0, 50, 14);
}

void CPropertySheet::AddPage(CPropertyPage* page) {
  page->sheet_ = this;
  pages_.push_back(page);
  tabs_->addTab(page, page->title());
  layoutSheet();
}

void CPropertySheet::layoutSheet() {
  QSize page;
  for (CPropertyPage* p : pages_) page = page.expandedTo(p->size());
  QRect tabRect(mapDialogRect(QRect(7, 7, 0, 0)).topLeft(), page + QSize(8, tabs_->tabBar()->sizeHint().height() + 8));
  tabs_->setGeometry(tabRect);
  QRect button = mapDialogRect(QRect(0, 0, 50, 14));
  QRect gap = mapDialogRect(QRect(0, 0, 4, 7));
  int y = tabRect.bottom() + gap.height();
  int x = tabRect.right() - 2 * button.width() - gap.width();
  item(ui::IDOK)->setGeometry(QRect(QPoint(x, y), button.size()));
  item(ui::IDCANCEL)->setGeometry(QRect(QPoint(x + button.width() + gap.width(), y), button.size()));
  setFixedSize(tabRect.right() + tabRect.left() + 1, y + button.height() + gap.height());
}

void CPropertySheet::onInitDialog() {
  for (CPropertyPage* p : pages_) p->initialize();
}

void CPropertySheet::onOK() {
  for (CPropertyPage* p : pages_)
    if (!p->onApply()) {
      tabs_->setCurrentWidget(p);
      return;
    }
  endDialog(ui::IDOK);
}
