// SPDX-License-Identifier: GPL-2.0-or-later
// Level loading: marker and format, record conversion, the level layout
// check, the size rules of every loader and their fatal messages.
#include <cstring>

#include "console/services.h"
#include "format/wad_format.h"
#include "tests/wad/wad_fixture.h"

namespace {

class LoadTest : public WadTest {
 protected:
  // Index of the named lump in the builder, for tests that alter it.
  static TestLump& LumpOf(WadBuilder& wad, const std::string& name, int occurrence = 0) {
    for (TestLump& lump : wad.lumps)
      if (lump.name == name && occurrence-- == 0) return lump;
    throw std::runtime_error("no lump " + name);
  }
};

TEST_F(LoadTest, DoomLevelLoadsEveryLump) {
  WadBuilder::Level level = SquareRoom();
  level.lines[2].flags = 0x0105;
  level.lines[2].special = -300;
  level.lines[2].tag = 4242;
  level.sectorCount = 3;
  WadBuilder wad;
  wad.Add("INFO", {7}).AddLevel("MAP01", level);
  OpenBuilt(wad);
  LoadAll();

  EXPECT_EQ(LevelMarkerIndex, 1);
  EXPECT_EQ(Level.Format, LevelFormat::Doom);
  EXPECT_EQ(Level.ThingsSize, 10);
  ASSERT_EQ(Level.LineDefCount, 4);
  EXPECT_EQ(Level.LineDefsSize, 56);
  const LineDef& line = Level.LineDefs[2];
  EXPECT_EQ(line.StartVertex, 2);
  EXPECT_EQ(line.EndVertex, 3);
  EXPECT_EQ(line.Flags, 0x0105);
  EXPECT_EQ(line.Special, -300);
  EXPECT_EQ(line.Tag, 4242);
  EXPECT_EQ(line.RightSideDef, 2);
  EXPECT_EQ(line.LeftSideDef, -1);
  EXPECT_EQ(Level.SideDefsSize, 120);
  EXPECT_EQ(Level.VertexCount, 4);
  EXPECT_EQ(Level.Vertexes[2].X, 64);
  EXPECT_EQ(Level.Vertexes[2].Y, 64);
  EXPECT_EQ(Level.SectorCount, 3);
  EXPECT_EQ(Level.SectorsSize, 78);
  EXPECT_EQ(Level.RejectSize, 2);  // 9 bits
  EXPECT_EQ(Level.SegCount, 0);
  EXPECT_EQ(Level.SubsectorCount, 0);
  EXPECT_EQ(StatusRow, 17);  // the vertex stage line advanced it
}

TEST_F(LoadTest, HexenRecordsConvert) {
  WadBuilder::Level level = SquareRoom();
  level.hexen = true;
  level.lines[1].special = 0xFF;
  level.lines[1].tag = 200;
  level.lines[1].flags = -2;
  WadBuilder wad;
  wad.AddLevel("MAP01", level);
  std::vector<uint8_t>& raw = LumpOf(wad, "LINEDEFS").data;
  for (int i = 8; i < 12; i++) raw[16 + i] = static_cast<uint8_t>(0xA0 + i);  // arguments 2-5
  OpenBuilt(wad);
  LoadAll();

  EXPECT_EQ(Level.Format, LevelFormat::Hexen);
  ASSERT_EQ(Level.LineDefCount, 4);
  EXPECT_EQ(Level.LineDefsSize, 64);
  const LineDef& line = Level.LineDefs[1];
  EXPECT_EQ(line.Special, 255);
  EXPECT_EQ(line.Tag, 200);
  EXPECT_EQ(line.Flags, -2);
  EXPECT_EQ(line.RightSideDef, 1);
  EXPECT_EQ(line.LeftSideDef, -1);
  EXPECT_EQ(std::vector<uint8_t>(Level.LineDefsRaw, Level.LineDefsRaw + 64), raw);
}

TEST_F(LoadTest, PartialLastLineDefIsIgnoredButKept) {
  WadBuilder wad;
  wad.AddLevel("MAP01", SquareRoom());
  std::vector<uint8_t>& raw = LumpOf(wad, "LINEDEFS").data;
  raw.resize(30);  // two whole Doom records and two bytes
  OpenBuilt(wad);
  LoadAll();
  EXPECT_EQ(Level.LineDefCount, 2);
  EXPECT_EQ(Level.LineDefsSize, 30);
  EXPECT_EQ(Level.VertexCount, 3);  // the two lines use vertexes 0, 1 and 2
}

TEST_F(LoadTest, FormatComesFromTheEntryAfterTheLevelsBlockmap) {
  WadBuilder::Level hexen = SquareRoom();
  hexen.hexen = true;
  WadBuilder mixed;
  mixed.AddLevel("MAP01", SquareRoom()).AddLevel("MAP02", hexen);
  OpenBuilt(mixed);
  LoadAll();  // no level named: the first level, in its own format
  EXPECT_EQ(LevelMarkerIndex, 0);
  EXPECT_EQ(Level.Format, LevelFormat::Doom);
  EXPECT_EQ(Level.LineDefCount, 4);

  ResetAll();
  OpenBuilt(mixed, "again.wad");
  LevelMarkerIndex = FindLump("MAP02", true);
  LoadAll();
  EXPECT_EQ(LevelMarkerIndex, 11);
  EXPECT_EQ(Level.Format, LevelFormat::Hexen);

  ResetAll();
  WadBuilder first;
  first.Add("README", {1, 2}).AddLevel("MAP01", hexen).AddLevel("MAP02", SquareRoom());
  OpenBuilt(first, "first.wad");
  LoadAll();  // marker settled by THINGS; the format follows it
  EXPECT_EQ(LevelMarkerIndex, 1);
  EXPECT_EQ(Level.Format, LevelFormat::Hexen);

  ResetAll();
  WadBuilder apart;
  apart.AddLevel("MAP01", SquareRoom()).Add("OTHER").Add("BEHAVIOR", {1});
  OpenBuilt(apart, "apart.wad");
  LoadAll();
  EXPECT_EQ(Level.Format, LevelFormat::Doom);
}

TEST_F(LoadTest, MarkerIsTheEntryBeforeTheFirstThings) {
  WadBuilder wad;
  wad.Add("A").Add("B").AddLevel("E1M1", SquareRoom()).AddLevel("E1M2", SquareRoom());
  OpenBuilt(wad);
  LoadAll();
  EXPECT_EQ(LevelMarkerIndex, 2);

  ResetAll();
  WadBuilder named;
  named.AddLevel("E1M1", SquareRoom()).AddLevel("E1M2", SquareRoom());
  OpenBuilt(named, "named.wad");
  LevelMarkerIndex = FindLump("E1M2", true);
  LoadAll();
  EXPECT_EQ(LevelMarkerIndex, 11);
}

TEST_F(LoadTest, ThingsChecksComeFirstAndInOrder) {
  WadBuilder noThings;
  noThings.Add("MAP01").Add("LINEDEFS", {1});
  OpenBuilt(noThings);
  EXPECT_FATAL(LoadAll(), "Cannot find THINGS");
  ResetAll();

  WadBuilder leading;
  leading.AddLevel("MAP01", SquareRoom());
  leading.lumps.erase(leading.lumps.begin());  // THINGS is entry 0
  OpenBuilt(leading, "leading.wad");
  EXPECT_FATAL(LoadAll(), "No level found?");
  ResetAll();

  // An empty THINGS is reported before its place, and before the layout.
  leading.lumps[0].data.clear();
  OpenBuilt(leading, "empty.wad");
  EXPECT_FATAL(LoadAll(), "No Things Found?");
}

TEST_F(LoadTest, LevelMustHoldItsTenLumpsInOrder) {
  WadBuilder swapped;
  swapped.Add("DATA").AddLevel("MAP01", SquareRoom());
  std::swap(swapped.lumps[4], swapped.lumps[5]);
  OpenBuilt(swapped);
  EXPECT_FATAL(LoadAll(), "Level MAP01: entry 4 is VERTEXES, expected SIDEDEFS");
  ResetAll();

  WadBuilder shortLevel;
  shortLevel.AddLevel("MAP01", SquareRoom());
  shortLevel.lumps.pop_back();  // no BLOCKMAP, and the directory ends
  OpenBuilt(shortLevel, "short.wad");
  EXPECT_FATAL(LoadAll(), "Level MAP01: entry 10 is missing, expected BLOCKMAP");
  ResetAll();

  swapped.lumps[2].data.clear();  // an empty THINGS is reported first
  OpenBuilt(swapped, "both.wad");
  EXPECT_FATAL(LoadAll(), "No Things Found?");
}

TEST_F(LoadTest, EmptyLumpsAreRefused) {
  const char* names[] = {"LINEDEFS", "SIDEDEFS", "VERTEXES"};
  const char* messages[] = {"No LineDefs found", "No SideDefs found", "No Vertexes found"};
  for (int i = 0; i < 3; i++) {
    WadBuilder wad;
    wad.AddLevel("MAP01", SquareRoom());
    LumpOf(wad, names[i]).data.clear();
    OpenBuilt(wad, std::string(names[i]) + ".wad");
    EXPECT_FATAL(LoadAll(), messages[i]);
    ResetAll();
  }
  // Lumps too short for one record leave a count of 0, and the empty
  // block is refused by the allocator.
  const char* shortNames[] = {"SECTORS", "SECTORS", "VERTEXES", "LINEDEFS"};
  size_t shortSizes[] = {0, 25, 3, 13};
  for (int i = 0; i < 4; i++) {
    WadBuilder wad;
    wad.AddLevel("MAP01", SquareRoom());
    LumpOf(wad, shortNames[i]).data.resize(shortSizes[i]);
    OpenBuilt(wad, "short" + std::to_string(i) + ".wad");
    EXPECT_FATAL(LoadAll(), "cannot allocate 0 bytes");
    ResetAll();
  }
}

TEST_F(LoadTest, UnusedVertexesAreDroppedAndTheRestRenumbered) {
  WadBuilder::Level level;
  for (int i = 0; i < 10; i++) level.vertexes.push_back({i * 10, -i});
  level.lines = {{0, 1, 0, -1}, {1, 2, 1, -1}, {2, 5, 2, -1}, {5, 0, 3, -1}};
  level.sideSectors = {0, 0, 0, 0};
  WadBuilder wad;
  wad.AddLevel("MAP01", level);
  OpenBuilt(wad);
  LoadAll();
  EXPECT_EQ(Level.VertexCount, 4);
  EXPECT_EQ(Level.VertexCapacity, 13);
  EXPECT_EQ(Level.Vertexes[3].X, 50);
  EXPECT_EQ(Level.Vertexes[3].Y, -5);
  EXPECT_EQ(Level.LineDefs[2].EndVertex, 3);
  EXPECT_EQ(Level.LineDefs[3].StartVertex, 3);
  EXPECT_EQ(Level.LineDefs[3].EndVertex, 0);
  EXPECT_EQ(ReadInt16(Level.LineDefsRaw + 2 * 14 + 2), 5);  // raw keeps input numbers
}

TEST_F(LoadTest, LineDefVertexesMustNameReadVertexes) {
  WadBuilder::Level level = SquareRoom();
  level.lines[1].end = 4;  // one past the last vertex
  WadBuilder wad;
  wad.AddLevel("MAP01", level);
  OpenBuilt(wad);
  EXPECT_FATAL(LoadAll(), "vertex in linedef 1 not valid 1,4 ?");
  ResetAll();

  level = SquareRoom();
  level.lines[3].start = -1;
  WadBuilder negative;
  negative.AddLevel("MAP01", level);
  OpenBuilt(negative, "negative.wad");
  EXPECT_FATAL(LoadAll(), "vertex in linedef 3 not valid -1,0 ?");
}

TEST_F(LoadTest, EveryVertexNumberInUseStillLoads) {
  WadBuilder::Level level;
  for (int i = 0; i < 32768; i++) level.vertexes.push_back({i % 181, i / 181});
  for (int i = 0; i < 32768; i += 2) level.lines.push_back({i, i + 1, 0, -1});
  level.sideSectors = {0};
  WadBuilder wad;
  wad.AddLevel("MAP01", level);
  OpenBuilt(wad);
  LoadAll();
  EXPECT_EQ(Level.VertexCount, 32768);
  EXPECT_EQ(Level.LineDefs[16383].EndVertex, 32767);
  EXPECT_EQ(Level.Vertexes[32767].X, 32767 % 181);
}

TEST_F(LoadTest, OutputArraysAreSizedFromTheOldLumps) {
  struct Case {
    size_t segs, subsectors, nodes;
    int32_t segCapacity, subsectorCapacity, oldNodes;
  };
  const Case cases[] = {
      {8988, 2996, 100 * 28, 2000, 2000, 100},       // 749 records: below 1000 with slack
      {9000, 3000, 101 * 28 + 27, 1000, 1000, 101},  // 750 records: exactly 1000
      {0, 0, 0, 2000, 2000, 0},
      {12000 * 12 + 11, 3001 * 4, 28, 16000, 4001, 1},
  };
  int n = 0;
  for (const Case& c : cases) {
    WadBuilder wad;
    wad.AddLevel("MAP01", SquareRoom());
    LumpOf(wad, "SEGS").data.assign(c.segs, 0);
    LumpOf(wad, "SSECTORS").data.assign(c.subsectors, 0);
    LumpOf(wad, "NODES").data.assign(c.nodes, 0);
    OpenBuilt(wad, "sizes" + std::to_string(n++) + ".wad");
    LoadAll();
    EXPECT_EQ(Level.SegCapacity, c.segCapacity) << c.segs;
    EXPECT_EQ(Level.SubsectorCapacity, c.subsectorCapacity) << c.subsectors;
    EXPECT_EQ(Level.OldNodeCount, c.oldNodes) << c.nodes;
    ResetAll();
  }
}

TEST_F(LoadTest, RejectIsCutOrPaddedToTheSectorCount) {
  WadBuilder::Level level = SquareRoom();
  level.sectorCount = 3;
  WadBuilder wad;
  wad.AddLevel("MAP01", level);
  LumpOf(wad, "REJECT").data = {0x12, 0x34, 0x56, 7, 8, 9, 10, 11, 12, 13};
  OpenBuilt(wad);
  LoadAll();
  ASSERT_EQ(Level.RejectSize, 2);
  EXPECT_EQ(Level.Reject[0], 0x12);
  EXPECT_EQ(Level.Reject[1], 0x34);
  ResetAll();

  // Five sectors need 4 bytes; a 1-byte lump is padded with zeros, never
  // with the BLOCKMAP bytes that follow it in the file.
  level.sectorCount = 5;
  WadBuilder shortReject;
  shortReject.AddLevel("MAP01", level);
  LumpOf(shortReject, "REJECT").data = {0xAB};
  LumpOf(shortReject, "BLOCKMAP").data = {0xFF, 0xFF, 0xFF, 0xFF};
  OpenBuilt(shortReject, "short.wad");
  LoadAll();
  ASSERT_EQ(Level.RejectSize, 4);
  EXPECT_EQ(std::vector<uint8_t>(Level.Reject, Level.Reject + 4), (std::vector<uint8_t>{0xAB, 0, 0, 0}));
  ResetAll();

  level.sectorCount = 1000;  // 1000000 bits
  WadBuilder empty;
  empty.AddLevel("MAP01", level);
  LumpOf(empty, "REJECT").data.clear();
  OpenBuilt(empty, "empty.wad");
  LoadAll();
  ASSERT_EQ(Level.RejectSize, 125000);
  EXPECT_EQ(Level.Reject[124999], 0);
}

TEST_F(LoadTest, SectorNumbersMustFitSixteenBits) {
  WadBuilder wad;
  wad.AddLevel("MAP01", SquareRoom());
  LumpOf(wad, "SECTORS").data.assign(32769 * 26, 0);
  OpenBuilt(wad);
  EXPECT_FATAL(LoadAll(), "Too many sectors: 32769, the limit is 32768");
}

TEST_F(LoadTest, VertexStageLine) {
  WadBuilder wad;
  wad.AddLevel("MAP01", SquareRoom());
  OpenBuilt(wad);
  DetectLevelFormat();
  LoadThings();
  LoadLineDefs();
  LoadSideDefs();

  // Screen mode: the label and the count of vertexes read.
  LogMode = false;
  std::string captured = Path("screen.txt");
  std::fflush(stdout);
  int saved = dup(1);
  FILE* capture = std::fopen(captured.c_str(), "w");
  dup2(fileno(capture), 1);
  LoadVertexes();
  std::fflush(stdout);
  dup2(saved, 1);
  close(saved);
  std::fclose(capture);
  std::string screen = ReadText(captured);
  size_t label = screen.find("Vertexes    ...");
  ASSERT_NE(label, std::string::npos);
  EXPECT_NE(screen.find("    4", label), std::string::npos);
  EXPECT_EQ(StatusRow, 17);
}

TEST_F(LoadTest, VertexStageInLogModeOnlyAdvancesTheRow) {
  WadBuilder wad;
  wad.AddLevel("MAP01", SquareRoom());
  OpenBuilt(wad);
  std::string log = Path("run.log");
  std::fclose(LogFile);
  LogFile = std::fopen(log.c_str(), "w");
  LoadAll();
  std::fclose(LogFile);
  LogFile = nullptr;
  EXPECT_EQ(ReadText(log), "");
  EXPECT_EQ(StatusRow, 17);
}

TEST_F(WadTest, SectorOfSideDefReadsOnlyWholeRecords) {
  uint8_t sides[2 * 30 + 20] = {0};
  WriteInt16(sides + 28, 7);
  WriteInt16(sides + 30 + 28, -3);
  Level.SideDefs = sides;
  Level.SideDefsSize = sizeof sides;
  EXPECT_EQ(SectorOfSideDef(0), 7);
  EXPECT_EQ(SectorOfSideDef(1), -3);
  EXPECT_EQ(SectorOfSideDef(2), -1);  // partial record
  EXPECT_EQ(SectorOfSideDef(-1), -1);
  EXPECT_EQ(SectorOfSideDef(-2), -1);
  EXPECT_EQ(SectorOfSideDef(40000), -1);
  Level.SideDefs = nullptr;  // the test's own memory
}

TEST_F(WadTest, ArraysGrowByTwoHundredWhenFull) {
  Level.Vertexes = static_cast<Vertex*>(AllocOrDie(3 * 4));
  Level.VertexCapacity = 3;
  for (int i = 0; i < 3; i++) EXPECT_EQ(AppendVertex(i, -i), i);
  EXPECT_EQ(Level.VertexCapacity, 3);
  EXPECT_EQ(AppendVertex(40000, 5), 3);  // stored as its low 16 bits
  EXPECT_EQ(Level.VertexCapacity, 203);
  EXPECT_EQ(Level.VertexCount, 4);
  EXPECT_EQ(Level.Vertexes[2].Y, -2);
  EXPECT_EQ(Level.Vertexes[3].X, static_cast<int16_t>(40000));

  void* segs = AllocOrDie(12);
  int32_t capacity = 1;
  MakeRoom(&segs, 0, &capacity, 12);
  EXPECT_EQ(capacity, 1);
  MakeRoom(&segs, 1, &capacity, 12);
  EXPECT_EQ(capacity, 201);
  static_cast<uint8_t*>(segs)[201 * 12 - 1] = 1;  // the whole block is usable
  FreeBlock(segs);
}

}  // namespace
