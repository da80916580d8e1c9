// Dialog 18001: SQL Server name, its memory, the administrator and the password.
#include "AskDialogs.h"
#include "SetupHelperApp.h"
#include "resource.h"

#include <QLineEdit>
#include <QPushButton>

CAskSQLDlg::CAskSQLDlg(QWidget* parent) : ui::Dialog(IDD_ASKSQL, parent) {
  setWindowTitle(QStringLiteral("SQL Server连接信息"));
  setDialogSize(285, 99);
  addStatic(QStringLiteral("服务器名称:"), 9, 10, 45, 11);
  setuply::limitToBuffer(add<QLineEdit>(IDC_SQL_SERVER, 56, 7, 119, 14));
  addStatic(QStringLiteral("服务器内存:"), 9, 31, 45, 11);
  setuply::digitsOnly(setuply::limitToBuffer(add<QLineEdit>(IDC_SQL_MEMORY, 56, 28, 36, 14)));
  addStatic(QStringLiteral("兆(MB)"), 94, 31, 26, 11);
  // Shown as in the original layout; it does nothing.
  addButton(IDC_SQL_CONNECT, QStringLiteral("连接 >>"), 125, 27, 50, 14)->setEnabled(false);
  addStatic(QStringLiteral("SQL管理员:"), 9, 62, 45, 11);
  setuply::limitToBuffer(add<QLineEdit>(IDC_SQL_ADMIN, 56, 58, 119, 14));
  addStatic(QStringLiteral("管理员口令:"), 9, 80, 45, 11);
  setuply::limitToBuffer(add<QLineEdit>(IDC_SQL_PASSWORD, 56, 78, 119, 14))->setEchoMode(QLineEdit::Password);
  addButton(ui::IDOK, QStringLiteral("确定"), 228, 7, 50, 14, true);
  addButton(ui::IDCANCEL, QStringLiteral("放弃"), 228, 24, 50, 14);
}

void CAskSQLDlg::onInitDialog() {
  setControlText(this, IDC_SQL_SERVER, QStringLiteral("(local)"));
  setControlText(this, IDC_SQL_MEMORY, QStringLiteral("1024"));
  setControlText(this, IDC_SQL_ADMIN, QStringLiteral("sa"));
  setControlText(this, IDC_SQL_PASSWORD, QString());
}

void CAskSQLDlg::onOK() {
  m_strServer = ui::controlText(this, IDC_SQL_SERVER);
  m_strMemory = ui::controlText(this, IDC_SQL_MEMORY);
  m_strAdmin = ui::controlText(this, IDC_SQL_ADMIN);
  m_strPassword = ui::controlText(this, IDC_SQL_PASSWORD);
  endDialog(ui::IDOK);
}
