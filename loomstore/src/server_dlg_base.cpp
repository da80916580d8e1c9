#include <loomstore/ServerDlgBase.h>

#include <loomstore/ServerSettings.h>

#include <ui/modal.h>

#include "server_messages.h"

#include <QCheckBox>
#include <QLineEdit>

using namespace loomstore;
using ui::qs;
using ui::toU16;

CServerDlgBase::CServerDlgBase(int templateId, const Ids& ids, const char16_t* defaultPort,
                               bool focusOnName, QWidget* parent)
    : ui::Dialog(templateId, parent),
      m_iniFile(kSettingsFile),
      ids_(ids),
      defaultPort_(defaultPort),
      focusOnName_(focusOnName) {}

void CServerDlgBase::addCommonControls(int width) {
  const int edit = width - 62;
  addStatic(QStringLiteral("服务器名:"), 7, 9, 45, 8);
  add<QLineEdit>(ids_.name, 55, 7, edit, 13);
  addStatic(QStringLiteral("域名/IP:"), 7, 27, 45, 8);
  add<QLineEdit>(ids_.address, 55, 25, edit, 13);
  addStatic(QStringLiteral("通讯端口:"), 7, 45, 45, 8);
  add<QLineEdit>(ids_.port, 55, 43, 50, 13);
  add<QCheckBox>(ids_.proxy, 7, 62, width - 14, 10)->setText(QStringLiteral("通过Socks 5代理服务器进行访问"));
}

void CServerDlgBase::onInitDialog() {
  const platform::ProfileFile file(m_iniFile);
  m_name = m_prevName;
  ui::setControlText(this, ids_.name, qs(m_name));
  u16 address = platform::profileString(file, m_name, kKeyIP, u"", kAddressSize);
  ui::setControlText(this, ids_.address, qs(address.empty() ? m_name : address));
  // The box shows what the connection will do with the value.
  ui::setChecked(this, ids_.proxy, ServerUsesProxy(file, m_name));
  ui::setControlText(this, ids_.port, qs(platform::profileString(file, m_name, kKeyPort, defaultPort_, kPortSize)));
}

void CServerDlgBase::refuse(const QString& message, int focusId) {
  if (!message.isEmpty()) ui::messageBox(this, message);
  if (focusId) item(focusId)->setFocus();
}

void CServerDlgBase::onOK() {
  const platform::ProfileFile file(m_iniFile);
  const int nameFocus = focusOnName_ ? ids_.name : 0;
  u16 name = toU16(ui::controlText(this, ids_.name));
  if (name.empty()) return refuse(QString(), nameFocus);
  if (name == kNewServerName) return refuse(msg::reservedName(), nameFocus);
  // Checked before anything is written or deleted: such names would break the file's lines
  // and the resource paths that start with the server name.
  if (!IsValidServerName(name)) return refuse(msg::badServerName(), nameFocus);
  u16 port = toU16(ui::controlText(this, ids_.port));
  if (!IsValidPort(port)) return refuse(msg::badPort(), ids_.port);

  if (name != m_prevName) {
    if (ServerListed(file, name)) return refuse(msg::serverExists(), nameFocus);
    platform::deleteProfileSection(file, m_prevName);
  }
  const bool proxy = ui::isChecked(this, ids_.proxy);
  platform::writeProfileString(file, name, kKeyProxy, proxy ? kProxyOn : kProxyOff);
  platform::writeProfileString(file, name, kKeyIP, toU16(ui::controlText(this, ids_.address)));
  platform::writeProfileString(file, name, kKeyPort, port);
  writeOwnKeys(name);
  m_name = name;
  endDialog(ui::IDOK);
}
