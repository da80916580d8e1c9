// How the suite's clients log on to the two kinds of server: the account options of a
// Z39.50 connection (zoom.ZoomConn) before its Connect, and the connect and log-in of a
// record server (Kelvra.Server).
#pragma once

#include <com/drivers/KelvraDrivers.h>
#include <com/drivers/ZoomDrivers.h>

#include <functional>
#include <string_view>

/// \brief Sets the account that the next Connect of `conn` presents: nothing for an empty
/// user; otherwise the option "user", then "group" and "password", each only when it is
/// not empty.
void SetZoomAccount(CZoomConnDriver& conn, std::u16string_view user, std::u16string_view password,
                    std::u16string_view group = {});

/// Where a log-on to the record server ended.
enum class KelvraLogOn {
  Done,          // connected and logged in
  NotConnected,  // Connect answered a failure
  Stopped,       // connected, but the caller gave up before the log-in
  NotLoggedIn,   // Login answered a failure
};

/// \brief Connects `server` to `host` with the client code `code` and logs in as `user`
/// with `password`. A call that fails as such (ComError: no object, a failed dispatch)
/// fails its step. `beforeLogin`, when given, runs between the two; when it answers false
/// the log-on ends there (Stopped), connected.
KelvraLogOn LogOnToKelvra(CKelvraServerDriver& server, std::u16string_view host, std::u16string_view code,
                          std::u16string_view user, std::u16string_view password,
                          const std::function<bool()>& beforeLogin = {});
