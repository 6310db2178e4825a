// SPDX-License-Identifier: GPL-2.0-or-later
// The lines of the GL tree's segs, numbered: every seg on one line, of one
// linedef or of several collinear ones, carries the line's number, so that
// the side test knows a seg on the partition line without arithmetic, and
// the partners are found by number. A line's canonical direction is its
// own divided by their common divisor, pointing east (or north when it runs
// along y).
#pragma once

#include <cstdint>
#include <vector>

#include "nodes/fixed_geometry.h"

struct GlLineKey {
  int64_t dx, dy;   // the canonical direction
  __int128 offset;  // its cross product with any point of the line
};

// The key of the line, and whether the line runs the canonical way.
GlLineKey FindGlLineKey(const FixedLine& line, bool* forward);
bool operator<(const GlLineKey& a, const GlLineKey& b);
bool operator==(const GlLineKey& a, const GlLineKey& b);

// The position of a point along the canonical direction: larger is further
// that way.
inline __int128 ComputeGlPosition(const GlLineKey& key, FixedPoint p) {
  return static_cast<__int128>(key.dx) * p.x + static_cast<__int128>(key.dy) * p.y;
}

// Numbers the lines of the given ones: ids[i] for lines[i], from 0, equal
// for lines that are one line. The keys of the numbers are kept in GlLines
// until the next call.
std::vector<int32_t> NumberGlLines(const std::vector<FixedLine>& lines);

// The key of every numbered line of the level being built, by number; only
// read while the tree is built.
extern std::vector<GlLineKey> GlLines;
void ResetGlLines();
