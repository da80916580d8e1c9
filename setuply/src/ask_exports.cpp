// DlgAskIP and DlgAskSQL: run the asking dialogs and hand their texts (or the defaults, after
// Cancel, or when there is no display to show them on) to the installer.
#include <setuply/Setuply.h>

#include "AskDialogs.h"
#include "SetupHelperApp.h"

using setuply::copyNarrow;

SETUPLY_API int DlgAskIP(char* alias, char* ip) {
  if (setuply::canShowDialog("DlgAskIP")) {
    CAskIPDlg dlg(setuply::hostWindow());
    if (dlg.exec() == ui::IDOK) {
      copyNarrow(dlg.m_strAlias, alias);
      copyNarrow(dlg.m_strIP, ip);
      return 1;
    }
  }
  copyNarrow(QStringLiteral("主服务器"), alias);
  copyNarrow(QStringLiteral("192.168.0.1"), ip);
  return 0;
}

SETUPLY_API int DlgAskSQL(char* server, char* memoryMB, char* admin, char* password) {
  if (setuply::canShowDialog("DlgAskSQL")) {
    CAskSQLDlg dlg;
    if (dlg.exec() == ui::IDOK) {
      copyNarrow(dlg.m_strServer, server);
      copyNarrow(dlg.m_strMemory, memoryMB);
      copyNarrow(dlg.m_strAdmin, admin);
      copyNarrow(dlg.m_strPassword, password);
      return 1;
    }
  }
  copyNarrow(QStringLiteral("(local)"), server);
  copyNarrow(QStringLiteral("1024"), memoryMB);
  copyNarrow(QStringLiteral("sa"), admin);
  copyNarrow(QString(), password);
  return 0;
}
