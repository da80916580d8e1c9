// The server list dialog and the property dialog of one entry of the list.
#pragma once

#include "server_list.h"

#include <ui/dialog.h>

#include <memory>

class CAppSettings;
class CQzDir;
class QButtonGroup;
class QTreeWidget;

/// Dialog 130 "服务器属性": the account, the reconnect choice and the ISBN rules of one
/// entry of the server list.
class CServerPropDlg : public ui::Dialog {
  Q_OBJECT
 public:
  enum {
    IDD = 130,
    IDC_RECONNECT = 1001,
    IDC_USER = 1002,
    IDC_PASSWORD = 1003,
    IDC_SERVER_NAME = 1018,
    IDC_HYPHEN_NONE = 1026,      // hyphen rule 1
    IDC_HYPHEN_REQUIRED = 1027,  // hyphen rule 2
    IDC_HYPHEN_EITHER = 1028,    // hyphen rule 0
    IDC_ISBN_KEEP = 1029,        // ISBN rule 0
    IDC_ISBN_10 = 1030,          // ISBN rule 2
    IDC_ISBN_13 = 1031,          // ISBN rule 1
  };
  CServerPropDlg(u16 entry, QWidget* parent = nullptr);
  /// \brief The entry: as given, and rebuilt from the controls after IDOK.
  const u16& entry() const { return m_entry; }

 protected:
  void onInitDialog() override;
  void onOK() override;

 private:
  u16 m_entry;
};

/// Dialog 129 "设置数据下载服务器属性": the directory tree to pick databases from and the
/// ordered server list; on IDOK the list replaces the setting.
class CServerListDlg : public ui::Dialog {
  Q_OBJECT
 public:
  enum {
    IDD = 129,
    IDC_TREE_PLACE = 1000,
    IDC_ADD = 1003,
    IDC_DELETE = 1004,
    IDC_LIST = 1005,
    IDC_TREE = 1014,
    IDC_UP = 3,
    IDC_DOWN = 4,
  };
  CServerListDlg(CAppSettings& settings, QWidget* parent = nullptr);
  ~CServerListDlg() override;
  /// \brief The directory tree (to pick a node from).
  CQzDir& directory() { return *m_dir; }

 protected:
  void onInitDialog() override;
  void onOK() override;
  void onCommand(int id) override;

 private:
  void OnAdd();
  void OnDelete();
  void OnMove(int step);
  void OnEditRow();
  int selectedRow() const;
  void selectRow(int row);

  CAppSettings& m_settings;
  std::unique_ptr<CQzDir> m_dir;
  QTreeWidget* m_list;
};
