// SPDX-License-Identifier: GPL-2.0-or-later
// The fixed-point geometry against plain references computed another way:
// the side product as three determinants of the raw coordinates, the
// crossing of two lines by Cramer's rule and a search for the nearest fixed
// point. Inputs reach the ends of int32, near-parallel lines and lines
// through corners.
#include "nodes/fixed_geometry.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <random>

#include "tests/nodes/node_fixture.h"

namespace {

using Wide = __int128;

Wide Cross(FixedPoint a, FixedPoint b) { return Wide(a.x) * b.y - Wide(a.y) * b.x; }
Wide Abs(Wide v) { return v < 0 ? -v : v; }

// The side product expanded: minus the orientation of (start, end, p).
Wide ReferenceSide(const FixedLine& l, FixedPoint p) {
  return -(Cross(l.start, l.end) + Cross(l.end, p) + Cross(p, l.start));
}

// The crossing of the two lines as num / den per coordinate (Cramer).
struct Crossing {
  Wide numX, numY, den;
};
Crossing CrossLines(const FixedLine& l, FixedPoint a, FixedPoint b) {
  Wide lx = Wide(l.start.x) - l.end.x, ly = Wide(l.start.y) - l.end.y;
  Wide sx = Wide(a.x) - b.x, sy = Wide(a.y) - b.y;
  Wide c1 = Cross(l.start, l.end), c2 = Cross(a, b);
  return {c1 * sx - lx * c2, c1 * sy - ly * c2, lx * sy - ly * sx};
}

// The nearest integer to num / den by search, a tie going away from zero.
int64_t NearestBySearch(Wide num, Wide den) {
  if (den < 0) num = -num, den = -den;
  Wide q = num / den, best = q - 1;
  for (Wide n = q; n <= q + 1; n++) {
    Wide d = Abs(n * den - num), bestD = Abs(best * den - num);
    if (d < bestD || (d == bestD && Abs(n) > Abs(best))) best = n;
  }
  return static_cast<int64_t>(best);
}

// True when num / den lies within 1 / within of a half-integer.
bool IsNearHalf(Wide num, Wide den, Wide within) {
  if (den < 0) num = -num, den = -den;
  Wide twice = 2 * num, odd = NearestBySearch(twice, den);
  if (odd % 2 == 0) odd += twice >= odd * den ? 1 : -1;
  return Abs(twice - odd * den) * within <= 2 * den;
}

bool Opposite(Wide l, Wide m) { return (l < 0 && m > 0) || (l > 0 && m < 0); }

// Random inputs from small spans up to the whole of int32.
struct Inputs {
  std::mt19937_64 random{20261209};
  int32_t Coordinate() {
    static const int64_t spans[] = {8, 1 << 16, 1 << 24, INT32_MAX};
    int64_t span = spans[random() % 4];
    int64_t v = std::uniform_int_distribution<int64_t>(-span - 1, span)(random);
    return static_cast<int32_t>(std::clamp<int64_t>(v, INT32_MIN, INT32_MAX));
  }
  FixedPoint Point() { return {Coordinate(), Coordinate()}; }
  // A point on the line (at a fraction of it, rounded) moved a few steps.
  FixedPoint Near(const FixedLine& l) {
    if (random() % 16 == 0) return random() % 2 ? l.start : l.end;
    int64_t k = std::uniform_int_distribution<int64_t>(-512, 1536)(random);
    auto at = [&](int32_t a, int32_t b) {
      Wide v = a + (Wide(b) - a) * k / 1024 + int64_t(random() % 7) - 3;
      return static_cast<int32_t>(std::clamp<Wide>(v, INT32_MIN, INT32_MAX));
    };
    return {at(l.start.x, l.end.x), at(l.start.y, l.end.y)};
  }
  FixedLine Line() {
    FixedLine l = {Point(), Point()};
    if (random() % 3 == 0) l.end = Near(l);  // often short
    return l;
  }
};

TEST(FixedGeometryTest, SideProductIsExactAndPositiveOnTheRight) {
  // Walking east, south is on the right.
  EXPECT_EQ(FindFixedSide({{0, 0}, {10, 0}}, {5, -1}), 1);
  EXPECT_EQ(FindFixedSide({{0, 0}, {10, 0}}, {5, 1}), -1);
  EXPECT_EQ(FindFixedSide({{0, 0}, {10, 0}}, {-70, 0}), 0);
  EXPECT_EQ(FindFixedSide({{3, 3}, {3, 3}}, {1, 2}), 0);
  FixedLine corner = {{INT32_MIN, INT32_MIN}, {INT32_MAX, INT32_MAX}};
  EXPECT_TRUE(ComputeFixedSideProduct(corner, {INT32_MAX, INT32_MIN}) == Wide(UINT32_MAX) * UINT32_MAX);
  Inputs in;
  for (int i = 0; i < 200000; i++) {
    FixedLine l = in.Line();
    FixedPoint p = i % 2 ? in.Point() : in.Near(l);
    Wide want = ReferenceSide(l, p);
    ASSERT_TRUE(ComputeFixedSideProduct(l, p) == want) << i;
    ASSERT_EQ(FindFixedSide(l, p), want > 0 ? 1 : want < 0 ? -1 : 0);
  }
}

// Whole units as fixed: rounded back to whole units, the cut point is the
// whole-unit builder's, except where the crossing is within 1/65536 of a
// half, where the two roundings may differ.
TEST(FixedGeometryTest, WholeUnitCutPointsMatchTheWholeUnitBuilder) {
  std::mt19937 random(7);
  auto whole = [&] {
    return std::uniform_int_distribution<int32_t>(-32768, 32767)(random) >> (random() % 12);
  };
  auto toWhole = [](int32_t f) { return f >= 0 ? (f + 32768) >> 16 : -((-int64_t(f) + 32768) >> 16); };
  int compared = 0, near = 0;
  while (compared < 100000) {
    int32_t v[8];
    for (int32_t& c : v) c = whole();
    FixedLine l = {{v[0] * 65536, v[1] * 65536}, {v[2] * 65536, v[3] * 65536}};
    FixedPoint a = {v[4] * 65536, v[5] * 65536}, b = {v[6] * 65536, v[7] * 65536};
    if (!Opposite(ReferenceSide(l, a), ReferenceSide(l, b))) continue;
    Crossing c = CrossLines({{v[0], v[1]}, {v[2], v[3]}}, {v[4], v[5]}, {v[6], v[7]});
    if (IsNearHalf(c.numX, c.den, 65536) || IsNearHalf(c.numY, c.den, 65536)) {
      near++;
      continue;
    }
    int32_t x, y;
    ComputeSplitPoint(LineBetween(v[0], v[1], v[2], v[3]), SegBetween(v[4], v[5], v[6], v[7]), &x, &y);
    FixedPoint cut;
    ASSERT_TRUE(ComputeLineCrossing(l, {a, b}, &cut));
    ASSERT_EQ(toWhole(cut.x), x) << v[0] << "," << v[1] << " " << v[2] << "," << v[3];
    ASSERT_EQ(toWhole(cut.y), y) << v[4] << "," << v[5] << " " << v[6] << "," << v[7];
    compared++;
  }
  EXPECT_GT(near, 5);  // the halves were met and set aside
}

TEST(FixedGeometryTest, LineCrossingIsTheNearestPointWhicheverLineComesFirst) {
  Inputs in;
  int crossed = 0;
  for (int i = 0; i < 100000; i++) {
    FixedLine a = in.Line(), b = i % 2 ? in.Line() : FixedLine{in.Near(a), in.Point()};
    FixedPoint p;
    bool found = ComputeLineCrossing(a, b, &p);
    Crossing c = CrossLines(a, b.start, b.end);
    ASSERT_EQ(found, c.den != 0) << i;
    if (!found) continue;
    crossed++;
    auto nearest = [](Wide num, Wide den) {
      Wide v = NearestBySearch(num, den);
      return static_cast<int32_t>(std::clamp<Wide>(v, INT32_MIN, INT32_MAX));
    };
    ASSERT_EQ(p.x, nearest(c.numX, c.den)) << i;
    ASSERT_EQ(p.y, nearest(c.numY, c.den)) << i;
    // The same point from the other line, and from both run backwards.
    FixedPoint q, r;
    ASSERT_TRUE(ComputeLineCrossing(b, a, &q));
    ASSERT_TRUE(ComputeLineCrossing({a.end, a.start}, {b.end, b.start}, &r));
    ASSERT_EQ(q, p) << i;
    ASSERT_EQ(r, p) << i;
  }
  EXPECT_GT(crossed, 90000);
}

TEST(FixedGeometryTest, OneLineIsParallelAndThroughTheSamePoints) {
  struct Case {
    FixedLine a, b;
    bool one;
  } cases[] = {
      {{{0, 0}, {10, 5}}, {{20, 10}, {-30, -15}}, true},  // the same line, the other way, elsewhere
      {{{0, 0}, {10, 5}}, {{0, 1}, {10, 6}}, false},      // parallel, a step off
      {{{0, 0}, {10, 5}}, {{0, 0}, {10, 6}}, false},      // through one point only
      {{{INT32_MIN, INT32_MIN}, {INT32_MAX, INT32_MAX}}, {{-7, -7}, {9, 9}}, true},
      {{{INT32_MIN, 0}, {INT32_MAX, 1}}, {{INT32_MIN, 0}, {INT32_MAX, 2}}, false},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(AreOneLine(c.a, c.b), c.one) << c.b.start.x;
    EXPECT_EQ(AreOneLine(c.b, c.a), c.one) << c.b.start.x;
  }
}

}  // namespace
