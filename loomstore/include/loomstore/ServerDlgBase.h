// What the two server property dialogs share: the name, address, port and proxy box of a
// server's section of Loomstore.ini, and the checks and writes of OK.
#pragma once

#include <loomstore/export.h>

#include <ui/dialog.h>

#include <string>

class LOOMSTORE_API CServerDlgBase : public ui::Dialog {
  Q_OBJECT
 public:
  // Set by the opener: the name the server had ("(新服务器)" for a new one).
  std::u16string m_prevName;
  // After OK: the name the server has now.
  std::u16string m_name;
  std::u16string m_iniFile;

 protected:
  struct Ids {
    int name, address, port, proxy;
  };
  CServerDlgBase(int templateId, const Ids& ids, const char16_t* defaultPort, bool focusOnName,
                 QWidget* parent);

  /// \brief Adds the controls common to both dialogs, from row `y` down, in dialog units.
  void addCommonControls(int width);
  void onInitDialog() override;
  void onOK() override;
  /// \brief The dialog's own keys, written after proxy, IP and port.
  virtual void writeOwnKeys(const std::u16string& section) {}
  /// \brief Shows a refusal and keeps the dialog open with the focus on `focusId` (0: none).
  void refuse(const QString& message, int focusId);

  Ids ids_;

 private:
  const char16_t* defaultPort_;
  bool focusOnName_;
};
