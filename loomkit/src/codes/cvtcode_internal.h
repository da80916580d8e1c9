// Code tables inside the toolkit: the embedded texts and the lookups over them.
//
// The tables are text (lines ended by CR LF, the whole text ended by two NUL bytes). Each
// lookup answers as "the first line that matches" would, through an index built once per
// process over the line starts; the texts themselves are never copied.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace loomkit::codetables {

enum Table { Codes = 0, Latin = 1, Pinyin = 2 };

/// The library's resources carry the tables by type and id: "Codes" is CODETABLE 5000,
/// "Latin" CODETABLE 5005, "Pinyin" PINYINTABLE 5001.
enum ResourceType { CODETABLE, PINYINTABLE };

struct TableResource {
  ResourceType type;
  int32_t id;
};

/// \brief The resource that carries a table.
constexpr TableResource resourceOf(Table t) {
  switch (t) {
    case Codes: return {CODETABLE, 5000};
    case Latin: return {CODETABLE, 5005};
    case Pinyin: return {PINYINTABLE, 5001};
  }
  return {CODETABLE, 0};
}

struct Embedded {
  const char* begin;
  size_t length;  // without the two closing NULs
};

/// \brief The embedded text of the resource of that type and id; {nullptr, 0} when the
/// library carries none (defined in res/tables.cpp).
Embedded embeddedTable(ResourceType type, int32_t id);

/// \brief The table text, NUL-terminated.
std::string_view tableText(Table t);

/// \brief The three EACC bytes (b1 << 16 | b2 << 8 | b3) of the first "Codes" line whose UCS-2
/// column is `c`, or 0 when none has it.
uint32_t eaccOf(char16_t c);
/// \brief The whole of eaccOf as a table of 0x10000 entries, for loops over many characters.
const uint32_t* eaccTable();
/// \brief The UCS-2 code of the "Codes" line for the EACC bytes, or 0 when there is none.
char16_t unicodeOfEacc(unsigned b1, unsigned b2, unsigned b3);
/// \brief The whole of unicodeOfEacc as a table, for loops over many codes: the entry of bytes
/// b1 b2 b3 (each 21-7E) stands at eaccIndex(b1, b2, b3).
const char16_t* unicodeOfEaccTable();
constexpr size_t eaccIndex(unsigned b1, unsigned b2, unsigned b3) {
  return ((b1 - 0x21) * 94 + (b2 - 0x21)) * 94 + (b3 - 0x21);
}
/// \brief The Unicode column of the "Latin" line for an extended-Latin byte, or 0.
char16_t unicodeOfLatin(unsigned char b);
/// \brief The "Pinyin" line of a GBK character after its two bytes ("     kao;yu"), without
/// its line end; empty when the bytes are not exactly one two-byte character with a line.
std::string_view pinyinLine(std::string_view gbkCharacter);
/// \brief The same for a UTF-16 character, converted to code page 936 first.
std::string_view pinyinLineFor(char16_t c);

/// \brief The EACC form of every UTF-16 unit, as the ISO 2709 writer gives it: a value of
/// 0x10000 or more is the three EACC bytes of a "Codes" character (b1 << 16 | b2 << 8 | b3), one
/// of 0x100 or more two bytes (lead << 8 | trail), any other one byte. ASCII is itself, U+00FC
/// the bytes E8 75; every other character outside the table has its code page 936 bytes where
/// they read back as the same character, and is "?" where they do not (surrogates included).
const uint32_t* eaccFormTable();

/// \brief One character to EACC as the ISO 2709 writer gives it (eaccFormTable). Returns the
/// byte count (1-3).
int unicodeToEacc(char16_t c, char out[3]);

}  // namespace loomkit::codetables
