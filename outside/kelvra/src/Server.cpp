// Kelvra.Server: connect to a server by name, log in, disconnect.
#include "Server.h"

#include "store/errors.h"

#include <platform/text.h>

namespace kelvra {

int32_t CKelvraServer::GetErrorCode() { return error_; }

// What the last failure means, with the database's own reason: "the record server's
// database refused or failed (code 12: permission denied for table records)".
std::u16string CKelvraServer::GetErrorText() { return platform::fromUtf8(errorText(error_, reason_)); }

int32_t CKelvraServer::Fail(int32_t code) {
  bool fromDatabase = code == kStorage || code == kRetry || code == kInDoubt;
  return Fail(code, fromDatabase && store_ ? store_->reason() : std::string());
}

int32_t CKelvraServer::Fail(int32_t code, std::string reason) {
  error_ = code;
  reason_ = code == kOk ? std::string() : std::move(reason);
  return code;
}

// The host is a server name, or a name, ":" and a port; the servers live in files of this
// machine, so the port is checked for form only. The client code ("000", "001") names the
// calling program and changes nothing.
int32_t CKelvraServer::Connect(const std::u16string& host, const std::u16string& code) {
  Disconnect();
  std::u16string name = host;
  if (size_t colon = host.find(u':'); colon != std::u16string::npos) {
    std::u16string port = host.substr(colon + 1);
    if (port.empty() || port.size() > 5) return Fail(kBadHost);
    for (char16_t c : port)
      if (c < u'0' || c > u'9') return Fail(kBadHost);
    name = host.substr(0, colon);
  }
  int32_t error = kOk;
  std::string why;
  store_ = Store::open(name, &error, &why);
  return store_ ? Fail(kOk) : Fail(error, why);
}

int32_t CKelvraServer::Login(const std::u16string& user, const std::u16string& password) {
  loggedIn_ = false;
  if (!store_) return Fail(kNotConnected);
  int32_t error = kOk;
  loggedIn_ = store_->checkLogin(user, password, &error);
  return Fail(error);
}

int32_t CKelvraServer::Disconnect() {
  store_.reset();
  loggedIn_ = false;
  return kOk;
}

std::shared_ptr<Store> CKelvraServer::Session() {
  if (!store_) {
    Fail(kNotConnected);
    return nullptr;
  }
  if (!loggedIn_) {
    Fail(kNotLoggedIn);
    return nullptr;
  }
  return store_;
}

}  // namespace kelvra
