#include <loomstore/LoginDlg.h>

#include <QLabel>
#include <QLineEdit>
#include <QStyle>

using ui::qs;
using ui::toU16;

CLoginDlg::CLoginDlg(QWidget* parent) : ui::Dialog(IDD, parent) {
  setWindowTitle(QStringLiteral("登录到指定服务器"));
  setDialogSize(200, 82);
  QLabel* icon = addStatic(QString(), 7, 7, 21, 20);
  icon->setAccessibleName(QStringLiteral("LOGINICON"));
  icon->setPixmap(style()->standardIcon(QStyle::SP_DriveNetIcon).pixmap(32, 32));
  add<QLabel>(5005, 35, 9, 158, 10);
  addStatic(QStringLiteral("用户名:"), 35, 27, 35, 8);
  add<QLineEdit>(5003, 72, 25, 121, 13);
  addStatic(QStringLiteral("口令字:"), 35, 45, 35, 8);
  add<QLineEdit>(5004, 72, 43, 121, 13)->setEchoMode(QLineEdit::Password);
  addButton(ui::IDOK, QStringLiteral("登录"), 88, 62, 50, 14, true);
  addButton(ui::IDCANCEL, QStringLiteral("取消"), 143, 62, 50, 14);
}

void CLoginDlg::onInitDialog() {
  ui::setControlText(this, 5005, qs(m_server));
  ui::setControlText(this, 5003, qs(m_user));
  ui::setControlText(this, 5004, qs(m_password));
  item(5003)->setFocus();
}

void CLoginDlg::onOK() {
  m_user = toU16(ui::controlText(this, 5003));
  m_password = toU16(ui::controlText(this, 5004));
  endDialog(ui::IDOK);
}
