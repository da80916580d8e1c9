#include "about_dlg.h"

#include "viewer_app.h"

#include <QLabel>

CViewerAboutDlg::CViewerAboutDlg(QWidget* parent) : ui::Dialog(100, parent) {
  setWindowTitle(QStringLiteral("关于 Scrivo"));
  setDialogSize(235, 55);
  add<QLabel>(ui::IDC_STATIC, 11, 17, 21, 20)->setPixmap(ViewerIcon().pixmap(32, 32));
  addStatic(QStringLiteral("Scrivo 1.0 版"), 40, 10, 119, 8);
  addButton(ui::IDOK, QStringLiteral("确定"), 178, 7, 50, 14, true);
}
