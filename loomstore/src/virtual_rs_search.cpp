// CServerSearch: the set-up of one source, its worker thread and the searches over Z39.50
// and over the record server.
#include "virtual_rs_search.h"

#include <loomstore/ResPath.h>
#include <loomstore/ServerSettings.h>

#include <com/create.h>
#include <com/drivers/ServerLogOn.h>
#include <platform/profile.h>
#include <platform/text.h>
#include <ui/handles.h>
#include <ui/messages.h>

#include <chrono>
#include <cstdlib>

namespace loomstore {

namespace {

// Buffer sizes of the set-up's reads, in characters with the NUL.
constexpr int32_t kProtocolSize = 256;
constexpr int32_t kServerNameSize = 128;
constexpr int32_t kPartSize = 256;
constexpr uint32_t kValueSize = 256;
// The worker's buffer for a status text.
constexpr size_t kStatusSize = 1024;
// Kelvra's answer when the server wants the client to connect and search again.
constexpr int32_t kRetryCode = 66;

// One part of a resource path; empty when it does not fit with its NUL in `size`.
template <class Getter>
std::u16string part(CResPath& path, Getter get, int32_t size) {
  std::u16string buf(size_t(size), u'\0');
  if (!(path.*get)(buf.data(), size)) return {};
  buf.resize(std::char_traits<char16_t>::length(buf.c_str()));
  return buf;
}

// The search term of a record-server query: between the first "_{{" and the next "}}"
// (to the end when "}}" is missing). A query without "_{{" is taken as the term itself.
std::u16string searchTerm(const std::u16string& query) {
  size_t open = query.find(u"_{{");
  if (open == std::u16string::npos) return query;
  open += 3;
  size_t close = query.find(u"}}", open);
  return query.substr(open, close == std::u16string::npos ? std::u16string::npos : close - open);
}

// A call on an object whose failure (an error of the dispatch mechanism, or an object that
// could not be created) must not stop what follows.
template <class F>
void tolerate(F f) {
  try {
    f();
  } catch (const std::exception&) {
  }
}

// The result of a call that must not stop what follows, `failed` when it throws.
template <class F>
int32_t resultOr(F f, int32_t failed) {
  try {
    return f();
  } catch (const std::exception&) {
    return failed;
  }
}

// Abandoned searchers and the end of the process. A worker whose call returns while the
// process is exiting must not release its objects: their libraries may already be tearing
// down. The latch is armed (its handler registered) at the first abandonment, after the zoom
// and Kelvra libraries were loaded, so that it runs before their static objects go; from then
// on a worker that comes back keeps everything and sleeps until the process is gone.
struct ExitLatch {
  std::mutex lock;
  bool exiting = false;
};

ExitLatch& exitLatch() {
  static ExitLatch* latch = new ExitLatch;  // never destroyed: workers may outlive main
  return *latch;
}

void markExiting() {
  std::lock_guard g(exitLatch().lock);
  exitLatch().exiting = true;
}

void armExitLatch() {
  static std::once_flag once;
  std::call_once(once, [] {
    exitLatch();
    std::atexit(markExiting);
  });
}

void deleteAbandoned(CServerSearch* s) {
  ExitLatch& latch = exitLatch();
  std::unique_lock g(latch.lock);
  if (latch.exiting) {
    g.unlock();
    for (;;) std::this_thread::sleep_for(std::chrono::hours(1));
  }
  delete s;
}

}  // namespace

CServerSearch::CServerSearch(CVirtualRs& owner) : m_owner(owner) {
  com::CoInitialize(nullptr);
  m_conn.CreateDispatch(u"zoom.ZoomConn");
  m_rs.CreateDispatch(u"zoom.ZoomRs");
  m_rec.CreateDispatch(u"zoom.ZoomRec");
  m_server.CreateDispatch(u"Kelvra.Server");
  m_dbase.CreateDispatch(u"Kelvra.Dbase");
  m_recordSet.CreateDispatch(u"Kelvra.RecordSet");
  m_record.CreateDispatch(u"Kelvra.Record");
}

CServerSearch::~CServerSearch() {
  tolerate([&] { m_server.Disconnect(); });
  tolerate([&] { m_rs.Delete(); });
  tolerate([&] { m_conn.Close(); });
}

void CServerSearch::SetUp(int32_t id, const std::u16string& pathText, const std::u16string& query,
                          const std::u16string& user, const std::u16string& password, ui::HWND notify) {
  m_id = id;
  m_notify = notify;
  m_hits = 0;
  m_account = user;
  m_accountPassword = password;

  CResPath path(pathText.c_str());
  std::u16string protocol = part(path, &CResPath::GetProtocol, kProtocolSize);
  m_name = part(path, &CResPath::GetSvrName, kServerNameSize);
  m_database = part(path, &CResPath::GetDbName, kPartSize);
  m_from = part(path, &CResPath::GetFrom, kPartSize);
  m_protocol = platform::equalsNoCase(protocol, kKindZ3950) ? 1 : 0;

  std::u16string port = platform::profileString(kSettingsFile, m_name, kKeyPort, u"", kValueSize);
  m_host = port.empty() ? m_name : platform::format(u"%s:%s", m_name, port);

  m_user.clear();
  m_group.clear();
  m_password.clear();
  if (m_protocol == 1) {
    m_query = searchTerm(query);
    m_user = platform::profileString(kSettingsFile, m_name, kKeyUser, u"", kValueSize);
    if (size_t at = m_user.find(u'@'); at != std::u16string::npos) {
      m_group = m_user.substr(at + 1);
      m_user.resize(at);
    }
    m_password = platform::profileString(kSettingsFile, m_name, kKeyPass, u"", kValueSize);
  } else {
    m_query = query;
  }

  if (!m_thread.joinable()) m_thread = std::thread([this] { Run(); });
}

void CServerSearch::Resume() {
  {
    std::lock_guard g(m_lock);
    m_cancel = false;
    m_running = true;
  }
  m_changed.notify_all();
}

bool CServerSearch::Busy() {
  std::lock_guard g(m_lock);
  return m_running;
}

void CServerSearch::Discard() {
  std::unique_lock g(m_lock);
  m_cancel = true;
  if (m_running) {
    // Inside a call that may never return: the worker takes the searcher over.
    m_orphan = true;
    if (m_thread.joinable()) m_thread.detach();
    armExitLatch();
    return;
  }
  m_quit = true;
  g.unlock();
  m_changed.notify_all();
  if (m_thread.joinable()) m_thread.join();
  delete this;
}

void CServerSearch::CloseConnection() {
  if (m_searchedZ3950) tolerate([&] { m_conn.Close(); });
}

void CServerSearch::Run() {
  for (;;) {
    {
      std::unique_lock g(m_lock);
      m_changed.wait(g, [&] { return m_running || m_quit; });
      if (m_quit) return;
    }
    m_searchedZ3950 = m_protocol == 1;
    int32_t hits = -1;
    if (!Abandoned()) {
      try {
        hits = m_protocol == 1 ? SearchZ3950() : SearchRecordServer();
      } catch (const std::exception&) {
        hits = -1;  // the objects failed as such: the source counts as not searched
      }
    }
    if (EndSearch(hits)) {
      deleteAbandoned(this);
      return;
    }
  }
}

bool CServerSearch::EndSearch(int32_t hits) {
  std::lock_guard g(m_lock);
  // An abandoned search holds no hits: they are never added to the owner's total, and the
  // owner may be gone.
  if (!Abandoned()) {
    m_hits = hits > 0 ? hits : 0;
    m_owner.Finished(*this);
  }
  m_running = false;
  return m_orphan;
}

bool CServerSearch::Status(const std::u16string& text) {
  if (Abandoned()) return false;
  std::u16string buf = text.substr(0, kStatusSize - 1);
  ui::SendOptions options;
  options.cancel = &m_cancel;
  ui::LRESULT result = 0;
  ui::sendMessage(m_notify, WM_SEARCH_NOTIFY, SEARCH_NOTIFY_STATUS,
                  reinterpret_cast<ui::LPARAM>(buf.c_str()), &result, options);
  return !Abandoned();
}

int32_t CServerSearch::SearchZ3950() {
  // Without its connection object (the zoom library could not be loaded) the source cannot
  // be connected, and says so like any other source that cannot.
  const bool ready = m_conn.m_lpDispatch != nullptr;
  if (ready) SetZoomAccount(m_conn, m_user, m_password, m_group);
  if (!Status(platform::format(u"连接服务器: %s ...", m_name))) return -1;
  // Each Connect of the Z39.50 client routes its own connection (direct or through its
  // server's proxy), so the searchers connect in parallel.
  int32_t connected = ready ? resultOr([&] { return m_conn.Connect(m_host, u"000"); }, -1) : -1;
  if (connected != 0) {
    Status(platform::format(u"连接服务器: %s 失败，无法进行检索", m_name));
    return -1;
  }
  if (!Status(platform::format(u"连接到服务器: %s 成功，检索...", m_name))) return -1;
  m_rs.AttachDispatch(m_conn.Search(m_database, m_from, m_query));
  int32_t hits = m_rs.m_lpDispatch ? m_rs.GetSize() : 0;
  if (hits < 0) hits = 0;
  Status(platform::format(u"检索数据库: %s，命中记录 %ld 条", m_database, hits));
  return hits;
}

int32_t CServerSearch::SearchRecordServer() {
  if (!Status(platform::format(u"连接服务器: %s ...", m_name))) return -1;
  const bool ready = m_server.m_lpDispatch && m_dbase.m_lpDispatch && m_recordSet.m_lpDispatch;
  for (bool retried = false;;) {
    const KelvraLogOn logOn =
        ready ? LogOnToKelvra(m_server, m_host, u"000", m_account, m_accountPassword,
                              [&] { return Status(platform::format(u"连接服务器: %s 成功，登录...", m_name)); })
              : KelvraLogOn::NotConnected;
    if (logOn == KelvraLogOn::NotConnected) {
      Status(platform::format(u"通讯失败，无法连接服务器: %s", m_name));
      return -1;
    }
    if (logOn == KelvraLogOn::Stopped) return -1;
    if (logOn == KelvraLogOn::NotLoggedIn) {
      Status(platform::format(u"缺省帐户无法登录到服务器: %s", m_name));
      return -1;
    }
    if (Abandoned()) return -1;
    if (m_dbase.Open(m_server.m_lpDispatch, m_database) != 0) {
      Status(platform::format(u"连接数据库: %s 失败, 原因是: 0x%x", m_database, m_server.GetErrorCode()));
      return -1;
    }
    if (!Status(platform::format(u"登录到服务器: %s 成功，检索...", m_name))) return -1;
    if (m_recordSet.Search(m_dbase.m_lpDispatch, m_query) == 0) break;
    int32_t code = m_server.GetErrorCode();
    if (code == kRetryCode && !retried) {
      m_dbase.Open(m_server.m_lpDispatch, u"");
      m_server.Disconnect();
      retried = true;
      if (Abandoned()) return -1;
      continue;
    }
    Status(platform::format(u"无法检索数据库: %s, 原因是: 0x%x", m_database, code));
    return -1;
  }
  if (Abandoned()) return -1;
  int32_t hits = m_recordSet.GetCount(CKelvraRecordSetDriver::kLastSearchHits);
  if (hits < 0) hits = 0;
  Status(platform::format(u"检索数据库: %s 成功，命中记录 %ld 条", m_database, hits));
  return hits;
}

bool CServerSearch::Fetch(int32_t index, std::u16string& ref, std::u16string& text) {
  try {
    if (m_protocol == 1) {
      m_rec.AttachDispatch(m_rs.GetRecord(index));
      if (m_conn.GetOptionLong(u"errno") != 0 || !m_rec.m_lpDispatch) return false;
      m_rec.AutoCvtEacc(1);
      text = m_rec.GetXml();
      ref = platform::format(u"z39.50://%s/%s#%ld", m_name, m_database, index + 1);
    } else {
      if (m_record.Load(m_recordSet.m_lpDispatch, index) == -1) return false;
      text = m_record.GetText();
      ref = platform::format(u"qzap://%s/%s#%ld", m_name, m_database, m_record.GetNumber());
    }
    return true;
  } catch (const std::exception&) {
    return false;
  }
}

void CServerSearch::MoveFirst() {
  if (m_protocol == 0) tolerate([&] { m_recordSet.MoveFirst(); });
}

void CServerSearch::MoveTo(int32_t index) {
  if (m_protocol == 0) tolerate([&] { m_recordSet.Move(index > 0 ? index - 1 : 0); });
}

}  // namespace loomstore
