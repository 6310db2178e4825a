// SPDX-License-Identifier: GPL-2.0-or-later
// The level in memory and the helpers that grow and read it.
#include "wad/level.h"

#include <cstring>

#include "console/services.h"
#include "format/wad_format.h"

LevelData Level;

// Growing by a fixed step keeps reallocations rare without ever asking for
// much more than the level needs.
constexpr int32_t GrowthStep = 200;

void MakeRoom(void** array, int32_t count, int32_t* capacity, int32_t entrySize) {
  if (*capacity > count) return;
  *capacity = count + GrowthStep;
  *array = ReallocArrayOrDie(*array, *capacity, entrySize);
}

int32_t AppendVertex(int32_t x, int32_t y) {
  void* block = Level.Vertexes;
  MakeRoom(&block, Level.VertexCount, &Level.VertexCapacity, static_cast<int32_t>(sizeof(Vertex)));
  Level.Vertexes = static_cast<Vertex*>(block);
  Vertex* vertex = &Level.Vertexes[Level.VertexCount];
  vertex->X = static_cast<int16_t>(x);
  vertex->Y = static_cast<int16_t>(y);
  return Level.VertexCount++;
}

// Sidedef numbers are never checked while loading, so a number that names
// no whole record reads as "no sector" rather than outside the lump.
int16_t SectorOfSideDef(int32_t sideDef) {
  if (sideDef < 0 || sideDef >= Level.SideDefsSize / SideDefRecordSize) return -1;
  return static_cast<int16_t>(ReadInt16(Level.SideDefs + sideDef * SideDefRecordSize + SideDefSectorOffset));
}

void ReleaseLevel() {
  void* blocks[] = {Level.Things,       Level.LineDefsRaw,   Level.LineDefs, Level.SideDefs,   Level.Vertexes,
                    Level.Sectors,      Level.Reject,        Level.Segs,     Level.Subsectors, Level.Nodes,
                    Level.BlockmapLump, Level.ExtendedNodes, Level.GlNodes};
  for (void* block : blocks) FreeBlock(block);
  ResetLevel();
}

void ResetLevel() { std::memset(&Level, 0, sizeof Level); }
