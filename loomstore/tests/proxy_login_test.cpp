#include "dialog_fixture.h"

#include <loomstore/LoginDlg.h>
#include <loomstore/ProxyDlg.h>

#include <QLineEdit>

namespace {

using ui::IDCANCEL;
using ui::IDOK;
using uitest::click;

constexpr int kHost = 5000, kPort = 5011, kUser = 5001, kPass = 5002;

class ProxyAndLogin : public DialogTest {};

TEST_F(ProxyAndLogin, ProxyShowsItsSectionWithDefaults) {
  CProxyDlg empty;
  empty.initialize();
  EXPECT_EQ(ui::controlText(&empty, kHost), QString());
  EXPECT_EQ(ui::controlText(&empty, kPort), QStringLiteral("1080"));
  EXPECT_EQ(ui::controlText(&empty, kUser), QString());
  EXPECT_EQ(ui::controlText(&empty, kPass), QString());
  EXPECT_EQ(empty.windowTitle(), QStringLiteral("Socks 5代理服务器设置"));

  writeIni("[Proxy]\nhostname=127.0.0.1\nport=9050\nuser=读者\npass=secret\n");
  CProxyDlg full;
  full.initialize();
  EXPECT_EQ(ui::controlText(&full, kHost), QStringLiteral("127.0.0.1"));
  EXPECT_EQ(ui::controlText(&full, kPort), QStringLiteral("9050"));
  EXPECT_EQ(ui::controlText(&full, kUser), QStringLiteral("读者"));
  EXPECT_EQ(ui::controlText(&full, kPass), QStringLiteral("secret"));
}

TEST_F(ProxyAndLogin, ProxyOkWritesTheFourKeysCutTo63) {
  writeIni("[Proxy]\nhostname=old\nuser=old\nextra=kept\n");
  const QString longUser(80, QLatin1Char('u'));
  CProxyDlg d;
  script_.act([&](QDialog& dlg) {
    ui::setControlText(&dlg, kHost, QStringLiteral("192.168.1.9"));
    ui::setControlText(&dlg, kUser, longUser);
    ui::setControlText(&dlg, kPass, QString());
    click(&dlg, IDOK);
  });
  EXPECT_EQ(d.exec(), IDOK);
  EXPECT_EQ(section(loomstore::kProxySection),
            (Lines{u"hostname=192.168.1.9", u"user=" + std::u16string(63, u'u'), u"extra=kept", u"port=1080", u"pass="}));
}

TEST_F(ProxyAndLogin, ProxyRefusesAPortThatIsNoPortAndCancelWritesNothing) {
  writeIni("[Proxy]\nport=1080\n");
  const std::string before = iniText();
  CProxyDlg d;
  script_.act([](QDialog& dlg) {
    ui::setControlText(&dlg, kPort, QStringLiteral("70000"));
    click(&dlg, IDOK);
    EXPECT_TRUE(dlg.isVisible());
    EXPECT_EQ(dlg.focusWidget(), ui::findControl(&dlg, kPort));
    click(&dlg, IDCANCEL);
  });
  EXPECT_EQ(d.exec(), IDCANCEL);
  ASSERT_EQ(script_.messages().size(), 1u);
  EXPECT_EQ(script_.messages()[0].text, QStringLiteral("通讯端口必须是1到65535之间的数字，请修改以后再保存"));
  EXPECT_EQ(script_.messages()[0].icon, ui::Icon::None);
  EXPECT_EQ(iniText(), before);

  // An empty port is written as it is (the edit was cleared on purpose).
  CProxyDlg e;
  script_.act([](QDialog& dlg) {
    ui::setControlText(&dlg, kPort, QString());
    click(&dlg, IDOK);
  });
  EXPECT_EQ(e.exec(), IDOK);
  EXPECT_EQ(value(loomstore::kProxySection, u"port"), u"");
}

TEST_F(ProxyAndLogin, LoginShowsAndReturnsTheAccount) {
  CLoginDlg d;
  d.m_server = u"国家图书馆";
  d.m_user = u"cat";
  d.m_password = u"pw";
  script_.act([](QDialog& dlg) {
    EXPECT_EQ(ui::controlText(&dlg, 5005), QStringLiteral("国家图书馆"));
    EXPECT_EQ(ui::controlText(&dlg, 5003), QStringLiteral("cat"));
    EXPECT_EQ(ui::controlText(&dlg, 5004), QStringLiteral("pw"));
    EXPECT_EQ(ui::findControlAs<QLineEdit>(&dlg, 5004)->echoMode(), QLineEdit::Password);
    EXPECT_EQ(ui::controlText(&dlg, IDOK), QStringLiteral("登录"));
    ui::setControlText(&dlg, 5003, QStringLiteral("cat@编目组"));
    ui::setControlText(&dlg, 5004, QStringLiteral("新口令"));
    click(&dlg, IDOK);
  });
  EXPECT_EQ(d.exec(), IDOK);
  EXPECT_EQ(d.m_user, u"cat@编目组");
  EXPECT_EQ(d.m_password, u"新口令");
  EXPECT_EQ(iniText(), "<none>") << "the opener stores the account, not the dialog";

  CLoginDlg c;
  c.m_user = u"kept";
  script_.act([](QDialog& dlg) {
    ui::setControlText(&dlg, 5003, QStringLiteral("changed"));
    click(&dlg, IDCANCEL);
  });
  EXPECT_EQ(c.exec(), IDCANCEL);
  EXPECT_EQ(c.m_user, u"kept");
  EXPECT_EQ(c.windowTitle(), QStringLiteral("登录到指定服务器"));
}

}  // namespace
