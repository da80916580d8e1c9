// CWebBrowser2: the help pages of the field and sub-item dialogs.
#include "help_browser.h"

#include <platform/codepage.h>
#include <platform/paths.h>
#include <ui/win.h>

#include <QFile>
#include <QFileInfo>
#include <QStringDecoder>
#include <QUrl>

std::u16string penwick::HostFile(std::u16string_view hostFolder, const char* name) {
  return platform::pathToWide(platform::joinPath(platform::pathFromWide(hostFolder), name));
}

CWebBrowser2::CWebBrowser2(QWidget* parent) : QTextBrowser(parent) {
  // The pages only show codes to type in; links leave the page where it is.
  setOpenLinks(false);
  setOpenExternalLinks(false);
}

QString DecodeHtmlPage(const QByteArray& bytes) {
  QStringDecoder byPage = QStringDecoder::decoderForHtml(bytes);
  // decoderForHtml answers UTF-8 when it finds no mark and no charset: check that guess.
  if (byPage.isValid() && (bytes.startsWith("\xEF\xBB\xBF") || bytes.startsWith("\xFF\xFE") ||
                           bytes.startsWith("\xFE\xFF") || bytes.contains("charset"))) {
    QString text = byPage.decode(bytes);
    if (!byPage.hasError()) return text;
  }
  QStringDecoder utf8(QStringDecoder::Utf8);
  QString text = utf8.decode(bytes);
  if (!utf8.hasError()) return text;
  std::u16string wide = platform::toWide(0, std::string_view(bytes.constData(), size_t(bytes.size())));
  return ui::qs(wide);
}

void CWebBrowser2::Navigate(std::u16string_view url) {
  location_ = ui::qs(url);
  clear();
  if (location_.compare(QStringLiteral("about:blank"), Qt::CaseInsensitive) == 0) return;
  QUrl asUrl(location_);
  QString path = asUrl.isLocalFile() ? asUrl.toLocalFile() : location_;
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly)) return;
  // Relative images and style sheets of the page are found beside it.
  document()->setBaseUrl(QUrl::fromLocalFile(QFileInfo(path).absoluteFilePath()));
  setHtml(DecodeHtmlPage(file.readAll()));
}
