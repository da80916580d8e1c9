// From the OLE DB connection text that callers of ADODB.Connection give ("Provider=SQLOLEDB.1;
// User ID=...;Password=...;Initial Catalog=...;Data Source=...;") to the ODBC connection text
// that opens the same SQL Server database.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace ado {

/// The parts of an OLE DB connection text that a SQL Server connection uses.
struct OleDbConnection {
  std::u16string provider;
  std::u16string userId;
  std::u16string password;
  std::u16string catalog;
  std::u16string dataSource;
};

/// \brief The key/value pairs of an OLE DB connection text (keys without regard to case,
/// values optionally in single or double quotes); null when the text is malformed.
std::optional<OleDbConnection> parseOleDbText(std::u16string_view text);

/// \brief True for the providers this connection opens: SQLOLEDB and SQLOLEDB.1.
bool isSqlServerProvider(std::u16string_view provider);

/// \brief A value as an ODBC attribute value: in braces (with "}" doubled) when it holds a
/// character that would otherwise end or break it.
std::u16string odbcValue(std::u16string_view value);

/// \brief `pattern` with %SERVER%, %HOST%, %PORT%, %DATABASE%, %UID% and %PWD% replaced by
/// the connection's values, each written as an ODBC attribute value. %HOST% and %PORT% are
/// the data source's host and port ("host,port", default 1433 unless an instance is named;
/// "(local)" and "." are the local host).
std::u16string expandOdbcPattern(std::u16string_view pattern, const OleDbConnection& c);

/// \brief The ODBC text that opens the database through the FreeTDS driver (the port left
/// out for a named instance without one).
std::u16string freeTdsConnectionText(const OleDbConnection& c);

/// \brief The ODBC connection text for `c`: the pattern that ado.ini (in the Windows
/// directory) names under [Data Sources] for the data source, else the FreeTDS text.
std::u16string odbcConnectionText(const OleDbConnection& c);

}  // namespace ado
