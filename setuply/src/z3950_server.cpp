// Z3950Server: the duplicate-check Z39.50 server, chosen in a one-page sheet and written
// into the installed product's Bibliora.ini and bin/Config.xml.
#include <setuply/Setuply.h>

#include "Pages.h"
#include "SetupHelperApp.h"

#include <com/create.h>
#include <platform/paths.h>
#include <platform/profile.h>
#include <platform/text.h>
#include <xml/dom.h>

namespace {

// Sets an attribute the element already has; one it lacks is not added.
void replaceAttribute(xml::Node& element, std::u16string_view name, std::u16string_view value) {
  if (xml::Node a = element.attributeNode(name)) a.setText(value);
}

}  // namespace

SETUPLY_API int Z3950Server(const char* installDir) {
  // An empty folder is the current one (a bare file name would mean the Windows directory).
  std::string dir = setuply::pathArg(installDir);
  if (dir.empty()) dir.push_back('.');
  const std::string ini = platform::joinPath(dir, "Bibliora.ini");
  const std::string config = platform::joinPath(platform::joinPath(dir, "bin"), "Config.xml");
  auto failed = [] {
    setuply::message(nullptr, QStringLiteral("添加Z39.50服务器信息未成功!"), ui::Icon::Information);
    return 0;
  };

  // A planted link under a file's name, or a write that fails, writes nothing and says so.
  auto cancelled = [&] {
    if (!setuply::staysInFolder(dir, ini) || !platform::writeProfileString(ini, u"Bibliora", u"Default", u"1"))
      return failed();
    return 2;
  };
  // Without a display the sheet cannot be shown: that counts as Cancel.
  if (!setuply::canShowDialog("Z3950Server")) return cancelled();
  CPropertySheet sheet(QStringLiteral("设置Z39.50查重服务器属性"), setuply::hostWindow());
  auto* page = new CPageZ39;
  sheet.AddPage(page);
  if (sheet.exec() != ui::IDOK) return cancelled();
  if (!setuply::staysInFolder(dir, ini) || !setuply::staysInFolder(dir, config) ||
      !platform::writeProfileString(ini, u"Bibliora", u"Default", u"0"))
    return failed();
  const std::u16string remoteHost = platform::format(u"%s:%ld", ui::toU16(page->m_strHost), page->m_nPort);
  com::CoInitialize(nullptr);

  xml::Document doc = xml::Document::create();
  doc.setPreserveWhiteSpace(true);
  if (!doc.load(config) || !doc.documentElement()) return failed();
  xml::Node zs = doc.documentElement().selectSingleNode(u"./ZServer");
  if (!zs) return 2;
  replaceAttribute(zs, u"RemoteHost", remoteHost);
  replaceAttribute(zs, u"User", ui::toU16(page->m_strAccount));
  replaceAttribute(zs, u"Password", ui::toU16(page->m_strPassword));
  replaceAttribute(zs, u"Database", ui::toU16(page->m_strDatabase));
  if (!doc.save(config)) return failed();
  return 2;
}
