// CXlsSchemeDlg: the component's own scheme editor (Configure). One line per spreadsheet
// column with the first two rows as samples and an editable field for the column; a check
// box says whether the first row holds captions.
#pragma once

#include "scheme.h"
#include "workbook.h"

#include <ui/dialog.h>

#include <vector>

class QCheckBox;
class QTableWidget;

namespace sheetrix {

/// Resource ids of the scheme editor.
enum : int {
  IDD_XLS_SCHEME = 3000,
  IDC_XLS_HEADER = 3001,   // check box: the first row holds captions
  IDC_XLS_COLUMNS = 3002,  // table: column, first row, second row, field
  IDC_XLS_HINT = 3003,
};
/// The table column that holds each spreadsheet column's field.
inline constexpr int kFieldColumn = 3;

class CXlsSchemeDlg : public ui::Dialog {
  Q_OBJECT
 public:
  /// `sample`: the first rows of the sheet (at most two are shown).
  CXlsSchemeDlg(const Scheme& scheme, const std::vector<Row>& sample, QWidget* parent = nullptr);
  /// \brief The scheme as the user left it (valid after OK).
  const Scheme& scheme() const { return scheme_; }

 protected:
  void onInitDialog() override;
  void onOK() override;

 private:
  Scheme scheme_;
  std::vector<Row> sample_;
  QCheckBox* header_;
  QTableWidget* table_;
};

}  // namespace sheetrix
