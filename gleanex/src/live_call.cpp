#include "live_call.h"

#include "server_conn.h"

#include <QCoreApplication>

namespace {

// How often the window's events are processed and the running flag looked at.
constexpr auto kStep = std::chrono::milliseconds(10);

// The calls still running on their threads. Never destroyed: an abandoned call may end
// while the program's statics go.
struct Running {
  std::mutex lock;
  std::condition_variable changed;
  int calls = 0;
};

Running& running() {
  static Running* r = new Running;
  return *r;
}

}  // namespace

void CLiveCallState::Finish() {
  {
    std::lock_guard g(lock_);
    finished_ = true;
  }
  done_.notify_all();
}

bool CLiveCallState::WaitFor(std::chrono::milliseconds ms) {
  std::unique_lock g(lock_);
  return done_.wait_for(g, ms, [&] { return finished_; });
}

LiveEnd WaitLive(CLiveCallState& state, const CSearchHost* host, std::chrono::milliseconds limit,
                 const std::function<void()>& interrupt) {
  const auto start = std::chrono::steady_clock::now();
  const bool runningAtStart = !host || host->IsRunning();
  LiveEnd end = LiveEnd::Returned;
  while (!state.WaitFor(kStep)) {
    if (QCoreApplication::instance()) QCoreApplication::processEvents(QEventLoop::AllEvents);
    if (end == LiveEnd::Returned) {
      if (runningAtStart && host && !host->IsRunning()) end = LiveEnd::Stopped;
      else if (limit.count() > 0 && std::chrono::steady_clock::now() - start >= limit) end = LiveEnd::TimedOut;
    }
    if (end == LiveEnd::Returned) continue;
    if (!interrupt) return end;
    interrupt();
  }
  return end;
}

void WaitForAbandonedCalls() {
  Running& r = running();
  std::unique_lock g(r.lock);
  r.changed.wait(g, [&] { return r.calls == 0; });
}

namespace live {

void CallStarted() {
  std::lock_guard g(running().lock);
  ++running().calls;
}

void CallEnded() {
  Running& r = running();
  {
    std::lock_guard g(r.lock);
    --r.calls;
  }
  r.changed.notify_all();
}

}  // namespace live

CLiveThread::CLiveThread() : thread_([this] { Loop(); }) {}

CLiveThread::~CLiveThread() {
  {
    std::lock_guard g(lock_);
    quit_ = true;
  }
  wake_.notify_all();
  thread_.join();
}

LiveEnd CLiveThread::Run(std::function<void()> call, const CSearchHost* host, std::chrono::milliseconds limit,
                         const std::function<void()>& interrupt) {
  auto state = std::make_shared<CLiveCallState>();
  {
    std::lock_guard g(lock_);
    task_ = std::move(call);
    state_ = state;
  }
  wake_.notify_all();
  return WaitLive(*state, host, limit, interrupt);
}

void CLiveThread::Loop() {
  for (;;) {
    std::function<void()> task;
    std::shared_ptr<CLiveCallState> state;
    {
      std::unique_lock g(lock_);
      wake_.wait(g, [&] { return quit_ || task_; });
      if (!task_) return;
      task = std::move(task_);
      task_ = nullptr;
      state = std::move(state_);
    }
    try {
      task();
    } catch (...) {
      // The work failed as such: the caller finds what it left.
    }
    state->Finish();
  }
}
