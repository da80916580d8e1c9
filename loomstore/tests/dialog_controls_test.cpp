// Every control of the four dialogs: its id, kind and text, and nothing more.
#include "dialog_fixture.h"

#include <loomstore/LoginDlg.h>
#include <loomstore/ProxyDlg.h>
#include <loomstore/RecordServerDlg.h>
#include <loomstore/Z3950ServerDlg.h>

#include <QLabel>

#include <algorithm>

namespace {

QStringList sorted(QStringList l) {
  std::sort(l.begin(), l.end());
  return l;
}

class DialogControls : public DialogTest {};

TEST_F(DialogControls, EachDialogHasItsControlsWithTheirTexts) {
  CLoginDlg login;
  EXPECT_EQ(login.templateId(), 5006);
  EXPECT_EQ(login.windowTitle(), QStringLiteral("登录到指定服务器"));
  EXPECT_EQ(uitest::controlSummary(login), sorted({"-1 static ", "5005 static ", QStringLiteral("-1 static 用户名:"), "5003 edit",
                                     QStringLiteral("-1 static 口令字:"), "5004 password",
                                     QStringLiteral("1 button 登录"), QStringLiteral("2 button 取消")}));
  bool hasIcon = false;
  for (QLabel* l : login.findChildren<QLabel*>())
    if (l->accessibleName() == QStringLiteral("LOGINICON")) hasIcon = !l->pixmap().isNull();
  EXPECT_TRUE(hasIcon);

  CProxyDlg proxy;
  EXPECT_EQ(proxy.templateId(), 5005);
  EXPECT_EQ(proxy.windowTitle(), QStringLiteral("Socks 5代理服务器设置"));
  EXPECT_EQ(uitest::controlSummary(proxy),
            sorted({QStringLiteral("-1 static 域名或IP:"), "5000 edit", QStringLiteral("-1 static 通讯端口:"), "5011 edit",
                    QStringLiteral("-1 group 代理服务器安全认证"), QStringLiteral("-1 static 用户名:"), "5001 edit",
                    QStringLiteral("-1 static 密  码:"), "5002 edit", QStringLiteral("1 button 确定"),
                    QStringLiteral("2 button 取消")}));

  CRecordServerDlg record;
  EXPECT_EQ(record.templateId(), 5009);
  EXPECT_EQ(record.windowTitle(), QStringLiteral("服务器属性设置"));
  EXPECT_EQ(uitest::controlSummary(record),
            sorted({QStringLiteral("-1 static 服务器名:"), "5005 edit", QStringLiteral("-1 static 域名/IP:"), "5014 edit",
                    QStringLiteral("-1 static 通讯端口:"), "5011 edit", QStringLiteral("5006 check 通过Socks 5代理服务器进行访问"),
                    QStringLiteral("1 button 确定"), QStringLiteral("2 button 取消")}));

  CZ3950ServerDlg z;
  EXPECT_EQ(z.templateId(), 5010);
  EXPECT_EQ(z.windowTitle(), QStringLiteral("Z39.50服务器属性设置"));
  EXPECT_EQ(uitest::controlSummary(z),
            sorted({QStringLiteral("-1 static 服务器名:"), "5012 edit", QStringLiteral("-1 static 域名/IP:"), "5013 edit",
                    QStringLiteral("-1 static 通讯端口:"), "5011 edit", QStringLiteral("5006 check 通过Socks 5代理服务器进行访问"),
                    QStringLiteral("-1 static MARC格式:"), QStringLiteral("5017 droplist 自动|USmarc|Unimarc"),
                    QStringLiteral("-1 static 字符集:"), "5018 droplist GBK|UTF8",
                    QStringLiteral("-1 static 可供访问的数据库名:"), "5007 edit", "5008 list",
                    QStringLiteral("5009 button 增加库"), QStringLiteral("5010 button 删除库"),
                    QStringLiteral("1 button 确定"), QStringLiteral("2 button 取消")}));
}

}  // namespace
