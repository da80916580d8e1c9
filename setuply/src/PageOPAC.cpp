// Page 18004: an OPAC server, tested by one TCP connection to its host and port.
#include "Pages.h"
#include "SetupHelperApp.h"
#include "resource.h"

#include <QLineEdit>
#include <QPushButton>

#include <arpa/inet.h>
#include <netdb.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

// The IPv4 address of a host: dotted text when it starts with a digit, else a name lookup.
bool resolveHost(const QString& host, in_addr* out) {
  QByteArray name = host.toUtf8();
  if (!name.isEmpty() && name[0] >= '0' && name[0] <= '9') return inet_pton(AF_INET, name.constData(), out) == 1;
  addrinfo hints{};
  hints.ai_family = AF_INET;
  hints.ai_socktype = SOCK_STREAM;
  addrinfo* found = nullptr;
  if (name.isEmpty() || getaddrinfo(name.constData(), nullptr, &hints, &found) != 0 || !found) return false;
  *out = reinterpret_cast<sockaddr_in*>(found->ai_addr)->sin_addr;
  freeaddrinfo(found);
  return true;
}

}  // namespace

CPageOPAC::CPageOPAC() : CServerPage(IDD_PAGE_OPAC, QStringLiteral("OPAC服务")) {
  setWindowTitle(title());
  setDialogSize(285, 99);
  addStatic(QStringLiteral("服务器域名或IP:"), 9, 10, 61, 11);
  setuply::limitToBuffer(add<QLineEdit>(IDC_Z39_HOST, 72, 7, 124, 14));
  addStatic(QStringLiteral("端口:"), 9, 29, 21, 11);
  setuply::digitsOnly(add<QLineEdit>(IDC_Z39_PORT, 31, 27, 36, 14));
  addButton(IDC_Z39_TEST, QStringLiteral("测试 >>"), 228, 27, 50, 14);
}

void CPageOPAC::onInitDialog() {
  m_strHost = QStringLiteral("192.168.3.1");
  m_nPort = 80;
  setControlText(this, IDC_Z39_HOST, m_strHost);
  setControlText(this, IDC_Z39_PORT, QString::number(m_nPort));
}

CServerPage::Outcome CPageOPAC::runTest() {
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(uint16_t(m_nPort));
  if (!resolveHost(m_strHost, &address.sin_addr)) return {QStringLiteral("指定的服务器域名解析错误!")};
  int s = socket(AF_INET, SOCK_STREAM, 0);
  if (s < 0) return {QStringLiteral("系统网络组件安装不正常，无法进行测试!"), ui::Icon::Information};
  bool connected = m_nPort >= 1 && m_nPort <= 65535 &&
                   ::connect(s, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
  ::close(s);
  return {connected ? QStringLiteral("指定的OPAC服务器测试通过，可以进行查重!") : QStringLiteral("指定的OPAC服务器连接不成功!")};
}
