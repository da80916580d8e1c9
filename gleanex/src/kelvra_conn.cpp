// A record-server database of a batch run. The automation objects answer ordinary failures
// with error codes; a failed call (a component missing from the registry) throws ComError
// and counts as the same failure here.
#include "kelvra_conn.h"

#include <com/drivers/GuardedCall.h>
#include "settings.h"

#include <com/drivers/ServerLogOn.h>

namespace {

constexpr char16_t kNotConnectedServer[] = u"无法连接服务器: %s，不能套录数据!";
constexpr char16_t kLoginFailed[] = u"帐户[%s]无法登录到服务器: %s";
constexpr char16_t kNoDatabase[] = u"服务器: %s上不存在数据库[%s]";

}  // namespace

CKelvraConn::CKelvraConn() {
  server_.CreateDispatch(u"Kelvra.Server");
  dbase_.CreateDispatch(u"Kelvra.Dbase");
  recordSet_.CreateDispatch(u"Kelvra.RecordSet");
  record_.CreateDispatch(u"Kelvra.Record");
}

CKelvraConn::~CKelvraConn() {
  if (server_.m_lpDispatch) guardedVoid([&] { server_.Disconnect(); });
}

void CKelvraConn::Connect() {
  const u16 account = user.empty() ? u16(u"public") : user;
  const KelvraLogOn logOn = LogOnToKelvra(server_, host, u"001", account, password);
  if (logOn == KelvraLogOn::NotConnected) {
    theReporter()(kNotConnectedServer, host);
    return;
  }
  user = account;
  if (logOn != KelvraLogOn::Done) {
    theReporter()(kLoginFailed, user, host);
    return;
  }
  if (guarded([&] { return dbase_.Open(server_.m_lpDispatch, database); }, -1) != 0) {
    theReporter()(kNoDatabase, host, database);
    return;
  }
  connected = true;
}

u16 CKelvraConn::QueryOf(const u16& key) const {
  return platform::format(u"_@@010$a='_{{%s}}' _**or _@@010$z='_{{%s}}' _**or _@@020$a='_{{%s}}'", key, key, key);
}

std::optional<int32_t> CKelvraConn::Find(const u16& query, CSearchHost& window) {
  window.ShowServerStatus(u"检索...");
  window.DrainMessages();
  return guarded(
      [&] {
        if (dbase_.Open(server_.m_lpDispatch, database) == 0 && recordSet_.Search(dbase_.m_lpDispatch, query) == 0)
          return recordSet_.GetCount(CKelvraRecordSetDriver::kLastSearchHits);
        return 0;
      },
      0);
}

u16 CKelvraConn::FetchText(int32_t index) {
  fetchError = 0;
  return guarded(
      [&]() -> u16 {
        if (record_.Load(recordSet_.m_lpDispatch, index == 0 ? 0 : 1) == -1) return u16();
        return record_.GetText();
      },
      u16());
}
