#include <platform/semaphore.h>

#include <gtest/gtest.h>

#include <stdexcept>
#include <thread>

using namespace platform;
using Result = Semaphore::WaitResult;

TEST(Semaphore, ReleasePastTheMaximumFails) {
  Semaphore s(0, 2);
  int32_t previous = -1;
  EXPECT_TRUE(s.Release(1, &previous));
  EXPECT_EQ(previous, 0);
  EXPECT_TRUE(s.Release(1, &previous));
  EXPECT_EQ(previous, 1);
  EXPECT_FALSE(s.Release());  // 3 > 2
  EXPECT_EQ(s.count(), 2);
  EXPECT_EQ(s.Wait(0), Result::Signalled);
  EXPECT_FALSE(s.Release(2));  // would make 3: nothing is added
  EXPECT_EQ(s.count(), 1);
  EXPECT_FALSE(s.Release(0));
  EXPECT_FALSE(s.Release(-1));
  EXPECT_EQ(s.count(), 1);
}

TEST(Semaphore, WaitTimesOutWhenNothingIsReleased) {
  Semaphore s(1, 1);
  EXPECT_EQ(s.Wait(0), Result::Signalled);
  EXPECT_EQ(s.Wait(0), Result::Timeout);
  EXPECT_EQ(s.Wait(20), Result::Timeout);
  EXPECT_EQ(s.count(), 0);
}

TEST(Semaphore, WaiterWakesOnReleaseFromAnotherThread) {
  Semaphore request(0, 1), answer(0, 1);
  std::thread server([&] {
    for (int i = 0; i < 100; ++i) {
      ASSERT_EQ(request.Wait(), Result::Signalled);
      ASSERT_TRUE(answer.Release());
    }
  });
  for (int i = 0; i < 100; ++i) {
    ASSERT_TRUE(request.Release());
    ASSERT_EQ(answer.Wait(Semaphore::kInfinite), Result::Signalled);
  }
  server.join();
  EXPECT_EQ(request.count(), 0);
}

TEST(Semaphore, CountsOutOfRangeAreRefused) {
  EXPECT_THROW(Semaphore(2, 1), std::invalid_argument);
  EXPECT_THROW(Semaphore(-1, 1), std::invalid_argument);
  EXPECT_THROW(Semaphore(0, 0), std::invalid_argument);
  EXPECT_NO_THROW(Semaphore(1, 1));
}
