// SPDX-License-Identifier: GPL-2.0-or-later
// Exact geometry in 16.16 fixed-point units (65536 to the map unit) for the
// GL tree, whose subsectors are closed polygons with corners kept to
// 1/65536 of a unit: the side of a point, the cut point of a seg, the side
// test of a seg with the whole-unit builder's tolerance, and convex
// polygons clipped by a line. Every test is decided in integers (128 bits
// where 64 overflow), never in floating point, so that the same input gives
// the same tree on every machine, and a binary level's whole units (times
// 65536) and a UDMF level's fractional coordinates go the same way.
#pragma once

#include <cstdint>
#include <vector>

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

// Where the seg from a to b crosses the line, each coordinate rounded to the
// nearest 1/65536 with halves away from zero (the whole-unit builder's
// rule, in finer units). Computed from the exact rational crossing, so the
// seg and its reverse get the same point, and the point lies in the box of
// the seg's ends. For ends that are not strictly on opposite sides there is
// no crossing to round: an end on the line is its own cut point (a when
// both are), and ends on one side give a.
FixedPoint ComputeFixedCutPoint(const FixedLine& line, FixedPoint a, FixedPoint b);

// Where two lines cross: the exact rational point, each coordinate rounded
// as ComputeFixedCutPoint rounds, so it is the same point whichever line is
// named first and whichever way each runs. False for parallel lines. A
// crossing beyond the 32-bit range (lines all but parallel) is clamped to
// it.
bool ComputeLineCrossing(const FixedLine& a, const FixedLine& b, FixedPoint* crossing);

// True when the two lines are one line, whichever way each runs (neither
// may be of zero length): parallel, and each start on the other.
bool AreOneLine(const FixedLine& a, const FixedLine& b);

// The side code of the seg from start to end (partition.h), with the
// whole-unit builder's tolerance in fixed units: when the ends lie strictly
// on opposite sides, an end within squared distance < 2 of the rounded cut
// point (the cut point itself or one of its four next neighbours at
// 1/65536) counts as on the line, so that the seg is not cut into a piece
// shorter than one step.
SideCode ClassifyFixedSeg(const FixedLine& line, FixedPoint start, FixedPoint end);

// Polygons run clockwise in Doom's coordinates (x east, y north): a seg's
// sector lies on its right, so a subsector's interior lies on the right of
// each of its edges, and the shoelace sum (ComputeTwiceSignedArea) of a
// clockwise polygon is negative. The order of the corners is kept by every
// routine here; only the sign convention of a result depends on it.
enum class PolygonSide { Right, Left };

// What a convex polygon keeps on one side of the line, with the corners
// on the line kept on both sides, and a corner added where an edge crosses
// the line strictly (ComputeFixedCutPoint, so the two sides share the
// rounded corners exactly). The result is tidied as RemoveDegenerateVertices
// does; empty when nothing of positive width stays. Any input is safe: a
// polygon that is not convex or not clockwise gives some polygon along the
// same edges, never a fault.
std::vector<FixedPoint> ClipPolygon(const std::vector<FixedPoint>& polygon, const FixedLine& line,
                                    PolygonSide keep);

// Drops a corner equal to the one after it (the last one's next is the
// first) and a corner in line with its two neighbours (the edges on either
// side lie on one line, in the same or opposite directions), until neither
// is left; empties a polygon left with fewer than three corners. The
// signed area never changes. Linear time.
void RemoveDegenerateVertices(std::vector<FixedPoint>* polygon);

// The shoelace sum: twice the signed area, in square 1/65536 units,
// positive counter-clockwise and negative clockwise. Exact: each term takes
// 64 bits, and a vector holds far fewer than 2^63 of them.
__int128 ComputeTwiceSignedArea(const std::vector<FixedPoint>& polygon);
