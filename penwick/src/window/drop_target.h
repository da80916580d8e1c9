// CEditorDropTarget: text or a file dragged from another program onto the editor window is
// inserted at the point of the drop. Text travels as text/plain, files as text/uri-list.
// Dragging a selection within the editor is the window's own mouse handling, not this.
#pragma once

#include <QObject>
#include <QPoint>
#include <QPointer>
#include <QWidget>

#include <functional>
#include <string>
#include <string_view>

class QMimeData;
class QUrl;

class CEditorDropTarget : public QObject {
  Q_OBJECT
 public:
  /// Inserts text at a point of the window's client area (the window's DropText).
  using DropText = std::function<void(const QPoint& point, std::u16string_view text)>;

  /// Largest data block taken, in bytes with the terminating NUL counted.
  static constexpr int kMaxBlockBytes = 10239;
  /// Capacity of the text taken from one drop, in UTF-16 units with the NUL.
  static constexpr int kTextUnits = 10240;

  /// \brief Registers the window as a drop target; dropText does the insertion.
  CEditorDropTarget(QWidget* editor, DropText dropText);
  /// \brief Revokes the registration (when the window is still there).
  ~CEditorDropTarget() override;

  /// The MIME type of ANSI text (text/plain in the GBK family of charsets) that data
  /// offers; empty when it offers none.
  static QString AnsiFormat(const QMimeData& data);
  /// \brief The local path a file URL names, percent escapes decoded ("file://localhost/"
  /// and this machine's own name included); empty for any other URL.
  static std::u16string LocalPath(const QUrl& url);

  /// \brief Takes a drop: the path of the first local file of a URL list is inserted, but
  /// the drop still answers false; else Unicode text (text/plain) is inserted when its
  /// UTF-16 block fits, ANSI text when its bytes do (true); anything else false. Null data:
  /// the clipboard's.
  bool OnDrop(const QMimeData* data, const QPoint& point);

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  QPointer<QWidget> editor_;
  DropText dropText_;
};
