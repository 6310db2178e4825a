// Allocation of arrays whose entry count comes from the input. Kept apart
// from the allocator itself so that every block still passes through
// AllocOrDie and ReallocOrDie.
#include <cstdint>

#include "console/services.h"

// Sizes beyond the 32-bit byte counts of the services are reported with
// the size asked for, like any other allocation that cannot be had.
static int64_t ArraySize(int32_t count, int32_t entrySize) {
  return static_cast<int64_t>(count) * entrySize;
}

void* AllocArrayOrDie(int32_t count, int32_t entrySize) {
  int64_t size = ArraySize(count, entrySize);
  if (size > INT32_MAX) FatalError("cannot allocate %lu bytes", static_cast<unsigned long>(size));
  return AllocOrDie(static_cast<int32_t>(size));
}

void* ReallocArrayOrDie(void* block, int32_t count, int32_t entrySize) {
  int64_t size = ArraySize(count, entrySize);
  if (size > INT32_MAX) FatalError("cannot reallocate %lu bytes", static_cast<unsigned long>(size));
  return ReallocOrDie(block, static_cast<int32_t>(size));
}
