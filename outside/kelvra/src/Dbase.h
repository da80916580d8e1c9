// CKelvraDbase (Kelvra.Dbase): one database of a connected server, and the server's list
// of databases.
#pragma once

#include "Server.h"

#include <optional>

namespace kelvra {

class CKelvraDbase : public KelvraObject<CKelvraDbase> {
 public:
  std::u16string GetDatabaseList();                                               // 1
  int32_t SetServer(com::ComPtr<CKelvraServer> server, int32_t reserved);         // 6
  int32_t Open(com::ComPtr<CKelvraServer> server, const std::u16string& database);  // 7
  std::u16string GetDocument(const std::u16string& name);                         // 9

  static const com::IID& Iid();
  static std::span<const com::DispMethod<CKelvraDbase>> Methods();
  static com::ModuleLocks& Locks() { return KelvraLocks(); }

  /// The open database, as the record set and record objects use it.
  struct Opened {
    com::ComPtr<CKelvraServer> server;
    std::shared_ptr<Store> store;
    DatabaseInfo database;
  };
  /// \brief The open database while its server connection lasts; otherwise nothing, with
  /// the reason recorded on the server.
  std::optional<Opened> Current();
  /// \brief The server it was opened over (null before SetServer or Open).
  com::ComPtr<CKelvraServer> Server() const { return server_; }

 private:
  com::ComPtr<CKelvraServer> server_;
  std::shared_ptr<Store> store_;
  std::optional<DatabaseInfo> database_;
};

}  // namespace kelvra
