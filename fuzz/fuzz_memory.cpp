// Every block that the allocation services hand out during a fuzz run is
// recorded, so that whatever is still held when a run ends -- the level's
// arrays, the tree nodes, and the temporary lists that a fatal error left
// on the unwound stack -- is released before the next input. The real
// services still do the work; the link wraps them (see fuzz/CMakeLists.txt),
// so the limits and messages are exactly the program's own.
#include <cstdint>
#include <unordered_set>

#include "fuzz/fuzz_harness.h"

// Itanium names of AllocOrDie(int), ReallocOrDie(void*, int), FreeBlock(void*).
extern "C" {
void* __real__Z10AllocOrDiei(int32_t size);
void* __real__Z12ReallocOrDiePvi(void* block, int32_t size);
void __real__Z9FreeBlockPv(void* block);
}

namespace {
std::unordered_set<void*>& LiveBlocks() {
  static auto* blocks = new std::unordered_set<void*>;
  return *blocks;
}
}  // namespace

extern "C" void* __wrap__Z10AllocOrDiei(int32_t size) {
  void* block = __real__Z10AllocOrDiei(size);
  LiveBlocks().insert(block);
  return block;
}

extern "C" void* __wrap__Z12ReallocOrDiePvi(void* block, int32_t size) {
  void* moved = __real__Z12ReallocOrDiePvi(block, size);
  // A failed resize ends the run before this point and leaves the old block
  // alive and recorded.
  if (block != nullptr) LiveBlocks().erase(block);
  LiveBlocks().insert(moved);
  return moved;
}

extern "C" void __wrap__Z9FreeBlockPv(void* block) {
  LiveBlocks().erase(block);
  __real__Z9FreeBlockPv(block);
}

size_t ReleaseLiveBlocks() {
  size_t count = LiveBlocks().size();
  for (void* block : LiveBlocks()) __real__Z9FreeBlockPv(block);
  LiveBlocks().clear();
  return count;
}
