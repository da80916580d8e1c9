// CKelvraConn: a database of the record server (Kelvra) in the server list, reached through
// its automation objects (Kelvra.Server, Kelvra.Dbase, Kelvra.RecordSet, Kelvra.Record). It
// connects and logs in once, at Open; every search opens the database again.
#pragma once

#include "server_conn.h"

#include <com/drivers/KelvraDrivers.h>

class CKelvraConn : public CServerConn {
 public:
  /// \brief Creates the four record-server objects.
  CKelvraConn();
  /// Disconnects from the server.
  ~CKelvraConn() override;

 protected:
  /// Connects, logs in (an empty user as "public") and opens the database; each failure is
  /// told in a message.
  void Connect() override;
  /// The record server's query of the key in 010 $a, 010 $z and 020 $a.
  u16 QueryOf(const u16& key) const override;
  /// Opens the database and searches it; 0 hits when either fails.
  std::optional<int32_t> Find(const u16& query, CSearchHost& window) override;
  u16 FetchText(int32_t index) override;

 private:
  CKelvraServerDriver server_;
  CKelvraDbaseDriver dbase_;
  CKelvraRecordSetDriver recordSet_;
  CKelvraRecordDriver record_;
};
