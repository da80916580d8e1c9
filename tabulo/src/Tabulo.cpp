// The library's one export.
#include <tabulo/Tabulo.h>

#include "SchemeListDlg.h"

#include <ui/translations.h>

#include <QApplication>

int32_t ConfigTabulo(const char16_t* schemeName, const char16_t* sampleFile) {
  ui::loadQtTranslations();
  CSchemeListDlg dlg(QApplication::activeWindow());
  dlg.m_strScheme = schemeName ? schemeName : u"";
  dlg.m_strSample = sampleFile ? sampleFile : u"";
  return dlg.exec();
}
