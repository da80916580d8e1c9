// COptionsDlg: the input and output options — the spreadsheet conversion scheme, the
// character set and framing of ISO 2709 output, the default record-server account.
#pragma once

#include <platform/text.h>
#include <ui/dialog.h>

class CAppSettings;
class QComboBox;

/// Dialog 135 "输入输出选项"; OK changes the settings in memory.
class COptionsDlg : public ui::Dialog {
  Q_OBJECT
 public:
  enum {
    IDD = 135,
    IDC_CHARSET = 1001,
    IDC_CONFIGURE = 1003,
    IDC_EACC3 = 1007,
    IDC_EACC4 = 1008,
    IDC_FILE_HEADER = 1009,
    IDC_SEPARATOR = 1010,
    IDC_SCHEME = 1027,
    IDC_USER = 1028,
    IDC_PASSWORD = 1029,
  };
  /// Items of the character set list.
  enum Charset { kGbk = 0, kUcs2, kUtf8, kEacc };

  /// \brief `programFolder` (ending with "/") holds Sheetrix.ini; `sourceFile` is the main
  /// dialog's source file, the sample the scheme configuration opens.
  COptionsDlg(CAppSettings& settings, platform::u16 programFolder, platform::u16 sourceFile,
              QWidget* parent = nullptr);

 protected:
  void onInitDialog() override;
  void onOK() override;
  void onCommand(int id) override;

 private:
  void FillSchemes();
  void OnCharsetChanged(int index);
  void OnConfigure();
  void setOption(int id, bool enabled, bool checked);

  CAppSettings& m_settings;
  platform::u16 m_programFolder;
  platform::u16 m_sourceFile;
  QComboBox* m_schemes;
  QComboBox* m_charset;
};
