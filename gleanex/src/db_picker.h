// CDbPickerDlg: picks a record-server database from the directory tree for the "转入数据库"
// fields of the hit rules.
#pragma once

#include <platform/text.h>
#include <ui/dialog.h>

#include <memory>

class CAppSettings;
class CQzDir;

/// \brief Hides the template control `placeId` of `dialog` and puts the directory tree
/// (control 1014) in its place: servers and databases, Z39.50 servers when `showZ3950`,
/// logging in to record servers with the default account of the settings.
void PlaceDirTree(ui::Dialog& dialog, CQzDir& dir, int placeId, int showZ3950, const CAppSettings& settings);

/// Dialog 133 "查找Kelvra数据库".
class CDbPickerDlg : public ui::Dialog {
  Q_OBJECT
 public:
  enum { IDD = 133, IDC_TREE_PLACE = 1002, IDC_TREE = 1014, IDC_PATH = 1024 };
  CDbPickerDlg(platform::u16 path, const CAppSettings& settings, QWidget* parent = nullptr);
  ~CDbPickerDlg() override;
  /// \brief The path: as given, and the picked database's after IDOK.
  const platform::u16& path() const { return m_path; }
  /// \brief The directory tree (to pick a node from).
  CQzDir& directory() { return *m_dir; }

 protected:
  void onInitDialog() override;
  void onOK() override;

 private:
  void OnSelectionChanged();

  platform::u16 m_path;
  const CAppSettings& m_settings;
  std::unique_ptr<CQzDir> m_dir;
};
