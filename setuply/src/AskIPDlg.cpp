// Dialog 18000: the record server's alias (fixed) and its IP address or domain name.
#include "AskDialogs.h"
#include "IpAddressEdit.h"
#include "SetupHelperApp.h"
#include "resource.h"

#include <QLabel>
#include <QLineEdit>

CAskIPDlg::CAskIPDlg(QWidget* parent) : ui::Dialog(IDD_ASKIP, parent) {
  setWindowTitle(QStringLiteral("Kelvra服务器信息"));
  setDialogSize(244, 55);
  addStatic(QStringLiteral("服务器别名:"), 7, 13, 46, 9)->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
  auto* alias = add<QLineEdit>(IDC_IP_ALIAS, 53, 10, 72, 13);
  alias->setEnabled(false);
  setuply::limitToBuffer(alias);
  addStatic(QStringLiteral("IP/域名:"), 7, 33, 46, 9)->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
  add<CIpAddressEdit>(IDC_IP_ADDRESS, 53, 31, 91, 13);
  addButton(ui::IDOK, QStringLiteral("确定"), 187, 7, 50, 14, true);
  addButton(ui::IDCANCEL, QStringLiteral("放弃"), 187, 24, 50, 14);
}

void CAskIPDlg::onInitDialog() {
  setControlText(this, IDC_IP_ALIAS, QStringLiteral("主服务器"));
  setControlText(this, IDC_IP_ADDRESS, QStringLiteral("192.168.0.1"));
}

void CAskIPDlg::onOK() {
  m_strAlias = ui::controlText(this, IDC_IP_ALIAS);
  m_strIP = itemAs<CIpAddressEdit>(IDC_IP_ADDRESS)->address();
  endDialog(ui::IDOK);
}
