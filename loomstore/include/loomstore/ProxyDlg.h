// The SOCKS 5 proxy dialog (5005): section [Proxy] of Loomstore.ini.
#pragma once

#include <loomstore/export.h>

#include <ui/dialog.h>

class LOOMSTORE_API CProxyDlg : public ui::Dialog {
  Q_OBJECT
 public:
  enum { IDD = 5005 };
  explicit CProxyDlg(QWidget* parent = nullptr);

 protected:
  void onInitDialog() override;
  void onOK() override;
};
