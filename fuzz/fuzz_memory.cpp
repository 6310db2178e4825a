// SPDX-License-Identifier: GPL-2.0-or-later
// Every block that the allocation services hand out during a fuzz run is
// recorded through their hooks, so that whatever is still held when a run
// ends -- the level's arrays, the tree nodes, and the temporary lists that a
// fatal error left on the unwound stack -- is released before the next
// input. The services themselves do the work, so the limits and messages
// are exactly the program's own.
#include <cstdlib>
#include <unordered_set>

#include "console/services.h"
#include "fuzz/fuzz_harness.h"

namespace {

std::unordered_set<void*>& LiveBlocks() {
  static auto* blocks = new std::unordered_set<void*>;
  return *blocks;
}

void RecordTaken(void* block) { LiveBlocks().insert(block); }
void RecordGiven(void* block) { LiveBlocks().erase(block); }

}  // namespace

void RecordLiveBlocks() { SetAllocationHooks(RecordTaken, RecordGiven); }

size_t ReleaseLiveBlocks() {
  size_t count = LiveBlocks().size();
  for (void* block : LiveBlocks()) std::free(block);
  LiveBlocks().clear();
  return count;
}
