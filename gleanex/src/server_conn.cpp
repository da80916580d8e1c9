// One searchable server of a batch run. The automation objects answer ordinary failures
// with error codes; a failed call (a component missing from the registry) throws ComError
// and counts as the same failure here.
#include "server_conn.h"

#include "live_call.h"
#include "server_list.h"
#include "settings.h"

#include <loomstore/ResPath.h>
#include <loomstore/ServerSettings.h>
#include <platform/comerror.h>
#include <ui/modal.h>

#include <chrono>
#include <thread>

namespace {

constexpr char16_t kNotConnectedServer[] = u"无法连接服务器: %s，不能套录数据!";
constexpr char16_t kLoginFailed[] = u"帐户[%s]无法登录到服务器: %s";
constexpr char16_t kNoDatabase[] = u"服务器: %s上不存在数据库[%s]";
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

template <class F>
auto guarded(F f, decltype(f()) onFailure) -> decltype(f()) {
  try {
    return f();
  } catch (const platform::ComError&) {
    return onFailure;
  }
}

template <class F>
void guardedVoid(F f) {
  try {
    f();
  } catch (const platform::ComError&) {
  }
}

int digit(char16_t c) { return c - u'0'; }

u16 withoutHyphens(u16v s) {
  u16 out;
  for (char16_t c : s)
    if (c != u'-') out += c;
  return out;
}

}  // namespace

struct CServerConn::ZoomObjects {
  CZoomConnDriver conn;
  CZoomRsDriver rs;
  CZoomRecDriver rec;
};

template <class R>
std::optional<R> CServerConn::ZoomCall(std::function<R(ZoomObjects&)> call) {
  if (abandoned) return std::nullopt;
  std::function<R()> bound = [objects = zoom_, call = std::move(call)] { return call(*objects); };
  if (!host_) return bound();
  std::optional<R> result = CallLive<R>(std::move(bound), *host_);
  if (!result) abandoned = true;
  return result;
}

CServerConn::CServerConn() : zoom_(std::make_shared<ZoomObjects>()) {
  zoom_->conn.CreateDispatch(u"zoom.ZoomConn");
  zoom_->rs.CreateDispatch(u"zoom.ZoomRs");
  zoom_->rec.CreateDispatch(u"zoom.ZoomRec");
  kelvraServer_.CreateDispatch(u"Kelvra.Server");
  kelvraDbase_.CreateDispatch(u"Kelvra.Dbase");
  kelvraRecordSet_.CreateDispatch(u"Kelvra.RecordSet");
  kelvraRecord_.CreateDispatch(u"Kelvra.Record");
}

CServerConn::~CServerConn() {
  if (kelvraServer_.m_lpDispatch) guardedVoid([&] { kelvraServer_.Disconnect(); });
  // A call given up at a stop still uses the objects: it closes them when it lets go.
  if (!abandoned && zoom_->conn.m_lpDispatch) guardedVoid([&] { zoom_->conn.Close(); });
}

void CServerConn::Open(u16v entry, CSearchHost* window) {
  host_ = window;
  ServerOptions options = ParseServerEntry(entry);
  user = options.user;
  password = options.password;
  reconnect = options.reconnect;
  hyphenRule = options.hyphenRule;
  isbnRule = options.isbnRule;

  CResPath path(options.path.c_str());
  char16_t text[256] = {};
  path.GetProtocol(text, 256);
  u16 protocol = text;
  text[0] = 0;
  path.GetSvrName(text, 256);
  u16 server = text;
  text[0] = 0;
  path.GetDbName(text, 256);
  database = text;

  isZ3950 = platform::equalsNoCase(protocol, loomstore::kKindZ3950);
  host = server;
  if (isZ3950) {
    u16 port = platform::profileString(loomstore::kSettingsFile, server, loomstore::kKeyPort, u"", 8);
    if (!port.empty()) host = platform::format(u"%s:%s", server, port);
  }
  connected = false;

  if (!isZ3950) {
    if (guarded([&] { return kelvraServer_.Connect(host, u"001"); }, -1) != 0) {
      theReporter()(kNotConnectedServer, host);
      return;
    }
    if (user.empty()) user = u"public";
    if (guarded([&] { return kelvraServer_.Login(user, password); }, -1) != 0) {
      theReporter()(kLoginFailed, user, host);
      return;
    }
    if (guarded([&] { return kelvraDbase_.Open(kelvraServer_.m_lpDispatch, database); }, -1) != 0) {
      theReporter()(kNoDatabase, host, database);
      return;
    }
    connected = true;
    return;
  }
  if (reconnect) return;
  if (ConnectZoom()) {
    connected = true;
  } else if (!abandoned) {
    failureTold = true;
    theReporter()(kZoomConnectFailed, host);
  }
}

bool CServerConn::ConnectZoom() {
  std::optional<int32_t> result = ZoomCall<int32_t>([host = host, user = user, password = password](ZoomObjects& z) {
    return guarded(
        [&] {
          if (!user.empty()) {
            z.conn.SetOption(u"user", user);
            if (!password.empty()) z.conn.SetOption(u"password", password);
          }
          return z.conn.Connect(host, u"");
        },
        -1);
  });
  if (result && *result == kTimedOut) down = true;
  return result && *result == 0;
}

void CServerConn::ServerFailed(int32_t error, bool connecting) {
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

u16 CServerConn::BuildQuery(u16v keyIn) const {
  u16 key(keyIn);
  size_t length = key.size();
  if (hyphenRule != 0 || isbnRule != 0) {
    // An ISBN-10 has 10 characters, or 13 with its hyphens; an ISBN-13 13, or 17. Keys of
    // other lengths go unchanged.
    bool hyphenated = key.find(u'-') != u16::npos;
    size_t isbn10Length = hyphenated ? 13 : 10;
    size_t isbn13Length = hyphenated ? 17 : 13;
    if (length == isbn10Length || length == isbn13Length) {
      if (length == isbn10Length && isbnRule == 1) Isbn10To13(key, hyphenated);
      else if (length == isbn13Length && isbnRule == 2) Isbn13To10(key, hyphenated);
      if (!hyphenated && hyphenRule == 2) HyphenateIsbn(key);
      if (hyphenated && hyphenRule == 1) key = withoutHyphens(key);
    }
  }
  if (isZ3950) return u"@attr 1=7 \"" + key + u"\"";
  return platform::format(u"_@@010$a='_{{%s}}' _**or _@@010$z='_{{%s}}' _**or _@@020$a='_{{%s}}'", key, key, key);
}

void CServerConn::Isbn10To13(u16& key, bool hyphenated) {
  u16 digits = withoutHyphens(u"978" + key);
  if (key.empty() || digits.size() < 12) return;
  int32_t s = 0;
  for (int i = 0; i < 12; ++i) s += digit(digits[i]) * (i % 2 ? 3 : 1);
  int32_t check = (10 - ((s % 10) + 10) % 10) % 10;
  key.back() = char16_t(u'0' + check);
  key.insert(0, hyphenated ? u"978-" : u"978");
}

void CServerConn::Isbn13To10(u16& key, bool hyphenated) {
  size_t drop = hyphenated ? 4 : 3;
  if (key.size() <= drop) return;
  u16 digits = withoutHyphens(u16v(key).substr(3));
  if (digits.size() < 9) return;
  int32_t s = 0;
  for (int i = 0; i < 9; ++i) s += (10 - i) * digit(digits[i]);
  int32_t r = ((s % 11) + 11) % 11;
  key.back() = r == 0 ? u'0' : r == 1 ? u'X' : char16_t(u'0' + 11 - r);
  key.erase(0, drop);
}

void CServerConn::HyphenateIsbn(u16& key) {
  size_t g;
  if (key.size() == 13) {
    if (key[3] > u'7') return;
    key.insert(3, u"-");
    key.insert(5, u"-");
    g = 6;
  } else {
    if (key.empty() || key[0] > u'7') return;
    key.insert(1, u"-");
    g = 2;
  }
  if (key.size() < g + 9) return;  // too short for the two further hyphens
  size_t w;
  switch (key[g]) {
    case u'0': w = 2; break;
    case u'1': case u'2': case u'3': case u'4': w = 3; break;
    case u'5': case u'6': case u'7': w = 4; break;
    case u'8': w = 5; break;
    default: w = 6; break;
  }
  key.insert(g + w, u"-");
  key.insert(g + 9, u"-");
}

int32_t CServerConn::Search(u16v key, CSearchHost& window) {
  u16 query = BuildQuery(key);
  hits = 0;
  cursor = -1;
  host_ = &window;
  if (isZ3950) {
    if (abandoned) return kSearchStopped;
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
        if (abandoned) return kSearchStopped;
        ServerFailed(kConnectFailed, true);
        return 0;
      }
      connected = true;
    }
    struct Searched {
      int32_t hits = 0, error = 0;
    };
    std::optional<Searched> searched =
        ZoomCall<Searched>([database = database, query = query](ZoomObjects& z) {
          Searched r;
          guardedVoid([&] {
            z.conn.SetOption(u"databaseName", database);
            z.rs.AttachDispatch(z.conn.SearchPqf(query));
            r.error = z.conn.GetOptionLong(u"errno");
            r.hits = z.rs.m_lpDispatch ? z.rs.GetSize() : 0;
          });
          return r;
        });
    if (!searched) return kSearchStopped;
    if (isServerFailure(searched->error)) {
      // The connection is gone or in an unknown state: the next search connects anew.
      connected = false;
      ServerFailed(searched->error, false);
      return 0;
    }
    hits = searched->hits;
  } else {
    window.ShowServerStatus(u"检索...");
    window.DrainMessages();
    hits = guarded(
        [&] {
          if (kelvraDbase_.Open(kelvraServer_.m_lpDispatch, database) == 0 &&
              kelvraRecordSet_.Search(kelvraDbase_.m_lpDispatch, query) == 0)
            return kelvraRecordSet_.GetCount(20739);
          return 0;
        },
        0);
  }
  if (hits < 0) hits = 0;
  return hits;
}

u16 CServerConn::FetchText(int32_t index) {
  fetchError = 0;
  if (isZ3950) {
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
      if (fetchError == kConnectionLost || fetchError == kTimedOut) connected = false;
    }
    return fetched->text;
  }
  return guarded(
      [&]() -> u16 {
        if (kelvraRecord_.Load(kelvraRecordSet_.m_lpDispatch, index == 0 ? 0 : 1) == -1) return u16();
        return kelvraRecord_.GetText();
      },
      u16());
}

int32_t CServerConn::FirstRecord(char16_t* buffer, int32_t size) {
  if (hits <= 0) return 0;
  cursor = 0;
  return platform::copyOut(FetchText(0), buffer, size);
}

int32_t CServerConn::NextRecord(char16_t* buffer, int32_t size) {
  if (cursor == -1 || cursor + 1 >= hits) return -1;
  // Once the server is given up or its connection is gone, no further hit can come, however
  // many it claimed.
  if (isZ3950 && (abandoned || !connected)) return -1;
  ++cursor;
  return platform::copyOut(FetchText(cursor), buffer, size);
}
