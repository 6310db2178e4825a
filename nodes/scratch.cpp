// SPDX-License-Identifier: GPL-2.0-or-later
// Scratch blocks from the run's services or from the C library, and the
// failure hook of the fallible ones.
#include "nodes/scratch.h"

#include <atomic>
#include <cstdlib>

#include "console/services.h"

namespace {

// Blocks asked for at each site, and the one to refuse (0 for none). Both
// threads ask, so the counts are atomic.
std::atomic<int64_t> asked[FallibleSiteCount];
std::atomic<int64_t> refused[FallibleSiteCount];
std::atomic<bool> refusedOnce[FallibleSiteCount];

}  // namespace

void* AllocFallible(FallibleSite site, size_t bytes, bool aligned) {
  int64_t number = asked[site].fetch_add(1, std::memory_order_relaxed) + 1;
  if (number == refused[site].load(std::memory_order_relaxed)) {
    refusedOnce[site].store(true);
    return nullptr;
  }
  if (!aligned) return std::malloc(bytes);
  return std::aligned_alloc(16, (bytes + 15) / 16 * 16);
}

void* AllocScratch(int32_t count, int32_t entrySize, bool fallible) {
  if (count <= 0) return nullptr;
  if (!fallible) return AllocArrayOrDie(count, entrySize);
  int64_t bytes = static_cast<int64_t>(count) * entrySize;
  return AllocFallible(FallibleScratch, static_cast<size_t>(bytes), true);
}

void FreeScratch(void* block, bool fallible) {
  if (fallible) {
    std::free(block);
  } else if (block != nullptr) {
    FreeBlock(block);
  }
}

void FailFallibleAllocation(FallibleSite site, int64_t nth) {
  refused[site].store(nth > 0 ? asked[site].load() + nth : 0);
}

int64_t CountFallibleAllocations(FallibleSite site) { return asked[site].load(); }

bool FallibleAllocationRefused(FallibleSite site) { return refusedOnce[site].load(); }

void ResetFallibleAllocations() {
  for (int site = 0; site < FallibleSiteCount; site++) {
    asked[site].store(0);
    refused[site].store(0);
    refusedOnce[site].store(false);
  }
}
