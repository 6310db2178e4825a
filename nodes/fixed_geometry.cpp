// SPDX-License-Identifier: GPL-2.0-or-later
// Exact side products and line crossings in fixed units.
#include "nodes/fixed_geometry.h"

#include <cstddef>
#include <cstdint>

namespace {

using Wide = __int128;

int SignOf(Wide value) { return value > 0 ? 1 : (value < 0 ? -1 : 0); }

// num / den for den > 0, to the nearest integer with halves away from zero:
// floor(|num| / den + 1/2) with the sign of num, which depends only on the
// value of the fraction, not on how it is written.
Wide RoundQuotient(Wide num, Wide den) {
  if (num >= 0) return (2 * num + den) / (2 * den);
  return -((-2 * num + den) / (2 * den));
}

}  // namespace

Wide ComputeFixedSideProduct(const FixedLine& line, FixedPoint p) {
  Wide dx = static_cast<Wide>(line.end.x) - line.start.x;
  Wide dy = static_cast<Wide>(line.end.y) - line.start.y;
  return (static_cast<Wide>(p.x) - line.start.x) * dy - (static_cast<Wide>(p.y) - line.start.y) * dx;
}

int FindFixedSide(const FixedLine& line, FixedPoint p) { return SignOf(ComputeFixedSideProduct(line, p)); }

// The crossing is a.start + (a.end - a.start) * t with t = num / den, den
// the cross product of the two deltas and num that of b's delta with the
// step from a.start to b.start. Deltas take 33 bits, so den and num take
// 67; a coordinate's numerator a.start * den + delta * num takes 101, far
// within 127, and the rounding depends only on the point's value.
bool ComputeLineCrossing(const FixedLine& a, const FixedLine& b, FixedPoint* crossing) {
  Wide ax = static_cast<Wide>(a.end.x) - a.start.x, ay = static_cast<Wide>(a.end.y) - a.start.y;
  Wide bx = static_cast<Wide>(b.end.x) - b.start.x, by = static_cast<Wide>(b.end.y) - b.start.y;
  Wide den = ax * by - ay * bx;
  if (den == 0) return false;
  Wide sx = static_cast<Wide>(b.start.x) - a.start.x, sy = static_cast<Wide>(b.start.y) - a.start.y;
  Wide num = sx * by - sy * bx;
  Wide numX = static_cast<Wide>(a.start.x) * den + ax * num;
  Wide numY = static_cast<Wide>(a.start.y) * den + ay * num;
  if (den < 0) {
    den = -den;
    numX = -numX;
    numY = -numY;
  }
  Wide x = RoundQuotient(numX, den), y = RoundQuotient(numY, den);
  auto clamp = [](Wide v) {
    return static_cast<int32_t>(v < INT32_MIN ? INT32_MIN : (v > INT32_MAX ? INT32_MAX : v));
  };
  *crossing = {clamp(x), clamp(y)};
  return true;
}

bool AreOneLine(const FixedLine& a, const FixedLine& b) {
  Wide ax = static_cast<Wide>(a.end.x) - a.start.x, ay = static_cast<Wide>(a.end.y) - a.start.y;
  Wide bx = static_cast<Wide>(b.end.x) - b.start.x, by = static_cast<Wide>(b.end.y) - b.start.y;
  return ax * by - ay * bx == 0 && ComputeFixedSideProduct(a, b.start) == 0;
}
