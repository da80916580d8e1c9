// The drawn caret.
#include "editor_caret.h"

#include "editor_window.h"

QRect CEditorCaret::Rect() const {
  if (!(shown_ && editor_->hasFocus() && editor_->IsShown(editor_->caretRow))) return QRect();
  // Client coordinates start inside the one-pixel border.
  return QRect(1 + editor_->CaretX(), 1 + editor_->CaretY(), CEditorLayout::kCaretWidth,
               editor_->Layout().TextHeight());
}
