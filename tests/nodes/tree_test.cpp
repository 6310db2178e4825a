// SPDX-License-Identifier: GPL-2.0-or-later
// The tree recursion, the leaf test, subsectors and the flattened NODES.
#include <algorithm>
#include <cctype>
#include <cmath>
#include <random>
#include <string>

#include "nodes/axis.h"
#include "tests/nodes/node_fixture.h"

namespace {

class TreeTest : public NodesTest {
 protected:
  // A one-sector square room, walls facing inwards.
  void PutSquareRoom() {
    PutLevel({{0, 0}, {0, 64}, {64, 64}, {64, 0}},
             {{0, 1, 0, -1}, {1, 2, 1, -1}, {2, 3, 2, -1}, {3, 0, 3, -1}}, {0, 0, 0, 0});
  }

  // Room A (sector 0) with a square pillar, and room B (sector 1) east of
  // it behind a two-sided wall.
  void PutTwoRooms() {
    PutLevel({{0, 0},
              {0, 128},
              {128, 128},
              {128, 0},
              {256, 128},
              {256, 0},
              {32, 32},
              {64, 32},
              {64, 64},
              {32, 64}},
             {{0, 1, 0, -1},
              {1, 2, 1, -1},
              {3, 0, 2, -1},
              {2, 3, 3, 4},
              {2, 4, 5, -1},
              {4, 5, 6, -1},
              {5, 3, 7, -1},
              {6, 7, 8, -1},
              {7, 8, 9, -1},
              {8, 9, 10, -1},
              {9, 6, 11, -1}},
             {0, 0, 0, 0, 1, 1, 1, 1, 0, 0, 0, 0});
  }

  void TearDown() override {
    for (BuildNode* root : roots) FreeTree(root);
    NodesTest::TearDown();
  }

  // Builds and flattens the tree of the level in Level, as the run does.
  BuildNode* BuildTree() {
    FreeBlock(Level.Nodes);
    Level.Nodes = nullptr;
    BuildNodes(CreateSegs());
    roots.push_back(TreeRoot);
    return TreeRoot;
  }

  std::vector<BuildNode*> roots;
};

TEST_F(TreeTest, ConvexRoomIsOneNodeWithTwoSubsectors) {
  PutSquareRoom();
  BuildTree();
  EXPECT_EQ(BuildNodeCount, 1);
  ASSERT_EQ(Level.NodeCount, 1);
  const NodeRecord& node = Level.Nodes[0];
  EXPECT_EQ(node.x, 0);
  EXPECT_EQ(node.y, 0);
  EXPECT_EQ(node.dx, 0);
  EXPECT_EQ(node.dy, 64);
  EXPECT_EQ(node.rightChild, SubsectorFlag | 1);
  EXPECT_EQ(node.leftChild, SubsectorFlag | 0);
  // Boxes: top, bottom, left, right.
  EXPECT_EQ(node.rightBox, (NodeBox{64, 0, 0, 64}));  // top, bottom, left, right
  EXPECT_EQ(node.leftBox, (NodeBox{64, 0, 0, 0}));

  // The left subsector is written first: linedef 0 alone.
  ASSERT_EQ(Level.SubsectorCount, 2);
  EXPECT_EQ(Level.Subsectors[0].segCount, 1);
  EXPECT_EQ(Level.Subsectors[0].firstSeg, 0);
  EXPECT_EQ(Level.Subsectors[1].segCount, 3);
  EXPECT_EQ(Level.Subsectors[1].firstSeg, 1);
  ASSERT_EQ(Level.SegCount, 4);
  for (int i = 0; i < 4; i++) EXPECT_EQ(Level.Segs[i].lineDef, i);
  EXPECT_EQ(Level.Segs[0].startVertex, 0);
  EXPECT_EQ(Level.Segs[0].endVertex, 1);
  EXPECT_EQ(Level.Segs[0].angle, 16384);
  EXPECT_EQ(Level.Segs[2].angle, 49151);
  EXPECT_EQ(Level.Segs[3].angle, 32768);
}

// Every seg is written once, subsectors are consecutive runs of SEGS, every
// child index names an earlier node or an existing subsector, and the root
// is the last record.
void ExpectWellFormedTree() {
  int32_t next = 0;
  for (int32_t i = 0; i < Level.SubsectorCount; i++) {
    EXPECT_EQ(Level.Subsectors[i].firstSeg, next);
    EXPECT_GT(Level.Subsectors[i].segCount, 0);
    next += Level.Subsectors[i].segCount;
  }
  EXPECT_EQ(next, Level.SegCount);
  std::vector<int> parents(Level.NodeCount, 0);
  std::vector<int> subsectorParents(Level.SubsectorCount, 0);
  for (int32_t i = 0; i < Level.NodeCount; i++) {
    for (uint32_t child : {Level.Nodes[i].rightChild, Level.Nodes[i].leftChild}) {
      if (child & SubsectorFlag) {
        ASSERT_LT(child & ~SubsectorFlag, static_cast<uint32_t>(Level.SubsectorCount));
        subsectorParents[child & ~SubsectorFlag]++;
      } else {
        ASSERT_LT(child, i);
        parents[child]++;
      }
    }
  }
  for (int32_t i = 0; i + 1 < Level.NodeCount; i++) EXPECT_EQ(parents[i], 1) << i;
  EXPECT_EQ(parents[Level.NodeCount - 1], 0);
  for (int count : subsectorParents) EXPECT_EQ(count, 1);
}

TEST_F(TreeTest, TwoRoomsBuildAWellFormedTreeInEveryMode) {
  for (int final = 0; final <= 1; final++) {
    for (int16_t weight : {0, 8, 48}) {
      SCOPED_TRACE(testing::Message() << "final " << final << " weight " << weight);
      PutTwoRooms();
      ResetTree();
      FinalMode = final;
      ModeNumber = weight;
      BuildTree();
      EXPECT_EQ(Level.NodeCount, BuildNodeCount);
      EXPECT_GT(Level.NodeCount, 1);
      ExpectWellFormedTree();
      // Each subsector lies in one sector.
      for (int32_t s = 0; s < Level.SubsectorCount; s++) {
        const SubsectorRecord& sub = Level.Subsectors[s];
        bool roomB = false, roomA = false;
        for (uint32_t i = sub.firstSeg; i < sub.firstSeg + sub.segCount; i++) {
          const SegRecord& seg = Level.Segs[i];
          const LineDef& line = Level.LineDefs[seg.lineDef];
          int side = seg.direction == 0 ? line.RightSideDef : line.LeftSideDef;
          (SectorOfSideDef(side) == 1 ? roomB : roomA) = true;
        }
        EXPECT_FALSE(roomA && roomB) << s;
      }
    }
  }
}

TEST_F(TreeTest, LeafTest) {
  BuildSeg a = SegBetween(0, 0, 0, 64), b = SegBetween(0, 64, 64, 64);
  b.rightSector = 1;
  // Different sectors: divided even though convex.
  EXPECT_TRUE(NeedsPartition(SegList{std::vector<BuildSeg>{a, b}.data(), 2}));
  // The own sector of a seg against its linedef is its left sector.
  b.direction = 1;
  b.leftSector = 0;
  EXPECT_FALSE(NeedsPartition(SegList{std::vector<BuildSeg>{a, b}.data(), 2}));
  b.direction = 0;
  b.rightSector = 0;

  // One unit behind a's line (x < 0) is enough.
  BuildSeg c = SegBetween(64, 64, -1, 10);
  EXPECT_TRUE(NeedsPartition(SegList{std::vector<BuildSeg>{a, b, c}.data(), 3}));
  // The square a, b, e, d whose bottom wall d reaches one unit past a's
  // line: d crosses it with its west end one step from the cut point (0,0),
  // so that end counts as on the line and the list is a leaf.
  BuildSeg e = SegBetween(64, 64, 64, 0);
  BuildSeg d = SegBetween(40, 0, -1, 0);
  EXPECT_EQ(ClassifySeg(LineBetween(0, 0, 0, 64), d), 0x4100);
  EXPECT_FALSE(NeedsPartition(SegList{std::vector<BuildSeg>{a, b, e, d}.data(), 4}));
  // Two units past, it is cut, and its end lies behind a's line.
  d = SegBetween(40, 0, -2, 0);
  EXPECT_TRUE(NeedsPartition(SegList{std::vector<BuildSeg>{a, b, e, d}.data(), 4}));
  // A single seg is always a leaf.
  EXPECT_FALSE(NeedsPartition(SegList{&c, 1}));
  EXPECT_FALSE(NeedsPartition(SegList{nullptr, 0}));
}

TEST_F(TreeTest, LeafTestUsesTheStoredDeltas) {
  BuildSeg a = SegBetween(0, 0, 0, 64), b = SegBetween(10, 0, 10, 64);
  // b faces east: a lies behind it.
  EXPECT_TRUE(NeedsPartition(SegList{std::vector<BuildSeg>{a, b}.data(), 2}));
  // With deltas that turn b's line round, a no longer lies behind it.
  b.deltaY = -b.deltaY;
  a.deltaY = 0;
  EXPECT_FALSE(NeedsPartition(SegList{std::vector<BuildSeg>{a, b}.data(), 2}));
}

TEST_F(TreeTest, SubsectorsAndSegsGrowByTwoHundred) {
  PutSquareRoom();
  Level.SegCapacity = 0;
  Level.SubsectorCapacity = 0;
  BuildSeg s = SegBetween(0, 0, 1, 1);
  s.startVertex = 70000;  // kept whole; only the vanilla SEGS lump writes 16 bits
  s.endVertex = 65535;
  s.lineDef = 65536 + 3;
  s.angle = 40959;
  s.direction = 1;
  s.offset = -2;
  std::vector<BuildSeg> segs = {s, s, s};
  EXPECT_EQ(MakeSubsector(SegList{segs.data(), 3}), 0);
  EXPECT_EQ(Level.SubsectorCapacity, 200);
  EXPECT_EQ(Level.SegCapacity, 200);
  EXPECT_EQ(Level.SegCount, 3);
  EXPECT_EQ(Level.Segs[2].startVertex, 70000u);
  EXPECT_EQ(Level.Segs[2].endVertex, 65535);
  EXPECT_EQ(Level.Segs[2].lineDef, 3);
  EXPECT_EQ(Level.Segs[2].angle, 40959);
  EXPECT_EQ(Level.Segs[2].direction, 1);
  EXPECT_EQ(Level.Segs[2].offset, 65534);

  Level.SegCapacity = 4;
  Level.SubsectorCapacity = 1;
  EXPECT_EQ(MakeSubsector(SegList{segs.data(), 2}), 1);
  EXPECT_EQ(Level.SubsectorCapacity, 201);
  EXPECT_EQ(Level.SegCapacity, 204);  // full at the fifth seg
  EXPECT_EQ(Level.Subsectors[1].firstSeg, 3);
  EXPECT_EQ(Level.Subsectors[1].segCount, 2);
}

TEST_F(TreeTest, BoundsCoverStartAndEndPoints) {
  std::vector<BuildSeg> segs = {SegBetween(5, 5, 6, 7), SegBetween(-3, 2, 4, -9), SegBetween(0, 0, 30, 1)};
  Bounds box = ComputeBounds(SegList{segs.data(), 3});
  EXPECT_EQ(box.MinX, -3);
  EXPECT_EQ(box.MaxX, 30);
  EXPECT_EQ(box.MinY, -9);
  EXPECT_EQ(box.MaxY, 7);

  // Against the plain loop, on lists of one seg and more across the whole
  // coordinate range.
  std::mt19937 random(99);
  std::uniform_int_distribution<int32_t> coordinate(-32768, 32767);
  for (int round = 0; round < 500; round++) {
    std::vector<BuildSeg> many;
    for (int i = 0, n = 1 + round % 37; i < n; i++) {
      many.push_back(
          SegBetween(coordinate(random), coordinate(random), coordinate(random), coordinate(random)));
    }
    Bounds plain = {many[0].x1, many[0].x1, many[0].y1, many[0].y1};
    for (const BuildSeg& seg : many) {
      plain.MinX = std::min({plain.MinX, seg.x1, seg.x2});
      plain.MaxX = std::max({plain.MaxX, seg.x1, seg.x2});
      plain.MinY = std::min({plain.MinY, seg.y1, seg.y2});
      plain.MaxY = std::max({plain.MaxY, seg.y1, seg.y2});
    }
    Bounds fast = ComputeBounds(SegList{many.data(), static_cast<int32_t>(many.size())});
    ASSERT_EQ(fast.MinX, plain.MinX) << "round " << round;
    ASSERT_EQ(fast.MaxX, plain.MaxX) << "round " << round;
    ASSERT_EQ(fast.MinY, plain.MinY) << "round " << round;
    ASSERT_EQ(fast.MaxY, plain.MaxY) << "round " << round;
  }
}

BuildNode* NodeWith(BuildNode* right, BuildNode* left, uint32_t rightSub, uint32_t leftSub, int16_t x) {
  BuildNode* node = static_cast<BuildNode*>(AllocOrDie(sizeof(BuildNode)));
  std::memset(node, 0, sizeof *node);
  node->x = x;
  node->rightNode = right;
  node->leftNode = left;
  node->rightChild = right != nullptr ? 0 : SubsectorFlag | rightSub;
  node->leftChild = left != nullptr ? 0 : SubsectorFlag | leftSub;
  return node;
}

TEST_F(TreeTest, FlattenNumbersFrontSubtreeFirstAndRootLast) {
  // root(x=1): right = R(x=2) with a node child RR(x=3) on its left;
  // left = L(x=4).
  BuildNode* rr = NodeWith(nullptr, nullptr, 0, 1, 3);
  BuildNode* r = NodeWith(nullptr, rr, 2, 0, 2);
  BuildNode* l = NodeWith(nullptr, nullptr, 3, 4, 4);
  BuildNode* root = NodeWith(r, l, 0, 0, 1);
  roots.push_back(root);
  root->dx = 0x12345;  // a line too long for 16 bits, along x
  root->rightBox.top = 70000;
  root->leftBox.right = -5;
  Level.Nodes = static_cast<NodeRecord*>(AllocOrDie(4 * sizeof(NodeRecord)));
  FlattenNodes(root);

  ASSERT_EQ(Level.NodeCount, 4);
  EXPECT_EQ(rr->number, 0);
  EXPECT_EQ(r->number, 1);
  EXPECT_EQ(l->number, 2);
  EXPECT_EQ(root->number, 3);
  EXPECT_EQ(Level.Nodes[0].x, 3);
  EXPECT_EQ(Level.Nodes[0].rightChild, SubsectorFlag | 0);
  EXPECT_EQ(Level.Nodes[0].leftChild, SubsectorFlag | 1);
  EXPECT_EQ(Level.Nodes[1].x, 2);
  EXPECT_EQ(Level.Nodes[1].rightChild, SubsectorFlag | 2);
  EXPECT_EQ(Level.Nodes[1].leftChild, 0);
  EXPECT_EQ(Level.Nodes[2].x, 4);
  EXPECT_EQ(Level.Nodes[3].x, 1);
  EXPECT_EQ(Level.Nodes[3].rightChild, 1);
  EXPECT_EQ(Level.Nodes[3].leftChild, 2);
  EXPECT_EQ(Level.Nodes[3].dx, 1);
  EXPECT_EQ(Level.Nodes[3].dy, 0);
  EXPECT_EQ(Level.Nodes[3].rightBox.top, 70000 - 65536);
  EXPECT_EQ(Level.Nodes[3].leftBox.right, -5);
}

// Directions that fit 16 bits are written as they are; longer ones become
// the same line in 16 bits: exactly when a common divisor brings them in,
// else scaled so that the longer component is 32767.
TEST(FitDirectionTest, LongDirectionsKeepTheirLine) {
  struct Case {
    int32_t dx, dy, fittedX, fittedY;
  } cases[] = {
      {32767, -32768, 32767, -32768},
      {-5, 7, -5, 7},
      {64000, 0, 1, 0},
      {0, -64000, 0, -1},
      {-40000, 30000, -4, 3},
      {65535, 65535, 1, 1},
      {40001, 30000, 32767, 24575},
      {-65535, 1, -32767, 0},
      {1, 65534, 1, 32767},
  };
  for (const Case& c : cases) {
    int32_t dx = c.dx, dy = c.dy;
    FitDirection(&dx, &dy);
    EXPECT_EQ(dx, c.fittedX) << c.dx << "," << c.dy;
    EXPECT_EQ(dy, c.fittedY) << c.dx << "," << c.dy;
    // Scaled directions stay within a unit of the line over its whole
    // length: the cross product with the original stays small.
    double cross = static_cast<double>(dx) * c.dy - static_cast<double>(dy) * c.dx;
    double length = std::sqrt(static_cast<double>(c.dx) * c.dx + static_cast<double>(c.dy) * c.dy);
    EXPECT_LE(std::fabs(cross) / length, 1.0) << c.dx << "," << c.dy;
    EXPECT_GE(static_cast<double>(dx) * c.dx + static_cast<double>(dy) * c.dy, 0) << "reversed";
  }
}

int CountOf(const std::string& text, const std::string& part) {
  int count = 0;
  for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) count++;
  return count;
}

TEST_F(TreeTest, NodeProgressIsRedrawnOnlyWhenThePercentGrowsBySeven) {
  PutTwoRooms();
  LogMode = false;
  StatusRow = 18;
  Level.OldNodeCount = 1000;  // 0 percent for the first nine nodes
  ::testing::internal::CaptureStdout();
  BuildTree();
  std::string screen = PlainText(::testing::internal::GetCapturedStdout());
  ASSERT_LT(BuildNodeCount, 10);
  EXPECT_EQ(CountOf(screen, "Making Node ..."), 1);
  EXPECT_NE(screen.find("Making Node ...    1 "), std::string::npos);
  EXPECT_EQ(ProgressThreshold, 6);

  // One old node: 100, 200, ... percent, so every node passes the last
  // threshold; the bar itself stops at 100.
  PutTwoRooms();
  ResetTree();
  Level.OldNodeCount = 1;
  ::testing::internal::CaptureStdout();
  BuildTree();
  screen = PlainText(::testing::internal::GetCapturedStdout());
  EXPECT_EQ(CountOf(screen, "Making Node ..."), BuildNodeCount);
  EXPECT_EQ(ProgressThreshold, BuildNodeCount * 100 + 6);
  EXPECT_NE(screen.find("Making Node ...    2 "), std::string::npos);
  EXPECT_EQ(BarColumn, 80);

  // Without old nodes the percent is taken as 100: drawn once.
  PutTwoRooms();
  ResetTree();
  Level.OldNodeCount = 0;
  ::testing::internal::CaptureStdout();
  BuildTree();
  screen = PlainText(::testing::internal::GetCapturedStdout());
  EXPECT_EQ(CountOf(screen, "Making Node ..."), 1);
  EXPECT_EQ(ProgressThreshold, 106);
}

TEST_F(TreeTest, LogModeDrawsNoProgress) {
  PutTwoRooms();
  Level.OldNodeCount = 3;
  ::testing::internal::CaptureStdout();
  BuildTree();
  EXPECT_EQ(::testing::internal::GetCapturedStdout(), "");
  EXPECT_EQ(ProgressThreshold, -1);
}

TEST_F(TreeTest, AxisModeDividesOnlyTheRootAlongTheAxis) {
  PutTwoRooms();
  AxisMode = AxisV;
  SegList list = CreateSegs();
  SegList copy = ListOf(std::vector<BuildSeg>(list.segs, list.segs + list.count));
  SegList right, left;
  DivideRootByAxis(copy, &right, &left);
  NodeLine axisLine = DivisionLine;
  ReleaseSegList(&right);
  ReleaseSegList(&left);

  PutTwoRooms();  // the division above added cut points
  BuildNode* root = MakeNode(list);
  roots.push_back(root);
  EXPECT_EQ(root->x, axisLine.x);
  EXPECT_EQ(root->y, axisLine.y);
  EXPECT_EQ(root->dx, axisLine.dx);
  EXPECT_EQ(root->dy, axisLine.dy);
  EXPECT_EQ(root->dx, 0);  // along the vertical cut
}

}  // namespace
