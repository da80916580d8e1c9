// The OPAC page, which no export shows: its defaults and its TCP test on the loopback.
#include "Pages.h"
#include "resource.h"

#include <ui_testing/modal_script.h>

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include "server_process.h"

namespace {

// A loopback port that accepts connections for the object's lifetime.
class Listener {
 public:
  Listener() : fd_(socket(AF_INET, SOCK_STREAM, 0)) {
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof a;
    if (bind(fd_, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0 && listen(fd_, 4) == 0 &&
        getsockname(fd_, reinterpret_cast<sockaddr*>(&a), &len) == 0)
      port_ = ntohs(a.sin_port);
  }
  ~Listener() { close(fd_); }
  int port() const { return port_; }

 private:
  int fd_;
  int port_ = 0;
};

TEST(OpacPage, TestsOneTcpConnection) {
  Listener listener;
  ASSERT_GT(listener.port(), 0);
  struct Case {
    QString host, port, message;
  };
  const Case cases[] = {
      {"127.0.0.1", QString::number(listener.port()), QStringLiteral("指定的OPAC服务器测试通过，可以进行查重!")},
      {"127.0.0.1", QString::number(ztest::closedPort()), QStringLiteral("指定的OPAC服务器连接不成功!")},
      {"999.1.2.3", "80", QStringLiteral("指定的服务器域名解析错误!")},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.host.toStdString() + ":" + c.port.toStdString());
    uitest::ModalScript script;
    script.act([&](QDialog& d) {
      auto* page = d.findChild<CPageOPAC*>();
      EXPECT_EQ(page->templateId(), IDD_PAGE_OPAC);
      EXPECT_EQ(ui::controlText(page, IDC_Z39_HOST), QStringLiteral("192.168.3.1"));
      EXPECT_EQ(ui::controlText(page, IDC_Z39_PORT), QStringLiteral("80"));
      ui::setControlText(page, IDC_Z39_HOST, c.host);
      ui::setControlText(page, IDC_Z39_PORT, c.port);
      uitest::click(page, IDC_Z39_TEST);
      EXPECT_TRUE(ui::findControl(page, IDC_Z39_TEST)->isEnabled());
    });
    CPropertySheet sheet(QStringLiteral("OPAC"));
    sheet.AddPage(new CPageOPAC);
    EXPECT_EQ(sheet.exec(), ui::IDCANCEL);
    auto messages = script.messages();
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].text, c.message);
    EXPECT_EQ(messages[0].icon, ui::Icon::None);
  }
}

}  // namespace
