// CElementDlg (27010 "DC元素及其属性输入模板"): a Dublin Core element's name and its Type,
// Scheme, Lang and MarcID qualifiers, with the choices of the property INI and lang.ini.
#pragma once

#include "penwick_app.h"

#include <ui/dialog.h>

#include <string>
#include <string_view>

class QComboBox;
class QLineEdit;

class CElementDlg : public ui::Dialog {
  Q_OBJECT
 public:
  static constexpr int IDD = 27010;
  static constexpr int IDC_ELEMENT = 27012;
  static constexpr int IDC_TYPE = 27013;
  static constexpr int IDC_SCHEME = 27014;
  static constexpr int IDC_LANG = 27005;
  static constexpr int IDC_MARC_TAG = 27009;
  static constexpr int IDC_MARC_CODE = 27007;

  /// \brief A dialog that reads lang.ini in hostFolder (the host program's folder).
  explicit CElementDlg(QWidget* parent = nullptr, std::u16string_view hostFolder = PenwickHostFolder());

  std::u16string langIniPath;
  std::u16string propertyIniPath;
  /// 1 only while the dialog fills its lists.
  int initialising = 0;
  /// In: the element's name, empty for a new element; out (IDOK): the name chosen.
  std::u16string elementName;
  /// In: the element's data with its qualifier segments; out (IDOK): the qualifier
  /// segments chosen (ESC Type::=..., ESC Scheme::=..., ESC Lang::=..., ESC MarcID::=...).
  std::u16string elementData;
  int writeType = 0;
  int writeScheme = 0;
  int writeLang = 0;
  int writeMarcID = 0;

 protected:
  void onInitDialog() override;
  void onOK() override;

 private:
  void FillTypeList();
  void FillSchemeList();
  void OnTagChanged();
  void OnCodeChanged();

  QComboBox* elementBox_;
  QComboBox* typeBox_;
  QComboBox* schemeBox_;
  QComboBox* langBox_;
  QLineEdit* tagEdit_;
  QLineEdit* codeEdit_;
};

namespace penwick {
/// \brief A qualifier segment's value in element data; true when the segment is there,
/// even with an empty value.
bool FindQualifier(std::u16string_view data, std::u16string_view name, std::u16string& value);
}  // namespace penwick
