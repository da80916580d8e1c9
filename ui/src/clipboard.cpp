#include <ui/clipboard.h>

#include <ui/win.h>

#include <QClipboard>
#include <QGuiApplication>
#include <QMetaObject>
#include <QMimeData>
#include <QThread>

namespace ui {

QString mimeOfFormat(unsigned format) {
  switch (format) {
    case CF_TEXT:
    case CF_UNICODETEXT: return QStringLiteral("text/plain");
    case CF_HDROP: return QStringLiteral("text/uri-list");
    default: return QString();
  }
}

void runOnGuiThread(const std::function<void()>& f) {
  QCoreApplication* app = QCoreApplication::instance();
  if (!app || app->thread() == QThread::currentThread()) {
    f();
    return;
  }
  QMetaObject::invokeMethod(app, f, Qt::BlockingQueuedConnection);
}

void setClipboardText(const QString& text) {
  runOnGuiThread([&] { QGuiApplication::clipboard()->setText(text); });
}

QString clipboardText() {
  QString t;
  runOnGuiThread([&] { t = QGuiApplication::clipboard()->text(); });
  return t;
}

bool clipboardHas(unsigned format) {
  QString mime = mimeOfFormat(format);
  if (mime.isEmpty()) return false;
  bool has = false;
  runOnGuiThread([&] {
    const QMimeData* d = QGuiApplication::clipboard()->mimeData();
    has = d && d->hasFormat(mime);
  });
  return has;
}

void setClipboardData(const QString& mime, const QByteArray& data) {
  runOnGuiThread([&] {
    auto* d = new QMimeData;
    d->setData(mime, data);
    QGuiApplication::clipboard()->setMimeData(d);
  });
}

QByteArray clipboardData(const QString& mime) {
  QByteArray out;
  runOnGuiThread([&] {
    if (const QMimeData* d = QGuiApplication::clipboard()->mimeData()) out = d->data(mime);
  });
  return out;
}

}  // namespace ui
