// SPDX-License-Identifier: GPL-2.0-or-later
// Exact geometry in 16.16 fixed-point units (65536 to the map unit) for the
// GL tree, whose subsectors are closed polygons with corners kept to
// 1/65536 of a unit: the side of a point against a line, where two lines
// cross, and whether two lines are one. Every test is decided in integers (128 bits
// where 64 overflow), never in floating point, so that the same input gives
// the same tree on every machine, and a binary level's whole units (times
// 65536) and a UDMF level's fractional coordinates go the same way.
#pragma once

#include <cstdint>

#include "nodes/partition.h"

// Any int32 values: a binary level's 16-bit whole units times 65536, or a
// UDMF level's coordinates as the engines read them.
struct FixedPoint {
  int32_t x, y;
};

inline bool operator==(FixedPoint a, FixedPoint b) { return a.x == b.x && a.y == b.y; }
inline bool operator!=(FixedPoint a, FixedPoint b) { return !(a == b); }

// The directed line through two points, from start towards end. When the
// two are the same point every point lies on the line, so nothing is ever
// cut by it.
struct FixedLine {
  FixedPoint start, end;
};

// The side product of p against the line: positive on its right, negative
// on its left, zero on it, as SideProduct in whole units. Its magnitude is
// p's distance from the line times the line's length. Exact: the deltas
// take 33 bits, so each product 66.
__int128 ComputeFixedSideProduct(const FixedLine& line, FixedPoint p);
// The sign of that product: 1 on the right, -1 on the left, 0 on the line.
int FindFixedSide(const FixedLine& line, FixedPoint p);

// Where two lines cross: the exact rational point, each coordinate rounded
// to the nearest 1/65536 with halves away from zero (the whole-unit
// builder's rule, in finer units), so it is the same point whichever line is
// named first and whichever way each runs. False for parallel lines. A
// crossing beyond the 32-bit range (lines all but parallel) is clamped to
// it.
bool ComputeLineCrossing(const FixedLine& a, const FixedLine& b, FixedPoint* crossing);

// True when the two lines are one line, whichever way each runs (neither
// may be of zero length): parallel, and each start on the other.
bool AreOneLine(const FixedLine& a, const FixedLine& b);
