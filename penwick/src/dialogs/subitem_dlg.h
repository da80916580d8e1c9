// CSubItemDlg (27011): a help page with a list of codes beside an edit box for the code,
// and the two pickers of Dublin Core qualifier rows built on it (languages, MARC ids).
#pragma once

#include <ui/dialog.h>

#include <string>
#include <string_view>

class CFieldItem;
class CWebBrowser2;

class CSubItemDlg : public ui::Dialog {
  Q_OBJECT
 public:
  static constexpr int IDD = 27011;
  static constexpr int IDC_CODE = 27026;
  static constexpr int IDC_PROMPT = 27025;

  explicit CSubItemDlg(QWidget* parent = nullptr);

  /// Page shown beside the edit box.
  std::u16string pagePath;
  /// Window title; empty keeps "选择子项目".
  std::u16string caption;
  /// In: the edit box's first text; out (IDOK): its text at OK.
  std::u16string result;

  CWebBrowser2* browser() const { return browser_; }

 protected:
  void onInitDialog() override;
  void onOK() override;
  void onCancel() override;

 private:
  CWebBrowser2* browser_;
};

/// \brief Asks for a Lang or MarcID code on the item's row labelled `qualifier`, with the
/// page lang.htm or marcid.htm of hostFolder, starting from that row's text;
/// on OK writes the code into that row (SetQualifierRow). True when the row took a code.
bool PickQualifierCode(QWidget* parent, CFieldItem& item, std::u16string_view qualifier,
                       std::u16string_view hostFolder);
