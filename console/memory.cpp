// SPDX-License-Identifier: GPL-2.0-or-later
// Allocation services that never return null: running out of memory ends
// the run, so no caller checks a result.
#include <sys/sysinfo.h>

#include <atomic>
#include <cstdlib>

#include "console/services.h"

namespace {
void (*BlockTaken)(void* block) = nullptr;
void (*BlockGiven)(void* block) = nullptr;
// Blocks asked for since the hook was last set, and the one to refuse (0
// for none). Only the recursion's thread asks, but the counts cost nothing
// next to the allocation, so they are atomic for any caller.
std::atomic<int64_t> asked{0};
std::atomic<int64_t> refused{0};

// Whether the system (or the tests' hook) refuses this block.
void* Allocate(void* block, size_t size) {
  int64_t number = asked.fetch_add(1, std::memory_order_relaxed) + 1;
  if (number == refused.load(std::memory_order_relaxed)) return nullptr;
  return block != nullptr ? std::realloc(block, size) : std::malloc(size);
}
}  // namespace

void FailNthAllocation(int64_t nth) {
  asked.store(0);
  refused.store(nth > 0 ? nth : 0);
}

int64_t CountAllocations() { return asked.load(); }

void SetAllocationHooks(void (*taken)(void* block), void (*given)(void* block)) {
  BlockTaken = taken;
  BlockGiven = given;
}

void* AllocOrDie(int32_t size) {
  void* block = size > 0 ? Allocate(nullptr, static_cast<size_t>(size)) : nullptr;
  if (block == nullptr)
    FatalError("cannot allocate %lu bytes", static_cast<unsigned long>(static_cast<uint32_t>(size)));
  if (BlockTaken != nullptr) BlockTaken(block);
  return block;
}

// The hooks hear of the old block before the resize; a failed resize ends
// the run with the old block still held, and so taken again.
void* ReallocOrDie(void* block, int32_t size) {
  if (block != nullptr && BlockGiven != nullptr) BlockGiven(block);
  void* moved = size > 0 ? Allocate(block, static_cast<size_t>(size)) : nullptr;
  if (moved == nullptr) {
    if (block != nullptr && BlockTaken != nullptr) BlockTaken(block);
    FatalError("cannot reallocate %lu bytes", static_cast<unsigned long>(static_cast<uint32_t>(size)));
  }
  if (BlockTaken != nullptr) BlockTaken(moved);
  return moved;
}

void FreeBlock(void* block) {
  if (block != nullptr && BlockGiven != nullptr) BlockGiven(block);
  std::free(block);
}

// Arrays whose entry count comes from the input: the byte count is worked
// out wide, so that a count from a huge lump is refused with the size asked
// for rather than wrapped in 32 bits.
void* AllocArrayOrDie(int32_t count, int32_t entrySize) {
  int64_t size = static_cast<int64_t>(count) * entrySize;
  if (size > INT32_MAX) FatalError("cannot allocate %lu bytes", static_cast<unsigned long>(size));
  return AllocOrDie(static_cast<int32_t>(size));
}

void* ReallocArrayOrDie(void* block, int32_t count, int32_t entrySize) {
  int64_t size = static_cast<int64_t>(count) * entrySize;
  if (size > INT32_MAX) FatalError("cannot reallocate %lu bytes", static_cast<unsigned long>(size));
  return ReallocOrDie(block, static_cast<int32_t>(size));
}

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
