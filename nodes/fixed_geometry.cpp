// SPDX-License-Identifier: GPL-2.0-or-later
// Exact side products, cut points and polygon clipping in fixed units.
#include "nodes/fixed_geometry.h"

#include <cstddef>
#include <cstdint>

namespace {

using Wide = __int128;

int SignOf(Wide value) { return value > 0 ? 1 : (value < 0 ? -1 : 0); }

Wide AbsoluteOf(Wide value) { return value < 0 ? -value : value; }

// num / den for den > 0, to the nearest integer with halves away from zero:
// floor(|num| / den + 1/2) with the sign of num, which depends only on the
// value of the fraction, not on how it is written.
Wide RoundQuotient(Wide num, Wide den) {
  if (num >= 0) return (2 * num + den) / (2 * den);
  return -((-2 * num + den) / (2 * den));
}

// The cut point of the seg from a to b, given their side products l and m,
// of strictly opposite signs. The crossing is a + (b - a) * l / (l - m),
// each coordinate the fraction (a * (l - m) + (b - a) * l) / (l - m),
// rounded as a whole.
//
// Nothing overflows: coordinates lie in [-2^31, 2^31), so a delta's
// magnitude is below 2^32 and a side product's below 2 * 2^32 * 2^32 =
// 2^65. The signs are opposite, so |l - m| = |l| + |m| < 2^66. Then
// |a * (l - m)| < 2^31 * 2^66 = 2^97 and |(b - a) * l| < 2^32 * 2^65 =
// 2^97, so the numerator's magnitude is below 2^98, and the rounding's
// 2 * |num| + den stays below 2^100: far within the 127 bits. The fraction
// l / (l - m) lies strictly between 0 and 1, so the crossing lies between
// the two ends' coordinates, whole numbers, and so does its nearest whole
// number: the result fits 32 bits.
//
// Swapping a and b swaps l and m and gives the same fraction of another
// form; the rounding depends only on the value, so both directions of a
// seg, and the two polygons on either side of a line, get one point.
FixedPoint CutBetween(FixedPoint a, FixedPoint b, Wide l, Wide m) {
  Wide den = l - m;
  Wide numX = static_cast<Wide>(a.x) * den + (static_cast<Wide>(b.x) - a.x) * l;
  Wide numY = static_cast<Wide>(a.y) * den + (static_cast<Wide>(b.y) - a.y) * l;
  if (den < 0) {
    den = -den;
    numX = -numX;
    numY = -numY;
  }
  return {static_cast<int32_t>(RoundQuotient(numX, den)), static_cast<int32_t>(RoundQuotient(numY, den))};
}

bool AreStrictlyOpposite(Wide l, Wide m) { return (l < 0 && m > 0) || (l > 0 && m < 0); }

// Squared distance below 2 between points one 1/65536 step apart at most
// along x or y: the deltas are then (0,0), (+-1,0) or (0,+-1), which is
// |dx| + |dy| <= 1 (and no square of a 33-bit delta is taken).
bool AreWithinOneStep(FixedPoint p, FixedPoint q) {
  int64_t dx = static_cast<int64_t>(p.x) - q.x;
  int64_t dy = static_cast<int64_t>(p.y) - q.y;
  if (dx < 0) dx = -dx;
  if (dy < 0) dy = -dy;
  return dx + dy <= 1;
}

// Beyond this |side product| a point lies more than 2 steps from the line,
// where the tolerance never moves it onto the line. An end that it moves
// lies within 1 of the rounded cut point C, and C within sqrt(2)/2 of the
// exact crossing X on the line (half a step per coordinate), so it lies
// less than 2 from the line, and |l| = distance * length < 2 * length <=
// 2 * (|dx| + |dy|). So a seg whose ends both lie past this bound needs no
// cut point to decide its side, and the bound needs no square root.
Wide ComputeFixedFarLimit(const FixedLine& line) {
  Wide dx = AbsoluteOf(static_cast<Wide>(line.end.x) - line.start.x);
  Wide dy = AbsoluteOf(static_cast<Wide>(line.end.y) - line.start.y);
  return 2 * (dx + dy);
}

// The cross product of the edges a->b and b->c: zero when the three points
// lie on one line.
Wide TurnOf(FixedPoint a, FixedPoint b, FixedPoint c) {
  Wide ux = static_cast<Wide>(b.x) - a.x, uy = static_cast<Wide>(b.y) - a.y;
  Wide vx = static_cast<Wide>(c.x) - b.x, vy = static_cast<Wide>(c.y) - b.y;
  return ux * vy - uy * vx;
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

FixedPoint ComputeFixedCutPoint(const FixedLine& line, FixedPoint a, FixedPoint b) {
  Wide l = ComputeFixedSideProduct(line, a);
  Wide m = ComputeFixedSideProduct(line, b);
  if (AreStrictlyOpposite(l, m)) return CutBetween(a, b, l, m);
  return l != 0 && m == 0 ? b : a;
}

SideCode ClassifyFixedSeg(const FixedLine& line, FixedPoint start, FixedPoint end) {
  Wide l = ComputeFixedSideProduct(line, start);
  Wide m = ComputeFixedSideProduct(line, end);
  if (AreStrictlyOpposite(l, m)) {
    Wide limit = ComputeFixedFarLimit(line);
    if (AbsoluteOf(l) < limit || AbsoluteOf(m) < limit) {
      FixedPoint cut = CutBetween(start, end, l, m);
      if (AreWithinOneStep(start, cut)) l = 0;
      if (AreWithinOneStep(end, cut)) m = 0;
    }
  }
  SideCode code = l < 0 ? StartLeft : (l > 0 ? StartRight : StartOn);
  code |= m < 0 ? EndLeft : (m > 0 ? EndRight : EndOn);
  return code;
}

std::vector<FixedPoint> ClipPolygon(const std::vector<FixedPoint>& polygon, const FixedLine& line,
                                    PolygonSide keep) {
  std::vector<FixedPoint> kept;
  size_t count = polygon.size();
  if (count == 0) return kept;
  kept.reserve(count + 2);
  int dropped = keep == PolygonSide::Right ? -1 : 1;
  Wide first = ComputeFixedSideProduct(line, polygon[0]);
  Wide here = first;
  for (size_t i = 0; i < count; i++) {
    FixedPoint p = polygon[i];
    FixedPoint q = polygon[i + 1 < count ? i + 1 : 0];
    Wide next = i + 1 < count ? ComputeFixedSideProduct(line, q) : first;
    if (SignOf(here) != dropped) kept.push_back(p);
    if (AreStrictlyOpposite(here, next)) kept.push_back(CutBetween(p, q, here, next));
    here = next;
  }
  RemoveDegenerateVertices(&kept);
  return kept;
}

void RemoveDegenerateVertices(std::vector<FixedPoint>* polygon) {
  std::vector<FixedPoint>& corners = *polygon;
  // One pass over the corners as a stack: a corner is dropped when it
  // repeats the top, and the top is popped while it lies in line with the
  // corner below it and the new one. Every consecutive triple of the stack
  // then turns.
  size_t top = 0;
  for (size_t i = 0; i < corners.size(); i++) {
    FixedPoint p = corners[i];
    while (top >= 2 && TurnOf(corners[top - 2], corners[top - 1], p) == 0) top--;
    if (top >= 1 && corners[top - 1] == p) continue;
    corners[top++] = p;
  }
  // The stack does not see the wrap from the last corner to the first: the
  // two triples and the pair across it are tidied from either end, each
  // step dropping one corner.
  size_t first = 0;
  while (top - first >= 3) {
    if (corners[top - 1] == corners[first] ||
        TurnOf(corners[top - 2], corners[top - 1], corners[first]) == 0) {
      top--;
    } else if (TurnOf(corners[top - 1], corners[first], corners[first + 1]) == 0) {
      first++;
    } else {
      break;
    }
  }
  if (top - first < 3) {
    corners.clear();
    return;
  }
  corners.erase(corners.begin() + static_cast<std::ptrdiff_t>(top), corners.end());
  corners.erase(corners.begin(), corners.begin() + static_cast<std::ptrdiff_t>(first));
}

Wide ComputeTwiceSignedArea(const std::vector<FixedPoint>& polygon) {
  Wide sum = 0;
  size_t count = polygon.size();
  for (size_t i = 0; i < count; i++) {
    FixedPoint p = polygon[i];
    FixedPoint q = polygon[i + 1 < count ? i + 1 : 0];
    sum += static_cast<Wide>(p.x) * q.y - static_cast<Wide>(q.x) * p.y;
  }
  return sum;
}
