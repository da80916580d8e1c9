// zoomsvr-host: YAZ's generic front-end server for ZoomSvr, run as a process of its own.
//
// The front end forks per client unless given "-S", installs its own SIGTERM handler and
// keeps its listener open after it stops; in a process of its own none of that touches the
// host program, and ending the process frees the port. Every query and record request is
// relayed over descriptor 3 to the ZoomSvr object, which answers through its window.
//
// Usage: zoomsvr-host <listening address>
#include "../relay.h"

#include <yaz/backend.h>
#include <yaz/oid_db.h>
#include <yaz/proto.h>

#include <dirent.h>
#include <linux/tcp.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <set>
#include <string>
#include <thread>

namespace {

using zoomsvr::Frame;
using zoomsvr::Kind;

constexpr int kRefused = 2;
constexpr int kSearchFailed = 1;
constexpr int kNoRecord = 0x5006;
constexpr int kNoAnswer = 0x5001;
constexpr int kOutOfRange = 13;  // Bib-1: present request out of range
constexpr int kSortRefused = 0x2001;
constexpr int kServiceRefused = 0x3001;
constexpr int kScanRefused = 0x1001;
constexpr char kNotSupported[] = "Service not support";
constexpr int kDirectoryEntries = 100;

// One association; its handle tells its close from that of any other.
struct Association {
  unsigned id;
  bool served;
  int fd = -1;         // the client's socket, when it could be told apart
  ino_t inode = 0;     // ... and its identity, against a reused descriptor number
  bool gone = false;   // the client hung up in the middle of a request
};

unsigned g_nextAssociation = 1;
unsigned g_busy = 0;  // id of the association being served, 0: none
uint32_t g_seq = 0;
int32_t g_count = 0;  // hits of the last search, for last-in-set
// Sockets (descriptor, inode) of the associations served and not yet closed.
std::set<std::pair<int, ino_t>> g_servedSockets;

ino_t inodeOf(int fd) {
  struct stat st;
  return fstat(fd, &st) == 0 && S_ISSOCK(st.st_mode) ? st.st_ino : 0;
}

// The socket of the client whose init request is being handled. The front end does not
// tell it, so it is found among the process's connected TCP sockets: one that is no other
// served client's, has received data and has none left unread (the init was just read),
// and of those the one that received last.
int initiatingClient() {
  int best = -1;
  uint32_t bestAge = UINT32_MAX;
  DIR* dir = opendir("/proc/self/fd");
  if (!dir) return -1;
  while (dirent* e = readdir(dir)) {
    char* end = nullptr;
    long n = std::strtol(e->d_name, &end, 10);
    if (!end || *end || n <= zoomsvr::kRelayFd || n == dirfd(dir)) continue;
    const int fd = int(n);
    if (g_servedSockets.count({fd, inodeOf(fd)})) continue;
    sockaddr_storage peer{};
    socklen_t len = sizeof peer;
    if (getpeername(fd, reinterpret_cast<sockaddr*>(&peer), &len) != 0) continue;
    if (peer.ss_family != AF_INET && peer.ss_family != AF_INET6) continue;
    int unread = 0;
    if (ioctl(fd, FIONREAD, &unread) != 0 || unread != 0) continue;
    tcp_info info{};
    socklen_t infoLen = sizeof info;
    if (getsockopt(fd, IPPROTO_TCP, TCP_INFO, &info, &infoLen) != 0 || info.tcpi_bytes_received == 0) continue;
    if (info.tcpi_last_data_recv < bestAge) {
      bestAge = info.tcpi_last_data_recv;
      best = fd;
    }
  }
  closedir(dir);
  return best;
}

// The client left: nothing more is asked for it, and the server is free for the next one
// at once, before the front end gets round to closing the association.
void abandon(Association* a) {
  a->gone = true;
  g_servedSockets.erase({a->fd, a->inode});
  if (g_busy == a->id) g_busy = 0;
}

// Sends a request and waits for its answer. The object bounds the wait by its own
// time-out and always answers; the end of the stream means it is gone. When the client
// hangs up meanwhile, the object is told to stop waiting and nothing comes back.
std::optional<std::string> ask(Association* a, Kind kind, const std::string& payload, Kind answer) {
  if (a && a->gone) return std::nullopt;
  Frame request{kind, ++g_seq, payload};
  if (!zoomsvr::writeFrame(zoomsvr::kRelayFd, request)) _exit(0);
  const bool watch = a && a->fd >= 0 && inodeOf(a->fd) == a->inode;
  for (;;) {
    pollfd p[2] = {{zoomsvr::kRelayFd, POLLIN, 0}, {watch ? a->fd : -1, POLLRDHUP, 0}};
    if (poll(p, 2, -1) < 0) continue;
    if (p[0].revents) {
      std::optional<Frame> f = zoomsvr::readFrame(zoomsvr::kRelayFd);
      if (!f) _exit(0);
      if (f->kind == answer && f->seq == request.seq) return f->payload;
      continue;  // the late answer of a request whose client had hung up
    }
    if (p[1].revents & (POLLRDHUP | POLLHUP | POLLERR)) {
      if (!zoomsvr::writeFrame(zoomsvr::kRelayFd, Frame{Kind::Cancel, request.seq, {}})) _exit(0);
      abandon(a);
      return std::nullopt;
    }
  }
}

// The client's address without the "tcp:" of its comstack and, for an IPv4 client on a
// dual-stack listener, without the IPv6 mapping prefix.
std::string peerAddress(const char* name) {
  std::string peer = name ? name : "";
  if (peer.compare(0, 4, "tcp:") == 0) peer.erase(0, 4);
  if (peer.compare(0, 7, "::ffff:") == 0) peer.erase(0, 7);
  return peer;
}

// The term of a query that is a single attributes-plus-term operand with an octet-string
// term; nothing for any other shape.
bool singleTerm(const Z_Query* q, std::string* term) {
  if (!q || (q->which != Z_Query_type_1 && q->which != Z_Query_type_101)) return false;
  const Z_RPNStructure* s = q->u.type_1->RPNStructure;
  if (!s || s->which != Z_RPNStructure_simple) return false;
  const Z_Operand* op = s->u.simple;
  if (op->which != Z_Operand_APT) return false;
  const Z_Term* t = op->u.attributesPlusTerm->term;
  if (t->which != Z_Term_general) return false;
  term->assign(reinterpret_cast<const char*>(t->u.general->buf), size_t(t->u.general->len));
  return true;
}

int search(void* handle, bend_search_rr* rr) {
  rr->hits = 0;
  g_count = 0;  // until the window answers, no position is a hit
  std::string term;
  if (!singleTerm(rr->query, &term)) {
    rr->errcode = kSearchFailed;
    return 0;
  }
  std::optional<std::string> reply = ask(static_cast<Association*>(handle), Kind::Search, term, Kind::Count);
  if (!reply) {
    rr->errcode = kSearchFailed;
    return 0;
  }
  const std::string& answer = *reply;
  int32_t status = zoomsvr::unpackInt(answer, 0);
  if (status != 0) {
    rr->errcode = status;
    return 0;
  }
  // A count below 0 from the window is no hit at all.
  g_count = std::max(zoomsvr::unpackInt(answer, 4), 0);
  rr->hits = g_count;
  rr->errcode = 0;
  return 0;
}

// USMARC when the directory holds an 008 entry, else UNIMARC.
const Odr_oid* syntaxOf(const std::string& record) {
  for (size_t at = 24, n = 0; n < kDirectoryEntries && at + 3 <= record.size(); at += 12, ++n) {
    if (record[at] == '\x1E') break;
    if (record.compare(at, 3, "008") == 0) return yaz_oid_recsyn_usmarc;
  }
  return yaz_oid_recsyn_unimarc;
}

int fetch(void* handle, bend_fetch_rr* rr) {
  // Only the positions of the last search's hits are the window's to answer; any other is
  // refused here, with the position as additional information, as yaz-ztest does.
  if (rr->number < 1 || rr->number > g_count) {
    rr->errcode = kOutOfRange;
    rr->errstring = odr_strdup(rr->stream, std::to_string(rr->number).c_str());
    return 0;
  }
  std::optional<std::string> reply =
      ask(static_cast<Association*>(handle), Kind::Fetch, zoomsvr::packInt(rr->number), Kind::Record);
  if (!reply) {
    rr->errcode = kNoAnswer;
    return 0;
  }
  const std::string& answer = *reply;
  int32_t status = zoomsvr::unpackInt(answer, 0);
  std::string record = answer.size() > 4 ? answer.substr(4) : std::string();
  if (status != 0) {
    rr->errcode = status;
    return 0;
  }
  if (record.empty()) {
    rr->errcode = kNoRecord;
    return 0;
  }
  rr->len = int(record.size());
  rr->record = static_cast<char*>(odr_malloc(rr->stream, record.size() + 1));
  std::memcpy(rr->record, record.data(), record.size() + 1);
  rr->last_in_set = rr->number >= g_count ? 1 : 0;
  rr->basename = odr_strdup(rr->stream, "Default");
  rr->output_format = odr_oiddup(rr->stream, syntaxOf(record));
  rr->errcode = 0;
  return 0;
}

int present(void*, bend_present_rr*) { return 0; }

int deleteSets(void*, bend_delete_rr* rr) {
  rr->delete_status = 1;
  if (rr->num_setnames > 0 && rr->statuses) rr->statuses[0] = 1;
  return 0;
}

// Sort, extended services and scan are not offered; each says so with its own code.
template <int Code, typename Request>
int notSupported(void*, Request* rr) {
  rr->errcode = Code;
  rr->errstring = odr_strdup(rr->stream, kNotSupported);
  return 0;
}

int explain(void*, bend_explain_rr* rr) {
  rr->explain_buf = odr_strdup(rr->stream, "<explain>Z39.50 service of a ZoomSvr host program</explain>");
  return 0;
}

bend_initresult* init(bend_initrequest* q) {
  auto* r = static_cast<bend_initresult*>(odr_malloc(q->stream, sizeof(bend_initresult)));
  std::memset(r, 0, sizeof *r);
  auto* a = new Association{g_nextAssociation++, false};
  r->handle = a;
  if (g_busy != 0) {
    r->errcode = kRefused;  // one client at a time
    return r;
  }
  g_busy = a->id;
  a->served = true;
  g_count = 0;  // a new client has searched nothing yet
  a->fd = initiatingClient();
  if (a->fd >= 0) {
    a->inode = inodeOf(a->fd);
    g_servedSockets.insert({a->fd, a->inode});
  }
  zoomsvr::writeFrame(zoomsvr::kRelayFd, Frame{Kind::Peer, 0, peerAddress(q->peer_name)});
  q->bend_search = search;
  q->bend_fetch = fetch;
  q->bend_present = present;
  q->bend_delete = deleteSets;
  q->bend_sort = notSupported<kSortRefused, bend_sort_rr>;
  q->bend_esrequest = notSupported<kServiceRefused, bend_esrequest_rr>;
  q->bend_scan = notSupported<kScanRefused, bend_scan_rr>;
  q->bend_explain = explain;
  r->errcode = 0;
  return r;
}

void closeAssociation(void* handle) {
  auto* a = static_cast<Association*>(handle);
  if (!a) return;
  // Only the close of the association being served frees the server: a refused client
  // leaving must not let a third one in beside the first.
  if (a->served && g_busy == a->id) g_busy = 0;
  if (a->served) g_servedSockets.erase({a->fd, a->inode});
  delete a;
}

void started(statserv_options_block*) {
  zoomsvr::writeFrame(zoomsvr::kRelayFd, Frame{Kind::Listening, 0, {}});
}

// Ends this process as soon as the object's end of the relay is gone (its program ended or
// crashed), so that no orphan keeps the port. Only watches for the hang-up: the answers
// themselves are read by the handlers.
void watchRelay() {
  for (;;) {
    pollfd p{zoomsvr::kRelayFd, POLLRDHUP, 0};
    if (poll(&p, 1, -1) > 0 && (p.revents & (POLLRDHUP | POLLHUP | POLLERR | POLLNVAL))) _exit(0);
  }
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s <listening address>\n", argv[0]);
    return 2;
  }
  std::thread(watchRelay).detach();
  statserv_options_block* control = statserv_getcontrol();
  control->bend_start = started;
  statserv_setcontrol(control);
  std::string listen = argv[1];
  char program[] = "ZoomSvr", timeoutFlag[] = "-t", minutes[] = "60", staticMode[] = "-S";
  // Options take effect for the listeners named after them: "-S" goes first.
  char* args[] = {program, staticMode, listen.data(), timeoutFlag, minutes, nullptr};
  int rc = statserv_main(5, args, init, closeAssociation);
  // Ended without ever listening (the address could not be bound): say so.
  zoomsvr::writeFrame(zoomsvr::kRelayFd, Frame{Kind::BindFailed, 0, {}});
  return rc == 0 ? 1 : rc;
}
