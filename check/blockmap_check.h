// SPDX-License-Identifier: GPL-2.0-or-later
// Checks a BLOCKMAP lump against the linedefs it was built for: the lump's
// format, and that every linedef is listed in the blocks it passes through.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "check/findings.h"

// A linedef's end points, in map coordinates, and whether the game can
// meet it through BLOCKMAP, so that it must be listed.
struct LineEnds {
  int32_t x1, y1, x2, y2;
  bool required = true;
};

// The grid of a BLOCKMAP lump and each block's list: the linedef numbers
// that exist, in the order listed, and whether the list could be read.
struct BlockmapLists {
  int32_t originX = 0, originY = 0, columns = 0, rows = 0;
  std::vector<std::vector<int32_t>> lists;
  std::vector<bool> readable;
};

// Reads the header and every block's list of a lump for `lineCount`
// linedefs, reporting what cannot be read or names no linedef; false when
// the header itself is unusable, so that nothing further can be checked.
bool ReadBlockmapLists(const std::vector<uint8_t>& lump, size_t lineCount, BlockmapLists* grid,
                       Findings* findings);
// Whether the segment meets the closed box [left, right] x [bottom, top],
// exactly.
bool SegmentMeetsBox(const LineEnds& s, int64_t left, int64_t bottom, int64_t right, int64_t top);
// Every block that linedef l passes through, more than one unit inside the
// block's edges, lists it.
void CheckLineCovered(const LineEnds& s, int32_t l, const BlockmapLists& grid, Findings* findings);

// Reports to `findings`, under BLOCKMAP with the block number as the record:
// - the header has a positive number of columns and rows and the offsets
//   fit in the lump;
// - every offset names a list inside the lump: a leading 0, linedef
//   numbers below lines.size(), and 0xFFFF;
// - every required linedef is listed in every block its segment passes
//   through more than one unit inside the block's edges. The
//   one-unit margin covers the builder's rounding of x to the nearest unit
//   and its reading of each row at its last whole unit, both of which only
//   matter along the block edges.
// Only what the game relies on is required, not any one builder's layout.
// Parts of linedefs outside the grid are not checked.
void CheckBlockmap(const std::vector<LineEnds>& lines, const std::vector<uint8_t>& lump, Findings* findings);
