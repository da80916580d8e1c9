#include <loomstore/RecordServerDlg.h>

#include <loomstore/ServerSettings.h>

CRecordServerDlg::CRecordServerDlg(QWidget* parent)
    : CServerDlgBase(IDD, Ids{5005, 5014, 5011, 5006}, loomstore::kDefaultRecordServerPort, true, parent) {
  setWindowTitle(QStringLiteral("服务器属性设置"));
  setDialogSize(220, 100);
  addCommonControls(220);
  addButton(ui::IDOK, QStringLiteral("确定"), 108, 80, 50, 14, true);
  addButton(ui::IDCANCEL, QStringLiteral("取消"), 163, 80, 50, 14);
}
