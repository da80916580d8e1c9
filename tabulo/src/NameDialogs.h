// The two small dialogs of the scheme list: CNewSchemeDlg (2005) asks for a new scheme's
// name and sample spreadsheet, CRenameSchemeDlg (4001) for a scheme's new name.
#pragma once

#include <ui/dialog.h>

#include <string>

class CNewSchemeDlg : public ui::Dialog {
  Q_OBJECT
 public:
  explicit CNewSchemeDlg(QWidget* parent = nullptr);

  std::u16string m_strName = u"新方案";
  std::u16string m_strSample;

 protected:
  void onInitDialog() override;
  void onOK() override;
  void onCommand(int id) override;
};

class CRenameSchemeDlg : public ui::Dialog {
  Q_OBJECT
 public:
  explicit CRenameSchemeDlg(QWidget* parent = nullptr);

  std::u16string m_strOld;
  std::u16string m_strNew;

 protected:
  void onInitDialog() override;
  void onOK() override;
};
