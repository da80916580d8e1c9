// CCvtCode: the toolkit's code tables (EACC, extended Latin, GBK to pinyin) and their lookups.
#pragma once

#include <loomkit/export.h>

#include <cstdint>

class LOOMKIT_API CCvtCode {
 public:
  /// \brief Chooses the table "Codes", "Latin" or "Pinyin" (any letter case); any other
  /// name chooses none, and every operation then answers 0.
  explicit CCvtCode(const char16_t* tableName);
  virtual ~CCvtCode();

  /// \brief One UTF-16 character to EACC in `output` (at least 3 bytes): ASCII as one byte,
  /// U+00FC as E8 75, a character of the table as its 3 EACC bytes, any other as its ANSI code
  /// page bytes, or "?" when that code page does not hold it. Returns the byte count (0-3).
  int32_t Unicode2Eacc(const char16_t* character, char* output);
  /// \brief EACC text (one 16-bit unit per byte, NUL-terminated) to UTF-16 in `output`,
  /// NUL-terminated. Codes missing from the table, and an incomplete last group, are
  /// dropped. Returns the characters written; 0 with nothing written when the result and
  /// its NUL do not fit `size` units.
  int32_t Eacc2Unicode(const char16_t* eacc, char16_t* output, int32_t size);
  /// \brief 1 when the byte is in the extended-Latin table (88-FE).
  int IsExtLatin(const char* byte);

  /// \brief The pinyin of `text` into `output` (capacity `outputSize` units, NUL included):
  /// syllables separated by U+0011, polyphones settled by pinyin.ini or the polyphone
  /// chooser. Case mode 0 capitalises the first syllable, 1 every syllable, others none.
  /// Returns the characters written; -1 when the user stopped (the output then holds what
  /// was done so far); 0 when this object has no pinyin table or the result does not fit
  /// (the output is then emptied).
  int32_t Gbk2Pinyin(int32_t caseMode, const char16_t* text, const char16_t* subfield,
                     char16_t* output, int32_t outputSize);

 private:
  const char* table;  // the chosen table's embedded text, or null
  int32_t alwaysFirstReading;
};
