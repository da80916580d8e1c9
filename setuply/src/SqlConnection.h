// The SQL Server addressing of SQLCommand: "server[/database]" and "user[/password]", and
// the connection text made from them.
#pragma once

#include <string>
#include <string_view>

namespace setuply {

/// \brief The connection text for `server` and `login` as the installer gives them: split at
/// the first "/", the database "master" and the password "" when not given.
std::u16string sqlConnectionText(std::u16string_view server, std::u16string_view login);

}  // namespace setuply
