// SPDX-License-Identifier: GPL-2.0-or-later
// Scratch blocks from the run's services or from the C library.
#include "nodes/scratch.h"

#include <cstdlib>

#include "console/services.h"

void* AllocScratch(int32_t count, int32_t entrySize, bool fallible) {
  if (count <= 0) return nullptr;
  if (!fallible) return AllocArrayOrDie(count, entrySize);
  int64_t bytes = (static_cast<int64_t>(count) * entrySize + 15) / 16 * 16;
  return std::aligned_alloc(16, static_cast<size_t>(bytes));
}

void FreeScratch(void* block, bool fallible) {
  if (fallible) {
    std::free(block);
  } else if (block != nullptr) {
    FreeBlock(block);
  }
}
