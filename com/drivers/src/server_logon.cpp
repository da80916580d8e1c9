#include <com/drivers/ServerLogOn.h>

#include <com/drivers/GuardedCall.h>

void SetZoomAccount(CZoomConnDriver& conn, std::u16string_view user, std::u16string_view password,
                    std::u16string_view group) {
  if (user.empty()) return;
  conn.SetOption(u"user", user);
  if (!group.empty()) conn.SetOption(u"group", group);
  if (!password.empty()) conn.SetOption(u"password", password);
}

KelvraLogOn LogOnToKelvra(CKelvraServerDriver& server, std::u16string_view host, std::u16string_view code,
                          std::u16string_view user, std::u16string_view password,
                          const std::function<bool()>& beforeLogin) {
  if (guarded([&] { return server.Connect(host, code); }, -1) != 0) return KelvraLogOn::NotConnected;
  if (beforeLogin && !beforeLogin()) return KelvraLogOn::Stopped;
  if (guarded([&] { return server.Login(user, password); }, -1) != 0) return KelvraLogOn::NotLoggedIn;
  return KelvraLogOn::Done;
}
