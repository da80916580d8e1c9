// CPenwickA: the ANSI interface of the editor. Texts are converted with the ANSI code
// page into the sizes the wide editor takes; the rest shares the wide class's behaviour.
#include <penwick/Penwick.h>

#include "penwick_handle.h"

#include <platform/codepage.h>

#include <algorithm>
#include <cstring>

using namespace penwick;

namespace {

// ANSI text into at most `units` UTF-16 units with its terminator: longer text is cut.
std::u16string wideOf(const char* s, size_t units) {
  if (!s) return {};
  std::u16string w = platform::toWide(platform::CP_ACP, s);
  if (w.size() > units - 1) w.resize(units - 1);
  return w;
}

}  // namespace

CPenwickA::CPenwickA() : m_pEditor(nullptr) {}
CPenwickA::CPenwickA(const CPenwickA& other) : m_pEditor(other.m_pEditor) {}
CPenwickA::~CPenwickA() { ReleaseWindow(m_pEditor, this); }

CPenwickA& CPenwickA::operator=(const CPenwickA& other) {
  m_pEditor = other.m_pEditor;
  return *this;
}

int CPenwickA::CreateEditor(QWidget* parent, int32_t x, int32_t y, int32_t width, int32_t height) {
  return CreateEditorOf(*this, parent, x, y, width, height);
}

int CPenwickA::AddField(const char* name, const char* data) {
  return m_pEditor ? m_pEditor->AddField(wideOf(name, 256), wideOf(data, 1024)) : 0;
}

int CPenwickA::SetFont(const LOGFONTA* font, int32_t colour) {
  if (!m_pEditor || !font) return 0;
  LOGFONTW w;
  static_cast<LOGFONTMETRICS&>(w) = *font;
  char face[LF_FACESIZE + 1] = {};
  std::memcpy(face, font->lfFaceName, LF_FACESIZE);
  std::u16string name = wideOf(face, LF_FACESIZE);
  std::copy(name.begin(), name.end(), w.lfFaceName);
  return m_pEditor->SetFont(w, COLORREF(colour));
}

void CPenwickA::GetFont(LOGFONTA* font, int32_t& colour) {
  if (!m_pEditor || !font) return;
  LOGFONTW w;
  COLORREF c = 0;
  m_pEditor->GetFont(w, c);
  static_cast<LOGFONTMETRICS&>(*font) = w;
  std::string face = platform::toNarrow(platform::CP_ACP, w.lfFaceName);
  // Cut to what 32 bytes hold with the NUL, never inside a two-byte character.
  size_t keep = 0;
  const auto* p = reinterpret_cast<const unsigned char*>(face.data());
  while (keep < face.size()) {
    size_t n = size_t(platform::gbkCharLength(p + keep, p + face.size()));
    if (keep + n > size_t(LF_FACESIZE - 1)) break;
    keep += n;
  }
  std::memset(font->lfFaceName, 0, LF_FACESIZE);
  std::memcpy(font->lfFaceName, face.data(), keep);
  colour = int32_t(c);
}

void CPenwickA::SetFormat(int32_t format, int32_t tagWidth) {
  SetFormatOf(m_pEditor, format, tagWidth);
}

void CPenwickA::GetFormat(int32_t& format, int32_t& tagWidth) {
  GetFormatOf(m_pEditor, format, tagWidth);
}

void CPenwickA::SetProperty(const char* text) {
  if (m_pEditor) m_pEditor->SetProperty(wideOf(text, 256));
}

void CPenwickA::SetCtrlZMenu(const char* source, const char* key) {
  if (m_pEditor) m_pEditor->SetCtrlZMenu(wideOf(source, 256), wideOf(key, 256));
}

int CPenwickA::SetCursorPos(int32_t field, int32_t subfield, int32_t offset) {
  return SetCursorPosOf(m_pEditor, field, subfield, offset);
}

int CPenwickA::SetText(const void* text, int32_t length, int32_t codePage) {
  return SetTextOf(m_pEditor, text, length, codePage);
}

int CPenwickA::GetText(void* buffer, int32_t& length, int32_t codePage) {
  return GetTextOf(m_pEditor, buffer, length, codePage);
}

int CPenwickA::MoveWindow(const RECT* rect) { return MoveWindowOf(m_pEditor, rect); }
