// CFileTypesDlg (dialog 129): which MARC file extensions open with the viewer. OK makes or
// removes each extension's association and, when none is left, the file type itself.
#pragma once

#include <ui/dialog.h>

#include <string>

class CFileTypesDlg : public ui::Dialog {
  Q_OBJECT
 public:
  /// \brief `exePath`: the viewer's executable, the program the associations name.
  explicit CFileTypesDlg(std::u16string exePath, QWidget* parent = nullptr);

 protected:
  void onInitDialog() override;
  void onOK() override;

 private:
  std::u16string exePath_;
};

/// The file type of the viewer's MARC files under HKEY_CLASSES_ROOT.
inline constexpr const char16_t* kMarcFileType = u"marc_iso2709_file";

/// \brief Removes HKEY_CLASSES_ROOT\marc_iso2709_file with all its subkeys, depth first,
/// always the first remaining subkey; stops at the first key that cannot be deleted.
/// False when it stopped; true when the key is gone or was never there.
bool RemoveMarcFileType();
