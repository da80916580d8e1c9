#include <platform/semaphore.h>

#include <stdexcept>

namespace platform {

Semaphore::Semaphore(int32_t initial, int32_t maximum) : count_(initial), max_(maximum) {
  if (maximum <= 0 || initial < 0 || initial > maximum) throw std::invalid_argument("semaphore count out of range");
}

Semaphore::WaitResult Semaphore::Wait(uint32_t timeoutMs) {
  std::unique_lock<std::mutex> lock(mutex_);
  auto ready = [this] { return count_ > 0; };
  if (timeoutMs == kInfinite) {
    cv_.wait(lock, ready);
  } else if (!cv_.wait_for(lock, std::chrono::milliseconds(timeoutMs), ready)) {
    return WaitResult::Timeout;
  }
  --count_;
  return WaitResult::Signalled;
}

bool Semaphore::Release(int32_t count, int32_t* previous) {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (count <= 0 || count > max_ - count_) return false;
    if (previous) *previous = count_;
    count_ += count;
  }
  if (count == 1) cv_.notify_one();
  else cv_.notify_all();
  return true;
}

int32_t Semaphore::count() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return count_;
}

}  // namespace platform
