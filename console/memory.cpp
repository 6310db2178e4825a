// Allocation services that never return null: running out of memory ends
// the run, so no caller checks a result.
#include <cstdlib>

#include <unistd.h>

#include "console/services.h"

void* AllocOrDie(int32_t size) {
  void* block = size > 0 ? std::malloc(static_cast<size_t>(size)) : nullptr;
  if (block == nullptr) FatalError("cannot allocate %lu bytes", static_cast<unsigned long>(static_cast<uint32_t>(size)));
  return block;
}

void* ReallocOrDie(void* block, int32_t size) {
  void* moved = size > 0 ? std::realloc(block, static_cast<size_t>(size)) : nullptr;
  if (moved == nullptr) FatalError("cannot reallocate %lu bytes", static_cast<unsigned long>(static_cast<uint32_t>(size)));
  return moved;
}

void FreeBlock(void* block) { std::free(block); }

// The copy buffer never needs more than 128000 bytes plus its 1000-byte
// reserve, so the figure is capped there and cannot wrap on large machines.
int32_t AvailableMemory() {
  constexpr int64_t Cap = 129000;
  long pages = sysconf(_SC_AVPHYS_PAGES);
  long pageSize = sysconf(_SC_PAGESIZE);
  if (pages <= 0 || pageSize <= 0) return static_cast<int32_t>(Cap);
  int64_t bytes = static_cast<int64_t>(pages) * pageSize;
  return static_cast<int32_t>(bytes < Cap ? bytes : Cap);
}
