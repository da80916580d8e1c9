// The internal record text as the suite's parts hand it to each other: the record prefix that
// goes in front of "<marc>" wherever a record text travels through an automation interface,
// and the size of the buffer that holds one record's text. The toolkit's own classes neither
// add nor skip the prefix; the record objects of the servers add it, their callers skip it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace loomkit {

/// The record prefix that every record text fetched from or stored into a server carries.
inline constexpr std::u16string_view kRecordPrefix = u"FFFFFFFF";
/// Its length: a fetched text's record text starts this many characters in (8).
inline constexpr size_t kRecordPrefixLength = kRecordPrefix.size();

/// The buffer that holds one record's text, in UTF-16 units with the terminating NUL: a
/// record text that does not fit it is not taken (an ISO 2709 record stays below 100,000
/// characters).
inline constexpr int32_t kRecordBufferSize = 100000;

}  // namespace loomkit
