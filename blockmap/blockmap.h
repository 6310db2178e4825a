// The BLOCKMAP lump: a grid of 128-unit blocks, each with the linedefs that
// pass through it.
#pragma once

#include <cstdint>

struct LevelBox {
  int16_t MinX, MaxX, MinY, MaxY;
};
// Bounds of the root seg list, stored by the run driver after segs creation.
extern LevelBox LevelBounds;

// Builds Level.BlockmapLump and returns its size in bytes.
int32_t BuildBlockmap();

void ResetBlockmap();
