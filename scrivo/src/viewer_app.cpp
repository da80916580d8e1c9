#include "viewer_app.h"

#include "viewer_dlg.h"

#include <loomkit/MarcFile.h>
#include <platform/text.h>
#include <ui/modal.h>

#include <QPainter>
#include <QPixmap>

int CViewerApp::InitInstance(const std::u16string& commandLine) {
  CViewerDlg dlg;
  if (!commandLine.empty()) dlg.commandLineFile = commandLine;
  ui::execDialog(dlg);
  return 0;
}

CMarcFile& ViewerReader() {
  static CMarcFile reader;
  return reader;
}

std::u16string CommandLineOf(int argc, char** argv) {
  std::u16string line;
  for (int i = 1; i < argc; ++i) {
    if (i > 1) line += u' ';
    line += platform::fromUtf8(argv[i]);
  }
  return line;
}

std::u16string RemoveQuotes(std::u16string_view text) {
  std::u16string out;
  out.reserve(text.size());
  for (char16_t c : text)
    if (c != u'"') out += c;
  return out;
}

std::string ViewerIniPath(std::string_view programPath) {
  std::string path(programPath);
  static constexpr std::string_view exe = ".exe";
  bool replaced = false;
  for (size_t at = path.find(exe); at != std::string::npos; at = path.find(exe, at + 4)) {
    path.replace(at, exe.size(), ".ini");
    replaced = true;
  }
  if (!replaced) path += ".ini";
  return path;
}

QIcon ViewerIcon() {
  // A card of a record file: a page with a folded corner and the letter M.
  QPixmap pm(32, 32);
  pm.fill(Qt::transparent);
  QPainter p(&pm);
  p.setRenderHint(QPainter::Antialiasing);
  QPolygon page({QPoint(5, 2), QPoint(21, 2), QPoint(27, 8), QPoint(27, 30), QPoint(5, 30)});
  p.setPen(QPen(QColor(40, 60, 120), 1.5));
  p.setBrush(QColor(250, 248, 236));
  p.drawPolygon(page);
  p.drawLine(21, 2, 21, 8);
  p.drawLine(21, 8, 27, 8);
  QFont f = p.font();
  f.setBold(true);
  f.setPixelSize(14);
  p.setFont(f);
  p.setPen(QColor(170, 30, 30));
  p.drawText(QRect(5, 10, 22, 18), Qt::AlignCenter, QStringLiteral("M"));
  return QIcon(pm);
}
