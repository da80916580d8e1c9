// CMarcFieldDlg (27023 "MARC字段属性"): a MARC field's tag and indicators, with the field's
// alias from the property INI, default indicators and subfield data from the field-definition
// file, and the field help page (marcfld.htm) in a pane that opens below.
#pragma once

#include "penwick_app.h"

#include <ui/dialog.h>
#include <xml/dom.h>

#include <string>
#include <string_view>

class CWebBrowser2;
class QLineEdit;

class CMarcFieldDlg : public ui::Dialog {
  Q_OBJECT
 public:
  static constexpr int IDD = 27023;
  static constexpr int IDC_TAG = 27026;
  static constexpr int IDC_INDICATORS = 27002;
  static constexpr int IDC_HELP = 27035;
  static constexpr int IDC_ALIAS = 27039;

  /// \brief A dialog whose help page lies in hostFolder (the host program's folder).
  explicit CMarcFieldDlg(QWidget* parent = nullptr, std::u16string hostFolder = PenwickHostFolder());

  /// In: the field's tag, empty to insert a new field; out: the tag chosen.
  std::u16string tag;
  /// In: the field's indicators; out: two characters, none for a control field.
  std::u16string indicators;
  /// Out: the new field's data after the indicators (subfields or control data).
  std::u16string defaultData;
  /// The help page has been shown in this dialog.
  int pageLoaded = 0;
  /// In and out: the help pane is open (the editor keeps it between dialogs).
  int helpShown = 0;
  std::u16string propertyIniPath;
  /// The field-definition file; empty: no defaults beyond blanks and $a.
  std::u16string fieldDefinitionPath;

  CWebBrowser2* browser() const { return browser_; }

 protected:
  void onInitDialog() override;
  void onOK() override;
  void onCancel() override;
  void onCommand(int id) override;

 private:
  void OnTagChanged(const QString& text);
  void OnIndicatorsChanged(const QString& text);
  void LayoutHelpPane();
  void SetEditText(QLineEdit* edit, const QString& text);
  /// The definition of tag in the field-definition file, or a null node.
  xml::Node Definition(std::u16string_view tag) const;
  std::u16string DefaultIndicators(std::u16string_view tag) const;
  std::u16string DefaultData(std::u16string_view tag) const;
  void DropDefinitions();

  std::u16string hostFolder_;
  xml::Document definitions_;
  QLineEdit* tagEdit_;
  QLineEdit* indicatorEdit_;
  CWebBrowser2* browser_;
};
