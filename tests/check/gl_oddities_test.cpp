// SPDX-License-Identifier: GPL-2.0-or-later
// What real levels do that a GL tree must live with: sectors that do not
// close, linedefs laid over each other, sector tricks. The builder closes
// the polygons anyway; the checker warns and still finds the level sound.
// And partners across two-sided linedefs, in two rooms side by side.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/check/gl_fixture.h"

namespace {

// The two rooms of the level fixture, split along their shared linedef 6:
// subsector 0 the west room, subsector 1 the east one; segs 2 and 7 are
// linedef 6's two sides, each the other's partner.
GlStream TwoRoomsStream() {
  GlStream stream;
  stream.originalVertexes = 6;
  stream.subsectors = {4, 4};
  stream.segs = {
      {0, kStreamNone, 0, 0}, {1, kStreamNone, 1, 0}, {2, 7, 6, 1},           {5, kStreamNone, 5, 0},
      {2, kStreamNone, 2, 0}, {3, kStreamNone, 3, 0}, {4, kStreamNone, 4, 0}, {5, 2, 6, 0}};
  stream.nodes = {{Fixed(64),
                   Fixed(0),
                   Fixed(0),
                   Fixed(64),
                   {{64, 0, 64, 128}, {64, 0, 0, 64}},
                   {kStreamSubsector | 1, kStreamSubsector | 0}}};
  return stream;
}

struct Oddity {
  const char* name;
  std::function<void(GlNodesTest*)> change;
  std::vector<const char*> warnings;
};

TEST_F(GlNodesTest, OdditiesOfTheLevelAreWarnings) {
  const std::vector<Oddity> cases = {
      {"a copy of a wall with no seg of its own",
       [](GlNodesTest* t) {
         t->level.lines.push_back({0, 1, 4, -1});
         t->level.sideSectors.push_back(0);
       },
       {"LINEDEFS 4: warning: the right side of linedef 4 has no GL seg: linedef 0 has the same end points",
        "SECTORS 0: warning: sector 0 does not close: 1 more of its sides start at (0,0) than end there"}},
      {"a wall laid back over another, in a subsector of no area",
       [](GlNodesTest* t) {
         // Linedef 4 runs back down linedef 0, facing west: node 1 puts it
         // in subsector 2, with a miniseg back up, left of the line x = 0.
         t->level.lines.push_back({1, 0, 4, -1});
         t->level.sideSectors.push_back(0);
         GlStream& s = t->stream;
         s.subsectors.push_back(2);
         s.segs.push_back({1, kStreamNone, 4, 0});
         s.segs.push_back({0, kStreamNone, kStreamMiniseg, 0});
         StreamNode root = s.nodes[0];
         root.child[1] = 0;
         StreamNode west{Fixed(0),
                         Fixed(0),
                         Fixed(0),
                         Fixed(128),
                         {{128, 0, 0, 64}, {128, 0, 0, 0}},
                         {kStreamSubsector | 0, kStreamSubsector | 2}};
         s.nodes = {west, root};
       },
       {"SSECTORS 2: warning: GL subsector 2 encloses no area: its 2 segs run back and forth along one line, "
        "from (0,128)",
        "SSECTORS 9: warning: GL seg 9, a miniseg, has no partner: nothing lies beyond it",
        "SECTORS 0: warning: sector 0 does not close"}},
      {"a wall of another sector",
       [](GlNodesTest* t) {
         t->level.sideSectors[1] = 1;
         t->level.sectorCount = 2;
       },
       {"SSECTORS 0: warning: GL subsector 0 mixes sectors 0 and 1 (GL seg 1)",
        "SSECTORS 1: warning: GL subsector 1 mixes sectors 1 and 0 (GL seg 5)",
        "SECTORS 0: warning: sector 0 does not close", "SECTORS 1: warning: sector 1 does not close"}},
      {"a self-referencing linedef down the middle, its sector drawn over the room's",
       [](GlNodesTest* t) {
         // Linedef 4 runs north along x = 64, sector 1 on both sides; the
         // east subsector starts at its seg and so belongs to sector 1.
         t->level.vertexes.push_back({64, 128});
         t->level.vertexes.push_back({64, 0});
         t->level.lines.push_back({5, 4, 4, 5});
         t->level.sideSectors.insert(t->level.sideSectors.end(), {1, 1});
         t->level.sectorCount = 2;
         GlStream& s = t->stream;
         s.originalVertexes = 6;
         s.vertexes.clear();
         s.segs[2] = {4, 4, 4, 1};
         s.segs.erase(s.segs.begin() + 4, s.segs.end());
         s.segs.insert(
             s.segs.end(),
             {{5, 2, 4, 0}, {4, kStreamNone, 1, 0}, {2, kStreamNone, 2, 0}, {3, kStreamNone, 3, 0}});
       },
       {"SECTORS 0: warning: the GL subsectors of sector 0 cover 8192.0000 square units, its sides enclose "
        "16384.0000",
        "SECTORS 1: warning: the GL subsectors of sector 1 cover 8192.0000 square units, its sides enclose "
        "0.0000",
        "SSECTORS 0: warning: GL subsector 0 mixes sectors 0 and 1 (GL seg 2)",
        "SSECTORS 1: warning: GL subsector 1 mixes sectors 1 and 0 (GL seg 5)"}},
  };
  for (const Oddity& c : cases) {
    level = GlSquareRoom();
    stream = GlSquareRoomStream();
    c.change(this);
    LevelReport report = Run();
    std::vector<std::string> lines = ReportLines("MAP01", report);
    EXPECT_EQ(report.problems, 0) << c.name << ":\n" << All(lines);
    EXPECT_EQ(report.warnings, static_cast<int>(c.warnings.size())) << c.name << ":\n" << All(lines);
    for (const char* warning : c.warnings) EXPECT_TRUE(Has(lines, warning)) << c.name << ":\n" << All(lines);
  }
}

TEST_F(GlNodesTest, PartnersAcrossATwoSidedLinedef) {
  level = TwoRooms();
  stream = TwoRoomsStream();
  LevelReport report = Run();
  EXPECT_EQ(report.problems + report.warnings, 0) << All(ReportLines("MAP01", report));

  // Neither side names the other: sound, but nothing pairs the two rooms.
  stream.segs[2].partner = kStreamNone;
  stream.segs[7].partner = kStreamNone;
  report = Run();
  std::vector<std::string> lines = ReportLines("MAP01", report);
  EXPECT_EQ(report.problems, 0) << All(lines);
  EXPECT_TRUE(Has(lines, "SSECTORS 2: warning: GL seg 2, the left side of linedef 6, has no partner"))
      << All(lines);

  // The east room's side of linedef 6 in two pieces, the west room's whole.
  stream = TwoRoomsStream();
  stream.vertexes = {{Fixed(64), Fixed(32)}};
  stream.segs.push_back({6, kStreamNone, 6, 0});
  stream.subsectors = {4, 5};
  lines = Lines();
  EXPECT_TRUE(
      Has(lines,
          "SSECTORS 2: GL seg 2 (64,64)-(64,0) and its partner 7 (64,0)-(64,32) do not cover one stretch "
          "in opposite directions"))
      << All(lines);

  // The same with the west room's side in two pieces: its first piece
  // starts where its partner ends, but ends short of where it starts.
  stream = TwoRoomsStream();
  stream.vertexes = {{Fixed(64), Fixed(32)}};
  stream.segs.insert(stream.segs.begin() + 3, {6, kStreamNone, 6, 1});
  stream.segs[2].partner = 8;
  stream.segs[8].partner = 2;
  stream.subsectors = {5, 4};
  lines = Lines();
  EXPECT_TRUE(
      Has(lines,
          "SSECTORS 2: GL seg 2 (64,64)-(64,32) and its partner 8 (64,0)-(64,64) do not cover one stretch "
          "in opposite directions"))
      << All(lines);

  // Two segs of one side named as partners.
  stream = TwoRoomsStream();
  stream.segs[2] = {2, 7, 6, 0};
  lines = Lines();
  EXPECT_TRUE(
      Has(lines,
          "GL seg 2, the right side of linedef 6, and its partner 7, the right side of linedef 6, are not "
          "two sides of one edge"))
      << All(lines);
}

}  // namespace
