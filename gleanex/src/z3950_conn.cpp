// A Z39.50 server of a batch run. The zoom objects answer ordinary failures with error codes
// (errno); a failed call (a component missing from the registry) throws ComError and counts
// as the same failure here.
#include "z3950_conn.h"

#include <com/drivers/GuardedCall.h>
#include "live_call.h"
#include "settings.h"

#include <com/drivers/ServerLogOn.h>
#include <com/drivers/ZoomDrivers.h>
#include <loomstore/ServerSettings.h>
#include <platform/profile.h>
#include <ui/modal.h>

#include <chrono>
#include <thread>

namespace {

constexpr char16_t kZoomConnectFailed[] = u"连接服务器: %s失败，无法进行检索!";
constexpr char16_t kZoomReconnectFailed[] = u"连接指定的Z39.50服务器失败！";
constexpr char16_t kZoomServerLost[] = u"Z39.50服务器: %s没有响应或已断开连接，处理结束时将报告未在该服务器上检索的记录数!";

// The Z39.50 client's errors that are the server's doing rather than the item's: no
// connection, a connection lost, no answer within the time-out, answers of the wrong kind.
constexpr int32_t kConnectFailed = 10000;
constexpr int32_t kDecodeFailed = 10003;
constexpr int32_t kConnectionLost = 10004;
constexpr int32_t kTimedOut = 10007;
constexpr int32_t kNoRecord = 10010;

bool isServerFailure(int32_t error) {
  return error == kConnectFailed || error == kDecodeFailed || error == kConnectionLost || error == kTimedOut;
}

}  // namespace

struct CZ3950Conn::ZoomObjects {
  CZoomConnDriver conn;
  CZoomRsDriver rs;
  CZoomRecDriver rec;
};

template <class R>
std::optional<R> CZ3950Conn::ZoomCall(std::function<R(ZoomObjects&)> call) {
  if (abandoned) return std::nullopt;
  std::function<R()> bound = [objects = zoom_, call = std::move(call)] { return call(*objects); };
  if (!host_) return bound();
  std::optional<R> result = CallLive<R>(std::move(bound), *host_);
  if (!result) abandoned = true;
  return result;
}

CZ3950Conn::CZ3950Conn() : zoom_(std::make_shared<ZoomObjects>()) {
  zoom_->conn.CreateDispatch(u"zoom.ZoomConn");
  zoom_->rs.CreateDispatch(u"zoom.ZoomRs");
  zoom_->rec.CreateDispatch(u"zoom.ZoomRec");
}

CZ3950Conn::~CZ3950Conn() {
  // A call given up at a stop still uses the objects: it closes them when it lets go.
  if (!abandoned && zoom_->conn.m_lpDispatch) guardedVoid([&] { zoom_->conn.Close(); });
}

u16 CZ3950Conn::HostOf(const u16& server) const {
  u16 port = platform::profileString(loomstore::kSettingsFile, server, loomstore::kKeyPort, u"", 8);
  return port.empty() ? server : platform::format(u"%s:%s", server, port);
}

void CZ3950Conn::Connect() {
  if (reconnect) return;
  if (ConnectZoom()) {
    connected = true;
  } else if (!abandoned) {
    failureTold = true;
    theReporter()(kZoomConnectFailed, host);
  }
}

bool CZ3950Conn::ConnectZoom() {
  std::optional<int32_t> result = ZoomCall<int32_t>([host = host, user = user, password = password](ZoomObjects& z) {
    return guarded(
        [&] {
          SetZoomAccount(z.conn, user, password);
          return z.conn.Connect(host, u"");
        },
        -1);
  });
  if (result && *result == kTimedOut) down = true;
  return result && *result == 0;
}

void CZ3950Conn::ServerFailed(int32_t error, bool connecting) {
  ++notSearched;
  if (error == kTimedOut) down = true;
  u16 status = connecting ? platform::format(kZoomConnectFailed, host) : platform::format(kZoomServerLost, host);
  if (host_) host_->ShowServerStatus(status);
  if (failureTold) return;
  failureTold = true;
  if (connecting) {
    ui::messageBox(theReporter().parent, QString::fromStdU16String(kZoomReconnectFailed), QString(),
                   ui::Icon::Information);
  } else {
    theReporter().Show(status);
  }
}

u16 CZ3950Conn::QueryOf(const u16& key) const { return u"@attr 1=7 \"" + key + u"\""; }

std::optional<int32_t> CZ3950Conn::Find(const u16& query, CSearchHost& window) {
  if (abandoned) return std::nullopt;
  if (down) {
    ++notSearched;
    return 0;
  }
  if (reconnect || !connected) {
    window.ShowServerStatus(u"等待...");
    window.DrainMessages();
    if (connected) {
      connected = false;
      guardedVoid([&] { zoom_->conn.Close(); });
      for (int32_t i = 0; i < waitSeconds && window.IsRunning(); ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1000));
        window.DrainMessages();
      }
    }
    window.ShowServerStatus(u"检索...");
    window.DrainMessages();
    if (!ConnectZoom()) {
      if (abandoned) return std::nullopt;
      ServerFailed(kConnectFailed, true);
      return 0;
    }
    connected = true;
  }
  struct Searched {
    int32_t hits = 0, error = 0;
  };
  std::optional<Searched> searched = ZoomCall<Searched>([database = database, query = query](ZoomObjects& z) {
    Searched r;
    guardedVoid([&] {
      z.conn.SetOption(u"databaseName", database);
      z.rs.AttachDispatch(z.conn.SearchPqf(query));
      r.error = z.conn.GetOptionLong(u"errno");
      r.hits = z.rs.m_lpDispatch ? z.rs.GetSize() : 0;
    });
    return r;
  });
  if (!searched) return std::nullopt;
  if (isServerFailure(searched->error)) {
    // The connection is gone or in an unknown state: the next search connects anew.
    connected = false;
    ServerFailed(searched->error, false);
    return 0;
  }
  return searched->hits;
}

u16 CZ3950Conn::FetchText(int32_t index) {
  fetchError = 0;
  struct Fetched {
    u16 text;
    int32_t error = 0;
  };
  std::optional<Fetched> fetched = ZoomCall<Fetched>([index](ZoomObjects& z) {
    Fetched f;
    guardedVoid([&] {
      z.rec.AttachDispatch(z.rs.GetRecord(index));
      f.error = z.conn.GetOptionLong(u"errno");
      // A record whose bytes make no record text says so in errno too.
      if (f.error == 0 && z.rec.m_lpDispatch) f.text = z.rec.GetXml();
      if (f.text.empty() && f.error == 0) f.error = z.conn.GetOptionLong(u"errno");
    });
    return f;
  });
  if (!fetched) return u16();
  if (fetched->text.empty()) {
    fetchError = fetched->error != 0 ? fetched->error : kNoRecord;
    // A connection found closed, lost or silent is gone: the next search connects anew, and a
    // server that did not answer in its time-out is searched no more, as at a search.
    if (fetchError == kConnectFailed || fetchError == kConnectionLost || fetchError == kTimedOut) connected = false;
    if (fetchError == kTimedOut) down = true;
  }
  return fetched->text;
}
