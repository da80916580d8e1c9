// CPolyphoneDlg (dialog 9002): asks which reading a polyphone has here, and stores rules for
// it in pinyin.ini.
#pragma once

#include <loomkit/export.h>

#include <ui/dialog.h>

#include <string>
#include <vector>

class LOOMKIT_API CPolyphoneDlg : public ui::Dialog {
 public:
  enum { IDD = 9002 };
  explicit CPolyphoneDlg(QWidget* parent = nullptr);

  // Set before the dialog shows.
  std::u16string m_character;  // one character, also its section in pinyin.ini
  std::vector<std::u16string> m_readings;
  std::u16string m_text;
  size_t m_position = 0;
  std::u16string m_subfield;
  bool m_surname = false;
  std::string m_iniPath;

  // After the dialog.
  std::u16string m_reading;       // the chosen reading (at most 15 characters)
  std::u16string m_default;       // the "!" reading read when the dialog opened
  bool m_stop = false;            // Stop was pressed (the dialog ends with IDOK)
  bool m_alwaysFirst = false;     // the always-first box was ticked on OK

 protected:
  void onInitDialog() override;
  void onOK() override;
  void onCommand(int id) override;

 private:
  void selectionChanged();
  void storePhrase();
  void storeSurname();
  std::u16string chosenReading() const;
  std::u16string read(const std::u16string& key, unsigned size) const;
  void write(const std::u16string& key, const std::u16string& value);
  void tell(const QString& text);
};
