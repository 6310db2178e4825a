// Allocation services that never return null: running out of memory ends
// the run, so no caller checks a result.
#include <sys/sysinfo.h>

#include <cstdlib>

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

// Free physical memory plus free swap. The copy buffer never needs more than
// 128000 bytes plus its 1000-byte reserve, so the figure is capped there and
// cannot wrap on large machines; a system that does not answer is taken to
// have that much.
int32_t AvailableMemory() {
  constexpr uint64_t Cap = 129000;
  struct sysinfo info {};
  if (sysinfo(&info) != 0) return static_cast<int32_t>(Cap);
  uint64_t unit = info.mem_unit > 0 ? info.mem_unit : 1;
  uint64_t bytes = (static_cast<uint64_t>(info.freeram) + static_cast<uint64_t>(info.freeswap)) * unit;
  return static_cast<int32_t>(bytes < Cap ? bytes : Cap);
}
