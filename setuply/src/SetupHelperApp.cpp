// The library's application object and the narrow-text conventions of its exports.
#include "SetupHelperApp.h"

#include <setuply/Setuply.h>

#include <platform/codepage.h>
#include <platform/text.h>
#include <ui/fonts.h>
#include <ui/translations.h>
#include <ui/win.h>

#include <QApplication>
#include <QLineEdit>
#include <QRegularExpressionValidator>

#include <cstdio>
#include <cstring>

namespace {
// Made when the library is loaded, as the installer loads it.
CSetupHelperApp theApp;
}

CSetupHelperApp::CSetupHelperApp() = default;
CSetupHelperApp::~CSetupHelperApp() = default;

bool CSetupHelperApp::InitGui() {
  if (QCoreApplication::instance()) return qobject_cast<QApplication*>(QCoreApplication::instance()) != nullptr;
  if (!setuply::displayAvailable()) return false;
  static int argc = 1;
  static char name[] = "Setuply";
  static char* argv[] = {name, nullptr};
  // Deliberately never deleted: the installer may call again, and a Qt application cannot
  // be made twice in one process.
  new QApplication(argc, argv);
  ui::installFonts();
  return true;
}

namespace setuply {

bool canShowDialog(const char* exportName) {
  if (theApp.InitGui()) {
    ui::loadQtTranslations();
    return true;
  }
  std::fprintf(stderr, "Setuply: %s: no display to show the dialog on; answered as Cancel\n", exportName);
  return false;
}

std::u16string wideArg(const char* text) { return text ? platform::toWide(platform::CP_ACP, text) : std::u16string(); }

std::string pathArg(const char* text) { return platform::toUtf8(wideArg(text)); }

void copyNarrow(const QString& text, char* buffer) {
  if (!buffer) return;
  std::string bytes = platform::toNarrow(platform::CP_ACP, ui::toU16(text));
  // Whole characters only, so the cut text is still valid GBK.
  const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
  const auto* end = p + bytes.size();
  size_t keep = 0;
  while (p + keep < end) {
    size_t n = platform::gbkCharLength(p + keep, end);
    if (keep + n > size_t(kSetuplyBufferSize - 1)) break;
    keep += n;
  }
  std::memcpy(buffer, bytes.data(), keep);
  buffer[keep] = '\0';
}

QLineEdit* limitToBuffer(QLineEdit* edit) {
  // A character takes at most two bytes in code page 936.
  edit->setMaxLength((kSetuplyBufferSize - 1) / 2);
  return edit;
}

QLineEdit* digitsOnly(QLineEdit* edit) {
  edit->setValidator(new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9]*")), edit));
  return edit;
}

int message(QWidget* parent, const QString& text, ui::Icon icon) {
  // A test's hook answers without any window, so it needs no display either.
  if (!ui::modalHook() && !theApp.InitGui()) {
    std::fprintf(stderr, "Setuply: %s\n", text.toUtf8().constData());
    return ui::IDOK;
  }
  return ui::messageBox(parent, text, QStringLiteral("Setuply"), icon, ui::MB_OK);
}

QWidget* hostWindow() { return QApplication::activeWindow(); }

}  // namespace setuply
