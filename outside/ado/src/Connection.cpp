#include "Connection.h"

#include "connection_text.h"
#include "ids.h"

#include <platform/comerror.h>
#include <platform/text.h>

#include <sqlext.h>

namespace ado {
namespace {

// The code ADO raises for a provider's failure.
constexpr com::HRESULT kProviderError = com::HRESULT(0x80004005u);

const SQLWCHAR* wide(const std::u16string& s) { return reinterpret_cast<const SQLWCHAR*>(s.c_str()); }

// The diagnostic records of a handle as "[state] message" lines.
std::string diagnostics(SQLSMALLINT type, SQLHANDLE handle) {
  std::u16string out;
  for (SQLSMALLINT i = 1;; ++i) {
    SQLWCHAR state[6] = {};
    SQLWCHAR message[1024] = {};
    SQLINTEGER native = 0;
    SQLSMALLINT length = 0;
    SQLRETURN r = SQLGetDiagRecW(type, handle, i, state, &native, message, 1024, &length);
    if (!SQL_SUCCEEDED(r)) break;
    if (!out.empty()) out += u"\n";
    out += u"[" + std::u16string(reinterpret_cast<const char16_t*>(state)) + u"] " +
           std::u16string(reinterpret_cast<const char16_t*>(message));
  }
  return platform::toUtf8(out);
}

[[noreturn]] void fail(const std::string& what) { throw platform::ComError(kProviderError, what); }

[[noreturn]] void fail(SQLSMALLINT type, SQLHANDLE handle, const char* step) {
  std::string d = diagnostics(type, handle);
  fail(d.empty() ? std::string(step) + " failed" : d);
}

}  // namespace

com::ModuleLocks& AdoLocks() {
  static com::ModuleLocks locks;
  return locks;
}

CAdoConnection::CAdoConnection() = default;

CAdoConnection::~CAdoConnection() { Disconnect(); }

void CAdoConnection::ConnectionTimeout(int32_t seconds) {
  if (seconds < 0) fail("The connection time-out cannot be negative.");
  timeout_ = seconds;
}

void CAdoConnection::Open(const std::u16string& text, const std::u16string& user, const std::u16string& password,
                          int32_t options) {
  if (open_) fail("The connection is already open.");
  std::optional<OleDbConnection> c = parseOleDbText(text);
  if (!c) fail("The connection text is not valid.");
  if (!isSqlServerProvider(c->provider))
    fail("Provider cannot be found: " + platform::toUtf8(c->provider));
  if (!user.empty()) c->userId = user;
  if (!password.empty()) c->password = password;
  std::u16string odbc = odbcConnectionText(*c);

  if (!SQL_SUCCEEDED(SQLAllocHandle(SQL_HANDLE_ENV, SQL_NULL_HANDLE, &env_))) fail("No ODBC environment.");
  SQLSetEnvAttr(env_, SQL_ATTR_ODBC_VERSION, reinterpret_cast<SQLPOINTER>(SQL_OV_ODBC3), 0);
  if (!SQL_SUCCEEDED(SQLAllocHandle(SQL_HANDLE_DBC, env_, &dbc_))) {
    std::string d = diagnostics(SQL_HANDLE_ENV, env_);
    Disconnect();
    fail(d.empty() ? "No ODBC connection handle." : d);
  }
  if (timeout_ > 0)
    SQLSetConnectAttrW(dbc_, SQL_ATTR_LOGIN_TIMEOUT, reinterpret_cast<SQLPOINTER>(intptr_t(timeout_)), 0);
  SQLRETURN r = SQLDriverConnectW(dbc_, nullptr, const_cast<SQLWCHAR*>(wide(odbc)), SQL_NTS, nullptr, 0, nullptr,
                                  SQL_DRIVER_NOPROMPT);
  if (!SQL_SUCCEEDED(r)) {
    std::string d = diagnostics(SQL_HANDLE_DBC, dbc_);
    Disconnect();
    fail(d.empty() ? "The connection could not be opened." : d);
  }
  open_ = true;
}

void CAdoConnection::Execute(const std::u16string& text, int32_t options) {
  if (!open_) fail("The connection is not open.");
  SQLHSTMT stmt = SQL_NULL_HSTMT;
  if (!SQL_SUCCEEDED(SQLAllocHandle(SQL_HANDLE_STMT, dbc_, &stmt))) fail(SQL_HANDLE_DBC, dbc_, "SQLAllocHandle");
  struct Guard {
    SQLHSTMT s;
    ~Guard() { SQLFreeHandle(SQL_HANDLE_STMT, s); }
  } guard{stmt};
  SQLRETURN r = SQLExecDirectW(stmt, const_cast<SQLWCHAR*>(wide(text)), SQL_NTS);
  // SQL_NO_DATA: a searched UPDATE or DELETE that touched no row, which is no failure.
  // The rows of a statement that returns any are dropped by moving on to the next result;
  // a batch reports an error in a later statement only there, so every result is read.
  while (r != SQL_NO_DATA) {
    if (!SQL_SUCCEEDED(r)) fail(SQL_HANDLE_STMT, stmt, "SQLExecDirect");
    r = SQLMoreResults(stmt);
  }
}

void CAdoConnection::Close() {
  if (!open_) fail("The connection is not open.");
  Disconnect();
}

int32_t CAdoConnection::State() const { return open_ ? adStateOpen : adStateClosed; }

void CAdoConnection::Disconnect() {
  if (open_) SQLDisconnect(dbc_);
  open_ = false;
  if (dbc_ != SQL_NULL_HDBC) SQLFreeHandle(SQL_HANDLE_DBC, dbc_);
  if (env_ != SQL_NULL_HENV) SQLFreeHandle(SQL_HANDLE_ENV, env_);
  dbc_ = SQL_NULL_HDBC;
  env_ = SQL_NULL_HENV;
}

}  // namespace ado
