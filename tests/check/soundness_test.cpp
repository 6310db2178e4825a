// SPDX-License-Identifier: GPL-2.0-or-later
// vortane-check's settings: the layouts of other builders that are sound
// pass, and what the game would trip on is still a problem; warnings for
// the original engine's limits; nodes in other formats; deep trees.
#include <string>
#include <vector>

#include "check/wad_check.h"
#include "tests/check/level_fixture.h"

namespace {

class SoundnessTest : public LevelCheckTest {
 public:
  // Floor and ceiling of every sector, in both files (the fixture's sectors
  // are closed: both heights 0), and a tag and special for one of them.
  void SetSector(int sector, int floor, int ceiling, int special = 0, int tag = 0) {
    for (WadBuilder* wad : {&input, &output})
      for (TestLump& lump : wad->lumps)
        if (lump.name == "SECTORS") {
          std::vector<uint8_t> fields = Int16Bytes({floor, ceiling});
          std::copy(fields.begin(), fields.end(), lump.data.begin() + 26 * sector);
          std::vector<uint8_t> last = Int16Bytes({special, tag});
          std::copy(last.begin(), last.end(), lump.data.begin() + 26 * sector + 22);
        }
  }
  void OpenRooms() {
    SetSector(0, 0, 128);
    SetSector(1, 0, 128);
  }
  // The blockmap of the fixture with block 0's list as given.
  void BlockZero(std::vector<int> lines) {
    std::vector<int> words = {-8, -8, 2, 1, 8, 0, 0, -1, 0};
    words.insert(words.end(), lines.begin(), lines.end());
    words.push_back(-1);
    words[5] = static_cast<int>(words.size());
    for (int w : {0, 2, 3, 4, -1}) words.push_back(w);
    blockmap.clear();
    for (int w : words) {
      std::vector<uint8_t> bytes = Int16Bytes({w});
      blockmap.insert(blockmap.end(), bytes.begin(), bytes.end());
    }
  }
};

struct Case {
  const char* name;
  std::function<void(SoundnessTest*)> change;
  const char* sound;  // what vortane-check's settings report ("" when sound)
  const char* exact;  // what this program's exact settings report
};

TEST_F(SoundnessTest, OtherBuildersLayoutsAndRealFaults) {
  const std::vector<Case> cases = {
      {"a zero-length piece where two cuts round to one point",
       [](SoundnessTest* t) {
         t->Out("VERTEXES").data = Join({t->Out("VERTEXES").data, Int16Bytes({0, 64})});
         t->segs[1] = {1, 6, kEast, 1, 0, 0};
         t->segs.insert(t->segs.begin() + 2, {6, 2, kEast, 1, 0, 0});
         t->subsectors = Int16Bytes({5, 0, 4, 5});
       },
       "", "seg 1 of linedef 1 has zero length at (0,64)"},
      {"a two-sided linedef between rooms of the same heights left out of the blockmap",
       [](SoundnessTest* t) {
         t->OpenRooms();
         t->BlockZero({0, 1, 2, 4, 5});
       },
       "", "linedef 6 (64,0)-(64,64) passes through block 0"},
      {"the same linedef, but the east room can move (tag)",
       [](SoundnessTest* t) {
         t->OpenRooms();
         t->SetSector(1, 0, 128, 0, 7);
         t->BlockZero({0, 1, 2, 4, 5});
       },
       "MAP01 BLOCKMAP 0: linedef 6 (64,0)-(64,64) passes through block 0", "linedef 6"},
      {"the same linedef, but the east room is a door that closes by itself",
       [](SoundnessTest* t) {
         t->OpenRooms();
         t->SetSector(1, 0, 128, 10);
         t->BlockZero({0, 1, 2, 4, 5});
       },
       "MAP01 BLOCKMAP 0: linedef 6", "linedef 6"},
      {"the same linedef, but the floors differ",
       [](SoundnessTest* t) {
         t->OpenRooms();
         t->SetSector(1, 24, 128);
         t->BlockZero({0, 1, 2, 4, 5});
       },
       "MAP01 BLOCKMAP 0: linedef 6", "linedef 6"},
      {"a wall of an open room left out of the blockmap",
       [](SoundnessTest* t) {
         t->OpenRooms();
         t->BlockZero({1, 2, 4, 5, 6});
       },
       "MAP01 BLOCKMAP 0: linedef 0 (0,0)-(0,64) passes through block 0", "linedef 0"},
      {"a wall of a closed room that nothing moves left out of the blockmap",
       [](SoundnessTest* t) {
         t->BlockZero({1, 2, 4, 5, 6});
       },
       "", "linedef 0"},
      {"block lists out of order and a linedef listed where it does not reach",
       [](SoundnessTest* t) {
         t->BlockZero({6, 5, 4, 3, 2, 1, 0});
       },
       "", "linedef 3 (128,64)-(128,0) is listed in block 0"},
      {"an angle within 64 units of its side", [](SoundnessTest* t) { t->segs[2].angle += 60; }, "",
       "seg 2 has angle 32828"},
      {"an angle 100 units off its side", [](SoundnessTest* t) { t->segs[2].angle += 100; },
       "MAP01 SEGS 2: seg 2 has angle 32868, its side of linedef 5 runs at 32768.0", "seg 2 has angle 32868"},
      {"nodes in a format not read", [](SoundnessTest* t) { t->nodes = {'x', 'N', 'd', '4', 0, 0, 0, 0}; },
       "MAP01 NODES -: the nodes are in the extended format xNd4", "extended format xNd4"},
      {"a short XNOD stream", [](SoundnessTest* t) { t->nodes = {'X', 'N', 'O', 'D', 0, 0, 0, 0}; },
       "MAP01 NODES -: the XNOD stream ends inside its vertex counts", "ends inside its vertex counts"},
      {"an XNOD node whose children are numbered past the child field",
       [](SoundnessTest* t) {
         std::vector<uint8_t> stream = {'X', 'N', 'O', 'D'};
         auto u32 = [&stream](uint32_t v) {
           for (int i = 0; i < 4; i++) stream.push_back(static_cast<uint8_t>(v >> (8 * i)));
         };
         u32(6), u32(0), u32(1), u32(1), u32(1);  // vertexes; one subsector of one seg; one seg
         u32(0), u32(1);                          // a seg from vertex 0 to 1, on the right of linedef 0
         for (int i = 0; i < 3; i++) stream.push_back(0);
         u32(1);                                            // one node
         for (int i = 0; i < 24; i++) stream.push_back(0);  // its line and boxes
         u32(0x40000000u), u32(0xC0000000u);
         t->nodes = stream;
         t->segs.clear();
         t->subsectors.clear();
       },
       "names node 1073741823", "names node 1073741823"},
      {"GL nodes only",
       [](SoundnessTest* t) {
         t->segs.clear();
         t->subsectors.clear();
         t->nodes.clear();
       },
       "MAP01 NODES -: no nodes: SEGS, SSECTORS and NODES are empty", "no nodes"},
  };
  for (const Case& c : cases) {
    Reset();
    c.change(this);
    std::vector<std::string> sound = ReportLines("MAP01", Stored(SoundnessOptions()));
    if (*c.sound) {
      EXPECT_TRUE(Has(sound, c.sound)) << c.name << ":\n" << All(sound);
    } else {
      EXPECT_TRUE(sound.empty()) << c.name << ":\n" << All(sound);
    }
    std::vector<std::string> exact = ReportLines("MAP01", Stored(BuiltLevelOptions()));
    EXPECT_TRUE(Has(exact, c.exact)) << c.name << ":\n" << All(exact);
  }
}

TEST_F(SoundnessTest, OverlappingCopyOfALinedefNeedsNoSegs) {
  // Linedef 7 runs where linedef 0 runs, on the same sidedef.
  Out("LINEDEFS").data = Join({Out("LINEDEFS").data, Int16Bytes({0, 1, 0, 0, 0, 0, -1})});
  BlockZero({0, 1, 2, 4, 5, 6, 7});
  EXPECT_TRUE(ReportLines("MAP01", Stored(SoundnessOptions())).empty());
  EXPECT_TRUE(
      Has(ReportLines("MAP01", Stored(BuiltLevelOptions())), "the right side of linedef 7 has no seg"));
}

TEST_F(SoundnessTest, LimitsOfTheOriginalEngineAreWarnings) {
  // 32769 vertexes (the unused ones at the end), and block 1's list past
  // word 32767 of the blockmap.
  Out("VERTEXES").data.resize(4 * 32769, 0);
  std::vector<uint8_t> lump = blockmap;
  lump.resize(2 * 33000, 0);
  std::vector<uint8_t> list = Int16Bytes({0, 2, 3, 4, -1});
  lump.insert(lump.end(), list.begin(), list.end());
  lump[10] = static_cast<uint8_t>(33000 & 0xFF);
  lump[11] = static_cast<uint8_t>(33000 >> 8);
  blockmap = lump;
  LevelReport report = Stored(SoundnessOptions());
  EXPECT_EQ(
      ReportLines("MAP01", report),
      (std::vector<std::string>{
          "MAP01 VERTEXES -: warning: 32769 records; the original engine reads their numbers as signed "
          "16-bit "
          "and can name only the first 32768",
          "MAP01 BLOCKMAP 1: warning: 1 block lists, from block 1 on, start past word 32767 (64 KiB); the "
          "original engine reads their offsets as negative"}));
  EXPECT_EQ(report.problems, 0);
  EXPECT_EQ(FormatSummary("MAP01", report), "MAP01: sound (8 segs, 2 subsectors, 1 node), 2 warnings");
}

TEST_F(SoundnessTest, TreesAsDeepAsTheLumpAllowsAreWalked) {
  // A chain of 32768 nodes (all that child numbers can name), each with
  // subsector 0 on its left: far deeper than a stack of calls would go.
  const int count = 32768;
  nodes = Int16Bytes({64, 0, 0, 64, 64, 0, 64, 128, 64, 0, 0, 64, 0x8001, 0x8000});
  for (int n = 1; n < count; n++) {
    std::vector<uint8_t> node = Int16Bytes({64, 0, 0, 64, 64, 0, 0, 128, 64, 0, 0, 128, n - 1, 0x8000});
    nodes.insert(nodes.end(), node.begin(), node.end());
  }
  LevelReport report = Stored(SoundnessOptions());
  EXPECT_EQ(report.stats.depth, count);
  std::vector<std::string> lines = ReportLines("MAP01", report);
  EXPECT_TRUE(Has(lines, "MAP01 SSECTORS 0: subsector 0 is reached twice")) << All(lines);
}

TEST_F(SoundnessTest, EveryLevelOfAFileAndTheExitStatus) {
  Check();
  // MAP02: MAP01 with the end of seg 0 moved to the far corner.
  WadBuilder two = output;
  for (size_t i = 1; i <= 11; i++) two.lumps.push_back(output.lumps[i]);
  two.lumps[14].name = "MAP02";
  two.lumps[19].data[2] = 3;
  WadImage wad = Image(two.Build("IWAD"));
  struct Run {
    std::vector<std::string> levels;
    int status;
    const char* out;
    const char* errors;
  };
  const std::vector<Run> runs = {
      {{},
       kCheckProblems,
       "MAP01: sound (8 segs, 2 subsectors, 1 node)\nMAP02 SEGS 0: seg 0 (0,0)-(128,64)",
       ""},
      {{"MAP01"}, kCheckSound, "MAP01: sound (8 segs, 2 subsectors, 1 node)\n", ""},
      {{"MAP02"}, kCheckProblems, "MAP02: ", ""},
      {{"MAP01", "MAP03"},
       kCheckUnreadable,
       "MAP01: sound",
       "no level named MAP03 (an entry followed by THINGS or TEXTMAP)\n"},
      {{"ENDOOM"}, kCheckUnreadable, "", "no level named ENDOOM"},
  };
  for (const Run& run : runs) {
    std::string out, errors;
    EXPECT_EQ(CheckWadLevels(wad, run.levels, SoundnessOptions(), &out, &errors), run.status)
        << out << errors;
    EXPECT_NE(out.find(run.out), std::string::npos) << out;
    if (*run.errors) {
      EXPECT_EQ(errors.find(run.errors), 0u) << errors;
    } else {
      EXPECT_EQ(errors, "");
    }
  }
  WadBuilder none;
  none.Add("PLAYPAL", {1});
  std::string out, errors;
  EXPECT_EQ(CheckWadLevels(Image(none.Build()), {}, SoundnessOptions(), &out, &errors), kCheckSound);
  EXPECT_EQ(out, "");
  EXPECT_EQ(errors, "no level in the file (no entry is followed by THINGS or TEXTMAP)\n");
}

}  // namespace
