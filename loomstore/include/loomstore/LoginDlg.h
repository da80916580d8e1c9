// The log-in dialog (5006): user name and password for one server.
#pragma once

#include <loomstore/export.h>

#include <ui/dialog.h>

#include <string>

class LOOMSTORE_API CLoginDlg : public ui::Dialog {
  Q_OBJECT
 public:
  enum { IDD = 5006 };
  explicit CLoginDlg(QWidget* parent = nullptr);

  // Set by the opener before the dialog shows; user and password read back after OK.
  std::u16string m_server;
  std::u16string m_user;
  std::u16string m_password;

 protected:
  void onInitDialog() override;
  void onOK() override;
};
