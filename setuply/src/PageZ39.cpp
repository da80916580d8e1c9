// Page 18003: the Z39.50 duplicate-check server, and its test through zoom.ZoomConn.
#include "Pages.h"
#include "SetupHelperApp.h"
#include "resource.h"

#include <com/create.h>
#include <com/drivers/ZoomDrivers.h>
#include <platform/comerror.h>
#include <platform/text.h>

#include <QLineEdit>
#include <QPushButton>

namespace {

// The Bib-1 diagnostic for a database that is not available.
constexpr int32_t kDatabaseUnavailable = 109;

}  // namespace

CPageZ39::CPageZ39() : CServerPage(IDD_PAGE_Z39, QStringLiteral("Z39.50服务")) {
  setWindowTitle(title());
  setDialogSize(285, 99);
  addStatic(QStringLiteral("服务器域名或IP:"), 9, 10, 61, 11);
  setuply::limitToBuffer(add<QLineEdit>(IDC_Z39_HOST, 72, 7, 124, 14));
  addStatic(QStringLiteral("端口:"), 9, 29, 21, 11);
  setuply::digitsOnly(setuply::limitToBuffer(add<QLineEdit>(IDC_Z39_PORT, 31, 27, 36, 14)));
  addStatic(QStringLiteral("数据库名:"), 80, 29, 37, 11);
  setuply::limitToBuffer(add<QLineEdit>(IDC_Z39_DATABASE, 117, 27, 79, 14));
  addStatic(QStringLiteral("查重帐户:"), 9, 63, 37, 11);
  setuply::limitToBuffer(add<QLineEdit>(IDC_Z39_ACCOUNT, 48, 59, 148, 14));
  addStatic(QStringLiteral("帐户口令:"), 9, 80, 37, 11);
  setuply::limitToBuffer(add<QLineEdit>(IDC_Z39_PASSWORD, 48, 78, 148, 14))->setEchoMode(QLineEdit::Password);
  addButton(IDC_Z39_TEST, QStringLiteral("测试 >>"), 228, 27, 50, 14);
}

void CPageZ39::onInitDialog() {
  m_strHost = ui::qs(kDefaultHost);
  m_nPort = 7090;
  m_strDatabase = QStringLiteral("Voyager");
  setControlText(this, IDC_Z39_ACCOUNT, m_strAccount);
  setControlText(this, IDC_Z39_DATABASE, m_strDatabase);
  setControlText(this, IDC_Z39_PASSWORD, m_strPassword);
  setControlText(this, IDC_Z39_HOST, m_strHost);
  setControlText(this, IDC_Z39_PORT, QString::number(m_nPort));
}

bool CPageZ39::saveBoxes() {
  m_strAccount = ui::controlText(this, IDC_Z39_ACCOUNT);
  m_strDatabase = ui::controlText(this, IDC_Z39_DATABASE);
  m_strPassword = ui::controlText(this, IDC_Z39_PASSWORD);
  return CServerPage::saveBoxes();
}

CServerPage::Outcome CPageZ39::runTest() {
  const Outcome notConnected{QStringLiteral("指定的服务器连接不成功!"), ui::Icon::Information};
  com::CoInitialize(nullptr);
  CZoomConnDriver conn;
  if (!conn.CreateDispatch(u"zoom.ZoomConn"))
    return {QStringLiteral("无法创建Z39.50组件(zoom.ZoomConn)，请检查它是否已经安装!"), ui::Icon::Warning};
  try {
    if (!m_strAccount.isEmpty()) {
      conn.SetOption(u"user", ui::toU16(m_strAccount));
      conn.SetOption(u"password", ui::toU16(m_strPassword));
    }
    if (conn.Connect(platform::format(u"%s:%ld", ui::toU16(m_strHost), m_nPort), u"000") != 0) return notConnected;
    conn.SetOption(u"databaseName", ui::toU16(m_strDatabase));
    if (com::IDispatch* rs = conn.SearchPqf(u"@attr 1=4 \"java\"")) rs->Release();
    if (conn.GetOptionLong(u"errno") == kDatabaseUnavailable)
      return {QStringLiteral("指定的数据库不能检索!"), ui::Icon::Information};
    conn.Close();
  } catch (const platform::ComError&) {
    // The component failed a call: the server has not been shown to work.
    return notConnected;
  }
  return {QStringLiteral("指定的Z39.50服务器测试通过，可以进行查重!"), ui::Icon::None};
}
