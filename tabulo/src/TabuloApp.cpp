// The application object, the scheme section of Sheetrix.ini and the scheme edit.
#include "TabuloApp.h"

#include <com/create.h>
#include <com/drivers/XlsFileDriver.h>
#include <platform/comerror.h>
#include <platform/paths.h>
#include <platform/profile.h>
#include <ui/modal.h>

#include <QString>

namespace {

CTabuloApp theApp;

// Scheme texts are read whole: a text cut on its way through the dialogs would be stored cut.
constexpr uint32_t kWholeValue = 32767;

platform::ProfileFile ini() { return platform::ProfileFile(tabuloApp().iniPath()); }

}  // namespace

CTabuloApp::CTabuloApp() : iniPath_(platform::joinPath(platform::programFolder(), "Sheetrix.ini")) {}

CTabuloApp& tabuloApp() { return theApp; }

std::vector<std::u16string> schemeNames() {
  std::vector<std::u16string> names;
  for (const std::u16string& line : platform::profileSection(ini(), kSchemeSection, 8192)) {
    if (line.empty()) break;
    names.push_back(line.substr(0, line.find(u'=')));
  }
  return names;
}

std::u16string schemeText(std::u16string_view name) {
  return platform::profileString(ini(), kSchemeSection, name, u"", kWholeValue);
}

bool writeSchemeText(std::u16string_view name, std::u16string_view text) {
  return platform::writeProfileString(ini(), kSchemeSection, name, text);
}

bool deleteScheme(std::u16string_view name) { return platform::deleteProfileKey(ini(), kSchemeSection, name); }

bool isValidSchemeName(std::u16string_view name) {
  size_t first = name.find_first_not_of(u" \t");
  if (first == std::u16string_view::npos) return false;
  if (name[first] == u';' || name[first] == u'[') return false;
  return name.find(u'=') == std::u16string_view::npos;
}

bool editScheme(QWidget* parent, std::u16string_view name, std::u16string_view sample) {
  std::u16string value = schemeText(name);
  com::CoInitialize(nullptr);
  CXlsFileDriver xls;
  if (!xls.CreateDispatch(u"Sheetrix.XlsFile")) {
    ui::messageBox(parent, QStringLiteral("无法创建Excel组件(Sheetrix.XlsFile)，请检查它是否已经安装!"), QString(),
                   ui::Icon::Warning);
    return false;
  }
  try {
    int32_t r = xls.Open(sample);
    if (r == -1) return false;
    if (r == 0) {
      ui::messageBox(parent, QStringLiteral("指定的Excel文件打开失败，或者内容为空!"), QString(), ui::Icon::Information);
      return false;
    }
    xls.SetScheme(value);
    xls.Configure();
    std::u16string text = xls.GetScheme();
    xls.Close();
    return writeSchemeText(name, text);
  } catch (const platform::ComError&) {
    // A component that fails a call leaves the stored scheme as it was.
    return false;
  }
}
