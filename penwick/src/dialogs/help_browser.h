// The help pane of the editor's dialogs: a page viewer bound to control 27018 whose one
// operation is Navigate. The pages are local HTML files beside the host program, so a
// rich-text browser shows them; "about:blank" empties it.
#pragma once

#include <QTextBrowser>

#include <string_view>

#include <string>

namespace penwick {
/// Id of the page viewer in the field and sub-item dialogs.
constexpr int IDC_WEB_BROWSER = 27018;
/// \brief The path of one of the editor's files (lang.ini, marcfld.htm ...) in hostFolder.
std::u16string HostFile(std::u16string_view hostFolder, const char* name);
}  // namespace penwick

class CWebBrowser2 : public QTextBrowser {
  Q_OBJECT
 public:
  explicit CWebBrowser2(QWidget* parent = nullptr);

  /// \brief Shows the page at url: a local file path or file: URL, or "about:blank" for an
  /// empty page. A missing or unreadable file shows an empty page.
  void Navigate(std::u16string_view url);
  /// \brief The last address given to Navigate.
  const QString& LocationURL() const { return location_; }

 private:
  QString location_;
};

/// \brief The text of an HTML file's bytes: by byte-order mark or the charset its meta tag
/// names, else UTF-8 when the bytes are valid UTF-8, else the ANSI code page (GBK).
QString DecodeHtmlPage(const QByteArray& bytes);
