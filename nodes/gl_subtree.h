// SPDX-License-Identifier: GPL-2.0-or-later
// One subtree of the GL tree: the list divided down to convex pieces of one
// sector, and each piece closed into its loop inside the region the nodes
// above leave it. Subtrees share nothing but the read-only line table, so
// several are built at once on different threads.
#pragma once

#include <cstdint>
#include <vector>

#include "nodes/gl_polygons.h"
#include "nodes/score.h"

// A child is a division's index, or leaf l as -1 - l.
inline int32_t LeafChild(int32_t leaf) { return -1 - leaf; }
inline int32_t LeafOfChild(int32_t child) { return -1 - child; }

struct GlDivision {
  GlEdgeLine line;
  int32_t children[2];  // right, left
};

struct GlSubtree {
  std::vector<GlDivision> divisions;
  std::vector<std::vector<GlLoopSeg>> loops;  // of the leaves, depth first, back before front
  int32_t root = 0;
  int32_t walls = 0;    // wall segs in the loops
  int32_t dropped = 0;  // wall pieces that border no loop (a level that is not clean)
};

// Divides the list once, when it needs it: false leaves it a leaf. The
// choice may use `threads` threads.
bool DivideGlList(std::vector<GlBuildSeg>* segs, CostRule rule, int32_t threads, GlEdgeLine* line,
                  std::vector<GlBuildSeg>* right, std::vector<GlBuildSeg>* left);

// Builds the whole subtree of the list (consumed) inside the region.
void BuildGlSubtree(std::vector<GlBuildSeg>* segs, const GlRegion& region, CostRule rule, GlSubtree* subtree);

// Appends the other subtree's divisions and leaves after this one's; returns
// the child that names its root here.
int32_t AppendGlSubtree(GlSubtree* into, GlSubtree* from);
