// CPenwick: the UTF-16 interface of the editor. Every call forwards to the editor window;
// a handle without one (CreateEditor not called or failed) answers 0 and does nothing.
#include <penwick/Penwick.h>

#include "penwick_handle.h"

#include <platform/text.h>

using namespace penwick;

namespace {
std::u16string_view textOf(const char16_t* s) { return s ? std::u16string_view(s) : std::u16string_view(); }
}  // namespace

QWidget* PenwickWidget(CEditorWnd* editor) { return editor; }

CPenwick::CPenwick() : m_pEditor(nullptr) {}
CPenwick::CPenwick(const CPenwick& other) : m_pEditor(other.m_pEditor) {}
CPenwick::~CPenwick() { ReleaseWindow(m_pEditor, this); }

CPenwick& CPenwick::operator=(const CPenwick& other) {
  m_pEditor = other.m_pEditor;
  return *this;
}

int CPenwick::CreateEditor(QWidget* parent, int32_t x, int32_t y, int32_t width, int32_t height) {
  return CreateEditorOf(*this, parent, x, y, width, height);
}

int CPenwick::AddField(const char16_t* name, const char16_t* data) {
  return m_pEditor ? m_pEditor->AddField(textOf(name), textOf(data)) : 0;
}

int CPenwick::SetFont(const LOGFONTW* font, int32_t colour) {
  return m_pEditor && font ? m_pEditor->SetFont(*font, COLORREF(colour)) : 0;
}

void CPenwick::GetFont(LOGFONTW* font, int32_t& colour) {
  if (!m_pEditor || !font) return;
  COLORREF c = 0;
  m_pEditor->GetFont(*font, c);
  colour = int32_t(c);
}

void CPenwick::SetFormat(int32_t format, int32_t tagWidth) {
  SetFormatOf(m_pEditor, format, tagWidth);
}

void CPenwick::GetFormat(int32_t& format, int32_t& tagWidth) {
  GetFormatOf(m_pEditor, format, tagWidth);
}

void CPenwick::SetProperty(const char16_t* text) {
  if (m_pEditor) m_pEditor->SetProperty(textOf(text));
}

void CPenwick::SetCtrlZMenu(const char16_t* source, const char16_t* key) {
  if (m_pEditor) m_pEditor->SetCtrlZMenu(textOf(source), textOf(key));
}

int CPenwick::SetCursorPos(int32_t field, int32_t subfield, int32_t offset) {
  return SetCursorPosOf(m_pEditor, field, subfield, offset);
}

int CPenwick::SetText(const void* text, int32_t length, int32_t codePage) {
  return SetTextOf(m_pEditor, text, length, codePage);
}

int CPenwick::GetText(void* buffer, int32_t& length, int32_t codePage) {
  return GetTextOf(m_pEditor, buffer, length, codePage);
}

int CPenwick::MoveWindow(const RECT* rect) { return MoveWindowOf(m_pEditor, rect); }

int CPenwick::GetSelectedText(char16_t* buffer, int32_t& capacity) {
  return m_pEditor ? m_pEditor->GetSelectedText(buffer, capacity) : 0;
}
