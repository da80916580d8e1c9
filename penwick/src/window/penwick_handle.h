// The members that CPenwick and CPenwickA share: the same argument types in both classes,
// so the narrow class passes and receives the same bytes as the wide one. A handle without
// a window (CreateEditor not called, or failed) answers 0 and does nothing.
#pragma once

#include "editor_window.h"
#include "penwick_app.h"

#include <ui/translations.h>

namespace penwick {

/// \brief Records that `handle` made `window` and deletes it with itself.
void SetWindowOwner(const CEditorWnd* window, const void* handle);
/// \brief Called by a window that is being destroyed (by its handle or by its parent).
void ForgetWindow(const CEditorWnd* window);
/// \brief Deletes the window when `handle` owns it and it still exists; copies do nothing.
void ReleaseWindow(CEditorWnd* window, const void* handle);

template <class Handle>
int CreateEditorOf(Handle& h, QWidget* parent, int32_t x, int32_t y, int32_t width, int32_t height) {
  if (h.m_pEditor) return 0;  // one window per handle
  ui::loadQtTranslations();
  auto* editor = new CEditorWnd(PenwickHostFolder());
  int result = editor->Create(parent, x, y, width, height);
  if (!result) {
    delete editor;
    return 0;
  }
  h.m_pEditor = editor;
  SetWindowOwner(editor, &h);
  return result;
}

inline void SetFormatOf(CEditorWnd* w, int32_t format, int32_t tagWidth) {
  if (w) w->SetFormat(format, tagWidth);
}
inline void GetFormatOf(CEditorWnd* w, int32_t& format, int32_t& tagWidth) {
  if (w) w->GetFormat(format, tagWidth);
}
inline int SetCursorPosOf(CEditorWnd* w, int32_t field, int32_t subfield, int32_t offset) {
  return w ? w->SetCursorPos(field, subfield, offset) : 0;
}
inline int SetTextOf(CEditorWnd* w, const void* text, int32_t length, int32_t codePage) {
  return w ? w->SetText(text, length, codePage) : 0;
}
inline int GetTextOf(CEditorWnd* w, void* buffer, int32_t& length, int32_t codePage) {
  return w ? w->GetText(buffer, length, codePage) : 0;
}
inline int MoveWindowOf(CEditorWnd* w, const RECT* rect) { return w ? w->MoveWindow(rect) : 0; }

}  // namespace penwick
