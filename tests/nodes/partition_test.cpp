// SPDX-License-Identifier: GPL-2.0-or-later
// The choice of the partition seg in its two modes, and the division of a
// list with its cuts.
#include <random>

#include "tests/nodes/plain_choice.h"

namespace {

class PartitionTest : public NodesTest {};

TEST_F(PartitionTest, ConvexRoomChoosesTheHeadAndMovesItLeft) {
  PutLevel({{0, 0}, {0, 64}, {64, 64}, {64, 0}}, {{0, 1, 0, -1}, {1, 2, 1, -1}, {2, 3, 2, -1}, {3, 0, 3, -1}},
           {0, 0, 0, 0});
  SegList list = CreateSegs();
  EXPECT_EQ(ChoosePartition(list), 0);
  SegList right, left;
  DivideSegs(list, &right, &left);
  ASSERT_EQ(left.count, 1);
  EXPECT_EQ(left.segs[0].lineDef, 0);
  ASSERT_EQ(right.count, 3);
  EXPECT_EQ(right.segs[0].lineDef, 1);
  EXPECT_EQ(right.segs[1].lineDef, 2);
  EXPECT_EQ(right.segs[2].lineDef, 3);
  EXPECT_EQ(DivisionLine.x, 0);
  EXPECT_EQ(DivisionLine.y, 0);
  EXPECT_EQ(DivisionLine.dx, 0);
  EXPECT_EQ(DivisionLine.dy, 64);
  EXPECT_EQ(Level.VertexCount, 4);
  ReleaseSegList(&right);
  ReleaseSegList(&left);
}

TEST_F(PartitionTest, EmptyListHasNoPartition) {
  SegList list = {nullptr, 0};
  EXPECT_EQ(ChoosePartition(list), -1);
  SegList right, left;
  EXPECT_NODES_FATAL(DivideSegs(list, &right, &left), "No valid Nodeline \\?");
}

TEST_F(PartitionTest, ChoiceSetsTheDeltasOfEverySeg) {
  BuildSeg a = Wall(0, 0, 10, 0), b = Wall(3, 4, -7, 9);
  a.deltaX = a.deltaY = b.deltaX = b.deltaY = 12345;
  SegList list = ListOf({a, b});
  ChoosePartition(list);
  EXPECT_EQ(list.segs[0].deltaX, -10);
  EXPECT_EQ(list.segs[0].deltaY, 0);
  EXPECT_EQ(list.segs[1].deltaX, 10);
  EXPECT_EQ(list.segs[1].deltaY, -5);
  ReleaseSegList(&list);
}

// Two walls facing west and two facing east, side by side: the second and
// third split the list alike, and the one nearer the head wins.
TEST_F(PartitionTest, TiesKeepTheEarlierCandidate) {
  std::vector<BuildSeg> segs = {Wall(0, 0, 0, 10), Wall(10, 10, 10, 0), Wall(20, 0, 20, 10),
                                Wall(30, 10, 30, 0)};
  for (int final = 0; final <= 1; final++) {
    FinalMode = final;
    EXPECT_EQ(Choose(segs), 1);
    EXPECT_EQ(Choose({segs[3], segs[2], segs[1], segs[0]}), 1);
  }
}

// The head A lies south of everything; X is a short wall at x = 0 with six
// walls east of it and three west; all those nine lie on y = 0. In Final
// mode A costs 4 and X's complete cost is 2. When the western walls come
// first X wins. When the eastern walls come first, X's running cost reaches
// 4 and X is dropped before the western walls would bring it down again;
// the last wall then wins with 3, its own +1 never entering its cost.
std::vector<BuildSeg> EarlyStopList(bool eastFirst) {
  std::vector<BuildSeg> segs = {Wall(100, -50, 110, -50), Wall(0, 5, 0, 15)};
  std::vector<BuildSeg> east, west;
  for (int i = 0; i < 6; i++) east.push_back(Wall(10 + 20 * i, 0, 20 + 20 * i, 0));
  for (int i = 0; i < 3; i++) west.push_back(Wall(-100 + 20 * i, 0, -90 + 20 * i, 0));
  for (const BuildSeg& s : eastFirst ? east : west) segs.push_back(s);
  for (const BuildSeg& s : eastFirst ? west : east) segs.push_back(s);
  return segs;
}

TEST_F(PartitionTest, RunningCostDropsACandidateEarly) {
  FinalMode = 1;
  EXPECT_EQ(Choose(EarlyStopList(false)), 1);
  EXPECT_EQ(Choose(EarlyStopList(true)), 10);
}

TEST_F(PartitionTest, TurboPenaltyDropsEveryLaterCandidateAtOnce) {
  // With the Turbo penalty the head's cost is 0 and every later candidate
  // reaches 0 after its first tested seg, so X never gets a chance.
  FinalMode = 0;
  EXPECT_EQ(Choose(EarlyStopList(false)), 0);
  EXPECT_EQ(Choose(EarlyStopList(true)), 0);
}

// B and C are the same wall inside a convex hexagon whose six walls face
// inwards (none of them has anything on its left). Two hexagon walls lie
// west of B's line and four east. C is the last seg, so its own +1 on the
// right never enters its cost: 1 against B's 2.
TEST_F(PartitionTest, LastCandidateCountsItselfTooLate) {
  FinalMode = 1;
  BuildSeg b = Wall(0, 0, 0, 10);
  std::vector<BuildSeg> segs = {b,
                                Wall(0, -200, -100, 0),
                                Wall(-100, 0, 0, 200),
                                Wall(0, 200, 100, 150),
                                Wall(100, 150, 150, 0),
                                Wall(150, 0, 100, -150),
                                Wall(100, -150, 0, -200),
                                b};
  EXPECT_EQ(Choose(segs), 7);
  // Without the last copy, B alone is the only wall that qualifies.
  segs.pop_back();
  EXPECT_EQ(Choose(segs), 0);
}

// N, the head, faces west with everything east of it (cost 3). S at x = 0
// cuts H and balances the rest: with weight 0 it costs 0 and wins. With
// weight 48 its cut drops it at once, and E1, which cuts nothing and leaves
// the western walls behind it, wins with 1.
TEST_F(PartitionTest, SplitWeightMakesCutsCostly) {
  std::vector<BuildSeg> segs = {Wall(-100, 5, -100, -5), Wall(0, -5, 0, 5),     Wall(-40, 50, 40, 50),
                                Wall(-80, -5, -80, 5),   Wall(40, -5, 40, 5),   Wall(-60, -5, -60, 5),
                                Wall(60, -5, 60, 5),     Wall(-40, -5, -40, 5), Wall(80, -5, 80, 5)};
  FinalMode = 1;
  ModeNumber = 0;
  EXPECT_EQ(Choose(segs), 1);
  ModeNumber = 48;
  EXPECT_EQ(Choose(segs), 4);
}

// The choice skips the cut point where it provably cannot matter; on many
// random lists it must pick what the plain version picks.
TEST_F(PartitionTest, ChoiceAgreesWithThePlainVersion) {
  std::mt19937 random(77);
  int differentFromHead = 0;
  for (int round = 0; round < 400; round++) {
    int32_t span = round % 2 ? 12 : 2000;
    std::uniform_int_distribution<int32_t> coordinate(-span, span);
    std::uniform_int_distribution<int32_t> size(2, 40);
    std::vector<BuildSeg> segs;
    int n = size(random);
    for (int i = 0; i < n; i++) {
      BuildSeg s = Wall(coordinate(random), coordinate(random), coordinate(random), coordinate(random),
                        static_cast<int16_t>(random() % 2));
      if (s.x1 == s.x2 && s.y1 == s.y2) s.x2++;
      segs.push_back(s);
    }
    FinalMode = round % 3 == 0;
    ModeNumber = static_cast<int16_t>(random() % 49);
    int32_t expected = PlainChoose(segs, {ModeNumber, FinalMode});
    ASSERT_EQ(Choose(segs), expected) << "round " << round;
    if (expected != 0) differentFromHead++;
  }
  EXPECT_GT(differentFromHead, 50);
}

TEST_F(PartitionTest, TwinSegOfThePartitionGoesLeft) {
  // A two-sided wall between two rooms; its two segs run opposite ways.
  PutLevel({{0, 0}, {0, 64}, {-64, 0}, {64, 64}}, {{0, 1, 0, 1}, {2, 3, 0, -1}}, {0, 1});
  SegList list = CreateSegs();
  ASSERT_EQ(list.count, 3);
  LoadPartition(list.segs[0]);
  SegList right, left;
  ASSERT_TRUE(DivideAlongPartition(list, 0, &right, &left));
  ASSERT_EQ(right.count, 2);  // the partition and the piece east of it
  ASSERT_EQ(left.count, 2);
  EXPECT_EQ(right.segs[0].direction, 0);
  EXPECT_EQ(left.segs[0].lineDef, 0);
  EXPECT_EQ(left.segs[0].direction, 1);
  ReleaseSegList(&right);
  ReleaseSegList(&left);
}

// The partition runs east along y = 0. Walls: A south (right), B crossing
// upwards from a linedef that starts 7 units before it, C north (left), D
// crossing downwards against its linedef, E south.
class DivisionTest : public PartitionTest {
 protected:
  void SetUp() override {
    PartitionTest::SetUp();
    PutLevel({{0, 0}, {100, 0}, {50, -17}, {50, 10}, {70, -30}, {70, 13}},
             {{0, 1, 0, -1}, {2, 3, 0, -1}, {4, 5, 0, 0}}, {0});
    BuildSeg p = Wall(0, 0, 100, 0);
    p.startVertex = 0;
    p.endVertex = 1;
    BuildSeg b = Wall(50, -10, 50, 10);
    b.lineDef = 1;
    b.startVertex = 40;
    b.endVertex = 3;
    b.offset = 7;
    b.angle = 16384;
    BuildSeg d = Wall(70, 13, 70, -30, 1);
    d.lineDef = 2;
    d.startVertex = 5;
    d.endVertex = 4;
    d.angle = 49151;
    segs = {Wall(10, -10, 20, -20), b, p, Wall(30, 10, 40, 20), d, Wall(80, -5, 90, -5)};
    for (size_t i = 0; i < segs.size(); i++) segs[i].rightSideDef = static_cast<int16_t>(i);
  }
  std::vector<BuildSeg> segs;
};

TEST_F(DivisionTest, CutPiecesTakeTheCutSegsPlace) {
  Level.VertexCapacity = Level.VertexCount;  // full: the first cut grows it
  SegList list = ListOf(segs);
  LoadPartition(list.segs[2]);
  SegList right, left;
  ASSERT_TRUE(DivideAlongPartition(list, 2, &right, &left));

  ASSERT_EQ(right.count, 5);
  EXPECT_EQ(right.segs[0].rightSideDef, 0);
  EXPECT_EQ(right.segs[1].rightSideDef, 1);  // B up to the cut
  EXPECT_EQ(right.segs[2].rightSideDef, 2);  // the partition itself
  EXPECT_EQ(right.segs[3].rightSideDef, 4);  // D beyond the cut
  EXPECT_EQ(right.segs[4].rightSideDef, 5);
  ASSERT_EQ(left.count, 3);
  EXPECT_EQ(left.segs[0].rightSideDef, 1);  // B beyond the cut
  EXPECT_EQ(left.segs[1].rightSideDef, 3);
  EXPECT_EQ(left.segs[2].rightSideDef, 4);  // D up to the cut

  // Two new vertexes, in walk order; the array grew once by 200.
  ASSERT_EQ(Level.VertexCount, 8);
  EXPECT_EQ(Level.VertexCapacity, 206);
  EXPECT_EQ(Level.Vertexes[6].X, 50);
  EXPECT_EQ(Level.Vertexes[6].Y, 0);
  EXPECT_EQ(Level.Vertexes[7].X, 70);
  EXPECT_EQ(Level.Vertexes[7].Y, 0);

  const BuildSeg& b1 = right.segs[1];
  const BuildSeg& b2 = left.segs[0];
  EXPECT_EQ(b1.startVertex, 40);
  EXPECT_EQ(b1.endVertex, 6);
  EXPECT_EQ(b1.y2, 0);
  EXPECT_EQ(b1.deltaY, -10);
  EXPECT_EQ(b1.offset, 7);
  EXPECT_EQ(b2.startVertex, 6);
  EXPECT_EQ(b2.endVertex, 3);
  EXPECT_EQ(b2.x1, 50);
  EXPECT_EQ(b2.y1, 0);
  EXPECT_EQ(b2.y2, 10);
  EXPECT_EQ(b2.deltaY, -10);
  EXPECT_EQ(b2.offset, 17);  // from the linedef's start vertex (50,-17)
  EXPECT_EQ(b1.angle, 16384);
  EXPECT_EQ(b2.angle, 16384);
  EXPECT_EQ(b2.lineDef, 1);

  const BuildSeg& firstPiece = left.segs[2];
  const BuildSeg& secondPiece = right.segs[3];
  EXPECT_EQ(firstPiece.endVertex, 7);
  EXPECT_EQ(firstPiece.offset, 0);
  EXPECT_EQ(secondPiece.startVertex, 7);
  EXPECT_EQ(secondPiece.endVertex, 4);
  EXPECT_EQ(secondPiece.direction, 1);
  EXPECT_EQ(secondPiece.offset, 13);  // against the linedef: from its end vertex (70,13)
  EXPECT_EQ(secondPiece.deltaY, 30);
  EXPECT_EQ(secondPiece.angle, 49151);
  ReleaseSegList(&right);
  ReleaseSegList(&left);
}

TEST_F(DivisionTest, DivideSegsCutsAtTheChosenWall) {
  SegList list = ListOf(segs);
  int32_t chosen = ChoosePartition(list);
  BuildSeg partition = list.segs[chosen];
  SegList right, left;
  DivideSegs(list, &right, &left);
  EXPECT_EQ(DivisionLine.x, partition.x1);
  EXPECT_EQ(DivisionLine.y, partition.y1);
  EXPECT_EQ(DivisionLine.dx, partition.x2 - partition.x1);
  EXPECT_EQ(DivisionLine.dy, partition.y2 - partition.y1);
  EXPECT_GT(right.count, 0);
  EXPECT_GT(left.count, 0);
  // Every seg of either list lies on its side of the partition.
  LoadPartition(partition);
  for (int32_t i = 0; i < right.count; i++) EXPECT_EQ(ClassifySeg(Partition, right.segs[i]) & 0x2200, 0);
  for (int32_t i = 0; i < left.count; i++) EXPECT_EQ(ClassifySeg(Partition, left.segs[i]) & 0x4400, 0);
  ReleaseSegList(&right);
  ReleaseSegList(&left);
}

TEST_F(DivisionTest, LineWithoutPartitionSeg) {
  // A line along y = 0 pointing west: the partition wall runs against it
  // and goes left, as does everything north of it.
  Partition = LineBetween(200, 0, 100, 0);
  SegList list = ListOf(segs);
  SegList right, left;
  ASSERT_TRUE(DivideAlongPartition(list, -1, &right, &left));
  EXPECT_EQ(right.count, 3);  // C, and the pieces of B and D north of the line
  ASSERT_EQ(left.count, 5);
  EXPECT_EQ(left.segs[2].rightSideDef, 2);
  ReleaseSegList(&right);
  ReleaseSegList(&left);

  // Pointing east, the wall along it goes right. A zero-length seg on the
  // line goes left.
  Partition = LineBetween(0, 0, 1, 0);
  list = ListOf({segs[2], Wall(5, 0, 5, 0), segs[0]});
  ASSERT_TRUE(DivideAlongPartition(list, -1, &right, &left));
  ASSERT_EQ(right.count, 2);
  ASSERT_EQ(left.count, 1);
  EXPECT_EQ(left.segs[0].x1, 5);
  ReleaseSegList(&right);
  ReleaseSegList(&left);
}

TEST_F(DivisionTest, LineWithNothingOnOneSideLeavesTheListAlone) {
  Partition = LineBetween(0, 100, 10, 100);  // everything lies south: right
  SegList list = ListOf(segs);
  SegList right = {nullptr, -1}, left = {nullptr, -1};
  EXPECT_FALSE(DivideAlongPartition(list, -1, &right, &left));
  EXPECT_EQ(Level.VertexCount, 6);
  EXPECT_EQ(list.segs[1].y2, 10);  // untouched and still owned by the caller
  ReleaseSegList(&list);
}

}  // namespace
