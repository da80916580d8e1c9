// Character-set detection and decoding of the raw ISO 2709 records that a server sends.
//
// Servers send records in whatever their catalogue holds: UTF-8, the ANSI code page (GBK),
// or MARC 21 with ISO 8859-1 letters in some fields and GBK in its 880 fields. Every
// position these functions take from a record (directory entries, lengths, the 008 start,
// multi-byte sequences) is checked against the record's size before it is used.
#pragma once

#include <functional>
#include <string>
#include <string_view>

namespace z3950 {

/// Answers whether one byte belongs to the extended-Latin set.
using ExtLatinTest = std::function<bool(unsigned char)>;

/// \brief Replaces control bytes by blanks: in the leader every byte up to 0x1F, after it
/// every byte up to 0x1A (ESC and the ISO 2709 separators 1D, 1E, 1F stay). `offset` is the
/// position in its record of the first byte given.
void blankControlBytes(std::string& record, size_t offset = 0);

/// \brief True when the bytes begin as an ISO 2709 record by the toolkit's rule for a
/// record's start: digits in leader positions 0-4 and 12-16, no record terminator in the rest
/// of the leader, and digits in every length and start column of the directory (which runs
/// to the first field or record terminator, or to the end).
bool isIso2709Record(std::string_view record);

/// \brief True when every byte of 0x80 or more belongs to a complete UTF-8 sequence and at
/// least one such sequence occurs (pure ASCII fails).
bool passesUtf8Test(std::string_view record);

/// \brief True for a MARC 21 record whose 008 field (directory length "0041") has a
/// language code other than "chi" at offset 35; false whenever the 008 cannot be located
/// inside the record. The record's control bytes are taken as blanked: no terminator in its
/// leader ends the directory.
bool isNonChineseMarc21(std::string_view record);

/// \brief Decodes a record field by field: leader and directory in the ANSI code page, each
/// field (taken in storage order) as ISO 8859-1 when it holds an extended-Latin byte and is
/// not an 880, else in the ANSI code page; ends the text with U+001D.
std::u16string decodeFieldByField(std::string_view record, const ExtLatinTest& isExtLatin);

/// \brief The record's text: UTF-8 when it passes the UTF-8 test, field by field for a
/// non-Chinese MARC 21 record, else the ANSI code page.
std::u16string decodeRecord(std::string_view record, const ExtLatinTest& isExtLatin);

/// \brief What decodeRecord gives for the record with its control bytes blanked, as far as
/// the record's internal record text can hold it: leader, directory and the fields in
/// storage order, but no more fields than that text can take (kMaxTextFields) and no more of
/// a long field than its first kFieldBytesKept bytes (whole when it holds an escape, whose
/// segment may end further on). The text of a record of any size is then made from a few
/// hundred kilobytes at most, the same text as from the whole record.
std::u16string decodeForText(std::string_view record, const ExtLatinTest& isExtLatin);

/// Every field in internal record text costs at least this many counted characters
/// ("<field name=", its tag and the closing quote and bracket) of the 99,999 that the text
/// holds: more fields than 99,999 / 18 never reach it.
inline constexpr size_t kMaxTextFields = 99999 / 18 + 1;
/// Internal record text keeps 9,990 units of a field; they come from at most 3 bytes each
/// (two per unit in the ANSI code page, three for a UTF-8 character of one unit, four for
/// a pair of units), so 40,000 bytes of a field give them all.
inline constexpr size_t kFieldBytesKept = 40000;

}  // namespace z3950
