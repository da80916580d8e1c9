// Pinyin of Chinese text: the stored polyphone rules of pinyin.ini and the seam through which
// CCvtCode::Gbk2Pinyin asks about a polyphone that no rule settles (the polyphone dialog by
// default).
//
// pinyin.ini: one section per polyphonic character, named by the character, with
//   prior=<reading>       the reading last confirmed in the dialog (preselected next time)
//   Surname=<reading>     the reading where a surname is expected
//   !=<reading>           the default, taken when the other readings' phrases do not match
//   <subfield>=<reading>  the reading kept for a subfield, e.g. 200$f=zeng
//   <reading>=<phrases>   phrases each followed by ";", e.g. hang=银行;行业;
#pragma once

#include <loomkit/export.h>

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace loomkit {

/// What the chooser is asked about one polyphone.
struct PolyphoneQuestion {
  char16_t character = 0;
  std::vector<std::u16string> readings;  // in table order
  std::u16string_view text;              // the whole input text
  size_t position = 0;                   // of the character in the text
  std::u16string subfield;               // e.g. "200$f"; may be empty
  bool surnameContext = false;
  std::string iniPath;  // pinyin.ini
};

struct PolyphoneAnswer {
  enum Outcome { Chosen, Cancelled, Stopped };
  Outcome outcome = Cancelled;
  std::u16string reading;    // Chosen
  bool alwaysFirst = false;  // Chosen: take the first reading of every later unresolved one
};

class LOOMKIT_API PolyphoneChooser {
 public:
  virtual ~PolyphoneChooser();
  virtual PolyphoneAnswer choose(const PolyphoneQuestion& question) = 0;
};

/// \brief Installs the chooser that Gbk2Pinyin asks (null: the polyphone dialog); returns the
/// previous one.
LOOMKIT_API PolyphoneChooser* SetPolyphoneChooser(PolyphoneChooser* chooser);
/// \brief The polyphone dialog as a chooser (runs CPolyphoneDlg modally).
LOOMKIT_API PolyphoneChooser& PolyphoneDialogChooser();

/// \brief Where pinyin.ini lives: beside the running program, or under QORVEL_HOME when that
/// folder cannot be written; a path set by SetPinyinIniPath wins.
LOOMKIT_API std::string PinyinIniPath();
/// \brief Puts pinyin.ini somewhere else (empty: back to the default place).
LOOMKIT_API void SetPinyinIniPath(const std::string& path);

/// \brief The readings of a pinyin table line (the text after the character's two bytes):
/// leading blanks skipped, readings ended by blanks or ';', first letters lower-cased.
LOOMKIT_API std::vector<std::u16string> SplitReadings(std::string_view tableLine);
/// \brief Whether the character at `position` stands where a surname is expected in the
/// given subfield (701$a, 702$a, "surname": first of the text; 200$f, 200$g also after
/// ",", "]", ", ", "] ", "，" or "］").
LOOMKIT_API bool IsSurnameContext(std::u16string_view subfield, std::u16string_view text, size_t position);
/// \brief Whether a phrase list ("a;b;") has a phrase that holds the character and stands in
/// the text so that its character falls on `position`.
LOOMKIT_API bool PhraseListMatches(std::u16string_view list, std::u16string_view text, size_t position);
/// \brief The reading the stored rules give the polyphone, or empty when they give none.
LOOMKIT_API std::u16string ResolvePolyphone(const PolyphoneQuestion& question);

}  // namespace loomkit
