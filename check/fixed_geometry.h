// SPDX-License-Identifier: GPL-2.0-or-later
// Exact arithmetic on 16.16 fixed-point points for the GL checks. A
// difference of two coordinates takes 33 bits and a product of two
// differences 66, so products are taken in 128 bits; side tests are exact,
// and only the numbers printed in messages go through floating point.
#pragma once

#include <cstdint>
#include <string>

#include "check/gl_nodes.h"

using Wide = __int128;

struct GlVector {
  int64_t x, y;
  bool Zero() const { return x == 0 && y == 0; }
};

inline GlVector Between(const GlPoint& from, const GlPoint& to) {
  return {int64_t{to.x} - from.x, int64_t{to.y} - from.y};
}

// Positive when v turns left of u (counter-clockwise, y pointing north, as
// in the map); a point p lies right of the line from a along u when
// Cross(u, Between(a, p)) < 0.
inline Wide Cross(const GlVector& u, const GlVector& v) { return Wide{u.x} * v.y - Wide{u.y} * v.x; }
inline Wide Dot(const GlVector& u, const GlVector& v) { return Wide{u.x} * v.x + Wide{u.y} * v.y; }

// Whether |value| <= tolerance * |u|, for a value that is a cross or a dot
// product with u: then the point it measures lies within `tolerance`
// (1/65536 units, 0 to 65536) of u's line, or of the line across u's start.
bool WithinTolerance(Wide value, const GlVector& u, int tolerance);

// |value| / |u| in 1/65536 units: the distance WithinTolerance compares,
// for messages and statistics.
double FixedDistance(Wide value, const GlVector& u);

// The floor of the square root.
uint64_t WholeSquareRoot(unsigned __int128 n);

// The length of u in 1/65536 units, rounded up.
uint64_t FixedLength(const GlVector& u);

// The whole units of a fixed coordinate, rounded down.
inline int FloorUnits(int32_t fixed) { return fixed >> 16; }

// "(x,y)" in map units, with as many decimals as the fractions need.
std::string PointText(const GlPoint& p);
// A fixed-point value, or a doubled area in 1/65536² units, as map units.
double Units(Wide fixed);
double SquareUnits(Wide doubledArea);
