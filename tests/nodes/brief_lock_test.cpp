// SPDX-License-Identifier: GPL-2.0-or-later
// The annotated lock of the node builder's threads: it excludes, taken
// briefly or at once, and a hold waiting on a condition variable lets the
// other threads in and holds the lock again when it wakes.
#include "nodes/brief_lock.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

namespace {

struct Counted {
  Mutex lock;
  std::condition_variable wake;
  int64_t count GUARDED_BY(lock) = 0;
  int32_t step GUARDED_BY(lock) = 0;
};

void CountUnderTheLock(Counted* counted, LockWay way, int32_t times) {
  for (int32_t i = 0; i < times; i++) {
    Hold hold(counted->lock, way);
    counted->count++;
  }
}

TEST(BriefLockTest, HoldsExcludeOneAnotherTakenEitherWay) {
  for (bool spin : {true, false}) {
    Tuning.spinWaits = spin;
    Counted counted;
    const int32_t times = 200000;
    std::thread briefly(CountUnderTheLock, &counted, Briefly, times);
    std::thread atOnce(CountUnderTheLock, &counted, AtOnce, times);
    CountUnderTheLock(&counted, Briefly, times);
    briefly.join();
    atOnce.join();
    Hold hold(counted.lock);
    EXPECT_EQ(counted.count, 3 * times) << (spin ? "with" : "without") << " spin waits";
  }
  ResetChoiceTuning();
}

// The other thread can only move to step 2 while this one waits. Once
// this one is awake again, the other takes the lock and reads the count,
// which this one sets to 1 and then 2 under its hold: the other must see 2.
// Waits are bounded, so a lock kept through the wait fails the test rather
// than hanging it.
TEST(BriefLockTest, AWaitingHoldLetsOthersInAndHoldsTheLockAgainOnWaking) {
  Counted counted;
  std::atomic<bool> woken{false};
  int64_t seen = -1;
  std::thread other([&counted, &woken, &seen] {
    {
      Hold hold(counted.lock);
      for (int32_t i = 0; i < 500 && counted.step != 1; i++)
        hold.WaitFor(counted.wake, std::chrono::milliseconds(2));
      counted.step = 2;
      counted.wake.notify_all();
    }
    while (!woken) std::this_thread::yield();
    Hold hold(counted.lock);
    seen = counted.count;
  });
  {
    Hold hold(counted.lock);
    counted.step = 1;
    counted.wake.notify_all();
    for (int32_t i = 0; i < 500 && counted.step != 2; i++)
      hold.WaitFor(counted.wake, std::chrono::milliseconds(2));
    woken = true;
    EXPECT_EQ(counted.step, 2);
    counted.count = 1;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    counted.count = 2;
  }
  other.join();
  EXPECT_EQ(seen, 2);
}

}  // namespace
