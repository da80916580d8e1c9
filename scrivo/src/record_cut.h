// Whether the viewer shows a record whole. The toolkit makes a record's internal record text
// of whole elements within a budget of 99,999 characters and cuts every field at 9,990: a
// longer record loses its later subfields and fields, without a word. The viewer compares
// what the shown text holds with the record in the file, and says so when anything is left
// out.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace platform {
class CFile;
}

namespace scrivo {

/// What a record's internal record text holds: fields after the leader, subfields of its
/// data fields, and whether a field was longer than the toolkit's 9,990 characters.
struct RecordExtent {
  int32_t fields = 0;
  int32_t subfields = 0;
  bool longField = false;
};

/// \brief What the internal record text of a whole UTF-16 ISO 2709 record holds, by the
/// toolkit's rules (directory sorted by start, fields paired with the data pieces in data
/// order, two delimiters in a row giving no subfield).
RecordExtent ExtentOfRecord(std::u16string_view record);
/// \brief What internal record text holds.
RecordExtent ExtentOfText(std::u16string_view text);
/// \brief The record that ends right before `end` in `file`, read in the file's form
/// (`codePage` as the reader detected it) as UTF-16 from its leader on; the file's position
/// is kept. Empty when no record stands there.
std::u16string RecordEndingAt(platform::CFile& file, int64_t end, int32_t codePage);

}  // namespace scrivo
