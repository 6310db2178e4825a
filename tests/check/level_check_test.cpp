// SPDX-License-Identifier: GPL-2.0-or-later
// The level checker that the Freedoom sweeps rely on: it must accept a
// sound hand-built level and catch each kind of damage on its own.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "tests/check/level_fixture.h"

namespace {

TEST_F(LevelCheckTest, AcceptsSoundLevel) {
  std::vector<std::string> problems = Check();
  EXPECT_TRUE(problems.empty()) << All(problems);
  EXPECT_EQ(stats.segs, 8);
  EXPECT_EQ(stats.subsectors, 2);
  EXPECT_EQ(stats.nodes, 1);
  EXPECT_EQ(stats.depth, 1);
}

TEST_F(LevelCheckTest, AcceptsCutSegAndItsNewVertex) {
  // Linedef 1 cut at (32,64): vertex 6 follows the linedefs' vertexes.
  Out("VERTEXES").data = Join({Out("VERTEXES").data, Int16Bytes({32, 64})});
  segs[1] = {1, 6, kEast, 1, 0, 0};
  segs.insert(segs.begin() + 2, {6, 2, kEast, 1, 0, 32});
  subsectors = Int16Bytes({5, 0, 4, 5});
  std::vector<std::string> problems = Check();
  EXPECT_TRUE(problems.empty()) << All(problems);
}

TEST_F(LevelCheckTest, PartitionCheckAcceptsTheLevelAlone) {
  Check();
  WadImage out = Image(Packed(output));
  std::vector<std::string> problems =
      ReportLines("MAP01", CheckBuiltPartition(out, "MAP01", BuiltLevelOptions()));
  EXPECT_TRUE(problems.empty()) << All(problems);
}

TEST_F(LevelCheckTest, MissingLevel) {
  Check();
  WadImage out = Image(Packed(output));
  EXPECT_TRUE(Has(ReportLines("MAP02", CheckBuiltPartition(out, "MAP02", BuiltLevelOptions())),
                  "no level named MAP02"));
}

// A name with a blank or a colon would make a report line ambiguous.
TEST_F(LevelCheckTest, ReportLinesNameTheLevelWithoutBlankOrColon) {
  Check();
  WadImage out = Image(Packed(output));
  std::vector<std::string> lines =
      ReportLines("MAP 1:", CheckBuiltPartition(out, "MAP 1:", BuiltLevelOptions()));
  ASSERT_TRUE(Has(lines, "no level named MAP?1?")) << All(lines);
  for (const std::string& line : lines) EXPECT_EQ(line.compare(0, 7, "MAP?1? "), 0) << line;
}

TEST_F(LevelCheckTest, LumpOutsideTheLevelChanged) {
  output.lumps[0].data[17] = 8;
  EXPECT_TRUE(Has(Check(), "entry 0 PLAYPAL changed: byte 17 differs"));
}

TEST_F(LevelCheckTest, LumpAfterTheLevelLost) {
  output.lumps.pop_back();
  std::vector<std::string> problems = Check();
  EXPECT_TRUE(Has(problems, "the directory had 14 entries, has 13")) << All(problems);
}

TEST_F(LevelCheckTest, EntryRenamed) {
  output.lumps[12].name = "ENDOOM2";
  EXPECT_TRUE(Has(Check(), "entry 12 was ENDOOM, is ENDOOM2"));
}

TEST_F(LevelCheckTest, LumpsNotPacked) {
  patch = [&](std::vector<uint8_t>& bytes) { bytes = output.Build(); };  // empty entries at 0
  std::vector<std::string> problems = Check();
  EXPECT_TRUE(Has(problems, "layout: entry 1 MAP01 starts at 0, the data before it ends at 60"))
      << All(problems);
  patch = [](std::vector<uint8_t>& bytes) {  // the last entry, EMPTY
    std::fill(bytes.end() - 16, bytes.end() - 12, 0);
  };
  problems = Check();
  EXPECT_TRUE(Has(problems, "layout: entry 13 EMPTY starts at 0")) << All(problems);
  EXPECT_FALSE(Has(problems, "entry 1 ")) << All(problems);
  patch = [](std::vector<uint8_t>& bytes) { bytes.push_back(0); };
  EXPECT_TRUE(Has(Check(), "the directory ends at"));
}

TEST_F(LevelCheckTest, MarkerWithData) {
  output.lumps[1].data = {1, 2};
  EXPECT_TRUE(Has(Check(), "the level marker has 2 bytes"));
}

TEST_F(LevelCheckTest, ThingsChanged) {
  Out("THINGS").data[3] = 1;
  EXPECT_TRUE(Has(Check(), "THINGS changed"));
}

TEST_F(LevelCheckTest, SectorsAndSidedefsChanged) {
  Out("SECTORS").data.push_back(0);
  Out("SIDEDEFS").data[0] = 'X';
  std::vector<std::string> problems = Check();
  EXPECT_TRUE(Has(problems, "SECTORS changed: 52 bytes became 53"));
  EXPECT_TRUE(Has(problems, "SIDEDEFS changed"));
}

TEST_F(LevelCheckTest, RejectSizedForTheSectorCount) {
  // Two sectors: one byte, however long the input's REJECT was.
  for (TestLump& lump : input.lumps)
    if (lump.name == "REJECT") lump.data = {0x0F, 0xAA, 0xBB};
  Out("REJECT").data = {0x0F};
  EXPECT_TRUE(Check().empty());
  Out("REJECT").data = {0x0F, 0xAA, 0xBB};
  EXPECT_TRUE(Has(Check(), "REJECT is not the input's first 1 bytes"));
  Out("REJECT").data = {0x0E};
  EXPECT_TRUE(Has(Check(), "REJECT is not the input's first 1 bytes: byte 0 differs"));
}

TEST_F(LevelCheckTest, ShortRejectIsPaddedWithZeros) {
  for (TestLump& lump : input.lumps)
    if (lump.name == "REJECT") lump.data.clear();
  Out("REJECT").data = {0};
  EXPECT_TRUE(Check().empty());
  Out("REJECT").data.clear();
  EXPECT_TRUE(Has(Check(), "REJECT"));
}

TEST_F(LevelCheckTest, LinedefFlagsChanged) {
  Out("LINEDEFS").data[14 * 3 + 4] = 1;
  EXPECT_TRUE(Has(Check(), "linedef 3 byte 4 changed"));
}

TEST_F(LevelCheckTest, LinedefNamesVertexElsewhere) {
  // Vertexes 2 and 5 swap places: coordinates and numbers disagree.
  std::vector<uint8_t>& v = Out("VERTEXES").data;
  std::swap_ranges(v.begin() + 8, v.begin() + 12, v.begin() + 20);
  std::vector<std::string> problems = Check();
  EXPECT_TRUE(Has(problems, "vertex 2 is (64,0), the linedefs' vertex 2 is (64,64)")) << All(problems);
  EXPECT_TRUE(Has(problems, "linedef 1 end vertex 2 is (64,0), was (64,64)")) << All(problems);
}

TEST_F(LevelCheckTest, UnusedVertexesAreDropped) {
  // The input has an unused vertex 0; the output must renumber.
  WadBuilder::Level level = TwoRooms();
  level.vertexes.insert(level.vertexes.begin(), {500, 500});
  for (auto& line : level.lines) {
    line.start++;
    line.end++;
  }
  input = WadBuilder();
  input.AddLevel("MAP01", level);
  output = input;
  // An output that kept the input's numbers.
  EXPECT_TRUE(Has(Check(), "vertex 0 is (500,500), the linedefs' vertex 0 is (0,0)"));
  output = WadBuilder();
  output.AddLevel("MAP01", TwoRooms());
  std::vector<std::string> problems = Check();
  EXPECT_TRUE(problems.empty()) << All(problems);
}

TEST_F(LevelCheckTest, CutPointNoSegEnds) {
  Out("VERTEXES").data = Join({Out("VERTEXES").data, Int16Bytes({32, 64})});
  EXPECT_TRUE(Has(Check(), "vertex 6 after the linedefs' vertexes ends no seg"));
  BuiltLevelOptions options;
  options.requireUsedCutPoints = false;
  EXPECT_TRUE(Check(options).empty());
}

TEST_F(LevelCheckTest, SegOffItsLinedef) {
  segs[1] = {1, 3, kEast, 1, 0, 0};  // runs on to (128,64)
  std::vector<std::string> problems = Check();
  EXPECT_TRUE(Has(problems, "seg 1 (0,64)-(128,64) reaches 64.00 units beyond the ends of linedef 1"))
      << All(problems);
  EXPECT_TRUE(Has(problems, "the segs of the right side of linedef 1 end at 128.0, the side at 64.0"))
      << All(problems);
  segs[1] = {1, 2, kEast, 0, 0, 0};  // names the wrong linedef
  problems = Check();
  EXPECT_TRUE(Has(problems, "seg 1 (0,64)-(64,64) lies 64.00 units off linedef 0")) << All(problems);
  EXPECT_TRUE(Has(problems, "the right side of linedef 1 has no seg")) << All(problems);
}

TEST_F(LevelCheckTest, SegAgainstItsSide) {
  segs[1] = {2, 1, kEast, 1, 0, 0};
  std::vector<std::string> problems = Check();
  EXPECT_TRUE(Has(problems, "seg 1 (64,64)-(0,64) runs against the right side of linedef 1"))
      << All(problems);
}

TEST_F(LevelCheckTest, SegAngle) {
  BuiltLevelOptions loose;  // other builders' rounding
  loose.exactArithmetic = false;
  segs[0].angle = kNorth + 2;
  EXPECT_TRUE(Check(loose).empty());
  EXPECT_TRUE(Has(Check(), "seg 0 has angle 16386, the right side of linedef 0 has 16384"));
  segs[0].angle = kNorth + 3;
  EXPECT_TRUE(Has(Check(loose), "seg 0 has angle 16387"));
  segs[0].angle = kNorth;
  segs[3].angle = kNorth;  // the left side of linedef 6 runs south
  EXPECT_TRUE(Has(Check(loose), "seg 3 has angle 16384"));
  segs[3].angle = 49152;  // exactly south, one more than this program's angle
  EXPECT_TRUE(Check(loose).empty());
  EXPECT_TRUE(Has(Check(), "seg 3 has angle 49152, the left side of linedef 6 has 49151"));
}

TEST_F(LevelCheckTest, ExactAnglesOfSlopes) {
  // A room with slanted walls: (0,0) (100,1) (103,5) (0,100).
  WadBuilder::Level level;
  level.vertexes = {{0, 0}, {0, 100}, {103, 5}, {100, 1}};
  level.lines = {{0, 1, 0, -1}, {1, 2, 1, -1}, {2, 3, 2, -1}, {3, 0, 3, -1}};
  level.sideSectors = {0, 0, 0, 0};
  input = WadBuilder();
  input.AddLevel("MAP01", level);
  output = input;
  // Directions (0,100), (103,-95), (-3,-4), (-100,-1).
  segs = {{0, 1, 16384, 0, 0, 0}, {1, 2, 57765, 1, 0, 0}, {2, 3, 42440, 2, 0, 0}, {3, 0, 32872, 3, 0, 0}};
  subsectors = Int16Bytes({1, 0, 3, 1});
  nodes = Int16Bytes({0, 0, 0, 100, 100, 0, 0, 103, 100, 0, 0, 0, 0x8001, 0x8000});
  blockmap = Int16Bytes({-8, -8, 1, 1, 7, 0, -1, 0, 0, 1, 2, 3, -1});
  std::vector<std::string> problems = Check();
  EXPECT_TRUE(problems.empty()) << All(problems);
  segs[3].angle = 32871;
  EXPECT_TRUE(Has(Check(), "seg 3 has angle 32871, the right side of linedef 3 has 32872"));
}

TEST_F(LevelCheckTest, SegOffset) {
  Out("VERTEXES").data = Join({Out("VERTEXES").data, Int16Bytes({32, 64})});
  segs[1] = {1, 6, kEast, 1, 0, 0};
  segs.insert(segs.begin() + 2, {6, 2, kEast, 1, 0, 28});
  subsectors = Int16Bytes({5, 0, 4, 5});
  EXPECT_TRUE(Has(Check(), "seg 2 has offset 28, its start lies 32.00 from the start"));
  segs[2].offset = 30;
  BuiltLevelOptions loose;
  loose.exactArithmetic = false;
  EXPECT_TRUE(Check(loose).empty());
  EXPECT_TRUE(Has(Check(), "seg 2 has offset 30, its start lies 32 whole units from the start"));
}

TEST_F(LevelCheckTest, OffsetOfTheLeftSideCountsFromTheLinedefEnd) {
  // Linedef 6 cut at (64,32): the left side starts at (64,64).
  Out("VERTEXES").data = Join({Out("VERTEXES").data, Int16Bytes({64, 32})});
  segs[3] = {2, 6, kSouth, 6, 1, 0};
  segs.insert(segs.begin() + 4, {6, 5, kSouth, 6, 1, 32});
  segs[8] = {5, 6, kNorth, 6, 0, 0};
  segs.push_back({6, 2, kNorth, 6, 0, 32});
  subsectors = Int16Bytes({5, 0, 5, 5});
  std::vector<std::string> problems = Check();
  EXPECT_TRUE(problems.empty()) << All(problems);
  segs[4].offset = 0;
  EXPECT_TRUE(Has(Check(), "seg 4 has offset 0"));
}

TEST_F(LevelCheckTest, GapBetweenPieces) {
  Out("VERTEXES").data = Join({Out("VERTEXES").data, Int16Bytes({24, 64, 32, 64})});
  segs[1] = {1, 6, kEast, 1, 0, 0};
  segs.insert(segs.begin() + 2, {7, 2, kEast, 1, 0, 32});
  subsectors = Int16Bytes({5, 0, 4, 5});
  std::vector<std::string> problems = Check();
  EXPECT_TRUE(Has(problems, "the right side of linedef 1 is not covered from 24.0 to 32.0")) << All(problems);
}

TEST_F(LevelCheckTest, OverlappingPieces) {
  Out("VERTEXES").data = Join({Out("VERTEXES").data, Int16Bytes({40, 64, 32, 64})});
  segs[1] = {1, 6, kEast, 1, 0, 0};
  segs.insert(segs.begin() + 2, {7, 2, kEast, 1, 0, 32});
  subsectors = Int16Bytes({5, 0, 4, 5});
  std::vector<std::string> problems = Check();
  EXPECT_TRUE(Has(problems, "the right side of linedef 1 is covered twice from 32.0 to 40.0"))
      << All(problems);
}

TEST_F(LevelCheckTest, OffsetsAreTruncated) {
  // Linedef 6 cut at (65,33), one unit off: 33.015 from its start.
  Out("VERTEXES").data = Join({Out("VERTEXES").data, Int16Bytes({65, 33})});
  segs[7] = {5, 6, kNorth, 6, 0, 0};
  segs.push_back({6, 2, kNorth, 6, 0, 33});
  subsectors = Int16Bytes({4, 0, 5, 4});
  nodes = Int16Bytes({64, 0, 0, 64, 64, 0, 64, 128, 64, 0, 0, 64, 0x8001, 0x8000});
  std::vector<std::string> problems = Check();
  EXPECT_FALSE(Has(problems, "offset")) << All(problems);
  segs[8].offset = 34;
  EXPECT_TRUE(Has(Check(), "seg 8 has offset 34, its start lies 33 whole units"));
}

TEST_F(LevelCheckTest, PiecesShortOfTheEnd) {
  Out("VERTEXES").data = Join({Out("VERTEXES").data, Int16Bytes({56, 64})});
  segs[1] = {1, 6, kEast, 1, 0, 0};
  std::vector<std::string> problems = Check();
  EXPECT_TRUE(Has(problems, "the segs of the right side of linedef 1 end at 56.0, the side at 64.0"))
      << All(problems);
}

TEST_F(LevelCheckTest, SideWithoutSidedefHasSeg) {
  segs.push_back({1, 0, 49151, 0, 1, 0});  // the left of linedef 0: no sidedef
  subsectors = Int16Bytes({4, 0, 5, 4});
  std::vector<std::string> problems = Check();
  EXPECT_TRUE(Has(problems, "seg 8 lies on the left side of linedef 0, which has no sidedef"))
      << All(problems);
}

TEST_F(LevelCheckTest, SubsectorMixesSectors) {
  std::swap(segs[3], segs[7]);  // linedef 6's two sides trade subsectors
  std::vector<std::string> problems = Check();
  EXPECT_TRUE(Has(problems, "subsector 0 mixes sectors 0 and 1 (seg 3)")) << All(problems);
}

TEST_F(LevelCheckTest, SubsectorNotConvex) {
  // One sector, both rooms in one subsector: linedef 6's sides face each
  // other's room.
  for (TestLump& lump : input.lumps)
    if (lump.name == "SIDEDEFS")
      for (size_t at = 28; at < lump.data.size(); at += 30) lump.data[at] = 0;
  Out("SIDEDEFS").data = input.lumps[4].data;
  subsectors = Int16Bytes({8, 0});
  nodes.clear();
  std::vector<std::string> problems = Check();
  EXPECT_TRUE(Has(problems, "subsector 0 is not convex")) << All(problems);
  EXPECT_FALSE(Has(problems, "mixes sectors")) << All(problems);
  EXPECT_FALSE(Has(problems, " NODES ")) << All(problems);
}

TEST_F(LevelCheckTest, ConvexityTolerance) {
  // Linedef 5 cut at a rounded point one unit inside the room: (0,0) lies
  // two units behind the first piece.
  Out("VERTEXES").data = Join({Out("VERTEXES").data, Int16Bytes({32, 1})});
  segs[2] = {5, 6, kWest, 5, 0, 0};
  segs.insert(segs.begin() + 3, {6, 0, kWest, 5, 0, 32});
  subsectors = Int16Bytes({5, 0, 4, 5});
  std::vector<std::string> sound = Check();
  EXPECT_TRUE(sound.empty()) << All(sound);
  EXPECT_GT(stats.convexDepth, 1.9);
  BuiltLevelOptions options;
  options.convexTolerance = 0.5;
  std::vector<std::string> problems = Check(options);
  EXPECT_TRUE(Has(problems, "subsector")) << All(problems);
}

TEST_F(LevelCheckTest, SegInNoSubsectorOrInTwo) {
  subsectors = Int16Bytes({4, 0, 3, 4});
  EXPECT_TRUE(Has(Check(), "seg 7 belongs to no subsector"));
  subsectors = Int16Bytes({5, 0, 4, 4});
  EXPECT_TRUE(Has(Check(), "seg 4 belongs to subsectors 0 and 1"));
  subsectors = Int16Bytes({4, 0, 0, 4, 4, 4});
  nodes = Int16Bytes({64, 0, 0, 64, 64, 0, 64, 128, 64, 0, 0, 64, 0x8002, 0x8000});
  EXPECT_TRUE(Has(Check(), "subsector 1 has no seg"));
  subsectors = Int16Bytes({4, 0, 5, 4});
  EXPECT_TRUE(Has(Check(), "subsector 1 holds segs 4 to 8, SEGS has 8"));
}

TEST_F(LevelCheckTest, ChildrenSwapped) {
  nodes = Int16Bytes({64, 0, 0, 64, 64, 0, 0, 64, 64, 0, 64, 128, 0x8000, 0x8001});
  std::vector<std::string> problems = Check();
  EXPECT_TRUE(Has(problems, "seg 0 of subsector 0 has (0,0) 64.00 units left of node 0's line"))
      << All(problems);
}

TEST_F(LevelCheckTest, PartitionLineBesideTheWall) {
  BuiltLevelOptions anyLine;  // other builders' lines need not be segs
  anyLine.exactTreeLayout = false;
  std::vector<uint8_t> moved = Int16Bytes({61, 0});
  std::copy(moved.begin(), moved.end(), nodes.begin());
  EXPECT_TRUE(Check(anyLine).empty());  // 3 units: within the tolerance
  EXPECT_TRUE(Has(Check(), "node 0's line (61,0)+(0,64) is no seg of its subtree (none starts there)"));
  moved = Int16Bytes({60, 0});
  std::copy(moved.begin(), moved.end(), nodes.begin());
  EXPECT_TRUE(Has(Check(anyLine), "has (64,64) 4.00 units right of node 0's line"));
}

TEST_F(LevelCheckTest, PartitionLineIsASeg) {
  // Along linedef 6 but from (64,8): no seg starts there.
  nodes = Int16Bytes({64, 8, 0, 56, 64, 0, 64, 128, 64, 0, 0, 64, 0x8001, 0x8000});
  EXPECT_TRUE(Has(Check(), "node 0's line (64,8)+(0,56) is no seg of its subtree (none starts there)"));
  // From the start of linedef 6's right side to the end of its left side.
  nodes = Int16Bytes({64, 0, 0, 0, 64, 0, 64, 128, 64, 0, 0, 64, 0x8001, 0x8000});
  EXPECT_TRUE(Has(Check(), "node 0's line (64,0)+(0,0) is no seg of its subtree"));
  // Running south along linedef 6's left side: a seg line too, the rooms
  // then on the other sides.
  nodes = Int16Bytes({64, 64, 0, -64, 64, 0, 0, 64, 64, 0, 64, 128, 0x8000, 0x8001});
  std::vector<std::string> problems = Check();
  EXPECT_FALSE(Has(problems, "no seg")) << All(problems);
  EXPECT_TRUE(Has(problems, "subsector 1 should be number 0")) << All(problems);
  // An axis mode's root may follow the cut.
  nodes = Int16Bytes({64, 8, 0, 56, 64, 0, 64, 128, 64, 0, 0, 64, 0x8001, 0x8000});
  BuiltLevelOptions options;
  options.axisRoot = true;
  problems = Check(options);
  EXPECT_TRUE(problems.empty()) << All(problems);
}

TEST_F(LevelCheckTest, ZeroLengthPartition) {
  nodes = Int16Bytes({64, 0, 0, 0, 64, 0, 64, 128, 64, 0, 0, 64, 0x8001, 0x8000});
  EXPECT_TRUE(Has(Check(), "node 0 has a partition line of zero length"));
}

TEST_F(LevelCheckTest, BoxTooSmall) {
  nodes = Int16Bytes({64, 0, 0, 64, 64, 0, 64, 127, 64, 0, 0, 64, 0x8001, 0x8000});
  EXPECT_TRUE(Has(Check(), "node 0 right box x 64..127 y 0..64 does not hold its segs x 64..128 y 0..64"));
  nodes = Int16Bytes({64, 0, 0, 64, 64, 0, 64, 128, 64, 1, 0, 64, 0x8001, 0x8000});
  EXPECT_TRUE(Has(Check(), "node 0 left box"));
}

TEST_F(LevelCheckTest, ChildIndexesOutOfRange) {
  nodes = Int16Bytes({64, 0, 0, 64, 64, 0, 64, 128, 64, 0, 0, 64, 0x8002, 0x8000});
  std::vector<std::string> problems = Check();
  EXPECT_TRUE(Has(problems, "node 0 right child names subsector 2, SSECTORS has 2")) << All(problems);
  EXPECT_TRUE(Has(problems, "subsector 1 is not reached from the root")) << All(problems);
  nodes = Int16Bytes({64, 0, 0, 64, 64, 0, 64, 128, 64, 0, 0, 64, 0x8001, 5});
  EXPECT_TRUE(Has(Check(), "node 0 left child names node 5, NODES has 1"));
}

TEST_F(LevelCheckTest, NodeReachedTwiceOrNever) {
  std::vector<uint8_t> sound = nodes;
  nodes = Int16Bytes({64, 0, 0, 64, 64, 0, 64, 128, 64, 0, 0, 64, 0x8001, 0});
  EXPECT_TRUE(Has(Check(), "node 0 is reached twice"));
  // The root must be the last record: a stray node in front is not reached.
  nodes = Join({Int16Bytes({0, 0, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0x8000, 0x8001}), sound});
  std::vector<std::string> problems = Check();
  EXPECT_TRUE(Has(problems, "node 0 is not reached from the root (the last node)")) << All(problems);
}

TEST_F(LevelCheckTest, SubsectorReachedTwice) {
  nodes = Int16Bytes({64, 0, 0, 64, 64, 0, 64, 128, 64, 0, 0, 64, 0x8001, 0x8001});
  std::vector<std::string> problems = Check();
  EXPECT_TRUE(Has(problems, "subsector 1 is reached twice")) << All(problems);
  EXPECT_TRUE(Has(problems, "subsector 0 is not reached from the root")) << All(problems);
}

TEST_F(LevelCheckTest, EmptyNodesNeedOneSubsector) {
  nodes.clear();
  EXPECT_TRUE(Has(Check(), "NODES is empty but there are 2 subsectors"));
}

TEST_F(LevelCheckTest, PartialRecords) {
  nodes.push_back(0);
  subsectors.push_back(0);
  std::vector<std::string> problems = Check();
  EXPECT_TRUE(Has(problems, "NODES -: 29 bytes, not whole 28-byte records")) << All(problems);
  EXPECT_TRUE(Has(problems, "SSECTORS -: 9 bytes, not whole 4-byte records")) << All(problems);
}

TEST_F(LevelCheckTest, BlockmapMissesALine) {
  blockmap = Int16Bytes({-8, -8, 2, 1, 8, 16, 0, -1, 0, 0, 1, 2, 4, 5, 6, -1, 0, 2, 4, -1, -1});
  std::vector<std::string> problems = Check();
  EXPECT_TRUE(Has(problems, " BLOCKMAP ")) << All(problems);
  BuiltLevelOptions options;
  options.checkBlockmap = false;
  EXPECT_TRUE(Check(options).empty());
}

TEST_F(LevelCheckTest, BlockmapGridTooSmall) {
  // One block at the origin: what it lists is right, the east room is left out.
  blockmap = Int16Bytes({-8, -8, 1, 1, 7, 0, -1, 0, 0, 1, 2, 4, 5, 6, -1});
  std::vector<std::string> problems = Check();
  EXPECT_TRUE(Has(problems, "the grid x -8..119 y -8..119 does not cover the linedefs x 0..128 y 0..64"))
      << All(problems);
}

TEST_F(LevelCheckTest, BlockmapGridOffItsPlace) {
  // Origin (-16,-8): a grid that covers the level, but not this program's.
  blockmap = Int16Bytes({-16, -8, 2, 1, 8, 16, 0, -1, 0, 0, 1, 2, 4, 5, 6, -1, 0, 2, 3, 4, -1});
  std::vector<std::string> problems = Check();
  EXPECT_TRUE(Has(problems,
                  "the grid is at (-16,-8) with 2 columns and 1 rows; the linedefs x 0..128 "
                  "y 0..64 give (-8,-8), 2 columns and 1 rows"))
      << All(problems);
  EXPECT_FALSE(Has(problems, "does not cover")) << All(problems);
  BuiltLevelOptions options;
  options.strictBlockmapLayout = false;
  EXPECT_FALSE(Has(Check(options), "the grid is at")) << All(Check(options));
}

TEST_F(LevelCheckTest, ManyProblemsOfOneKindAreSummed) {
  for (SegSpec& seg : segs) seg.angle += 1000;
  std::vector<std::string> problems = Check();
  EXPECT_TRUE(Has(problems, "seg 7 has angle")) << All(problems);
  for (int i = 0; i < 40; i++) segs.push_back({0, 1, kNorth, 0, 1, 0});
  problems = Check();
  EXPECT_TRUE(Has(problems, "SEGS -: 15 more like \"seg 8 lies on the left side of linedef 0"))
      << All(problems);
}

TEST_F(LevelCheckTest, HexenLinedefsKeepTheirArguments) {
  WadBuilder::Level level = TwoRooms();
  level.hexen = true;
  input = WadBuilder();
  input.AddLevel("MAP01", level);
  output = input;
  EXPECT_TRUE(Check().empty()) << All(Check());
  Out("LINEDEFS").data[16 * 2 + 9] = 3;  // an argument byte
  EXPECT_TRUE(Has(Check(), "linedef 2 byte 9 changed"));
  Out("LINEDEFS").data[16 * 2 + 9] = 0;
  Out("BEHAVIOR").data[0] = 1;
  EXPECT_TRUE(Has(Check(), "entry 11 BEHAVIOR changed"));
}

TEST(WadImageTest, ListsLevelsAndRefusesBrokenFiles) {
  WadBuilder wad;
  wad.Add("PLAYPAL", {1});
  wad.AddLevel("E1M1", TwoRooms());
  wad.AddLevel("E1M2", TwoRooms());
  wad.Add("THINGS", {2});  // a level of its own, whose marker is BLOCKMAP
  WadImage image;
  ASSERT_EQ(ParseWad(wad.Build("IWAD"), &image), "");
  EXPECT_EQ(image.identification, "IWAD");
  EXPECT_EQ(ListLevels(image), (std::vector<std::string>{"E1M1", "E1M2", "BLOCKMAP"}));
  EXPECT_EQ(ListLevelMarkers(image), (std::vector<int>{1, 12, 22}));
  EXPECT_EQ(FindEntry(image, "E1M2"), 12);
  EXPECT_EQ(FindLevel(image, "BLOCKMAP"), 22);  // the first BLOCKMAP, entry 11, is no marker
  EXPECT_EQ(FindLevel(image, "PLAYPAL"), -1);
  EXPECT_EQ(ReportLines("BLOCKMAP", CheckLevelAt(image, 22, SoundnessOptions())),
            std::vector<std::string>{"BLOCKMAP LINEDEFS -: missing: the directory ends after entry 23"});
  EXPECT_EQ(EntryBytes(image, 0), std::vector<uint8_t>{1});

  std::vector<uint8_t> bytes = wad.Build();
  bytes.resize(bytes.size() - 1);
  EXPECT_NE(ParseWad(bytes, &image), "");
  EXPECT_NE(ParseWad({'P', 'W', 'A', 'D'}, &image), "");
  bytes = wad.Build();
  bytes[0] = 'X';
  EXPECT_NE(ParseWad(bytes, &image), "");
}

}  // namespace

namespace {

// Each room split once more, by its first wall, into a tree of three nodes:
// node 0 (east room, along linedef 2), node 1 (west room, along linedef 0),
// node 2 the root; subsectors in the order the tree is built, back first.
class ThreeNodeTest : public LevelCheckTest {
 protected:
  void SetUp() override {
    LevelCheckTest::SetUp();
    subsectors = Int16Bytes({1, 0, 3, 1, 1, 4, 3, 5});
    east = Int16Bytes({64, 64, 64, 0, 64, 0, 64, 128, 64, 64, 64, 128, 0x8003, 0x8002});
    west = Int16Bytes({0, 0, 0, 64, 64, 0, 0, 64, 64, 0, 0, 0, 0x8001, 0x8000});
    root = Int16Bytes({64, 0, 0, 64, 64, 0, 64, 128, 64, 0, 0, 64, 0, 1});
    nodes = Join({east, west, root});
  }
  std::vector<uint8_t> east, west, root;
};

TEST_F(ThreeNodeTest, AcceptsTheTreeInItsOrder) {
  std::vector<std::string> problems = Check();
  EXPECT_TRUE(problems.empty()) << All(problems);
  EXPECT_EQ(stats.depth, 2);
}

TEST_F(ThreeNodeTest, NodesNumberedBackFirst) {
  root = Int16Bytes({64, 0, 0, 64, 64, 0, 64, 128, 64, 0, 0, 64, 1, 0});
  nodes = Join({west, east, root});
  std::vector<std::string> problems = Check();
  EXPECT_TRUE(Has(problems, "node 1 should be number 0")) << All(problems);
  EXPECT_EQ(problems.size(), 2u) << All(problems);
  BuiltLevelOptions options;
  options.exactTreeLayout = false;
  problems = Check(options);
  EXPECT_TRUE(problems.empty()) << All(problems);
}

TEST_F(ThreeNodeTest, SubsectorsNumberedFrontFirst) {
  // The west room's two subsectors trade numbers (their segs stay put).
  subsectors = Int16Bytes({3, 1, 1, 0, 1, 4, 3, 5});
  west = Int16Bytes({0, 0, 0, 64, 64, 0, 0, 64, 64, 0, 0, 0, 0x8000, 0x8001});
  nodes = Join({east, west, root});
  std::vector<std::string> problems = Check();
  EXPECT_TRUE(Has(problems, "subsector 1 should be number 0")) << All(problems);
  EXPECT_TRUE(Has(problems, "subsector 0 starts at seg 1, the one before it ends before seg 0"))
      << All(problems);
  BuiltLevelOptions options;
  options.exactTreeLayout = false;
  problems = Check(options);
  EXPECT_TRUE(problems.empty()) << All(problems);
}

TEST_F(ThreeNodeTest, BoxWiderThanItsSegs) {
  root = Int16Bytes({64, 0, 0, 64, 64, 0, 64, 129, 64, 0, 0, 64, 0, 1});
  nodes = Join({east, west, root});
  std::vector<std::string> problems = Check();
  EXPECT_TRUE(Has(problems, "node 2 right box x 64..129 y 0..64 is wider than its segs x 64..128 y 0..64"))
      << All(problems);
  BuiltLevelOptions options;
  options.exactTreeLayout = false;
  EXPECT_TRUE(Check(options).empty());
}

TEST_F(ThreeNodeTest, SegOnTheWrongSideOfAnAncestor) {
  // Subsector 3 (under the root's front child) gets the west room's wall.
  segs[5] = {0, 1, kNorth, 0, 0, 0};
  segs[1] = {3, 4, kSouth, 3, 0, 0};
  std::vector<std::string> problems = Check();
  EXPECT_TRUE(Has(problems, "seg 5 of subsector 3 has (0,0) 64.00 units left of node 2's line"))
      << All(problems);
}

}  // namespace
