// The caret as the window draws it: shown or hidden, two pixels wide and as high as the
// text. Where it stands (row, column and the x that vertical moves aim at) belongs to the
// editing state (CRowEditor), which moves it without a window; this is the drawn half of
// the editor's caret.
#pragma once

#include <QRect>

class CEditorWnd;

class CEditorCaret {
 public:
  explicit CEditorCaret(const CEditorWnd* editor) : editor_(editor) {}

  /// \brief Shows the caret (when its row is on the screen and the window has the focus).
  void Create() { shown_ = true; }
  /// \brief Hides it: while scrolled off, while a menu or picker is open.
  void Destroy() { shown_ = false; }
  void Show(bool on) { shown_ = on; }
  bool Shown() const { return shown_; }
  /// \brief Where it is drawn, in widget coordinates; empty when it is not drawn.
  QRect Rect() const;

 private:
  const CEditorWnd* editor_;
  bool shown_ = true;
};
