// CPenwick and CPenwickA: a host program's handle on one record editor in one of its
// windows. CPenwick takes UTF-16 text, CPenwickA ANSI text; each forwards to its editor
// window. The handle that created the window deletes it (unless the parent widget has
// deleted it already); copies share the window without owning it and must not be used after
// the owner has gone (hold one handle and do not copy it).
#pragma once

#include <penwick/export.h>
#include <penwick/notify.h>
#include <penwick/wintypes.h>

#include <cstdint>

class QWidget;
class CEditorWnd;

class PENWICK_API CPenwick {
 public:
  CPenwick();
  CPenwick(const CPenwick& other);
  virtual ~CPenwick();
  CPenwick& operator=(const CPenwick& other);

  /// \brief Creates the editor as a child of parent at (x, y) with the given outer size;
  /// non-zero on success, 0 when the window could not be made.
  int CreateEditor(QWidget* parent, int32_t x, int32_t y, int32_t width, int32_t height);
  /// \brief Appends a field (MARC: tag, indicators and data) or element (Dublin Core:
  /// name, value and ESC qualifier segments); 1.
  int AddField(const char16_t* name, const char16_t* data);
  /// \brief Sets the font and text colour; 1, or 0 when the record has no rows (the font
  /// is kept all the same).
  int SetFont(const penwick::LOGFONTW* font, int32_t colour);
  /// \brief The font and colour last given to SetFont (12-point 宋体 and black before).
  void GetFont(penwick::LOGFONTW* font, int32_t& colour);
  /// \brief Format 0 MARC, 1 Dublin Core; a tag width above 0 becomes the tag column width.
  void SetFormat(int32_t format, int32_t tagWidth);
  /// \brief The stored format and requested tag width.
  void GetFormat(int32_t& format, int32_t& tagWidth);
  /// \brief The property INI file's path, or name "::=" value ("defsheet": the field
  /// definition file).
  void SetProperty(const char16_t* text);
  /// \brief The default-value source and key behind Ctrl+Z (each up to 255 characters).
  void SetCtrlZMenu(const char16_t* source, const char16_t* key);
  /// \brief Moves the caret to (field, subfield or qualifier, offset); 0 when there is no
  /// such place.
  int SetCursorPos(int32_t field, int32_t subfield, int32_t offset);
  /// \brief Replaces the record: codePage -1 reads length UTF-16 units, any other code
  /// page length bytes; 1.
  int SetText(const void* text, int32_t length, int32_t codePage);
  /// \brief Writes the record into buffer: length in = capacity (units for -1, else bytes),
  /// out = text length, -1 when it does not fit; 1.
  int GetText(void* buffer, int32_t& length, int32_t codePage);
  /// \brief Moves the editor to the rectangle and repaints; 1.
  int MoveWindow(const penwick::RECT* rect);
  /// \brief Copies the selection (cut to capacity - 1 units) with its NUL; 0 when nothing
  /// is selected.
  int GetSelectedText(char16_t* buffer, int32_t& capacity);

  /// The editor's child window (null until CreateEditor).
  CEditorWnd* m_pEditor;
};

class PENWICK_API CPenwickA {
 public:
  CPenwickA();
  CPenwickA(const CPenwickA& other);
  virtual ~CPenwickA();
  CPenwickA& operator=(const CPenwickA& other);

  int CreateEditor(QWidget* parent, int32_t x, int32_t y, int32_t width, int32_t height);
  /// \brief AddField with ANSI name (up to 255 units) and data (up to 1023 units).
  int AddField(const char* name, const char* data);
  int SetFont(const penwick::LOGFONTA* font, int32_t colour);
  void GetFont(penwick::LOGFONTA* font, int32_t& colour);
  void SetFormat(int32_t format, int32_t tagWidth);
  void GetFormat(int32_t& format, int32_t& tagWidth);
  void SetProperty(const char* text);
  void SetCtrlZMenu(const char* source, const char* key);
  int SetCursorPos(int32_t field, int32_t subfield, int32_t offset);
  int SetText(const void* text, int32_t length, int32_t codePage);
  int GetText(void* buffer, int32_t& length, int32_t codePage);
  int MoveWindow(const penwick::RECT* rect);

  /// The editor's child window (null until CreateEditor).
  CEditorWnd* m_pEditor;
};

/// \brief The editor window as a widget (to give it the focus, for instance); null for null.
PENWICK_API QWidget* PenwickWidget(CEditorWnd* editor);
