// CBrowseHitsDlg: the hits of one search, one row each with brief columns, to choose the
// record to handle as a single hit, or (output-all mode) to append every hit to the
// several-hits output file while they are listed.
#pragma once

#include <platform/text.h>
#include <ui/dialog.h>

#include <cstdint>
#include <functional>
#include <vector>

class QProgressBar;
class QTreeWidget;

/// Dialog 137 "浏览查到的多条记录".
class CBrowseHitsDlg : public ui::Dialog {
  Q_OBJECT
 public:
  enum { IDD = 137, IDC_CHOOSE = 1, IDC_ALL = 2, IDC_FIRST = 3, IDC_LIST = 1005, IDC_PROGRESS = 1013, IDC_STATUS = 1017 };
  /// Fetches a hit's text (with its 8-character record prefix) into a buffer of `size`
  /// characters: its length, 0 when it did not fit, -1 when there is no further hit.
  using Fetch = std::function<int32_t(char16_t* buffer, int32_t size)>;

  explicit CBrowseHitsDlg(QWidget* parent = nullptr);

  // Set before exec().
  Fetch first, next;                                   // the connection's first and next hit
  int32_t hitCount = 0;
  bool outputAll = false;
  platform::u16 settingsPath;                          // Gleanex.ini, for [简化记录]
  std::function<void(const platform::u16&)> appendHit;  // output-all mode: append one hit

  /// \brief The row chosen (from 0), -1 after Cancel.
  int chosenRow() const { return m_chosen; }
  /// \brief The text kept for the chosen row (record prefix included); empty for none.
  platform::u16 chosenText() const;
  /// \brief The brief-record filter built from [简化记录] ("<list>...</list>", or empty).
  const platform::u16& filter() const { return m_filter; }
  bool filling() const { return m_filling; }

 protected:
  void onInitDialog() override;
  void onOK() override;
  void onCancel() override;
  void onCommand(int id) override;

 private:
  void FillRows();
  void AddRow(int row, const platform::u16& text, class CSimpleRecord& brief);
  void finish(int chosen, int result);

  QTreeWidget* m_list;
  QProgressBar* m_progress;
  platform::u16 m_filter;
  int m_chosen = -1;
  bool m_filling = false;
};
