// A counting semaphore with a maximum count, in the role of the Windows semaphore:
// a release that would pass the maximum fails and changes nothing.
#pragma once

#include <platform/export.h>

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>

QORVEL_PLATFORM_API_BEGIN
namespace platform {

class Semaphore {
 public:
  enum class WaitResult { Signalled = 0, Timeout = 0x102 };  // WAIT_OBJECT_0, WAIT_TIMEOUT
  static constexpr uint32_t kInfinite = 0xFFFFFFFFu;

  /// \brief A semaphore holding `initial` units of at most `maximum`; throws
  /// std::invalid_argument unless 0 <= initial <= maximum and maximum > 0.
  Semaphore(int32_t initial, int32_t maximum);
  Semaphore(const Semaphore&) = delete;
  Semaphore& operator=(const Semaphore&) = delete;

  /// \brief Takes one unit, waiting up to `timeoutMs` milliseconds (kInfinite: for ever,
  /// 0: not at all) for one to be released.
  WaitResult Wait(uint32_t timeoutMs = kInfinite);

  /// \brief Adds `count` units and wakes waiters; false (nothing added) when count is not
  /// positive or the count would pass the maximum. `previous` receives the count before.
  bool Release(int32_t count = 1, int32_t* previous = nullptr);

  /// \brief The units held now (for tests and diagnostics; may change at once).
  int32_t count() const;
  /// \brief The maximum count given at construction.
  int32_t maximum() const { return max_; }

 private:
  mutable std::mutex mutex_;
  std::condition_variable cv_;
  int32_t count_;
  const int32_t max_;
};

}  // namespace platform
QORVEL_PLATFORM_API_END
