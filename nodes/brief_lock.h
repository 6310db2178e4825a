// SPDX-License-Identifier: GPL-2.0-or-later
// Locks held only briefly by the node builder's threads. A thread that
// finds one held tries again for a while before it sleeps: putting a thread
// to sleep and waking it costs far more than the wait.
#pragma once

#include <immintrin.h>

#include <cstdint>
#include <mutex>

#include "nodes/tuning.h"

// Tries before sleeping: a few microseconds of pause instructions.
const int32_t BriefLockTries = 200;

inline void LockBriefly(std::unique_lock<std::mutex>* hold) {
  for (int32_t i = 0, tries = Tuning.spinWaits ? BriefLockTries : 0; i < tries; i++) {
    if (hold->try_lock()) return;
    _mm_pause();
  }
  hold->lock();
}

inline std::unique_lock<std::mutex> HoldBriefly(std::mutex& lock) {
  std::unique_lock<std::mutex> hold(lock, std::defer_lock);
  LockBriefly(&hold);
  return hold;
}
