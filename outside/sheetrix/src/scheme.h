// The conversion scheme: which spreadsheet column becomes which MARC field and subfield.
//
// Scheme text, as GetScheme gives it and SetScheme takes it, one line:
//
//     header=1;A=200a;B=200f;D=010a;F=001
//
// - Entries are separated by ";"; each is name "=" value; blanks around both are dropped and
//   names compare without regard to case.
// - "header": 1 when the first non-blank row of the sheet holds column captions (it is then
//   not read as data), 0 otherwise.
// - A column, named by its letters as the spreadsheet shows them (A ... Z, AA ... XFD):
//   a field tag of three digits followed by a subfield code (a letter or digit, letters
//   kept lower case), or the tag alone for a control field (001 ... 009). Columns not named are
//   read but not converted.
// - Entries that are none of these, or whose value is not a valid field, are skipped, so a
//   damaged or cut text still applies what it can. The main program reads a stored scheme
//   into 256 characters; about 35 mapped columns fit in that.
//
// GetScheme always writes "header=" first and then the columns in column order.
//
// An empty scheme text asks the component to guess: when the first row holds captions that
// read as fields ("200a", "200$a", "200 a", "001"), it is a header row and those columns
// are mapped; otherwise no column is.
#pragma once

#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace sheetrix {

/// Where a column goes: tag (three digits) and subfield code (none for a control field).
struct FieldTarget {
  std::string tag;
  char code = 0;
  /// \brief "200a" or "001".
  std::string label() const { return code ? tag + code : tag; }
  bool operator==(const FieldTarget&) const = default;
};

struct Scheme {
  bool header = false;
  std::map<int, FieldTarget> columns;  // by column index from 0

  /// \brief The scheme text of the format above.
  std::string text() const;
  /// \brief Reads a scheme text (bad entries skipped).
  static Scheme parse(std::string_view text);
  /// \brief The guess for an empty scheme text, from the first row of the sheet.
  static Scheme guess(const std::vector<std::string>& firstRow);
};

/// \brief A field as a user or a caption writes it: "200a", "200$a", "200 $a", "001";
/// nothing when it is not one.
std::optional<FieldTarget> parseField(std::string_view text);
/// \brief Column letters of a column index (0 -> "A", 26 -> "AA").
std::string columnName(int index);
/// \brief Column index of column letters (either case); -1 when they are not a column
/// (beyond XFD or not letters).
int columnIndex(std::string_view letters);

}  // namespace sheetrix
