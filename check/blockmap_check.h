// SPDX-License-Identifier: GPL-2.0-or-later
// Checks a BLOCKMAP lump against the linedefs it was built for: the lump's
// format, and that every linedef is listed in the blocks it passes through.
#pragma once

#include <cstdint>
#include <vector>

#include "check/findings.h"

// A linedef's end points, in map coordinates, and whether it must be
// listed outside the strict layout (see CheckBlockmap).
struct LineEnds {
  int32_t x1, y1, x2, y2;
  bool required = true;
};

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
// With strictLayout the lump must also have this program's exact layout:
// linedef numbers in strictly ascending order; no linedef listed in a block
// it stays more than one unit away from; every linedef listed, required or
// not; a shared empty list (0, 0xFFFF) at word N + 4 that every empty block
// names, and one unshared list per non-empty block, back to back from word
// N + 6 in block order, ending exactly at the end of the lump.
// Parts of linedefs outside the grid are not checked.
void CheckBlockmap(const std::vector<LineEnds>& lines, const std::vector<uint8_t>& lump, bool strictLayout,
                   Findings* findings);
