// Phase timer in hundredths of a second. A monotonic clock keeps a phase
// that spans midnight or a clock change from coming out negative.
#include <ctime>

#include "console/services.h"

namespace {
int64_t StartMark = 0;
int32_t LastElapsed = 0;

int64_t ReadHundredths() {
  timespec now{};
  clock_gettime(CLOCK_MONOTONIC, &now);
  return static_cast<int64_t>(now.tv_sec) * 100 + now.tv_nsec / 10000000;
}
}  // namespace

void TimerStart() { StartMark = ReadHundredths(); }

int32_t TimerStop() {
  LastElapsed = static_cast<int32_t>(ReadHundredths() - StartMark);
  return LastElapsed;
}
