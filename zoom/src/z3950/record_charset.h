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
/// every byte up to 0x1A (ESC and the ISO 2709 separators 1D, 1E, 1F stay).
void blankControlBytes(std::string& record);

/// \brief True when every byte of 0x80 or more belongs to a complete UTF-8 sequence and at
/// least one such sequence occurs (pure ASCII fails).
bool passesUtf8Test(std::string_view record);

/// \brief True for a MARC 21 record whose 008 field (directory length "0041") has a
/// language code other than "chi" at offset 35; false whenever the 008 cannot be located
/// inside the record.
bool isNonChineseMarc21(std::string_view record);

/// \brief Decodes a record field by field: leader and directory in the ANSI code page, each
/// field (taken in storage order) as ISO 8859-1 when it holds an extended-Latin byte and is
/// not an 880, else in the ANSI code page; ends the text with U+001D.
std::u16string decodeFieldByField(std::string_view record, const ExtLatinTest& isExtLatin);

/// \brief The record's text: UTF-8 when it passes the UTF-8 test, field by field for a
/// non-Chinese MARC 21 record, else the ANSI code page.
std::u16string decodeRecord(std::string_view record, const ExtLatinTest& isExtLatin);

}  // namespace z3950
