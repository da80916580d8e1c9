#include <com/drivers/ServerLogOn.h>

#include <platform/comerror.h>

namespace {

// The answer of a record-server call, -1 when the call itself fails.
template <class F>
int32_t answerOf(F call) {
  try {
    return call();
  } catch (const platform::ComError&) {
    return -1;
  }
}

}  // namespace

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
  if (answerOf([&] { return server.Connect(host, code); }) != 0) return KelvraLogOn::NotConnected;
  if (beforeLogin && !beforeLogin()) return KelvraLogOn::Stopped;
  if (answerOf([&] { return server.Login(user, password); }) != 0) return KelvraLogOn::NotLoggedIn;
  return KelvraLogOn::Done;
}
