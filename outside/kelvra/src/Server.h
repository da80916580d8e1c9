// CKelvraServer (Kelvra.Server): one connection to a record server, its log-in and the
// code of its last failure, which the other objects used over it report to as well.
#pragma once

#include "module.h"
#include "store/store.h"

#include <cstdint>
#include <memory>
#include <span>
#include <string>

namespace kelvra {

class CKelvraServer : public KelvraObject<CKelvraServer> {
 public:
  int32_t GetErrorCode();                                                      // 1
  int32_t Connect(const std::u16string& host, const std::u16string& code);     // 2
  std::u16string GetErrorText();                                               // 3
  int32_t Login(const std::u16string& user, const std::u16string& password);  // 4
  int32_t Disconnect();                                                        // 5

  static const com::IID& Iid();
  static std::span<const com::DispMethod<CKelvraServer>> Methods();
  static com::ModuleLocks& Locks() { return KelvraLocks(); }

  /// \brief The server's file while connected and logged in; otherwise null, with the
  /// reason recorded as the last failure.
  std::shared_ptr<Store> Session();
  /// \brief Records a failure (kOk: a success) and answers its code; a failure of the
  /// database keeps the database's own reason, as the store connected last gave it.
  int32_t Fail(int32_t code);
  /// \brief Records a failure with the database's reason for it.
  int32_t Fail(int32_t code, std::string reason);

 private:
  std::shared_ptr<Store> store_;
  bool loggedIn_ = false;
  int32_t error_ = 0;
  std::string reason_;
};

}  // namespace kelvra
