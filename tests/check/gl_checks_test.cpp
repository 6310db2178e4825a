// SPDX-License-Identifier: GPL-2.0-or-later
// The GL checks catch each fault of a GL tree on its own: the square room's
// stream is sound, and each change below gets its problem.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/check/gl_fixture.h"

namespace {

// Adds vertexes to the level after its own, and renumbers the stream's
// vertexes, which follow them.
void AddLevelVertexes(GlNodesTest* t, const std::vector<std::pair<int, int>>& more) {
  const uint32_t added = static_cast<uint32_t>(more.size());
  for (StreamSeg& seg : t->stream.segs)
    if (seg.v1 >= t->stream.originalVertexes) seg.v1 += added;
  t->stream.originalVertexes += added;
  t->level.vertexes.insert(t->level.vertexes.end(), more.begin(), more.end());
}

struct FaultCase {
  const char* name;
  std::function<void(GlNodesTest*)> change;
  const char* problem;
};

TEST_F(GlNodesTest, EachFaultGetsItsProblem) {
  const std::vector<FaultCase> cases = {
      {"a seg of zero length", [](GlNodesTest* t) { t->stream.segs[3].v1 = 0; },
       "SSECTORS 3: GL seg 3 of subsector 0 has zero length at (0,0)"},
      {"a loop that turns back along a seg", [](GlNodesTest* t) { t->stream.segs[2].v1 = 0; },
       "GL subsector 0 doubles back at (0,128): GL segs 0 and 1 run along one line in opposite directions"},
      {"a loop that runs counter-clockwise",
       [](GlNodesTest* t) {
         auto& segs = t->stream.segs;
         segs[0] = {0, kStreamNone, 3, 0};
         segs[1] = {5, 7, kStreamMiniseg, 0};
         segs[2] = {4, kStreamNone, 1, 0};
         segs[3] = {1, kStreamNone, 0, 0};
         segs[7].partner = 1;
       },
       "SSECTORS 0: GL subsector 0 runs counter-clockwise: its sector lies left of its segs"},
      {"a loop with a corner turned in",
       [](GlNodesTest* t) {
         t->stream.vertexes.push_back({Fixed(32), Fixed(32)});
         auto& segs = t->stream.segs;
         segs[2].partner = 8;
         segs[3] = {5, kStreamNone, kStreamMiniseg, 0};
         segs.insert(segs.begin() + 4, {6, kStreamNone, kStreamMiniseg, 0});
         segs[8].partner = 2;
         t->stream.subsectors = {5, 4};
       },
       "GL subsector 0 is not convex: it turns left at (32,32) (GL seg 4), 32.000000 units off the line from "
       "(64,0) to (0,0)"},
      {"a loop that goes around twice",
       [](GlNodesTest* t) {
         // A star through the corners of a pentagon, every second one.
         t->stream.vertexes = {{Fixed(64), Fixed(114)},
                               {Fixed(93), Fixed(24)},
                               {Fixed(16), Fixed(79)},
                               {Fixed(112), Fixed(79)},
                               {Fixed(35), Fixed(24)}};
         t->stream.segs.clear();
         for (uint32_t v = 4; v < 9; v++) t->stream.segs.push_back({v, kStreamNone, kStreamMiniseg, 0});
         t->stream.subsectors = {5};
         t->stream.nodes.clear();
       },
       "the segs of GL subsector 0 turn around 2 times clockwise, not once"},
      {"a miniseg along a wall", [](GlNodesTest* t) { t->stream.segs[0].line = kStreamMiniseg; },
       "SSECTORS 0: GL seg 0, a miniseg of subsector 0, runs (0,0)-(0,128) along no partition line above it"},
      {"a subsector of minisegs alone",
       [](GlNodesTest* t) {
         for (int k : {4, 5, 6}) t->stream.segs[k].line = kStreamMiniseg;
       },
       "GL subsector 1 has only minisegs: it names no sector"},
      {"a partner for a one-sided wall",
       [](GlNodesTest* t) {
         t->stream.segs[0].partner = 5;
         t->stream.segs[5].partner = 0;
       },
       "SSECTORS 0: GL seg 0 lies on one-sided linedef 0 but names partner 5"},
      {"a partner that names another", [](GlNodesTest* t) { t->stream.segs[7].partner = 3; },
       "SSECTORS 2: GL seg 2 names partner 7, whose partner is 3"},
      {"a miniseg partnered with a wall",
       [](GlNodesTest* t) {
         t->stream.segs[2].partner = 4;
         t->stream.segs[4].partner = 2;
         t->stream.segs[7].partner = kStreamNone;
       },
       "GL seg 2, a miniseg, and its partner 4, the right side of linedef 1, are not two sides of one edge"},
      {"a pillar the polygons run over",
       [](GlNodesTest* t) {
         AddLevelVertexes(t, {{48, 48}, {80, 48}, {80, 80}, {48, 80}});
         for (int v = 4; v < 8; v++) t->level.lines.push_back({v, v == 7 ? 4 : v + 1, v, -1});
         t->level.sideSectors.insert(t->level.sideSectors.end(), {0, 0, 0, 0});
       },
       "SSECTORS -: the GL subsectors cover 16384.0000 square units, the sectors' sides enclose 15360.0000"},
      {"a split point off its wall",
       [](GlNodesTest* t) {
         t->stream.vertexes[0] = {Fixed(64), Fixed(120)};
       },
       "SSECTORS 1: GL seg 1 (0,128)-(64,120) lies 8.000000 units off linedef 1"},
      {"a seg past the end of its linedef",
       [](GlNodesTest* t) {
         // Linedef 3 ends at (32,0) now; linedef 4 runs on from there.
         AddLevelVertexes(t, {{32, 0}});
         t->level.lines[3].end = 4;
         t->level.lines.push_back({4, 0, 4, -1});
         t->level.sideSectors.push_back(0);
       },
       "SSECTORS 3: GL seg 3 (64,0)-(0,0) reaches 32.000000 units beyond the ends of linedef 3"},
      {"a seg that runs against its side",
       [](GlNodesTest* t) {
         t->level.lines[3].left = 4;
         t->level.sideSectors.push_back(0);
         t->stream.segs[3].side = 1;
       },
       "GL seg 3 (64,0)-(0,0) runs against the left side of linedef 3"},
      {"a seg on a side without sidedef", [](GlNodesTest* t) { t->stream.segs[0].side = 1; },
       "GL seg 0 lies on the left side of linedef 0, which has no sidedef"},
      {"a wall piece left out", [](GlNodesTest* t) { t->stream.segs[4].line = kStreamMiniseg; },
       "LINEDEFS 1: the GL segs of the right side of linedef 1 end at (64,128), the side at (128,128)"},
      {"a gap between the pieces of a wall",
       [](GlNodesTest* t) {
         t->stream.vertexes.push_back({Fixed(72), Fixed(128)});
         t->stream.segs[4].v1 = 6;
       },
       "LINEDEFS 1: the right side of linedef 1 is not covered from (64,128) to (72,128) (GL seg 4)"},
      {"pieces of a wall that overlap",
       [](GlNodesTest* t) {
         t->stream.vertexes.push_back({Fixed(56), Fixed(128)});
         t->stream.segs[4].v1 = 6;
       },
       "LINEDEFS 1: the right side of linedef 1 is covered twice from (56,128) to (64,128) (GL seg 4)"},
      {"a wall without GL segs", [](GlNodesTest* t) { t->stream.segs[0].line = kStreamMiniseg; },
       "LINEDEFS 0: the right side of linedef 0 has no GL seg"},
      {"children on the wrong sides",
       [](GlNodesTest* t) { std::swap(t->stream.nodes[0].child[0], t->stream.nodes[0].child[1]); },
       "SSECTORS 0: GL seg 0 of subsector 0 starts at (0,0), 64.000000 units left of GL node 0's line "
       "(64,0)+(0,128), but lies under its right child"},
      {"a box too small", [](GlNodesTest* t) { t->stream.nodes[0].box[0][3] = 127; },
       "GL node 0 right box x 64..127 y 0..128 does not hold its segs x 64..128 y 0..128"},
      {"a node the root does not reach",
       [](GlNodesTest* t) { t->stream.nodes.insert(t->stream.nodes.begin(), t->stream.nodes[0]); },
       "SSECTORS 0: GL node 0 is not reached from the root"},
      {"a subsector reached twice",
       [](GlNodesTest* t) { t->stream.nodes[0].child[0] = kStreamSubsector | 0; },
       "GL subsector 0 is reached twice"},
      {"a subsector never reached",
       [](GlNodesTest* t) { t->stream.nodes[0].child[0] = kStreamSubsector | 0; },
       "GL subsector 1 is not reached from the root"},
      {"a partition line of zero length",
       [](GlNodesTest* t) {
         t->stream.nodes[0].dx = 0;
         t->stream.nodes[0].dy = 0;
       },
       "GL node 0 has a partition line of zero length"},
      {"subsectors without nodes", [](GlNodesTest* t) { t->stream.nodes.clear(); },
       "the GL stream has no node but 2 subsectors"},
  };
  for (const FaultCase& c : cases) {
    level = GlSquareRoom();
    stream = GlSquareRoomStream();
    c.change(this);
    LevelReport report = Run();
    std::vector<std::string> lines = ReportLines("MAP01", report);
    EXPECT_TRUE(Has(lines, c.problem)) << c.name << ":\n" << All(lines);
    EXPECT_GT(report.problems, 0) << c.name;
  }
}

TEST_F(GlNodesTest, SplitPointsMayLieTheToleranceOffTheirLines) {
  // The north wall's split point two steps below the wall.
  stream.vertexes[0] = {Fixed(64), Fixed(128) - 2};
  LevelReport report = Run();
  EXPECT_EQ(report.problems, 0) << All(ReportLines("MAP01", report));
  EXPECT_NEAR(report.stats.glLineDistance, 2.0, 1e-9);
  LevelCheckOptions strict = SoundnessOptions();
  strict.glTolerance = 1;
  std::vector<std::string> lines = Lines(strict);
  EXPECT_TRUE(Has(lines, "GL seg 1 (0,128)-(64,127.999969) lies 0.000031 units off linedef 1")) << All(lines);
}

TEST_F(GlNodesTest, ACornerMayLieTwiceTheToleranceBehindItsRoundedNeighbours) {
  // One subsector, no node; the north wall in four pieces whose split
  // points lie one step off it, above, below and above: the middle one is
  // two steps behind the line between the others.
  stream.vertexes = {{Fixed(32), Fixed(128) + 1}, {Fixed(64), Fixed(128) - 1}, {Fixed(96), Fixed(128) + 1}};
  stream.segs = {{0, kStreamNone, 0, 0}, {1, kStreamNone, 1, 0}, {4, kStreamNone, 1, 0},
                 {5, kStreamNone, 1, 0}, {6, kStreamNone, 1, 0}, {2, kStreamNone, 2, 0},
                 {3, kStreamNone, 3, 0}};
  stream.subsectors = {7};
  stream.nodes.clear();
  LevelCheckOptions options = SoundnessOptions();
  options.glTolerance = 1;
  LevelReport report = Run(options);
  EXPECT_EQ(report.problems, 0) << All(ReportLines("MAP01", report));
  EXPECT_NEAR(report.stats.glConvexDepth, 2.0, 1e-6);
  options.glTolerance = 0;
  std::vector<std::string> lines = Lines(options);
  EXPECT_TRUE(Has(lines, "GL subsector 0 is not convex: it turns left at (64,127.999985) (GL seg 3)"))
      << All(lines);
}

}  // namespace
