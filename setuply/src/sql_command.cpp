// SQLCommand: one SQL statement on a SQL Server, through the connection object ADODB.Connection.
#include <setuply/Setuply.h>

#include "AdoConnectionDriver.h"
#include "SetupHelperApp.h"
#include "SqlConnection.h"

#include <com/create.h>
#include <platform/comerror.h>
#include <platform/text.h>

namespace setuply {
namespace {

std::pair<std::u16string_view, std::u16string_view> splitAtSlash(std::u16string_view s, std::u16string_view def) {
  size_t slash = s.find(u'/');
  if (slash == std::u16string_view::npos) return {s, def};
  return {s.substr(0, slash), s.substr(slash + 1)};
}

// A value as the connection text can hold it. A ";" would end it early (a password "a;b"
// would be cut to "a" and its rest read as another key) and blanks at either end would be
// dropped: such a value is quoted, with whichever quote it does not itself contain.
std::u16string connectionValue(std::u16string_view v) {
  bool plain = v.find(u';') == std::u16string_view::npos &&
               (v.empty() || (v.front() != u' ' && v.back() != u' ' && v.front() != u'"' && v.front() != u'\''));
  if (plain) return std::u16string(v);
  char16_t quote = v.find(u'"') == std::u16string_view::npos ? u'"' : u'\'';
  return quote + std::u16string(v) + quote;
}

}  // namespace

std::u16string sqlConnectionText(std::u16string_view server, std::u16string_view login) {
  auto [name, database] = splitAtSlash(server, u"master");
  auto [user, password] = splitAtSlash(login, u"");
  return platform::format(
      u"Provider=SQLOLEDB.1;Persist Security Info=False;User ID=%s;Password=%s;Initial Catalog=%s;Data Source=%s;",
      connectionValue(user), connectionValue(password), connectionValue(database), connectionValue(name));
}

}  // namespace setuply

SETUPLY_API int SQLCommand(const char* server, const char* login, const char* sql) {
  if (!sql) return 0;
  com::CoInitialize(nullptr);
  CAdoConnectionDriver conn;
  {
    com::IDispatch* d = nullptr;
    if (com::FAILED(com::CoCreateInstance(CLSID_AdoConnection, nullptr, com::CLSCTX_ALL, IID_AdoConnection,
                                          reinterpret_cast<void**>(&d))) ||
        !d)
      return 0;
    com::OleRun(d);
    conn.AttachDispatch(d);
  }
  try {
    conn.SetConnectionTimeout(12);
    conn.Open(setuply::sqlConnectionText(setuply::wideArg(server), setuply::wideArg(login)), u"", u"", 0);
  } catch (const platform::ComError&) {
    setuply::message(nullptr, QStringLiteral("与指定的SQL Server连接失败，可能是数据库服务未启动，或者管理员帐户的口令不正确！"));
    return 0;
  }
  try {
    if (com::IDispatch* records = conn.Execute(setuply::wideArg(sql), adExecuteNoRecords)) records->Release();
  } catch (const platform::ComError&) {
    try {
      conn.Close();
    } catch (const platform::ComError&) {
    }
    return 0;
  }
  try {
    conn.Close();
  } catch (const platform::ComError&) {
    // The statement ran; a connection that fails to close changes nothing of that.
  }
  return 1;
}
