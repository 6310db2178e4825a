// SPDX-License-Identifier: GPL-2.0-or-later
// The fixed-point geometry against plain references computed another way:
// the side product as three determinants of the raw coordinates, the cut
// point by Cramer's rule and a search for the nearest fixed point, the side
// test with the cut point always computed, the clip as a naive loop, and
// the area as a fan. Inputs reach the ends of int32, near-parallel lines
// and lines through corners.
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

FixedPoint ReferenceCut(const FixedLine& l, FixedPoint a, FixedPoint b) {
  Crossing c = CrossLines(l, a, b);
  return {static_cast<int32_t>(NearestBySearch(c.numX, c.den)),
          static_cast<int32_t>(NearestBySearch(c.numY, c.den))};
}

// True when num / den lies within 1 / within of a half-integer.
bool IsNearHalf(Wide num, Wide den, Wide within) {
  if (den < 0) num = -num, den = -den;
  Wide twice = 2 * num, odd = NearestBySearch(twice, den);
  if (odd % 2 == 0) odd += twice >= odd * den ? 1 : -1;
  return Abs(twice - odd * den) * within <= 2 * den;
}

bool Opposite(Wide l, Wide m) { return (l < 0 && m > 0) || (l > 0 && m < 0); }

SideCode ReferenceClassify(const FixedLine& line, FixedPoint s, FixedPoint e) {
  Wide l = ReferenceSide(line, s), m = ReferenceSide(line, e);
  if (Opposite(l, m)) {
    FixedPoint c = ReferenceCut(line, s, e);
    auto squared = [&](FixedPoint p) {
      Wide dx = Wide(p.x) - c.x, dy = Wide(p.y) - c.y;
      return dx * dx + dy * dy;
    };
    if (squared(s) < 2) l = 0;
    if (squared(e) < 2) m = 0;
  }
  return (l < 0 ? 0x2000 : l > 0 ? 0x4000 : 0x1000) | (m < 0 ? 0x0200 : m > 0 ? 0x0400 : 0x0100);
}

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

TEST(FixedGeometryTest, CutPointIsTheNearestFixedPointOfTheCrossing) {
  struct Case {
    FixedLine line;
    FixedPoint a, b, cut;
  } cases[] = {
      {{{0, 0}, {5, 2}}, {-10, 1}, {10, 1}, {3, 1}},    // 2.5
      {{{0, 0}, {-5, 2}}, {-10, 1}, {10, 1}, {-3, 1}},  // -2.5
      {{{0, 0}, {12, 5}}, {10, 2}, {-10, 2}, {5, 2}},   // 4.8, from the other end
      {{{0, 0}, {10, 0}}, {3, 0}, {3, 9}, {3, 0}},      // an end on the line
      {{{0, 0}, {10, 0}}, {3, 9}, {4, 8}, {3, 9}},      // no crossing: the start
      {{{0, 0}, {0, 0}}, {-1, -1}, {1, 1}, {-1, -1}},   // no line
  };
  for (const Case& c : cases) {
    FixedPoint cut = ComputeFixedCutPoint(c.line, c.a, c.b);
    EXPECT_TRUE(cut == c.cut) << cut.x << "," << cut.y;
  }
  Inputs in;
  int tested = 0;
  for (int i = 0; tested < 200000; i++) {
    FixedLine l = in.Line();
    FixedPoint a = i % 3 ? in.Near(l) : in.Point(), b = i % 2 ? in.Near(l) : in.Point();
    if (!Opposite(ReferenceSide(l, a), ReferenceSide(l, b))) continue;
    tested++;
    FixedPoint cut = ComputeFixedCutPoint(l, a, b), want = ReferenceCut(l, a, b);
    ASSERT_TRUE(cut == want) << i << ": " << cut.x << "," << cut.y << " want " << want.x << "," << want.y;
    ASSERT_TRUE(ComputeFixedCutPoint(l, b, a) == cut) << i;
    ASSERT_TRUE(cut.x >= std::min(a.x, b.x) && cut.x <= std::max(a.x, b.x)) << i;
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
    FixedPoint cut = ComputeFixedCutPoint(l, a, b);
    ASSERT_EQ(toWhole(cut.x), x) << v[0] << "," << v[1] << " " << v[2] << "," << v[3];
    ASSERT_EQ(toWhole(cut.y), y) << v[4] << "," << v[5] << " " << v[6] << "," << v[7];
    compared++;
  }
  EXPECT_GT(near, 5);  // the halves were met and set aside
}

TEST(FixedGeometryTest, SideTestSnapsEndsNextToTheCutPoint) {
  Inputs in;
  std::mt19937 small(11);
  auto unit = [&] { return std::uniform_int_distribution<int32_t>(-40, 40)(small); };
  int snapped = 0, cut = 0;
  for (int i = 0; i < 300000; i++) {
    FixedLine l = in.Line();
    FixedPoint s = in.Near(l), e = i % 4 ? in.Near(l) : in.Point();
    SideCode want = ReferenceClassify(l, s, e);
    ASSERT_EQ(ClassifyFixedSeg(l, s, e), want) << i;
    snapped += (want & 0x1100) != 0;
    cut += want == 0x4200 || want == 0x2400;
    // On small whole numbers as raw steps, the rule is the whole-unit one.
    int32_t v[8];
    for (int32_t& c : v) c = unit();
    if (v[0] == v[2] && v[1] == v[3]) continue;
    FixedLine raw = {{v[0], v[1]}, {v[2], v[3]}};
    FixedPoint rs = {v[4], v[5]}, re = {v[6], v[7]};
    Crossing c = CrossLines(raw, rs, re);
    if (c.den != 0 && (IsNearHalf(c.numX, c.den, 1 << 20) || IsNearHalf(c.numY, c.den, 1 << 20))) continue;
    ASSERT_EQ(ClassifyFixedSeg(raw, rs, re),
              ClassifySeg(LineBetween(v[0], v[1], v[2], v[3]), SegBetween(v[4], v[5], v[6], v[7])));
  }
  EXPECT_GT(snapped, 3000);
  EXPECT_GT(cut, 10000);
}

Wide Turn(FixedPoint a, FixedPoint b, FixedPoint c) {
  return (Wide(b.x) - a.x) * (Wide(c.y) - b.y) - (Wide(b.y) - a.y) * (Wide(c.x) - b.x);
}

// Drops one corner at a time, rescanning from the start.
void ReferenceTidy(std::vector<FixedPoint>* v) {
  for (bool changed = true; changed && v->size() >= 3;) {
    changed = false;
    for (size_t i = 0, n = v->size(); i < n && !changed; i++) {
      FixedPoint a = (*v)[(i + n - 1) % n], b = (*v)[i], c = (*v)[(i + 1) % n];
      if (b == c || Turn(a, b, c) == 0) v->erase(v->begin() + i), changed = true;
    }
  }
  if (v->size() < 3) v->clear();
}

std::vector<FixedPoint> ReferenceClip(const std::vector<FixedPoint>& v, const FixedLine& l, bool right) {
  std::vector<FixedPoint> out;
  for (size_t i = 0; i < v.size(); i++) {
    FixedPoint p = v[i], q = v[(i + 1) % v.size()];
    Wide sp = ReferenceSide(l, p), sq = ReferenceSide(l, q);
    if (right ? sp >= 0 : sp <= 0) out.push_back(p);
    if (Opposite(sp, sq)) out.push_back(ReferenceCut(l, p, q));
  }
  ReferenceTidy(&out);
  return out;
}

bool IsSameCycle(const std::vector<FixedPoint>& a, const std::vector<FixedPoint>& b) {
  if (a.size() != b.size()) return false;
  if (a.empty()) return true;
  for (size_t r = 0; r < a.size(); r++) {
    bool same = true;
    for (size_t i = 0; i < a.size() && same; i++) same = a[(i + r) % a.size()] == b[i];
    if (same) return true;
  }
  return false;
}

// The clockwise hull of the points (monotone chain, corners that turn only).
std::vector<FixedPoint> ClockwiseHull(std::vector<FixedPoint> p) {
  std::sort(p.begin(), p.end(),
            [](FixedPoint a, FixedPoint b) { return a.x != b.x ? a.x < b.x : a.y < b.y; });
  std::vector<FixedPoint> h;
  for (int pass = 0; pass < 2; pass++) {
    size_t base = h.size();
    for (FixedPoint q : p) {
      while (h.size() >= base + 2 && Turn(h[h.size() - 2], h.back(), q) >= 0) h.pop_back();
      h.push_back(q);
    }
    h.pop_back();
    std::reverse(p.begin(), p.end());
  }
  return h.size() >= 3 ? h : std::vector<FixedPoint>();
}

TEST(FixedGeometryTest, ClockwiseHasTheInsideOnTheRightAndANegativeArea) {
  std::vector<FixedPoint> square = {{0, 0}, {0, 10}, {10, 10}, {10, 0}};
  for (size_t i = 0; i < 4; i++) EXPECT_EQ(FindFixedSide({square[i], square[(i + 1) % 4]}, {5, 5}), 1);
  EXPECT_TRUE(ComputeTwiceSignedArea(square) == -200);
  EXPECT_TRUE(IsSameCycle(ClockwiseHull(square), square));
  std::vector<FixedPoint> huge = {
      {INT32_MIN, INT32_MIN}, {INT32_MIN, INT32_MAX}, {INT32_MAX, INT32_MAX}, {INT32_MAX, INT32_MIN}};
  EXPECT_TRUE(ComputeTwiceSignedArea(huge) == -2 * Wide(UINT32_MAX) * UINT32_MAX);
  EXPECT_TRUE(ComputeTwiceSignedArea({}) == 0);
  Inputs in;
  for (int i = 0; i < 100000; i++) {
    std::vector<FixedPoint> v(in.random() % 9);
    for (FixedPoint& p : v) p = in.Point();
    Wide fan = 0;  // triangles from the first corner
    for (size_t k = 1; k + 1 < v.size(); k++) fan -= ReferenceSide({v[0], v[k]}, v[k + 1]);
    ASSERT_TRUE(ComputeTwiceSignedArea(v) == fan) << i;
  }
}

TEST(FixedGeometryTest, ClipKeepsOneSideOfASquare) {
  std::vector<FixedPoint> square = {{0, 0}, {0, 10}, {10, 10}, {10, 0}};
  struct Case {
    FixedLine line;
    std::vector<FixedPoint> right, left;
  } cases[] = {
      {{{5, -1}, {5, 11}}, {{5, 10}, {10, 10}, {10, 0}, {5, 0}}, {{0, 0}, {0, 10}, {5, 10}, {5, 0}}},
      {{{0, 0}, {10, 10}}, {{0, 0}, {10, 10}, {10, 0}}, {{0, 0}, {0, 10}, {10, 10}}},
      {{{0, 0}, {0, 10}}, square, {}},    // along an edge
      {{{10, 10}, {20, 0}}, square, {}},  // touching a corner
      {{{0, 1}, {7, 2}},
       {{10, 0}, {0, 0}, {0, 1}, {10, 2}},
       {{0, 1}, {0, 10}, {10, 10}, {10, 2}}},  // 1.43 to 1
      {{{0, 0}, {0, 0}}, square, square},      // no line
  };
  for (const Case& c : cases) {
    EXPECT_TRUE(IsSameCycle(ClipPolygon(square, c.line, PolygonSide::Right), c.right)) << c.line.end.x;
    EXPECT_TRUE(IsSameCycle(ClipPolygon(square, c.line, PolygonSide::Left), c.left)) << c.line.end.x;
  }
}

// The two sides share their cut corners, so their areas add up to the
// polygon's with each cut corner's triangle against its edge.
TEST(FixedGeometryTest, ClipMatchesTheNaiveClipAndSharesTheCut) {
  Inputs in;
  int cut = 0;
  for (int i = 0; i < 40000; i++) {
    std::vector<FixedPoint> points(3 + in.random() % 10);
    int64_t span = int64_t(1) << (in.random() % 32);
    for (FixedPoint& p : points) {
      p = {static_cast<int32_t>(in.random() % (2 * span) - span),
           static_cast<int32_t>(in.random() % (2 * span) - span)};
    }
    std::vector<FixedPoint> hull = ClockwiseHull(points);
    if (hull.empty()) continue;
    FixedPoint corner = hull[in.random() % hull.size()];
    FixedLine line = in.Line();
    if (i % 3 == 1) line.start = corner;
    if (i % 3 == 2) line = {corner, hull[(in.random() % hull.size())]};
    if (line.start == line.end) continue;  // no line: both sides are all of it
    std::vector<FixedPoint> right = ClipPolygon(hull, line, PolygonSide::Right);
    std::vector<FixedPoint> left = ClipPolygon(hull, line, PolygonSide::Left);
    ASSERT_TRUE(IsSameCycle(right, ReferenceClip(hull, line, true))) << i;
    ASSERT_TRUE(IsSameCycle(left, ReferenceClip(hull, line, false))) << i;
    Wide added = 0;
    for (size_t k = 0; k < hull.size(); k++) {
      FixedPoint p = hull[k], q = hull[(k + 1) % hull.size()];
      if (Opposite(ReferenceSide(line, p), ReferenceSide(line, q))) {
        added += ComputeTwiceSignedArea({p, ReferenceCut(line, p, q), q});
        cut++;
      }
    }
    ASSERT_TRUE(ComputeTwiceSignedArea(right) + ComputeTwiceSignedArea(left) ==
                ComputeTwiceSignedArea(hull) + added)
        << i;
  }
  EXPECT_GT(cut, 20000);
}

// Anything at all: corners repeated, in line, crossing, at the ends of
// int32. Tidying keeps the area and agrees with the naive tidy, and so
// does the clip, which never faults.
TEST(FixedGeometryTest, DegeneratePolygonsAreTidiedAndNeverFault) {
  Inputs in;
  const int32_t extremes[] = {INT32_MIN, INT32_MIN + 1, -1, 0, 1, INT32_MAX - 1, INT32_MAX};
  int emptied = 0, kept = 0;
  for (int i = 0; i < 100000; i++) {
    std::vector<FixedPoint> v(in.random() % 10);
    for (FixedPoint& p : v) {
      p = i % 2 ? FixedPoint{extremes[in.random() % 7], extremes[in.random() % 7]}
                : FixedPoint{static_cast<int32_t>(in.random() % 4), static_cast<int32_t>(in.random() % 4)};
    }
    std::vector<FixedPoint> tidy = v, plain = v;
    RemoveDegenerateVertices(&tidy);
    ReferenceTidy(&plain);
    ASSERT_TRUE(IsSameCycle(tidy, plain) && ComputeTwiceSignedArea(tidy) == ComputeTwiceSignedArea(v)) << i;
    (tidy.empty() ? emptied : kept)++;
    FixedLine line = i % 3 || v.empty() ? in.Line() : FixedLine{v[0], {1, 2}};
    for (bool right : {true, false}) {
      std::vector<FixedPoint> clipped = ClipPolygon(v, line, right ? PolygonSide::Right : PolygonSide::Left);
      ASSERT_TRUE(IsSameCycle(clipped, ReferenceClip(v, line, right))) << i;
    }
  }
  EXPECT_GT(emptied, 10000);
  EXPECT_GT(kept, 10000);
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
