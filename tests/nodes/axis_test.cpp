// SPDX-License-Identifier: GPL-2.0-or-later
// Root partition by axis mode: orientation, balancing of the cut, the
// nearest-wall search and the division of the root list.

#include "nodes/axis.h"

#include <gtest/gtest.h>

#include <cstring>
#include <utility>
#include <vector>

#include "console/services.h"
#include "driver/settings.h"
#include "nodes/partition.h"
#include "nodes/seg.h"
#include "nodes/tree.h"
#include "tests/nodes/node_fixture.h"
#include "wad/level.h"

namespace {

// Segs with the given start x, each a short upright piece from y 0 to 10,
// so the box spans the starts on x and 0..10 on y.
std::vector<BuildSeg> SegsStartingAt(const std::vector<int32_t>& xs) {
  std::vector<BuildSeg> segs;
  for (int32_t x : xs) segs.push_back(SegBetween(x, 0, x, 10));
  return segs;
}

AxisCut VerticalCut(int32_t position, int32_t minX, int32_t maxX, int32_t minY, int32_t maxY) {
  AxisCut cut;
  cut.vertical = 1;
  cut.position = position;
  cut.passes = 0;
  cut.box = Bounds{minX, maxX, minY, maxY};
  return cut;
}

AxisCut HorizontalCut(int32_t position, int32_t minX, int32_t maxX, int32_t minY, int32_t maxY) {
  AxisCut cut = VerticalCut(position, minX, maxX, minY, maxY);
  cut.vertical = 0;
  return cut;
}

class AxisTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ResetSettings();
    ResetLevel();
  }
  void TearDown() override {
    FreeBlock(Level.Vertexes);
    FreeBlock(Level.LineDefs);
    ResetLevel();
    ResetSettings();
  }

  AxisCut Balance(const std::vector<BuildSeg>& segs) {
    SegList list = ListOf(segs);
    AxisCut cut = BalanceAxisCut(list);
    FreeBlock(list.segs);
    return cut;
  }

  int32_t Candidate(const std::vector<BuildSeg>& segs, const AxisCut& cut) {
    SegList list = ListOf(segs);
    int32_t index = FindAxisCandidate(list, cut);
    FreeBlock(list.segs);
    return index;
  }

  // A level of the given vertexes and one-sided or two-sided linedefs, so
  // that cut pieces can find their linedef's vertexes for their offsets.
  void MakeLevel(const std::vector<std::pair<int, int>>& vertexes,
                 const std::vector<std::pair<int, int>>& lines) {
    Level.VertexCount = static_cast<int32_t>(vertexes.size());
    Level.VertexCapacity = Level.VertexCount;
    Level.Vertexes =
        static_cast<Vertex*>(AllocOrDie(Level.VertexCapacity * static_cast<int32_t>(sizeof(Vertex))));
    for (size_t i = 0; i < vertexes.size(); i++) {
      Level.Vertexes[i].X = static_cast<int16_t>(vertexes[i].first);
      Level.Vertexes[i].Y = static_cast<int16_t>(vertexes[i].second);
    }
    Level.LineDefCount = static_cast<int32_t>(lines.size());
    Level.LineDefs =
        static_cast<LineDef*>(AllocOrDie(Level.LineDefCount * static_cast<int32_t>(sizeof(LineDef))));
    for (size_t i = 0; i < lines.size(); i++) {
      std::memset(&Level.LineDefs[i], 0, sizeof(LineDef));
      Level.LineDefs[i].StartVertex = static_cast<int16_t>(lines[i].first);
      Level.LineDefs[i].EndVertex = static_cast<int16_t>(lines[i].second);
      Level.LineDefs[i].RightSideDef = 0;
      Level.LineDefs[i].LeftSideDef = -1;
    }
  }

  // The seg of a linedef's side: along it (direction 0) or reversed (1).
  BuildSeg SideSeg(int lineDef, int direction) {
    const LineDef& line = Level.LineDefs[lineDef];
    int start = direction == 0 ? line.StartVertex : line.EndVertex;
    int end = direction == 0 ? line.EndVertex : line.StartVertex;
    BuildSeg seg = SegBetween(Level.Vertexes[start].X, Level.Vertexes[start].Y, Level.Vertexes[end].X,
                              Level.Vertexes[end].Y);
    seg.startVertex = start;
    seg.endVertex = end;
    seg.lineDef = lineDef;
    seg.direction = static_cast<int16_t>(direction);
    return seg;
  }

  // The room from (0,0) to (1000,400), walls running clockwise so that the
  // inside is on their right: west, north, east, south (linedefs 0 to 3).
  void MakeRoom(std::vector<std::pair<int, int>> extraVertexes = {},
                std::vector<std::pair<int, int>> extraLines = {}) {
    std::vector<std::pair<int, int>> vertexes = {{0, 0}, {0, 400}, {1000, 400}, {1000, 0}};
    std::vector<std::pair<int, int>> lines = {{0, 1}, {1, 2}, {2, 3}, {3, 0}};
    for (auto& v : extraVertexes) vertexes.push_back(v);
    for (auto& l : extraLines) lines.push_back(l);
    MakeLevel(vertexes, lines);
  }
};

struct Piece {
  int32_t x1, y1, x2, y2;
  int32_t lineDef;
};

std::vector<Piece> PiecesOf(const SegList& list) {
  std::vector<Piece> pieces;
  for (int32_t i = 0; i < list.count; i++) {
    const BuildSeg& seg = list.segs[i];
    pieces.push_back(Piece{seg.x1, seg.y1, seg.x2, seg.y2, seg.lineDef});
  }
  return pieces;
}

void ExpectPieces(const SegList& list, const std::vector<Piece>& expected, const char* side) {
  std::vector<Piece> pieces = PiecesOf(list);
  ASSERT_EQ(pieces.size(), expected.size()) << side;
  for (size_t i = 0; i < pieces.size(); i++) {
    SCOPED_TRACE(testing::Message() << side << " seg " << i);
    EXPECT_EQ(pieces[i].x1, expected[i].x1);
    EXPECT_EQ(pieces[i].y1, expected[i].y1);
    EXPECT_EQ(pieces[i].x2, expected[i].x2);
    EXPECT_EQ(pieces[i].y2, expected[i].y2);
    EXPECT_EQ(pieces[i].lineDef, expected[i].lineDef);
  }
}

void ExpectNodeLine(int32_t x, int32_t y, int32_t dx, int32_t dy) {
  EXPECT_EQ(DivisionLine.x, x);
  EXPECT_EQ(DivisionLine.y, y);
  EXPECT_EQ(DivisionLine.dx, dx);
  EXPECT_EQ(DivisionLine.dy, dy);
}

// --- Orientation -----------------------------------------------------------

TEST_F(AxisTest, OrientationFollowsModeAndRoundedHalves) {
  // A box 100 wide and 400 tall, and one 400 wide and 100 tall.
  std::vector<BuildSeg> tall = {SegBetween(0, 0, 100, 400), SegBetween(100, 400, 0, 0)};
  std::vector<BuildSeg> wide = {SegBetween(0, 0, 400, 100), SegBetween(400, 100, 0, 0)};

  AxisMode = AxisV;
  EXPECT_EQ(Balance(tall).vertical, 1) << "V forces a vertical cut on a tall box";
  AxisMode = AxisH;
  EXPECT_EQ(Balance(wide).vertical, 0) << "H forces a horizontal cut on a wide box";
  AxisMode = AxisA;
  EXPECT_EQ(Balance(tall).vertical, 0);
  EXPECT_EQ(Balance(wide).vertical, 1);

  // 101 by 100 compares the halves 50 and 50: horizontal. 102 by 100
  // compares 51 with 50: vertical.
  EXPECT_EQ(Balance({SegBetween(0, 0, 101, 100)}).vertical, 0);
  EXPECT_EQ(Balance({SegBetween(0, 0, 102, 100)}).vertical, 1);
  // The same holds with the box away from the origin and the sides swapped.
  EXPECT_EQ(Balance({SegBetween(-50, 7, -150, 108)}).vertical, 0);
  EXPECT_EQ(Balance({SegBetween(-50, 7, -151, 107)}).vertical, 0);
  EXPECT_EQ(Balance({SegBetween(-50, 7, -152, 107)}).vertical, 1);
}

// --- Balancing -------------------------------------------------------------

TEST_F(AxisTest, BalancingSettlesWhereStartsSplitEvenly) {
  AxisMode = AxisA;
  // Box 1000 by 400: vertical, cut from 500 with step 250. Seven starts lie
  // below 500, so the cut moves down to 250, where five and five balance.
  std::vector<BuildSeg> segs;
  int32_t xs[] = {0, 50, 100, 150, 200, 250, 300, 900, 950, 1000};
  for (int32_t x : xs) segs.push_back(SegBetween(x, 0, x, 400));
  AxisCut cut = Balance(segs);
  EXPECT_EQ(cut.vertical, 1);
  EXPECT_EQ(cut.position, 250);
  EXPECT_EQ(cut.passes, 2);
  EXPECT_EQ(cut.box.MinX, 0);
  EXPECT_EQ(cut.box.MaxX, 1000);
  EXPECT_EQ(cut.box.MinY, 0);
  EXPECT_EQ(cut.box.MaxY, 400);

  // With the last start at 1002 the half width is 501 and the step 250, both
  // rounded down: the first move reaches 251, one unit above the balance
  // point, and the walk goes on down to 219.
  segs.back() = SegBetween(1002, 0, 1002, 400);
  cut = Balance(segs);
  EXPECT_EQ(cut.position, 219);
  EXPECT_EQ(cut.passes, 5);
}

TEST_F(AxisTest, BalancingCountsOnlyStartPoints) {
  AxisMode = AxisA;
  // The same starts as above, but every seg ends far on the other side of
  // the cut; only the starts are counted, so the result does not change.
  std::vector<BuildSeg> segs;
  int32_t xs[] = {0, 50, 100, 150, 200, 250, 300, 900, 950, 1000};
  for (int32_t x : xs) segs.push_back(SegBetween(x, 0, 1000 - x, 400));
  AxisCut cut = Balance(segs);
  EXPECT_EQ(cut.position, 250);
  EXPECT_EQ(cut.passes, 2);
}

TEST_F(AxisTest, ClampedClimbEndsOnThePassCounter) {
  AxisMode = AxisA;
  // One start at 0 and three at 1000: the ratio stays 3.0, the cut climbs to
  // the box's edge and stays there; equal ratios never stop the walk.
  AxisCut cut = Balance(SegsStartingAt({0, 1000, 1000, 1000}));
  EXPECT_EQ(cut.vertical, 1);
  EXPECT_EQ(cut.position, 1000);
  EXPECT_EQ(cut.passes, 100);

  // The mirror image is clamped at the minimum instead (500, 250, 125, 63,
  // 32, 17, 10, 3, then -4 raised to 0), where nothing starts below the cut
  // any more: eight passes.
  cut = Balance(SegsStartingAt({0, 0, 0, 1000}));
  EXPECT_EQ(cut.position, 0);
  EXPECT_EQ(cut.passes, 8);
}

TEST_F(AxisTest, BalancedBoundsAreInclusive) {
  AxisMode = AxisA;
  // Starts at 100 (below) and 900 (at or above) in a box from 100 to 900:
  // the cut starts at 500. 49/50 and 51/50 are the bounds themselves and stop
  // at once; 48/50 and 52/50 do not.
  auto segs = [](int below, int atOrAbove) {
    std::vector<int32_t> xs(static_cast<size_t>(below), 100);
    xs.insert(xs.end(), static_cast<size_t>(atOrAbove), 900);
    return SegsStartingAt(xs);
  };
  AxisCut cut = Balance(segs(50, 49));
  EXPECT_EQ(cut.position, 500);
  EXPECT_EQ(cut.passes, 1);
  cut = Balance(segs(50, 51));
  EXPECT_EQ(cut.position, 500);
  EXPECT_EQ(cut.passes, 1);
  EXPECT_GT(Balance(segs(50, 48)).passes, 1);
  EXPECT_GT(Balance(segs(50, 52)).passes, 1);
}

TEST_F(AxisTest, SmallStepIsRaisedTo100) {
  AxisMode = AxisA;
  // Box 0..200: the half width 100 gives a step of 50, raised to 100. Three
  // starts at 0 and one at 150: the first move takes the cut from 100 to 0,
  // where nothing starts below it.
  AxisCut cut = Balance(SegsStartingAt({0, 0, 0, 150, 200}));
  EXPECT_EQ(cut.position, 0);
  EXPECT_EQ(cut.passes, 1);
}

TEST_F(AxisTest, SmallStepsStopWhenTheBalanceWorsens) {
  AxisMode = AxisA;
  // Starts 0, 0, 600, 600, 1000, 1000. The cut goes 500, 750, 625, 563, 594,
  // 609 (step now 7), 602, 595 with the ratio 2 or 0.5; at 595 the ratio 2
  // is worse than the previous 0.5 and the walk ends after eight passes.
  AxisCut cut = Balance(SegsStartingAt({0, 0, 600, 600, 1000, 1000}));
  EXPECT_EQ(cut.position, 595);
  EXPECT_EQ(cut.passes, 8);

  // A step of exactly 8 is no longer halved: box 0..512 (step 128), starts
  // 0, 388, 512. The cut goes 256, 384, 448, 416, 400 (step now 8), 392,
  // 384, where the ratio 2 is worse than 0.5.
  cut = Balance(SegsStartingAt({0, 388, 512}));
  EXPECT_EQ(cut.position, 384);
  EXPECT_EQ(cut.passes, 7);
}

TEST_F(AxisTest, HorizontalCutBalancesOnStartY) {
  AxisMode = AxisH;
  // Box 0..100 by 0..1000, starts on y as in the ten-seg case.
  std::vector<BuildSeg> segs;
  int32_t ys[] = {0, 50, 100, 150, 200, 250, 300, 900, 950, 1000};
  for (int32_t y : ys) segs.push_back(SegBetween(100, y, 0, y));
  AxisCut cut = Balance(segs);
  EXPECT_EQ(cut.vertical, 0);
  EXPECT_EQ(cut.position, 250);
  EXPECT_EQ(cut.passes, 2);
}

// --- Candidate search ------------------------------------------------------

TEST_F(AxisTest, CandidateMustBeAxisParallelAndLongerThan32) {
  AxisCut cut = VerticalCut(500, 0, 1000, 0, 1000);
  EXPECT_EQ(Candidate({SegBetween(500, 100, 500, 132)}, cut), -1);
  EXPECT_EQ(Candidate({SegBetween(500, 100, 500, 133)}, cut), 0);
  EXPECT_EQ(Candidate({SegBetween(500, 133, 500, 100)}, cut), 0) << "either direction";
  EXPECT_EQ(Candidate({SegBetween(500, 100, 501, 300)}, cut), -1) << "not vertical";
  EXPECT_EQ(Candidate({SegBetween(400, 500, 600, 500)}, cut), -1) << "horizontal seg, vertical cut";
  // A short or slanted seg nearer the cut does not hide a qualifying one.
  EXPECT_EQ(Candidate({SegBetween(500, 100, 500, 120), SegBetween(500, 300, 499, 600),
                       SegBetween(700, 100, 700, 200)},
                      cut),
            2);

  AxisCut across = HorizontalCut(500, 0, 1000, 0, 1000);
  EXPECT_EQ(Candidate({SegBetween(100, 500, 132, 500)}, across), -1);
  EXPECT_EQ(Candidate({SegBetween(133, 500, 100, 500)}, across), 0);
  EXPECT_EQ(Candidate({SegBetween(500, 400, 500, 600)}, across), -1);
}

TEST_F(AxisTest, CandidateDistanceLimitIs1000) {
  AxisCut cut = VerticalCut(0, -2000, 2000, 0, 1000);
  EXPECT_EQ(Candidate({SegBetween(1000, 0, 1000, 500)}, cut), 0);
  EXPECT_EQ(Candidate({SegBetween(-1000, 0, -1000, 500)}, cut), 0);
  EXPECT_EQ(Candidate({SegBetween(1001, 0, 1001, 500)}, cut), -1);
  EXPECT_EQ(Candidate({SegBetween(-1001, 0, -1001, 500)}, cut), -1);

  AxisCut across = HorizontalCut(0, 0, 1000, -2000, 2000);
  EXPECT_EQ(Candidate({SegBetween(0, 1000, 500, 1000)}, across), 0);
  EXPECT_EQ(Candidate({SegBetween(0, 1001, 500, 1001)}, across), -1);
}

TEST_F(AxisTest, NearestCandidateWinsAndTiesKeepTheEarlier) {
  AxisCut cut = VerticalCut(500, 0, 1000, 0, 1000);
  EXPECT_EQ(
      Candidate({SegBetween(700, 0, 700, 100), SegBetween(450, 0, 450, 100), SegBetween(540, 0, 540, 100)},
                cut),
      2);
  EXPECT_EQ(Candidate({SegBetween(510, 0, 510, 100), SegBetween(490, 0, 490, 100)}, cut), 0);
  EXPECT_EQ(Candidate({SegBetween(490, 100, 490, 0), SegBetween(510, 100, 510, 0)}, cut), 0);
  EXPECT_EQ(
      Candidate({SegBetween(700, 0, 700, 100), SegBetween(520, 0, 520, 100), SegBetween(480, 100, 480, 0)},
                cut),
      1);
}

TEST_F(AxisTest, CandidateOnTheBoxEdgeIsDroppedWithoutRetry) {
  AxisCut cut = VerticalCut(100, 0, 1000, 0, 1000);
  // The nearest wall lies on the box's left edge: no candidate, although a
  // wall inside the box qualifies too.
  EXPECT_EQ(Candidate({SegBetween(300, 0, 300, 100), SegBetween(0, 100, 0, 0)}, cut), -1);
  cut.position = 900;
  EXPECT_EQ(Candidate({SegBetween(700, 0, 700, 100), SegBetween(1000, 0, 1000, 100)}, cut), -1);
  EXPECT_EQ(Candidate({SegBetween(999, 0, 999, 100)}, cut), 0);
  cut.position = 100;
  EXPECT_EQ(Candidate({SegBetween(1, 0, 1, 100)}, cut), 0);

  AxisCut across = HorizontalCut(100, 0, 1000, -50, 1000);
  EXPECT_EQ(Candidate({SegBetween(0, -50, 100, -50)}, across), -1);
  EXPECT_EQ(Candidate({SegBetween(0, 1000, 100, 1000)}, across), -1);
  EXPECT_EQ(Candidate({SegBetween(0, -49, 100, -49)}, across), 0);
}

// --- Division --------------------------------------------------------------

TEST_F(AxisTest, RoomWithoutPartitionSegIsCutAlongVerticalLine) {
  AxisMode = AxisA;
  MakeRoom();
  // Starts 0, 0, 1000, 1000: balanced at 500 at once. The nearest vertical
  // wall is the west wall, on the box edge, so the line runs north along
  // x = 500 from the top of the box; the north and south walls are cut.
  SegList list = ListOf({SideSeg(0, 0), SideSeg(1, 0), SideSeg(2, 0), SideSeg(3, 0)});
  SegList right, left;
  DivideRootByAxis(list, &right, &left);

  ExpectNodeLine(500, 400, 0, 400);
  ExpectPieces(right, {{500, 400, 1000, 400, 1}, {1000, 400, 1000, 0, 2}, {1000, 0, 500, 0, 3}}, "right");
  ExpectPieces(left, {{0, 0, 0, 400, 0}, {0, 400, 500, 400, 1}, {500, 0, 0, 0, 3}}, "left");
  ASSERT_EQ(Level.VertexCount, 6);
  EXPECT_EQ(Level.Vertexes[4].X, 500);
  EXPECT_EQ(Level.Vertexes[4].Y, 400);
  EXPECT_EQ(Level.Vertexes[5].X, 500);
  EXPECT_EQ(Level.Vertexes[5].Y, 0);
  // The second piece of a cut wall is offset from its linedef's start.
  EXPECT_EQ(right.segs[0].offset, 500);
  EXPECT_EQ(left.segs[2].offset, 500);
  ReleaseSegList(&right);
  ReleaseSegList(&left);
}

TEST_F(AxisTest, RoomWithoutPartitionSegIsCutAlongHorizontalLine) {
  AxisMode = AxisH;
  MakeRoom();
  // Starts on y: 0, 400, 400, 0, balanced at 200. The line runs east along
  // y = 200 from the box's right edge; the south half is its front.
  SegList list = ListOf({SideSeg(0, 0), SideSeg(1, 0), SideSeg(2, 0), SideSeg(3, 0)});
  SegList right, left;
  DivideRootByAxis(list, &right, &left);

  ExpectNodeLine(1000, 200, 1000, 0);
  ExpectPieces(right, {{0, 0, 0, 200, 0}, {1000, 200, 1000, 0, 2}, {1000, 0, 0, 0, 3}}, "right");
  ExpectPieces(left, {{0, 200, 0, 400, 0}, {0, 400, 1000, 400, 1}, {1000, 400, 1000, 200, 2}}, "left");
  ReleaseSegList(&right);
  ReleaseSegList(&left);
}

TEST_F(AxisTest, SegsOnTheCutGoByTheirDirection) {
  AxisMode = AxisA;
  // The room plus two short two-sided walls (20 units, too short to be
  // candidates): one at x = 250 and one at x = 500, on the cut. Their starts
  // keep the balance at 500. The wall on the cut is drawn southward, so its
  // reversed seg (direction 1) is the one pointing north, along the line.
  MakeRoom({{250, 100}, {250, 120}, {500, 120}, {500, 100}}, {{4, 5}, {6, 7}});
  SegList list = ListOf({SideSeg(0, 0), SideSeg(1, 0), SideSeg(4, 0), SideSeg(4, 1), SideSeg(5, 0),
                         SideSeg(5, 1), SideSeg(2, 0), SideSeg(3, 0)});
  SegList right, left;
  DivideRootByAxis(list, &right, &left);

  ExpectNodeLine(500, 400, 0, 400);
  ExpectPieces(
      right,
      {{500, 400, 1000, 400, 1}, {500, 100, 500, 120, 5}, {1000, 400, 1000, 0, 2}, {1000, 0, 500, 0, 3}},
      "right");
  ExpectPieces(left,
               {{0, 0, 0, 400, 0},
                {0, 400, 500, 400, 1},
                {250, 100, 250, 120, 4},
                {250, 120, 250, 100, 4},
                {500, 120, 500, 100, 5},
                {500, 0, 0, 0, 3}},
               "left");
  EXPECT_EQ(right.segs[1].direction, 1);
  EXPECT_EQ(left.segs[4].direction, 0);
  ReleaseSegList(&right);
  ReleaseSegList(&left);
}

TEST_F(AxisTest, FlatBoxGivesUnitLengthLine) {
  // A level of one two-sided wall along y = 0: zero height, so a vertical
  // line along the cut is one unit long.
  AxisMode = AxisV;
  MakeLevel({{0, 0}, {1000, 0}}, {{0, 1}});
  SegList list = ListOf({SideSeg(0, 0), SideSeg(0, 1)});
  SegList right, left;
  DivideRootByAxis(list, &right, &left);
  ExpectNodeLine(500, 0, 0, 1);
  ExpectPieces(right, {{500, 0, 1000, 0, 0}, {1000, 0, 500, 0, 0}}, "right");
  ExpectPieces(left, {{0, 0, 500, 0, 0}, {500, 0, 0, 0, 0}}, "left");
  ReleaseSegList(&right);
  ReleaseSegList(&left);
  TearDown();
  SetUp();

  // The same wall standing along x = 0 under a horizontal cut.
  AxisMode = AxisH;
  MakeLevel({{0, 0}, {0, 1000}}, {{0, 1}});
  list = ListOf({SideSeg(0, 0), SideSeg(0, 1)});
  DivideRootByAxis(list, &right, &left);
  ExpectNodeLine(0, 500, 1, 0);
  ExpectPieces(right, {{0, 0, 0, 500, 0}, {0, 500, 0, 0, 0}}, "right");
  ExpectPieces(left, {{0, 500, 0, 1000, 0}, {0, 1000, 0, 500, 0}}, "left");
  ReleaseSegList(&right);
  ReleaseSegList(&left);
}

TEST_F(AxisTest, LineLeavingOneSideEmptyFallsBackToOrdinaryDivision) {
  AxisMode = AxisV;
  // A thin triangle one unit wide: the cut stays at x = 0, the only
  // vertical wall lies on the box edge, and every seg is on the front of
  // the line x = 0. The root is then divided like any other node: the
  // convex list keeps its head as partition, moved alone to the left.
  MakeLevel({{1, 100}, {1, 0}, {0, 50}}, {{0, 1}, {1, 2}, {2, 0}});
  SegList list = ListOf({SideSeg(0, 0), SideSeg(1, 0), SideSeg(2, 0)});
  int32_t nodesBefore = BuildNodeCount;
  SegList right, left;
  DivideRootByAxis(list, &right, &left);

  ExpectNodeLine(1, 100, 0, -100);
  ExpectPieces(right, {{1, 0, 0, 50, 1}, {0, 50, 1, 100, 2}}, "right");
  ExpectPieces(left, {{1, 100, 1, 0, 0}}, "left");
  EXPECT_EQ(Level.VertexCount, 3);
  EXPECT_EQ(BuildNodeCount, nodesBefore);
  ReleaseSegList(&right);
  ReleaseSegList(&left);
}

TEST_F(AxisTest, PartitionSegGivesNodeLineAndGoesRight) {
  // The room with a two-sided wall from (600,100) to (600,300). The cut
  // settles at 595 (see the balancing case with these starts); both segs of
  // the wall lie 5 units away and the earlier one becomes the partition.
  for (int order = 0; order < 2; order++) {
    SCOPED_TRACE(order == 0 ? "northward seg first" : "southward seg first");
    TearDown();
    SetUp();
    AxisMode = AxisA;
    MakeRoom({{600, 100}, {600, 300}}, {{4, 5}});
    int first = order == 0 ? 0 : 1;
    SegList list = ListOf({SideSeg(0, 0), SideSeg(1, 0), SideSeg(4, first), SideSeg(4, 1 - first),
                           SideSeg(2, 0), SideSeg(3, 0)});
    SegList right, left;
    DivideRootByAxis(list, &right, &left);

    std::vector<Piece> east = {{600, 400, 1000, 400, 1}, {1000, 400, 1000, 0, 2}, {1000, 0, 600, 0, 3}};
    std::vector<Piece> west = {{0, 0, 0, 400, 0}, {0, 400, 600, 400, 1}, {600, 0, 0, 0, 3}};
    Piece north = {600, 100, 600, 300, 4};
    Piece south = {600, 300, 600, 100, 4};
    if (order == 0) {
      // Pointing north: east is the front; the partition seg is copied right
      // in list order and its twin goes left.
      ExpectNodeLine(600, 100, 0, 200);
      east.insert(east.begin() + 1, north);
      west.insert(west.begin() + 2, south);
      ExpectPieces(right, east, "right");
      ExpectPieces(left, west, "left");
    } else {
      // Pointing south: west is the front.
      ExpectNodeLine(600, 300, 0, -200);
      west.insert(west.begin() + 2, south);
      east.insert(east.begin() + 1, north);
      ExpectPieces(right, west, "right");
      ExpectPieces(left, east, "left");
    }
    ReleaseSegList(&right);
    ReleaseSegList(&left);
  }
}

}  // namespace
