// The two asking dialogs: the record server's alias and address (CAskIPDlg, 18000) and the
// SQL Server connection data (CAskSQLDlg, 18001).
#pragma once

#include <ui/dialog.h>

#include <QString>

class CAskIPDlg : public ui::Dialog {
  Q_OBJECT
 public:
  explicit CAskIPDlg(QWidget* parent = nullptr);

  QString m_strAlias;
  QString m_strIP;

 protected:
  void onInitDialog() override;
  void onOK() override;
};

class CAskSQLDlg : public ui::Dialog {
  Q_OBJECT
 public:
  explicit CAskSQLDlg(QWidget* parent = nullptr);

  QString m_strServer;
  QString m_strMemory;
  QString m_strAdmin;
  QString m_strPassword;

 protected:
  void onInitDialog() override;
  void onOK() override;
};
