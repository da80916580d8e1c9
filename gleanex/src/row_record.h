// CJineiWriter: internal record text from spreadsheet rows, and the plain-text scanners
// over internal record text that the ISBN key extraction uses.
#pragma once

#include <platform/text.h>

#include <cstdint>

using platform::u16;
using platform::u16v;

class CJineiWriter {
 public:
  /// \brief Appends "<marc>" and the fixed header (leader blanks written as U+0011).
  static void Header(u16& out);
  /// \brief Appends a data field with two blank indicators and one subfield; the text is
  /// escaped with Escape.
  static void Field(u16& out, u16v tag, u16v code, u16v text);
  /// \brief Appends a control field; its text goes in unchanged.
  static void ControlField(u16& out, u16v tag, u16v text);
  /// \brief The text without trailing white space, with the content escape applied.
  static u16 Escape(u16v text);
  /// \brief Appends "</marc>".
  static void Close(u16& out);

  /// \brief Finds `<field name="tag"` from `pos`: pos moves to its start and the answer is
  /// the length up to and including the next "</field>" (0 when there is none); pos becomes
  /// -1 when the field is not found.
  static int32_t FindField(u16v text, int32_t& pos, u16v tag);
  /// \brief The same for `<sf name="code">` and "</sf>".
  static int32_t FindSubField(u16v text, int32_t& pos, u16v code);
  /// \brief The text of a subfield after its start tag and before "</sf>", unescaped; empty
  /// when either marker is missing.
  static u16 SubFieldValue(u16v subfield);
};

/// \brief The record text of a spreadsheet row (XML, one child element per column); empty
/// when the row does not parse.
u16 RowToRecordText(u16v row);
