// CSchemeListDlg (dialog 4000): the list of conversion schemes with configure, new, delete
// and rename. Every change is written to Sheetrix.ini at once.
#pragma once

#include <ui/dialog.h>

#include <string>

class QLineEdit;
class QTreeWidget;

class CSchemeListDlg : public ui::Dialog {
  Q_OBJECT
 public:
  explicit CSchemeListDlg(QWidget* parent = nullptr);

  std::u16string m_strScheme;  // the scheme passed to ConfigTabulo
  std::u16string m_strSample;  // its sample spreadsheet
  QTreeWidget* m_lstScheme;

 protected:
  void onInitDialog() override;
  void onCommand(int id) override;

 private:
  void OnConfigure();
  void OnNew();
  void OnDelete();
  void OnRename();
  void OnItemChanged();

  std::u16string currentName() const;
  void setCurrentName(std::u16string_view name);
  /// The row whose text equals name without regard to case, -1 when none.
  int findRow(std::u16string_view name) const;
  void selectRow(int row);
  QString rowText(int row) const;

  QLineEdit* current_;
};
