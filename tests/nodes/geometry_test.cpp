// SPDX-License-Identifier: GPL-2.0-or-later
// Angles, the side test with its cut-point tolerance, cut points and the
// offsets of cut-off pieces.
#include <random>

#include "tests/nodes/plain_choice.h"

namespace {

class GeometryTest : public NodesTest {};

TEST_F(GeometryTest, AnglesFollowTheTruncatedExtendedScale) {
  struct Case {
    int32_t dx, dy;
    uint16_t angle;
  } cases[] = {
      {1, 0, 0},      {1, 1, 8192},    {0, 1, 16384},  {-1, 1, 24576}, {-1, 0, 32768},   {-1, -1, 40959},
      {0, -1, 49151}, {1, -1, 57343},  {3, 4, 9672},   {100, 1, 104},  {100, -1, 65431}, {0, 0, 0},
      {7, 0, 0},      {0, 300, 16384}, {-5, 0, 32768}, {0, -9, 49151},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(ComputeAngle(c.dx, c.dy), c.angle) << c.dx << "," << c.dy;
  }
}

TEST_F(GeometryTest, SideCodesOfAHorizontalLine) {
  // Walking east along y = 0, the right hand points south.
  PartitionLine line = LineBetween(0, 0, 10, 0);
  EXPECT_EQ(ClassifySeg(line, SegBetween(2, -5, 8, -9)), 0x4400);
  EXPECT_EQ(ClassifySeg(line, SegBetween(2, 5, 8, 9)), 0x2200);
  EXPECT_EQ(ClassifySeg(line, SegBetween(-40, 0, 90, 0)), 0x1100);
  // An end point exactly on the line: never cut, the other end decides.
  EXPECT_EQ(ClassifySeg(line, SegBetween(5, 0, 5, -10)), 0x1400);
  EXPECT_EQ(ClassifySeg(line, SegBetween(3, 7, 3, 0)), 0x2100);
  EXPECT_EQ(ClassifySeg(line, SegBetween(300, -2, 300, 0)), 0x4100);
  // Crossing well away from both ends.
  EXPECT_EQ(ClassifySeg(line, SegBetween(5, 10, 5, -10)), 0x2400);
  EXPECT_EQ(ClassifySeg(line, SegBetween(5, -10, 6, 10)), 0x4200);
}

TEST_F(GeometryTest, EndPointsNearTheCutPointCountAsOnTheLine) {
  PartitionLine line = LineBetween(0, 0, 10, 0);
  // Squared distance 1 from the cut point (5,0): on the line.
  EXPECT_EQ(ClassifySeg(line, SegBetween(5, 1, 5, -20)), 0x1400);
  EXPECT_EQ(ClassifySeg(line, SegBetween(5, 20, 5, -1)), 0x2100);
  // Cut at 5.5, rounded to 6: the end (6,-1) is one step away, the start
  // (5,1) one diagonal step.
  EXPECT_EQ(ClassifySeg(line, SegBetween(5, 1, 6, -1)), 0x2100);
  // Squared distance 2 (a diagonal step) from both ends: cut.
  EXPECT_EQ(ClassifySeg(line, SegBetween(4, 1, 6, -1)), 0x2400);
  // Both ends one step from the cut point: collinear.
  EXPECT_EQ(ClassifySeg(line, SegBetween(5, 1, 5, -1)), 0x1100);
  // The same for a slanted line (cut point (5,5) on y = x).
  PartitionLine slanted = LineBetween(0, 0, 10, 10);
  EXPECT_EQ(ClassifySeg(slanted, SegBetween(5, 6, 6, 4)), 0x1400);  // cut point (5,5)
  EXPECT_EQ(ClassifySeg(slanted, SegBetween(4, 6, 9, 1)), 0x2400);  // diagonal step from (5,5)
  EXPECT_EQ(ClassifySeg(slanted, SegBetween(5, 6, 9, 2)), 0x1400);  // cut point (6,6)
}

TEST_F(GeometryTest, CutPointsRoundHalfAwayFromZero) {
  int32_t x, y;
  // The line from (0,0) to (5,2) meets y = 1 at x = 2.5.
  ComputeSplitPoint(LineBetween(0, 0, 5, 2), SegBetween(-10, 1, 10, 1), &x, &y);
  EXPECT_EQ(x, 3);
  EXPECT_EQ(y, 1);
  ComputeSplitPoint(LineBetween(0, 0, -5, 2), SegBetween(-10, 1, 10, 1), &x, &y);
  EXPECT_EQ(x, -3);
  EXPECT_EQ(y, 1);
  // The same along y, with a seg running downwards.
  ComputeSplitPoint(LineBetween(0, 0, 2, -5), SegBetween(1, 10, 1, -10), &x, &y);
  EXPECT_EQ(x, 1);
  EXPECT_EQ(y, -3);
  // 2.4 stays 2.
  ComputeSplitPoint(LineBetween(0, 0, 5, 12), SegBetween(-10, 6, 10, 6), &x, &y);
  EXPECT_EQ(x, 3);  // 2.5
  ComputeSplitPoint(LineBetween(0, 0, 12, 5), SegBetween(-10, 2, 10, 2), &x, &y);
  EXPECT_EQ(x, 5);  // 4.8
  ComputeSplitPoint(LineBetween(0, 0, 10, 24), SegBetween(-10, 24, 10, -24), &x, &y);
  EXPECT_EQ(x, 0);
  EXPECT_EQ(y, 0);
}

TEST_F(GeometryTest, ParallelSegGivesItsStart) {
  int32_t x, y;
  ComputeSplitPoint(LineBetween(0, 0, 10, 0), SegBetween(3, 5, 8, 5), &x, &y);
  EXPECT_EQ(x, 3);
  EXPECT_EQ(y, 5);
}

TEST_F(GeometryTest, ZeroLengthLinesHaveNoCutPoint) {
  int32_t x, y;
  EXPECT_NODES_FATAL(ComputeSplitPoint(LineBetween(1, 1, 1, 1), SegBetween(0, 0, 5, 0), &x, &y),
                     "Error : \\*\\* Error Intersection = 0 0,0 5,0\\? \\*\\*");
  EXPECT_NODES_FATAL(ComputeSplitPoint(LineBetween(0, 0, 10, -3), SegBetween(4, 4, 4, 4), &x, &y),
                     "Error Intersection = 0 10,-3 0,0\\?");
}

TEST_F(GeometryTest, OffsetIsTheTruncatedDistanceFromTheLinedefSide) {
  PutLevel({{0, 0}, {30, 40}, {-20000, 0}, {20000, 0}}, {{0, 1, 0, 1}, {2, 3, 0, -1}}, {0, 0});
  BuildSeg seg = SegBetween(3, 4, 30, 40);
  seg.lineDef = 0;
  seg.direction = 0;
  EXPECT_EQ(ComputeSegOffset(seg), 5);
  seg.x1 = 1;
  seg.y1 = 1;
  EXPECT_EQ(ComputeSegOffset(seg), 1);  // the square root of 2, truncated
  // Against the linedef, the distance is measured from its end vertex.
  seg.direction = 1;
  seg.x1 = 27;
  seg.y1 = 36;
  EXPECT_EQ(ComputeSegOffset(seg), 5);
  // Only the low 16 bits are kept.
  BuildSeg far = SegBetween(20000, 0, -20000, 0);
  far.lineDef = 1;
  EXPECT_EQ(static_cast<uint16_t>(ComputeSegOffset(far)), 40000);
}

TEST_F(GeometryTest, PieceStartingAtItsLinedefsVertexIsFatal) {
  PutLevel({{0, 0}, {30, 40}}, {{0, 1, 0, 1}}, {0, 0});
  BuildSeg seg = SegBetween(30, 40, 0, 0);
  seg.lineDef = 0;
  seg.direction = 1;
  EXPECT_NODES_FATAL(ComputeSegOffset(seg), "Error : \\*\\* split 0,0\n \\*\\*");
}

// The side test skips the cut point when both ends are far from the line;
// it must agree with the test that always computes it.
TEST_F(GeometryTest, SideTestAgreesWithTheCutPointEverywhere) {
  std::mt19937 random(20261208);
  const int32_t spans[] = {40, 3000, 32767};
  auto coordinate = [&](int32_t span) { return std::uniform_int_distribution<int32_t>(-span, span)(random); };
  auto clamp = [](long double v) {
    long double r = v < -32768 ? -32768 : v > 32767 ? 32767 : v;
    return static_cast<int32_t>(r >= 0 ? r + 0.5L : r - 0.5L);
  };
  int snapped = 0, crossing = 0;
  for (int i = 0; i < 300000; i++) {
    int32_t span = spans[i % 3];
    PartitionLine line = LineBetween(coordinate(span), coordinate(span), coordinate(span), coordinate(span));
    if (line.dx == 0 && line.dy == 0) continue;
    BuildSeg seg;
    if (i % 5 == 0) {
      seg = SegBetween(coordinate(span), coordinate(span), coordinate(span), coordinate(span));
    } else {
      // End points near the line: a point on it plus a few units across.
      std::uniform_real_distribution<double> along(-0.5, 1.5);
      std::uniform_int_distribution<int32_t> across(-7, 7);
      int32_t ends[4];
      for (int e = 0; e < 2; e++) {
        long double t = along(random);
        ends[2 * e] = clamp(line.x1 - t * line.dx) + across(random);
        ends[2 * e + 1] = clamp(line.y1 - t * line.dy) + across(random);
      }
      seg = SegBetween(ends[0], ends[1], ends[2], ends[3]);
    }
    SideCode expected = ReferenceClassify(line, seg);
    ASSERT_EQ(ClassifySeg(line, seg), expected)
        << line.x1 << "," << line.y1 << " " << line.x2 << "," << line.y2 << " seg " << seg.x1 << "," << seg.y1
        << " " << seg.x2 << "," << seg.y2;
    if (expected == 0x4200 || expected == 0x2400) crossing++;
    if ((expected & 0x1000) || (expected & 0x0100)) snapped++;
  }
  // The sample must reach both the tolerance and real cuts.
  EXPECT_GT(snapped, 1000);
  EXPECT_GT(crossing, 1000);
}

}  // namespace
