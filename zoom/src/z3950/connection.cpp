#include "connection.h"

#include "proxy_settings.h"
#include "result_set.h"
#include "server_settings.h"
#include "socks/socks.h"

#include <platform/codepage.h>
#include <platform/text.h>

#include <poll.h>

#include <cerrno>
#include <chrono>

namespace z3950 {
namespace {

std::string ansi(std::u16string_view text) { return platform::toNarrow(platform::CP_ACP, text); }

short pollEvents(int mask) {
  short events = 0;
  if (mask & ZOOM_SELECT_READ) events |= POLLIN;
  if (mask & ZOOM_SELECT_WRITE) events |= POLLOUT;
  if (mask & ZOOM_SELECT_EXCEPT) events |= POLLPRI;
  return events;
}

int zoomMask(short revents) {
  int mask = 0;
  if (revents & POLLIN) mask |= ZOOM_SELECT_READ;
  if (revents & POLLOUT) mask |= ZOOM_SELECT_WRITE;
  // A socket in error or hung up is read, which tells YAZ what became of it.
  if (revents & (POLLPRI | POLLERR | POLLHUP | POLLNVAL)) mask |= ZOOM_SELECT_EXCEPT | ZOOM_SELECT_READ;
  return mask;
}

}  // namespace

std::shared_ptr<Connection> Connection::create(const std::string& mapPath) {
  return std::shared_ptr<Connection>(new Connection(mapPath));
}

Connection::Connection(const std::string& mapPath) : options_(ZOOM_options_create()) {
  accessPoints_.load(mapPath);
}

Connection::~Connection() {
  // The connection's own options refer to the option set: drop the connection first.
  Close();
  ZOOM_options_destroy(options_);
}

int32_t Connection::Connect(std::u16string_view hostName, std::u16string_view proxy) {
  // A connection still held would stay open and unreachable.
  Close();
  ServerSettings s = readServerSettings(hostName);

  // This connection's own copy: another thread's Connect must not change where it goes.
  ProxyState p;
  if (!s.proxy.empty()) {
    size_t question = s.proxy.find(u'?');
    std::u16string_view text = s.proxy;
    p = parseProxy(text.substr(0, question),
                   question == std::u16string_view::npos ? std::u16string_view() : text.substr(question + 1));
    p.flag = 1;
  }
  keepProxyState(p);

  recordSyntax_ = ansi(s.syntax);
  queryCodePage_ = s.utf8Queries ? platform::CP_UTF8 : platform::CP_ACP;

  if (s.timeout > 0) ZOOM_options_set_int(options_, "timeout", s.timeout);
  ZOOM_options_set(options_, "implementationName", kImplementationName);
  // Connect, search and present queue their work, which RunQueued then carries out under a
  // deadline of its own: YAZ's blocking wait knows no bound for a server that keeps talking.
  ZOOM_options_set_int(options_, "async", 1);
  // Through a proxy YAZ is given an address of the SOCKS layer that stands for the host;
  // when the connection cannot go through the proxy it is not made at all, never direct.
  std::string host = ansi(s.host);
  if (p.flag) {
    socks::ProxySettings proxy{p.host, p.port, p.user, p.password};
    std::optional<std::string> planned = socks::planTarget(host, &proxy);
    if (!planned) return ZOOM_ERROR_CONNECT;
    host = *planned;
  }
  connection_ = ZOOM_connection_create(options_);
  ZOOM_connection_connect(connection_, host.c_str(), s.port);
  int32_t err = RunQueued(kRequestsPerOperation);
  return err != 0 ? err : connectionError();
}

int32_t Connection::connectionError() const {
  return connection_ ? ZOOM_connection_error_x(connection_, nullptr, nullptr, nullptr) : 0;
}

int32_t Connection::timeoutSeconds() const {
  int32_t seconds = ZOOM_options_get_int(options_, "timeout", kDefaultTimeout);
  return seconds > 0 ? seconds : kDefaultTimeout;
}

int32_t Connection::RunQueued(size_t maxRequests) {
  if (!connection_) return ZOOM_ERROR_CONNECT;
  using Clock = std::chrono::steady_clock;
  const Clock::time_point deadline = Clock::now() + std::chrono::seconds(timeoutSeconds());
  size_t requests = 0;
  int32_t failure = 0;
  while (failure == 0) {
    // What YAZ can do without waiting, one event at a time.
    if (ZOOM_event_nonblock(1, &connection_) > 0) {
      if (ZOOM_connection_last_event(connection_) == ZOOM_EVENT_SEND_APDU && ++requests > maxRequests)
        failure = ZOOM_ERROR_DECODE;
      continue;
    }
    const int fd = ZOOM_connection_get_socket(connection_);
    const int mask = ZOOM_connection_get_mask(connection_);
    if (fd < 0 || mask == 0) return 0;  // nothing left to wait for: done
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    if (left <= 0) {
      failure = ZOOM_ERROR_TIMEOUT;
      break;
    }
    pollfd p{fd, pollEvents(mask), 0};
    const int ready = poll(&p, 1, int(left));
    if (ready < 0 && errno != EINTR) failure = ZOOM_ERROR_CONNECTION_LOST;
    if (ready > 0) ZOOM_connection_fire_event_socket(connection_, zoomMask(p.revents));
  }
  Close();
  return failure;
}

std::u16string Connection::GetOption(std::u16string_view name) const {
  const char* v = ZOOM_options_get(options_, ansi(name).c_str());
  return v ? platform::toWide(platform::CP_ACP, v) : std::u16string();
}

int32_t Connection::GetOptionLong(std::u16string_view name) const {
  if (platform::equalsNoCase(name, u"errno")) return lastError_;
  return ZOOM_options_get_int(options_, ansi(name).c_str(), 0);
}

void Connection::SetOption(std::u16string_view name, std::u16string_view value) {
  ZOOM_options_set(options_, ansi(name).c_str(), ansi(value).c_str());
}

void Connection::SetOptionLong(std::u16string_view name, int32_t value) {
  ZOOM_options_set_int(options_, ansi(name).c_str(), value);
}

std::shared_ptr<ResultSet> Connection::Search(std::u16string_view dbnames, std::u16string_view accessPoint,
                                              std::u16string_view query) {
  if (!dbnames.empty()) SetOption(u"databaseName", dbnames);
  std::optional<std::u16string> use;
  if (!accessPoint.empty()) use = accessPoints_.useAttribute(accessPoint);
  return SearchPqf(buildPqf(use, query));
}

std::shared_ptr<ResultSet> Connection::SearchPqf(std::u16string_view pqf) {
  std::string text = platform::toNarrow(queryCodePage_, pqf);
  auto rs = std::make_shared<ResultSet>(shared_from_this(), nullptr);
  ZOOM_query query = ZOOM_query_create();
  if (ZOOM_query_prefix(query, text.c_str()) != 0) {
    ZOOM_query_destroy(query);
    lastError_ = ZOOM_ERROR_INVALID_QUERY;
    return rs;
  }
  if (!connection_) {
    // Before Connect or after Close there is nothing to search: YAZ must not see a null
    // connection.
    ZOOM_query_destroy(query);
    lastError_ = ZOOM_ERROR_CONNECT;
    return rs;
  }
  ZOOM_resultset set = ZOOM_connection_search(connection_, query);
  int err = RunQueued(kRequestsPerOperation);
  if (err == 0) err = connectionError();
  if (err == 0 && !recordSyntax_.empty())
    ZOOM_resultset_option_set(set, "preferredRecordSyntax", recordSyntax_.c_str());
  lastError_ = err;
  ZOOM_query_destroy(query);
  rs->adopt(set);
  return rs;
}

void Connection::Close() {
  if (!connection_) return;
  ZOOM_connection_destroy(connection_);
  connection_ = nullptr;
}

}  // namespace z3950
