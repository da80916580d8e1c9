// CTabuloApp: the library's application object; it holds the path of Sheetrix.ini and the
// few profile operations the dialogs share.
#pragma once

#include <platform/text.h>

#include <string>
#include <vector>

class QWidget;

class CTabuloApp {
 public:
  /// Built when the library is loaded: Sheetrix.ini in the folder of the host program.
  CTabuloApp();
  const std::string& iniPath() const { return iniPath_; }

 private:
  std::string iniPath_;
};

/// \brief The one application object of the library.
CTabuloApp& tabuloApp();

/// The section of Sheetrix.ini that holds the schemes: one key per scheme name.
inline constexpr char16_t kSchemeSection[] = u"转换方案";

/// \brief The names of the schemes in file order, as the section reads into 8,192 characters.
std::vector<std::u16string> schemeNames();
/// \brief A scheme's text, "" when it has none.
std::u16string schemeText(std::u16string_view name);
bool writeSchemeText(std::u16string_view name, std::u16string_view text);
bool deleteScheme(std::u16string_view name);
/// \brief True when a name can be a key of the section: not blank, no "=" (it would end the
/// key), not starting with ";" or "[" (a comment or a section line).
bool isValidSchemeName(std::u16string_view name);

/// \brief Configures scheme `name` on spreadsheet `sample` through Sheetrix.XlsFile and stores
/// the resulting scheme text; true when the text was written.
bool editScheme(QWidget* parent, std::u16string_view name, std::u16string_view sample);
