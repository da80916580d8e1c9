// CAdoConnection (ADODB.Connection): one ODBC connection to a SQL Server database, opened
// from an OLE DB connection text, that runs statements. Every failure raises an automation
// error whose description carries the driver's diagnostics.
#pragma once

#include <com/object.h>

#include <sql.h>

#include <cstdint>
#include <span>
#include <string>

namespace ado {

com::ModuleLocks& AdoLocks();

class CAdoConnection : public com::DispatchObject<CAdoConnection> {
 public:
  CAdoConnection();
  ~CAdoConnection() override;

  /// \brief Sets the seconds that Open waits for the server (0: the driver's own wait).
  void ConnectionTimeout(int32_t seconds);                                               // 3
  /// \brief Closes the connection (an error when it is not open).
  void Close();                                                                          // 5
  /// \brief Runs a statement (or a batch) to its end; every result of it is read, so an
  /// error in any statement of a batch is raised. Answers an empty record set.
  void Execute(const std::u16string& text, int32_t options);                              // 6
  /// \brief Opens the connection; `user` and `password`, when given, replace the text's.
  void Open(const std::u16string& text, const std::u16string& user, const std::u16string& password,
            int32_t options);                                                            // 10
  /// \brief adStateOpen or adStateClosed.
  int32_t State() const;                                                                 // 30

  static const com::IID& Iid();
  static std::span<const com::DispMethod<CAdoConnection>> Methods();
  static com::ModuleLocks& Locks() { return AdoLocks(); }

 private:
  void Disconnect();

  SQLHENV env_ = SQL_NULL_HENV;
  SQLHDBC dbc_ = SQL_NULL_HDBC;
  bool open_ = false;
  int32_t timeout_ = 15;
};

}  // namespace ado
