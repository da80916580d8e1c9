// The Z39.50-server property dialog (5010): the common server settings plus record syntax,
// character set and the list of databases.
#pragma once

#include <loomstore/ServerDlgBase.h>

class LOOMSTORE_API CZ3950ServerDlg : public CServerDlgBase {
  Q_OBJECT
 public:
  enum { IDD = 5010 };
  explicit CZ3950ServerDlg(QWidget* parent = nullptr);

  // After OK: every database followed by "+", in list order.
  std::u16string m_databases;

 protected:
  void onInitDialog() override;
  void onCommand(int id) override;
  void writeOwnKeys(const std::u16string& section) override;

 private:
  void addDatabase();
  void removeDatabase();
};
