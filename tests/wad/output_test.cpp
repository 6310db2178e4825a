// SPDX-License-Identifier: GPL-2.0-or-later
// Output WAD assembly: file layout, lumps copied around the level, the
// level's lumps from memory, the output limits and the safe replacement of
// the output file.
#include <cstring>

#include "console/services.h"
#include "format/wad_format.h"
#include "tests/wad/wad_fixture.h"

namespace {

std::vector<uint8_t> Bytes(const void* data, size_t size) {
  const uint8_t* p = static_cast<const uint8_t*>(data);
  return std::vector<uint8_t>(p, p + size);
}

class OutputTest : public WadTest {
 protected:
  // Loads the level of the open input and gives it what the builders would
  // add: a split vertex, two segs, one subsector, one node and a blockmap.
  static void LoadAndBuild() {
    LoadAll();
    AppendVertex(100, -100);
    Level.Segs[0] = SegRecord{1, 2, 0x4000, 3, 1, 0xFFFF};
    Level.Segs[1] = SegRecord{4, 0, 0x8000, 0, 0, 7};
    Level.SegCount = 2;
    Level.Subsectors[0] = SubsectorRecord{2, 0};
    Level.SubsectorCount = 1;
    Level.Nodes = static_cast<NodeRecord*>(AllocOrDie(sizeof(NodeRecord)));
    Level.Nodes[0] =
        NodeRecord{-1, 2, -3, 4, {5, 6, 7, 8}, {9, 10, 11, 12}, SubsectorFlag | 0, SubsectorFlag | 1};
    Level.NodeCount = 1;
    Level.BlockmapLump = static_cast<uint8_t*>(AllocOrDie(8));
    for (int i = 0; i < 8; i++) Level.BlockmapLump[i] = static_cast<uint8_t>(0xB0 + i);
    Level.BlockmapSize = 8;
  }

  // Creates the output, loads, builds, plans and writes; returns its path.
  std::string WriteAll(const std::string& name = "out.wad") {
    paths.push_back(Path(name));
    CreateOutputWad(paths.back().c_str());
    LoadAndBuild();
    PlanOutputWad();
    WriteOutputWad();
    return paths.back();
  }

  static std::vector<uint8_t> ExpectedSegs() {
    return Int16Bytes({1, 2, 0x4000, 3, 1, 0xFFFF, 4, 0, 0x8000, 0, 0, 7});
  }
  static std::vector<uint8_t> ExpectedNodes() {
    return Int16Bytes({-1, 2, -3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 0x8000, 0x8001});
  }
};

// The room with an unused vertex in front, so every vertex number shifts.
WadBuilder::Level ShiftedRoom() {
  WadBuilder::Level level;
  level.vertexes = {{999, 999}, {0, 0}, {0, 64}, {64, 64}, {64, 0}};
  level.lines = {{1, 2, 0, -1}, {2, 3, 1, -1}, {3, 4, 2, -1}, {4, 1, 3, -1}};
  level.sideSectors = {0, 0, 0, 0};
  return level;
}

TEST_F(OutputTest, OneLevelIsWrittenBackToBack) {
  WadBuilder wad;
  wad.AddLevel("MAP01", ShiftedRoom());
  OpenBuilt(wad);
  std::string out = WriteAll();

  std::vector<uint8_t> file = ReadFileBytes(out);
  ASSERT_GE(file.size(), 12u);
  EXPECT_EQ(std::string(file.begin(), file.begin() + 4), "PWAD");
  EXPECT_EQ(ReadInt32(&file[4]), 11);
  // THINGS 10, LINEDEFS 56, SIDEDEFS 120, VERTEXES 5*4, SEGS 24, SSECTORS 4,
  // NODES 28, SECTORS 26, REJECT 1, BLOCKMAP 8.
  int32_t sizes[11] = {0, 10, 56, 120, 20, 24, 4, 28, 26, 1, 8};
  int32_t directory = ReadInt32(&file[8]);
  int32_t position = 12;
  for (int i = 0; i < 11; i++) {
    EXPECT_EQ(ReadInt32(&file[directory + 16 * i]), position) << i;
    EXPECT_EQ(ReadInt32(&file[directory + 16 * i + 4]), sizes[i]) << i;
    position += sizes[i];
  }
  EXPECT_EQ(directory, position);
  EXPECT_EQ(file.size(), static_cast<size_t>(directory + 11 * 16));

  std::vector<TestLump> lumps = ReadWadLumps(out);
  for (int i = 0; i < 11; i++) EXPECT_EQ(lumps[i].name, wad.lumps[i].name);
  EXPECT_EQ(lumps[1].data, wad.lumps[1].data);
  // LINEDEFS name the renumbered vertexes; everything else as read.
  std::vector<uint8_t> lines = wad.lumps[2].data;
  int renumbered[4][2] = {{0, 1}, {1, 2}, {2, 3}, {3, 0}};
  for (int i = 0; i < 4; i++) {
    WriteInt16(&lines[i * 14], renumbered[i][0]);
    WriteInt16(&lines[i * 14 + 2], renumbered[i][1]);
  }
  EXPECT_EQ(lumps[2].data, lines);
  EXPECT_EQ(lumps[3].data, wad.lumps[3].data);
  EXPECT_EQ(lumps[4].data, Int16Bytes({0, 0, 0, 64, 64, 64, 64, 0, 100, -100}));
  EXPECT_EQ(lumps[5].data, ExpectedSegs());
  EXPECT_EQ(lumps[6].data, Int16Bytes({2, 0}));
  EXPECT_EQ(lumps[7].data, ExpectedNodes());
  EXPECT_EQ(lumps[8].data, wad.lumps[8].data);
  EXPECT_EQ(lumps[9].data, wad.lumps[9].data);
  EXPECT_EQ(lumps[10].data, Bytes(Level.BlockmapLump, 8));
}

TEST_F(OutputTest, LumpsAroundTheLevelAreCopiedAndPacked) {
  WadBuilder wad;
  wad.Add("FIRST", {1, 2, 3}).Add("SECOND", {4, 5}).Add("EMPTY").AddLevel("MAP01", SquareRoom());
  wad.lumps[3].data = {0xEE, 0xEE};  // a marker with data of its own
  std::vector<uint8_t> big(300001);
  for (size_t i = 0; i < big.size(); i++) big[i] = static_cast<uint8_t>(i % 253);
  wad.Add("BIG", big).Add("NOTHING").Add("LAST", {9});

  // FIRST's data moves behind the directory, leaving a gap where it was.
  std::vector<uint8_t> file = wad.Build();
  int32_t directory = ReadInt32(&file[8]);
  WriteInt32(&file[directory], static_cast<int32_t>(file.size()));
  file.insert(file.end(), {7, 7, 7, 7});
  WriteInt32(&file[directory + 4], 4);
  std::string in = Path("in.wad");
  FILE* f = std::fopen(in.c_str(), "wb");
  std::fwrite(file.data(), 1, file.size(), f);
  std::fclose(f);
  paths.push_back(in);
  OpenWad(paths.back().c_str());
  std::string out = WriteAll();

  std::vector<uint8_t> result = ReadFileBytes(out);
  int32_t outDirectory = ReadInt32(&result[8]);
  auto entry = [&](int i, int field) { return ReadInt32(&result[outDirectory + 16 * i + 4 * field]); };
  EXPECT_EQ(entry(0, 0), 12);
  EXPECT_EQ(entry(0, 1), 4);
  EXPECT_EQ(entry(1, 0), 16);
  EXPECT_EQ(entry(2, 0), 18);  // empty: the current position, size 0
  EXPECT_EQ(entry(2, 1), 0);
  EXPECT_EQ(entry(3, 0), 18);  // marker: where THINGS begins, no data
  EXPECT_EQ(entry(3, 1), 0);
  EXPECT_EQ(entry(4, 0), 18);
  int32_t afterLevel = entry(13, 0) + entry(13, 1);
  EXPECT_EQ(entry(14, 0), afterLevel);
  EXPECT_EQ(entry(15, 0), afterLevel + 300001);
  EXPECT_EQ(entry(15, 1), 0);
  EXPECT_EQ(entry(16, 0), afterLevel + 300001);
  EXPECT_EQ(outDirectory, afterLevel + 300001 + 1);

  std::vector<TestLump> lumps = ReadWadLumps(out);
  ASSERT_EQ(lumps.size(), wad.lumps.size());
  EXPECT_EQ(lumps[0].data, (std::vector<uint8_t>{7, 7, 7, 7}));
  EXPECT_EQ(lumps[1].data, (std::vector<uint8_t>{4, 5}));
  EXPECT_TRUE(lumps[3].data.empty());
  EXPECT_EQ(lumps[14].data, big);
  EXPECT_EQ(lumps[16].data, (std::vector<uint8_t>{9}));
  for (size_t i = 0; i < lumps.size(); i++) EXPECT_EQ(lumps[i].name, wad.lumps[i].name);
}

TEST_F(OutputTest, OtherLevelsAreCopiedByteForByte) {
  WadBuilder wad;
  wad.AddLevel("MAP01", SquareRoom()).AddLevel("MAP02", ShiftedRoom());
  for (int i : {5, 6, 7, 10, 16, 17, 18, 21}) wad.lumps[i].data.assign(12 + i, static_cast<uint8_t>(i));
  OpenBuilt(wad);
  LevelMarkerIndex = FindLump("MAP02", true);
  std::string out = WriteAll();
  std::vector<TestLump> lumps = ReadWadLumps(out);
  ASSERT_EQ(lumps.size(), 22u);
  for (int i = 0; i <= 10; i++) EXPECT_EQ(lumps[i].data, wad.lumps[i].data) << i;
  EXPECT_EQ(lumps[16].data, ExpectedSegs());
  EXPECT_EQ(lumps[18].data, ExpectedNodes());
  EXPECT_EQ(lumps[21].data, Bytes(Level.BlockmapLump, 8));
}

TEST_F(OutputTest, HexenLevelKeepsItsRecordsAndBehavior) {
  WadBuilder::Level level = ShiftedRoom();
  level.hexen = true;
  level.lines[0].special = 0xFF;
  level.lines[0].tag = 200;
  WadBuilder wad;
  wad.AddLevel("MAP01", level);
  std::vector<uint8_t>& raw = wad.lumps[2].data;
  for (int i = 0; i < 4; i++)
    for (int k = 8; k < 12; k++) raw[i * 16 + k] = static_cast<uint8_t>(0x10 * i + k);
  wad.lumps[11].data = {'A', 'C', 'S', 0, 1, 2, 3};
  wad.Add("SCRIPTS", {5});
  OpenBuilt(wad);
  std::string out = WriteAll();

  std::vector<TestLump> lumps = ReadWadLumps(out);
  ASSERT_EQ(lumps.size(), 13u);
  std::vector<uint8_t> lines = raw;
  int renumbered[4][2] = {{0, 1}, {1, 2}, {2, 3}, {3, 0}};
  for (int i = 0; i < 4; i++) {
    WriteInt16(&lines[i * 16], renumbered[i][0]);
    WriteInt16(&lines[i * 16 + 2], renumbered[i][1]);
  }
  EXPECT_EQ(lumps[2].data, lines);
  EXPECT_EQ(lumps[11].name, "BEHAVIOR");
  EXPECT_EQ(lumps[11].data, wad.lumps[11].data);
  std::vector<uint8_t> file = ReadFileBytes(out);
  int32_t directory = ReadInt32(&file[8]);
  // BEHAVIOR starts right where BLOCKMAP ends.
  EXPECT_EQ(ReadInt32(&file[directory + 11 * 16]),
            ReadInt32(&file[directory + 10 * 16]) + ReadInt32(&file[directory + 10 * 16 + 4]));
}

TEST_F(OutputTest, EmptyNodesLumpIsWritten) {
  WadBuilder wad;
  wad.AddLevel("MAP01", SquareRoom());
  OpenBuilt(wad);
  std::string out = Path("out.wad");
  CreateOutputWad(out.c_str());
  LoadAndBuild();
  Level.NodeCount = 0;  // a level of one subsector has no node
  FreeBlock(Level.Nodes);
  Level.Nodes = nullptr;
  PlanOutputWad();
  WriteOutputWad();
  std::vector<TestLump> lumps = ReadWadLumps(out);
  EXPECT_TRUE(lumps[7].data.empty());
  EXPECT_EQ(lumps[8].data, wad.lumps[8].data);
}

TEST_F(OutputTest, CountsBeyondTheRecordFieldsAreRefusedInOrder) {
  Level.LineDefCount = 65536;
  Level.VertexCount = 65537;
  Level.SegCount = 65537;
  Level.SubsectorCount = 32769;
  Level.NodeCount = 32769;
  EXPECT_FATAL(PlanOutputWad(), "Too many linedefs: 65536, the limit is 65535");
  Level.LineDefCount = 65535;
  EXPECT_FATAL(PlanOutputWad(), "Too many vertexes: 65537, the limit is 65536");
  Level.VertexCount = 65536;
  EXPECT_FATAL(PlanOutputWad(), "Too many segs: 65537, the limit is 65536");
  Level.SegCount = 65536;
  EXPECT_FATAL(PlanOutputWad(), "Too many subsectors: 32769, the limit is 32768");
  Level.SubsectorCount = 32768;
  EXPECT_FATAL(PlanOutputWad(), "Too many nodes: 32769, the limit is 32768");
}

TEST_F(OutputTest, CountsAtTheLimitsArePlanned) {
  WadBuilder wad;
  wad.AddLevel("MAP01", SquareRoom());
  OpenBuilt(wad);
  LoadAll();
  Level.LineDefCount = 65535;
  Level.VertexCount = 65536;
  Level.SegCount = 65536;
  Level.SubsectorCount = 32768;
  Level.NodeCount = 32768;
  PlanOutputWad();
  EXPECT_EQ(Directory[4].Size, 65536 * 4);
  EXPECT_EQ(Directory[5].Size, 65536 * 12);
  EXPECT_EQ(Directory[6].Size, 32768 * 4);
  EXPECT_EQ(Directory[7].Size, 32768 * 28);
  EXPECT_EQ(Directory[8].FilePos, Directory[7].FilePos + 32768 * 28);
}

TEST_F(OutputTest, OutputAppearsOnlyWhenComplete) {
  WadBuilder wad;
  wad.AddLevel("MAP01", SquareRoom());
  OpenBuilt(wad);
  std::string out = Path("out.wad");
  FILE* old = std::fopen(out.c_str(), "wb");
  std::fputs("OLD", old);
  std::fclose(old);
  chmod(out.c_str(), 0640);

  CreateOutputWad(out.c_str());
  std::vector<std::string> during = FolderEntries(dir);
  ASSERT_EQ(during.size(), 3u);
  EXPECT_EQ(during[0].rfind(".out.wad.", 0), 0u);  // the hidden temporary file
  EXPECT_EQ(ReadText(out), "OLD");
  LoadAndBuild();
  PlanOutputWad();
  WriteOutputWad();
  EXPECT_EQ(FolderEntries(dir), (std::vector<std::string>{"in.wad", "out.wad"}));
  EXPECT_EQ(ReadWadLumps(out).size(), 11u);
  struct stat info;
  ASSERT_EQ(stat(out.c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 0777, 0640u);  // the replaced file's permissions
}

TEST_F(OutputTest, FatalErrorRemovesTheUnfinishedFile) {
  WadBuilder wad;
  wad.AddLevel("MAP01", SquareRoom());
  wad.lumps[4].data.clear();  // no vertexes
  OpenBuilt(wad);
  std::string out = Path("out.wad");
  FILE* old = std::fopen(out.c_str(), "wb");
  std::fputs("EARLIER", old);
  std::fclose(old);
  EXPECT_FATAL(
      {
        CreateOutputWad(out.c_str());
        LoadAll();
      },
      "No Vertexes found");
  EXPECT_EQ(ReadText(out), "EARLIER");
  EXPECT_EQ(FolderEntries(dir), (std::vector<std::string>{"in.wad", "out.wad"}));

  unlink(out.c_str());
  EXPECT_FATAL(
      {
        CreateOutputWad(out.c_str());
        FatalError("Cannot find %s", "MAP09");
      },
      "Cannot find MAP09");
  EXPECT_EQ(FolderEntries(dir), (std::vector<std::string>{"in.wad"}));
}

TEST_F(OutputTest, UnwritableOutputPathsAreRefused) {
  std::string folder = Path("sub");
  ASSERT_EQ(mkdir(folder.c_str(), 0755), 0);
  std::string readOnly = Path("keep.wad");
  FILE* f = std::fopen(readOnly.c_str(), "wb");
  std::fputs("KEEP", f);
  std::fclose(f);
  chmod(readOnly.c_str(), 0444);
  std::string missing = Path("nowhere/out.wad");
  std::string trailing = Path("new/");
  std::string pipe = Path("pipe");
  ASSERT_EQ(mkfifo(pipe.c_str(), 0666), 0);

  for (const std::string& path : {folder, readOnly, missing, trailing, pipe})
    EXPECT_FATAL(CreateOutputWad(path.c_str()), "Could not open output PWAD file " + path);
  EXPECT_EQ(ReadText(readOnly), "KEEP");
  EXPECT_EQ(FolderEntries(dir), (std::vector<std::string>{"keep.wad", "pipe", "sub"}));
}

TEST_F(OutputTest, OutputThroughALinkReplacesItsTarget) {
  WadBuilder wad;
  wad.AddLevel("MAP01", SquareRoom());
  OpenBuilt(wad);
  std::string target = Path("sub/target.wad");
  ASSERT_EQ(mkdir(Path("sub").c_str(), 0755), 0);
  FILE* f = std::fopen(target.c_str(), "wb");
  std::fputs("OLD", f);
  std::fclose(f);
  ASSERT_EQ(symlink(target.c_str(), Path("link.wad").c_str()), 0);
  WriteAll("link.wad");
  struct stat info;
  ASSERT_EQ(lstat(Path("link.wad").c_str(), &info), 0);
  EXPECT_TRUE(S_ISLNK(info.st_mode));
  EXPECT_EQ(ReadWadLumps(target).size(), 11u);
  EXPECT_EQ(FolderEntries(Path("sub")), (std::vector<std::string>{"target.wad"}));
}

}  // namespace
