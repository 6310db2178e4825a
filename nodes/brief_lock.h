// SPDX-License-Identifier: GPL-2.0-or-later
// Locks held only briefly by the node builder's threads. A thread that
// finds one held tries again for a while before it sleeps: putting a thread
// to sleep and waking it costs far more than the wait.
//
// Mutex and Hold wrap std::mutex and std::unique_lock so that clang's
// thread-safety analysis knows them (nodes/thread_annotations.h): fields
// marked GUARDED_BY a Mutex and functions marked REQUIRES it are checked
// against every place the lock is taken and released.
#pragma once

#include <immintrin.h>

#include <condition_variable>
#include <cstdint>
#include <mutex>

#include "nodes/thread_annotations.h"
#include "nodes/tuning.h"

// Tries before sleeping: a few microseconds of pause instructions.
const int32_t BriefLockTries = 200;

class CAPABILITY("mutex") Mutex {
 public:
  // Tries for a while (with Tuning.spinWaits), then sleeps until it is free.
  void LockBriefly() ACQUIRE() {
    for (int32_t i = 0, tries = Tuning.spinWaits ? BriefLockTries : 0; i < tries; i++) {
      if (mutex_.try_lock()) return;
      _mm_pause();
    }
    mutex_.lock();
  }
  // Sleeps at once when it is held, as std::mutex does.
  void Lock() ACQUIRE() { mutex_.lock(); }
  void Unlock() RELEASE() { mutex_.unlock(); }

 private:
  friend class Hold;
  std::mutex mutex_;
};

// How a Hold takes its lock, the first time and after each Unlock.
enum LockWay { Briefly, AtOnce };

// Holds a Mutex until it goes out of scope, or between Unlock and Lock.
// Condition variables wait on it, releasing the lock while they sleep.
class SCOPED_CAPABILITY Hold {
 public:
  explicit Hold(Mutex& mutex, LockWay way = Briefly) ACQUIRE(mutex) : mutex_(&mutex), way_(way), held_(true) {
    if (way_ == Briefly) {
      mutex_->LockBriefly();
    } else {
      mutex_->Lock();
    }
  }
  ~Hold() RELEASE() {
    if (held_) mutex_->Unlock();
  }
  Hold(const Hold&) = delete;
  Hold& operator=(const Hold&) = delete;

  void Unlock() RELEASE() {
    held_ = false;
    mutex_->Unlock();
  }
  void Lock() ACQUIRE() {
    if (way_ == Briefly) {
      mutex_->LockBriefly();
    } else {
      mutex_->Lock();
    }
    held_ = true;
  }

  // Sleeps until woken, or until `wait` has passed: spurious wake-ups
  // return too, so callers test their condition in a loop.
  void Wait(std::condition_variable& wake) {
    std::unique_lock<std::mutex> adopted(mutex_->mutex_, std::adopt_lock);
    wake.wait(adopted);
    adopted.release();
  }
  template <class Duration>
  void WaitFor(std::condition_variable& wake, Duration wait) {
    std::unique_lock<std::mutex> adopted(mutex_->mutex_, std::adopt_lock);
    wake.wait_for(adopted, wait);
    adopted.release();
  }

 private:
  Mutex* mutex_;
  LockWay way_;
  bool held_;
};
