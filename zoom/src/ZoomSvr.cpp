// Methods of CZoomSvr: the window-driven Z39.50 server.
//
// YAZ's front end runs in a server process of its own (server/host_process.h); this object
// keeps the relay with it on one thread. Each request that arrives is announced to the
// window by a posted WM_ZOOMSVR_REQUEST, and the relay thread waits at most 10 seconds for
// the window's answer (SetRsCount or SetRecord) before it tells the client that none came.
#include "ZoomSvr.h"

#include "server/host_process.h"
#include "server/record_bytes.h"
#include "server/relay.h"

#include <platform/codepage.h>
#include <platform/text.h>
#include <ui/handles.h>
#include <ui/messages.h>

#include <QCoreApplication>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

#include <poll.h>
#include <unistd.h>

namespace zoom {
namespace {

constexpr uint32_t WM_ZOOMSVR_REQUEST = 0x1011;
constexpr auto kAnswerTimeout = std::chrono::seconds(10);
// How often a wait looks at the relay for a request whose client has hung up.
constexpr auto kCancelPoll = std::chrono::milliseconds(10);
constexpr int32_t kSearchFailed = 1;
constexpr int32_t kNoAnswer = 0x5001;
constexpr int32_t kAlreadyRunning = -1;
constexpr int32_t kNotListening = -2;

// The one server of the process: a second object's Startup is refused while it runs.
std::atomic<CZoomSvr*> g_server{nullptr};

}  // namespace

struct CZoomSvr::State {
  enum class Want { Nothing, Count, Record };

  std::mutex lock;
  std::condition_variable changed;
  std::u16string query;
  std::u16string peer;
  int32_t count = 0;
  std::string record;
  int32_t queryCodePage = 0;
  int32_t resultCodePage = 0;
  ui::HWND window = 0;

  // The request now waiting for an answer. Requests are numbered; the message of each
  // marks its number delivered when Qt is done with it. An answer counts only for the
  // request waiting now, and only when every earlier request's message has been handled:
  // an answer the window gives while handling an earlier message is late and dropped.
  uint64_t lastSeq = 0;
  uint64_t deliveredThrough = 0;
  uint64_t waitingSeq = 0;
  Want want = Want::Nothing;
  bool answered = false;
  bool stopping = false;

  zoomsvr::HostProcess host;
  std::thread relay;

  bool acceptsAnswer(Want kind) const {
    return want == kind && !answered && deliveredThrough + 1 >= waitingSeq;
  }
};

namespace {

using State = CZoomSvr::State;

class RequestEvent : public ui::MessageEvent {
 public:
  RequestEvent(std::shared_ptr<State> state, uint64_t seq, ui::WPARAM w, ui::LPARAM l)
      : MessageEvent(WM_ZOOMSVR_REQUEST, w, l), state_(std::move(state)), seq_(seq) {}
  // Qt deletes a posted event right after delivering it, or when it drops it.
  ~RequestEvent() override {
    std::lock_guard g(state_->lock);
    if (seq_ > state_->deliveredThrough) state_->deliveredThrough = seq_;
  }

 private:
  std::shared_ptr<State> state_;
  uint64_t seq_;
};

// Whether the server process has called off request `seq` (its client hung up). A frame of
// another kind that arrives meanwhile is kept in `early` for the relay loop; the end of the
// stream counts as called off.
bool calledOff(int fd, uint32_t seq, std::optional<zoomsvr::Frame>& early) {
  if (early) return false;
  pollfd p{fd, POLLIN, 0};
  if (poll(&p, 1, 0) <= 0) return false;
  std::optional<zoomsvr::Frame> f = zoomsvr::readFrame(fd);
  if (!f) return true;
  if (f->kind == zoomsvr::Kind::Cancel) return f->seq == seq;
  early = std::move(f);
  return false;
}

// Posts the request to the window and waits for its answer; false on time-out, on stop, or
// when the client of the request hangs up meanwhile (the server process says so over `fd`).
bool askWindow(const std::shared_ptr<State>& s, State::Want kind, ui::WPARAM w, ui::LPARAM l, int fd,
               uint32_t requestSeq, std::optional<zoomsvr::Frame>& early) {
  std::unique_lock g(s->lock);
  uint64_t seq = ++s->lastSeq;
  s->waitingSeq = seq;
  s->want = kind;
  s->answered = false;
  ui::HWND window = s->window;
  // With no window to post to nothing marks the request delivered; without this mark every
  // later request would refuse its answer as late.
  if (!ui::isWindow(window)) s->deliveredThrough = seq - 1;
  g.unlock();
  // Posted by handle: the window may be deleted on its own thread at any moment.
  bool posted = ui::postEvent(window, new RequestEvent(s, seq, w, l));
  g.lock();
  if (!posted && s->deliveredThrough < seq - 1) s->deliveredThrough = seq - 1;
  const auto deadline = std::chrono::steady_clock::now() + kAnswerTimeout;
  while (!s->answered && !s->stopping && std::chrono::steady_clock::now() < deadline) {
    if (s->changed.wait_for(g, kCancelPoll, [&] { return s->answered || s->stopping; })) break;
    g.unlock();
    const bool off = calledOff(fd, requestSeq, early);
    g.lock();
    if (off) break;
  }
  bool got = s->answered;
  s->want = State::Want::Nothing;
  s->waitingSeq = 0;
  return got;
}

void relayRequests(std::shared_ptr<State> s, int fd) {
  using zoomsvr::Frame;
  using zoomsvr::Kind;
  std::optional<Frame> early;  // read while waiting for an answer
  for (;;) {
    std::optional<Frame> f = early ? std::move(early) : zoomsvr::readFrame(fd);
    early.reset();
    if (!f) return;
    switch (f->kind) {
      case Kind::Peer: {
        std::lock_guard g(s->lock);
        s->peer = platform::fromUtf8(f->payload);
        break;
      }
      case Kind::Search: {
        {
          std::lock_guard g(s->lock);
          int cp = s->queryCodePage == platform::CP_UTF8 ? platform::CP_UTF8 : platform::CP_ACP;
          s->query = platform::toWide(cp, f->payload);
        }
        bool got = askWindow(s, State::Want::Count, 0, 0, fd, f->seq, early);
        int32_t count;
        {
          std::lock_guard g(s->lock);
          count = s->count;
        }
        std::string answer = zoomsvr::packInt(got ? 0 : kSearchFailed) + zoomsvr::packInt(got ? count : 0);
        if (!zoomsvr::writeFrame(fd, Frame{Kind::Count, f->seq, answer})) return;
        break;
      }
      case Kind::Fetch: {
        int32_t position = zoomsvr::unpackInt(f->payload, 0);
        bool got = askWindow(s, State::Want::Record, 1, position, fd, f->seq, early);
        std::string answer = zoomsvr::packInt(got ? 0 : kNoAnswer);
        if (got) {
          std::lock_guard g(s->lock);
          answer += s->record;
        }
        if (!zoomsvr::writeFrame(fd, Frame{Kind::Record, f->seq, answer})) return;
        break;
      }
      default: break;
    }
  }
}

}  // namespace

CZoomSvr::CZoomSvr() : state_(std::make_shared<State>()) {}

CZoomSvr::~CZoomSvr() { Cleanup(); }

int32_t CZoomSvr::Startup(int32_t lParentWnd, int32_t lQueryCP, int32_t lResultCP) {
  CZoomSvr* none = nullptr;
  if (state_->host.running() || !g_server.compare_exchange_strong(none, this)) return kAlreadyRunning;
  {
    std::lock_guard g(state_->lock);
    state_->window = static_cast<ui::HWND>(lParentWnd);
    state_->queryCodePage = lQueryCP;
    state_->resultCodePage = lResultCP;
    state_->stopping = false;
    state_->answered = false;
    state_->want = State::Want::Nothing;
    state_->deliveredThrough = state_->lastSeq;  // nothing of an earlier run is pending
  }
  zoomsvr::HostProcess host = zoomsvr::startHost(zoomsvr::listenAddress());
  if (!host.running()) {
    // The address could not be bound (or the server program is missing): say so.
    g_server = nullptr;
    return kNotListening;
  }
  state_->host = host;
  state_->relay = std::thread(relayRequests, state_, host.fd);
  return 0;
}

std::u16string CZoomSvr::GetPeerName() {
  std::lock_guard g(state_->lock);
  return state_->peer;
}

void CZoomSvr::SetRsCount(int32_t lCount) {
  std::lock_guard g(state_->lock);
  if (!state_->acceptsAnswer(State::Want::Count)) return;
  state_->count = lCount;
  state_->answered = true;
  state_->changed.notify_all();
}

void CZoomSvr::SetRecord(const std::u16string& szRecord) {
  int32_t codePage;
  {
    std::lock_guard g(state_->lock);
    if (!state_->acceptsAnswer(State::Want::Record)) return;
    codePage = state_->resultCodePage;
  }
  std::string bytes = zoomsvr::isoRecord(szRecord, codePage);
  std::lock_guard g(state_->lock);
  if (!state_->acceptsAnswer(State::Want::Record)) return;
  state_->record = std::move(bytes);
  state_->answered = true;
  state_->changed.notify_all();
}

void CZoomSvr::Cleanup() {
  if (!state_->host.running()) return;
  zoomsvr::stopHost(state_->host);
  {
    std::lock_guard g(state_->lock);
    state_->stopping = true;
    state_->peer.clear();
  }
  state_->changed.notify_all();
  if (state_->relay.joinable()) state_->relay.join();
  ::close(state_->host.fd);
  state_->host.fd = -1;
  CZoomSvr* self = this;
  g_server.compare_exchange_strong(self, nullptr);
}

std::u16string CZoomSvr::GetQuery() {
  std::lock_guard g(state_->lock);
  return state_->query;
}

}  // namespace zoom
