#include <loomstore/ProxyDlg.h>

#include <loomstore/ServerSettings.h>

#include <ui/modal.h>

#include "server_messages.h"

#include <QGroupBox>
#include <QLineEdit>

using namespace loomstore;
using ui::qs;
using ui::toU16;

namespace {

struct ProxyField {
  int id;
  const char16_t* key;
  const char16_t* def;
};
// The edits of the dialog and the keys of [Proxy] they show.
constexpr ProxyField kFields[] = {
    {5000, kKeyHostname, u""},
    {5011, kKeyPort, kDefaultProxyPort},
    {5001, kKeyUser, u""},
    {5002, kKeyPass, u""},
};

}  // namespace

CProxyDlg::CProxyDlg(QWidget* parent) : ui::Dialog(IDD, parent) {
  setWindowTitle(QStringLiteral("Socks 5代理服务器设置"));
  setDialogSize(210, 120);
  addStatic(QStringLiteral("域名或IP:"), 7, 9, 45, 8);
  add<QLineEdit>(5000, 55, 7, 148, 13);
  addStatic(QStringLiteral("通讯端口:"), 7, 27, 45, 8);
  add<QLineEdit>(5011, 55, 25, 50, 13);
  add<QGroupBox>(ui::IDC_STATIC, 7, 44, 196, 50)->setTitle(QStringLiteral("代理服务器安全认证"));
  addStatic(QStringLiteral("用户名:"), 15, 58, 38, 8);
  add<QLineEdit>(5001, 55, 56, 140, 13);
  addStatic(QStringLiteral("密  码:"), 15, 76, 38, 8);
  add<QLineEdit>(5002, 55, 74, 140, 13);
  addButton(ui::IDOK, QStringLiteral("确定"), 98, 100, 50, 14, true);
  addButton(ui::IDCANCEL, QStringLiteral("取消"), 153, 100, 50, 14);
}

void CProxyDlg::onInitDialog() {
  for (const ProxyField& f : kFields)
    ui::setControlText(this, f.id, qs(platform::profileString(kSettingsFile, kProxySection, f.key, f.def, kProxyFieldSize)));
}

void CProxyDlg::onOK() {
  // An empty port is kept (as the proxy's own default); any other text must be a port.
  QString port = ui::controlText(this, 5011, kProxyFieldSize);
  if (!port.isEmpty() && !IsValidPort(toU16(port))) {
    ui::messageBox(this, msg::badPort());
    item(5011)->setFocus();
    return;
  }
  for (const ProxyField& f : kFields)
    platform::writeProfileString(kSettingsFile, kProxySection, f.key, toU16(ui::controlText(this, f.id, kProxyFieldSize)));
  endDialog(ui::IDOK);
}
