// Calls that may take long (a server's answer, a rule script) made on another thread while
// the window stays alive: the window's events are processed until the call returns, so that
// 停止 and the window's close are seen at once, whatever the server or the script does.
//
// A call is given up only when the run is stopped while it is under way (停止 or the
// window's close clears the running flag) or when it runs past its time limit; a call made
// after the run was stopped still runs to its end, as the current item's work does.
#pragma once

#include <chrono>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>

class CSearchHost;

/// How a call made while the window stays alive ended.
enum class LiveEnd { Returned, Stopped, TimedOut };

/// What the caller and the thread of one call share: whether it has returned.
class CLiveCallState {
 public:
  void Finish();
  bool WaitFor(std::chrono::milliseconds ms);

 private:
  std::mutex lock_;
  std::condition_variable done_;
  bool finished_ = false;
};

/// \brief Waits until `state` has finished, processing the window's events meanwhile. When
/// the run is stopped during the wait (`host` says so) or `limit` passes (0: none), it calls
/// `interrupt` and goes on waiting, calling it again every few milliseconds until the call
/// returns; without `interrupt` it gives the call up at once.
LiveEnd WaitLive(CLiveCallState& state, const CSearchHost* host, std::chrono::milliseconds limit,
                 const std::function<void()>& interrupt);

/// \brief Runs `call` on a thread of its own while the window stays alive; its result, or
/// nothing when the run was stopped first. A stopped call is abandoned to its thread, which
/// owns whatever `call` holds and lets go of it when the call returns.
template <class R>
std::optional<R> CallLive(std::function<R()> call, const CSearchHost& host);

/// \brief Waits until every abandoned call has returned (each is bounded by its own
/// time-out): the program's end must not tear its libraries down under them.
void WaitForAbandonedCalls();

/// A thread that runs calls one at a time, each while the window stays alive, for work that
/// must stay on one thread (a script engine keeps the stack of the thread it started on).
/// Its calls are interrupted, never abandoned.
class CLiveThread {
 public:
  CLiveThread();
  /// Ends the thread once its call has returned.
  ~CLiveThread();
  CLiveThread(const CLiveThread&) = delete;
  CLiveThread& operator=(const CLiveThread&) = delete;

  /// \brief Runs `call` on this thread and waits for it as WaitLive does.
  LiveEnd Run(std::function<void()> call, const CSearchHost* host, std::chrono::milliseconds limit,
              const std::function<void()>& interrupt);

 private:
  void Loop();

  std::mutex lock_;
  std::condition_variable wake_;
  std::function<void()> task_;
  std::shared_ptr<CLiveCallState> state_;
  bool quit_ = false;
  std::thread thread_;
};

namespace live {

/// The count of calls whose threads still run, for WaitForAbandonedCalls.
void CallStarted();
void CallEnded();

}  // namespace live

template <class R>
std::optional<R> CallLive(std::function<R()> call, const CSearchHost& host) {
  struct Shared {
    CLiveCallState state;
    R result{};
  };
  auto shared = std::make_shared<Shared>();
  live::CallStarted();
  std::thread([shared, task = std::move(call)]() mutable {
    try {
      shared->result = task();
    } catch (...) {
      // The objects failed as such: the call answers its default.
    }
    // What the call holds goes before the call counts as ended.
    task = nullptr;
    shared->state.Finish();
    live::CallEnded();
  }).detach();
  if (WaitLive(shared->state, &host, std::chrono::milliseconds(0), {}) != LiveEnd::Returned) return std::nullopt;
  return shared->result;
}
