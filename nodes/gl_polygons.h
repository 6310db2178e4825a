// SPDX-License-Identifier: GPL-2.0-or-later
// The closed polygons of the GL tree's subsectors. Every region of the tree
// is a convex polygon kept as its edges, each a corner and the exact line
// the edge runs along: the level's box at the root, then each node's line,
// then a leaf's own walls. A corner is the rounded crossing of the exact
// lines of its two edges, so the polygons on either side of a line, and
// the pieces of a wall cut by it, share their corners exactly.
#pragma once

#include <cstdint>
#include <vector>

#include "nodes/gl_choice.h"

// A line that edges run along, with its number (nodes/gl_lines.h); the
// sides of the level's box have numbers of their own below 0.
struct GlEdgeLine {
  FixedLine line;
  int32_t lineId;
  bool forward;
};

struct GlEdge {
  FixedPoint corner;  // where the edge starts; it ends at the next corner
  GlEdgeLine along;
};

// Clockwise, the region on the right of every edge; empty when nothing of
// it is left.
using GlRegion = std::vector<GlEdge>;

// The box as a region: its four sides, clockwise.
GlRegion MakeBoxRegion(FixedPoint low, FixedPoint high);

// What the region keeps on the right of the line; the edge along the line
// runs the line's way. Edges of no length are dropped, and an edge that
// continues the one before along the same line joins it.
GlRegion ClipRegion(const GlRegion& region, const GlEdgeLine& clip);

// The line run the other way.
inline GlEdgeLine ReverseEdgeLine(const GlEdgeLine& line) {
  return GlEdgeLine{FixedLine{line.line.end, line.line.start}, line.lineId, !line.forward};
}

// One side of a subsector's polygon: a wall's seg or a miniseg.
struct GlLoopSeg {
  FixedPoint start, end;
  int32_t lineId;   // of the line it lies on (below 0: a side of the level's box)
  int32_t lineDef;  // -1 for a miniseg
  bool forward;     // it runs its line's canonical way
  uint8_t side;
};

// The leaf's closed loop: the region clipped by the leaf's walls, each edge
// covered by the walls along it, the rest of it by minisegs. Walls that
// border no part of the polygon (in a level that is not clean) are left
// out; `walls` counts those that are in.
std::vector<GlLoopSeg> MakeLeafLoop(const GlRegion& cell, const std::vector<GlBuildSeg>& segs,
                                    int32_t* walls);
