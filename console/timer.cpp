// SPDX-License-Identifier: GPL-2.0-or-later
// Phase timer in hundredths of a second. A monotonic clock keeps a phase
// that spans midnight or a clock change from coming out negative.
#include <ctime>

#include "console/services.h"

namespace {

int64_t ReadMonotonicNanoseconds() {
  timespec now{};
  clock_gettime(CLOCK_MONOTONIC, &now);
  return static_cast<int64_t>(now.tv_sec) * 1000000000 + now.tv_nsec;
}

int64_t (*ReadClock)() = ReadMonotonicNanoseconds;
int64_t StartMark = 0;
int32_t LastElapsed = 0;

// Each reading is cut to whole hundredths before the difference is taken,
// as a clock that ticks in hundredths would give it.
int64_t ReadHundredths() { return ReadClock() / 10000000; }

}  // namespace

void SetTimerClock(int64_t (*readNanoseconds)()) {
  ReadClock = readNanoseconds != nullptr ? readNanoseconds : ReadMonotonicNanoseconds;
}

void TimerStart() { StartMark = ReadHundredths(); }

int32_t TimerStop() {
  LastElapsed = static_cast<int32_t>(ReadHundredths() - StartMark);
  return LastElapsed;
}
