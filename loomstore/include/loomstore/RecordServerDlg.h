// The record-server property dialog (5009).
#pragma once

#include <loomstore/ServerDlgBase.h>

class LOOMSTORE_API CRecordServerDlg : public CServerDlgBase {
  Q_OBJECT
 public:
  enum { IDD = 5009 };
  explicit CRecordServerDlg(QWidget* parent = nullptr);
};
