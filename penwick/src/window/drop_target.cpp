// CEditorDropTarget: the drag events of the editor window.
#include "drop_target.h"

#include "field_item.h"

#include <platform/codepage.h>
#include <ui/win.h>

#include <QClipboard>
#include <QDragEnterEvent>
#include <QDragMoveEvent>
#include <QDropEvent>
#include <QGuiApplication>
#include <QMimeData>
#include <QSysInfo>
#include <QUrl>

#include <string>

CEditorDropTarget::CEditorDropTarget(QWidget* editor, DropText dropText)
    : editor_(editor), dropText_(std::move(dropText)) {
  if (!editor_) return;
  editor_->setAcceptDrops(true);
  editor_->installEventFilter(this);
}

CEditorDropTarget::~CEditorDropTarget() {
  if (!editor_) return;
  editor_->removeEventFilter(this);
  editor_->setAcceptDrops(false);
}

std::u16string CEditorDropTarget::LocalPath(const QUrl& url) {
  if (!url.isLocalFile()) return {};
  // "file://localhost/..." (or this machine's name) names a file of this machine; Qt would
  // make a network path "//localhost/..." of it.
  QUrl local(url);
  const QString host = url.host();
  if (host.compare(QStringLiteral("localhost"), Qt::CaseInsensitive) == 0 ||
      host.compare(QSysInfo::machineHostName(), Qt::CaseInsensitive) == 0)
    local.setHost(QString());
  return ui::toU16(local.toLocalFile());
}

bool CEditorDropTarget::OnDrop(const QMimeData* data, const QPoint& point) {
  if (!data) data = QGuiApplication::clipboard()->mimeData();
  if (!data) return false;
  // Files first: a file manager offers dropped files both as a list of URLs and as plain
  // text of those URLs, and a file drops as its path, not as "file:///...".
  for (const QUrl& url : data->hasUrls() ? data->urls() : QList<QUrl>()) {
    std::u16string path = LocalPath(url);
    if (path.empty()) continue;
    path.resize(penwick::WholeCharacters(path, kTextUnits - 1));
    if (dropText_) dropText_(point, path);
    // The path is inserted, yet the drop answers that nothing was taken.
    return false;
  }
  // Asked by format: hasText() also answers true for a list of URLs.
  if (data->hasFormat(QStringLiteral("text/plain"))) {
    QString text = data->text();
    // The text runs up to its first NUL, as a text block does.
    qsizetype nul = text.indexOf(QChar(u'\0'));
    if (nul >= 0) text.truncate(nul);
    if ((text.size() + 1) * 2 > kMaxBlockBytes) return false;
    if (dropText_) dropText_(point, ui::toU16(text));
    return true;
  }
  // ANSI text: its block is counted in its own bytes (GBK: one or two a character), not
  // in the UTF-16 units it becomes.
  const QString ansi = AnsiFormat(*data);
  if (!ansi.isEmpty()) {
    QByteArray bytes = data->data(ansi);
    qsizetype nul = bytes.indexOf('\0');
    if (nul >= 0) bytes.truncate(nul);
    if (bytes.size() + 1 > kMaxBlockBytes) return false;
    std::u16string text = platform::toWide(platform::CP_ACP, std::string_view(bytes.constData(), size_t(bytes.size())));
    text.resize(penwick::WholeCharacters(text, kTextUnits - 1));
    if (dropText_) dropText_(point, text);
    return true;
  }
  return false;
}

QString CEditorDropTarget::AnsiFormat(const QMimeData& data) {
  for (const QString& format : data.formats()) {
    const QString f = format.toLower().remove(QLatin1Char(' '));
    for (const char* charset : {"gbk", "gb2312", "gb18030", "cp936", "windows-936"})
      if (f == QStringLiteral("text/plain;charset=") + QLatin1String(charset)) return format;
  }
  return QString();
}

bool CEditorDropTarget::eventFilter(QObject* watched, QEvent* event) {
  if (watched != editor_) return false;
  switch (event->type()) {
    case QEvent::DragEnter:
    case QEvent::DragMove: {
      // Every drag is offered a copy, wherever it is: the window never scrolls under it.
      auto* e = static_cast<QDragMoveEvent*>(event);
      e->setDropAction(Qt::CopyAction);
      e->accept();
      return true;
    }
    case QEvent::DragLeave:
      return true;
    case QEvent::Drop: {
      auto* e = static_cast<QDropEvent*>(event);
      if (OnDrop(e->mimeData(), e->position().toPoint())) {
        e->setDropAction(Qt::CopyAction);
        e->accept();
      } else {
        e->setDropAction(Qt::IgnoreAction);
        e->ignore();
      }
      return true;
    }
    default:
      return false;
  }
}
