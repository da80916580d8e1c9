// The server list of a batch run: each entry is a database's resource path followed by the
// server options suffix "?p=user/password?r=yes|no?n=number", which carries the account, the
// reconnect choice and the ISBN rules of that server (tens digit of the number: 0 hyphens or
// not, 1 no hyphens, 2 hyphens; units digit: 0 unchanged, 1 ISBN-13, 2 ISBN-10).
#pragma once

#include <platform/text.h>

#include <cstdint>

using platform::u16;
using platform::u16v;

/// The suffix of an entry added to the list.
inline constexpr char16_t kDefaultServerSuffix[] = u"?p=public/?r=no?n=0";

struct ServerOptions {
  u16 path;              // the resource path that remains when the suffix is cut
  u16 user, password;    // empty when the entry has no "?p="
  bool reconnect = false;
  int32_t hyphenRule = 0;
  int32_t isbnRule = 0;
  bool hasAccount = false;  // the entry has "?p="
};

/// \brief Splits an entry: "?n=", then "?r=", then "?p=" are each looked for (first
/// occurrence) and cut off from the end; what remains is the resource path.
ServerOptions ParseServerEntry(u16v entry);
/// \brief The entry an options record stands for: path + "?p=user/password?r=yes|no?n=N".
u16 FormatServerEntry(const ServerOptions& options);
/// \brief What the main dialog lists: the entry up to its first "?p=" (all of it without one).
u16 ServerEntryDisplay(u16v entry);
/// \brief The decimal number a text starts with, read as the C library's wcstol reads it
/// (blanks, a sign, digits; 0 without digits), held within the range of a long.
int32_t LeadingNumber(u16v text);
/// \brief A new entry for a database: its path followed by the default suffix.
u16 NewServerEntry(u16v path);
