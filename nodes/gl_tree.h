// SPDX-License-Identifier: GPL-2.0-or-later
// The GL tree, built in 16.16 fixed point: the partition choice and the
// division of nodes/gl_choice.h down to convex pieces of one sector, each
// closed into a polygon (nodes/gl_polygons.h), partners paired across every
// stretch of line (nodes/gl_partners.h), and the result numbered as the GL
// forms write it (wad/gl_nodes.h).
#pragma once

#include <cstdint>
#include <vector>

#include "nodes/score.h"
#include "wad/gl_nodes.h"

// The geometry the tree is built from, whichever format it was read in.
struct GlLineDefInput {
  uint32_t start, end;  // vertex numbers
  int32_t rightSector, leftSector;
  bool hasRight, hasLeft;  // a side is built only where there is a sidedef
};

struct GlLevelInput {
  std::vector<FixedPoint> vertexes;
  std::vector<GlLineDefInput> lineDefs;
};

// The binary level in Level: its linedefs' vertexes times 65536.
GlLevelInput ReadGlInputFromLevel();

// How the build went, for the screen and the tests.
struct GlBuildCounts {
  int32_t walls;    // wall segs in the polygons
  int32_t dropped;  // wall pieces that border no polygon (a level that is not clean)
};

// A node's direction, in 16.16 units, short enough that each component's
// whole units fit 16 bits, as every form writes them. The line stays
// exact while halving allows (a binary level's directions are whole units,
// and so many times even); a longer one is scaled, as close as 16 bits
// allow.
void FitGlDirection(const FixedLine& line, int32_t* dx, int32_t* dy);

// Builds the tree. The input's vertexes are the tree's original ones.
GlBuildCounts BuildGlTree(const GlLevelInput& input, CostRule rule, GlTree* tree);
