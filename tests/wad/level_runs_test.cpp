// SPDX-License-Identifier: GPL-2.0-or-later
// Levels laid out as map editors write them, arranged into the standard
// order: which entries form a level's run, where the absent lumps go, and
// what is refused.
#include "wad/level_runs.h"

#include "tests/support/words.h"
#include "tests/wad/wad_fixture.h"

namespace {

class LevelRunsTest : public WadTest {
 protected:
  void Open(const std::string& layout) {
    WadBuilder wad;
    for (const std::string& name : SplitAtBlanks(layout)) wad.Add(name, std::vector<uint8_t>{1});
    path = Path("in.wad");
    wad.Write(path);
    OpenWad(path.c_str());
  }

  // Arranges the file and returns its directory as one string; an absent
  // entry is written "-NAME".
  std::string Arrange(const std::string& layout) {
    Open(layout);
    ArrangeLevelRuns(path.c_str());
    std::string text;
    for (int32_t i = 0; i < InputHeader.LumpCount; i++) {
      char name[9];
      CopyLumpName(name, &Directory[i]);
      if (!text.empty()) text += ' ';
      text += std::string(Directory[i].FilePos == AbsentLumpPosition ? "-" : "") + name;
    }
    return text;
  }

  std::string path;
};

TEST_F(LevelRunsTest, LaysEveryLevelOutInTheStandardOrder) {
  struct Case {
    const char* given;
    const char* arranged;
  };
  const Case cases[] = {
      // The five lumps editors write.
      {"MAP01 THINGS LINEDEFS SIDEDEFS VERTEXES SECTORS",
       "MAP01 THINGS LINEDEFS SIDEDEFS VERTEXES -SEGS -SSECTORS -NODES SECTORS -REJECT -BLOCKMAP"},
      // The Hexen seven, and BEHAVIOR put first where it stood later.
      {"MAP01 THINGS LINEDEFS SIDEDEFS VERTEXES SECTORS BEHAVIOR SCRIPTS",
       "MAP01 THINGS LINEDEFS SIDEDEFS VERTEXES -SEGS -SSECTORS -NODES SECTORS -REJECT -BLOCKMAP BEHAVIOR "
       "SCRIPTS"},
      {"MAP01 SCRIPTS SECTORS THINGS BEHAVIOR VERTEXES LINEDEFS SIDEDEFS",
       "MAP01 THINGS LINEDEFS SIDEDEFS VERTEXES -SEGS -SSECTORS -NODES SECTORS -REJECT -BLOCKMAP BEHAVIOR "
       "SCRIPTS"},
      // A standard level is left as it is.
      {"E1M1 THINGS LINEDEFS SIDEDEFS VERTEXES SEGS SSECTORS NODES SECTORS REJECT BLOCKMAP",
       "E1M1 THINGS LINEDEFS SIDEDEFS VERTEXES SEGS SSECTORS NODES SECTORS REJECT BLOCKMAP"},
      // Lumps outside the levels stay where they are; a run ends at the
      // first other name and at a name it already holds.
      {"DEHACKED MAP01 THINGS SECTORS TEXTURE1 MAP02 THINGS THINGS",
       "DEHACKED MAP01 THINGS -LINEDEFS -SIDEDEFS -VERTEXES -SEGS -SSECTORS -NODES SECTORS -REJECT -BLOCKMAP "
       "TEXTURE1 MAP02 THINGS -LINEDEFS -SIDEDEFS -VERTEXES -SEGS -SSECTORS -NODES -SECTORS -REJECT "
       "-BLOCKMAP "
       "THINGS"},
      // A run without THINGS is no level.
      {"MAP01 LINEDEFS SIDEDEFS SECTORS", "MAP01 LINEDEFS SIDEDEFS SECTORS"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(Arrange(c.given), c.arranged) << c.given;
    ResetAll();
  }
}

TEST_F(LevelRunsTest, FindsTheFormatAnywhereInTheRun) {
  Arrange("MAP01 SCRIPTS THINGS BEHAVIOR LINEDEFS SIDEDEFS VERTEXES SECTORS MAP02 THINGS");
  EXPECT_TRUE(RunHoldsBehavior(0));
  EXPECT_FALSE(RunHoldsBehavior(13));
}

TEST_F(LevelRunsTest, RefusesALevelWithoutARequiredLump) {
  const char* cases[][2] = {{"MAP01 THINGS SIDEDEFS VERTEXES SECTORS", "LINEDEFS"},
                            {"MAP01 THINGS LINEDEFS VERTEXES SECTORS", "SIDEDEFS"},
                            {"MAP01 THINGS LINEDEFS SIDEDEFS SECTORS", "VERTEXES"},
                            {"MAP01 THINGS LINEDEFS SIDEDEFS VERTEXES", "SECTORS"}};
  for (const auto& c : cases) {
    Arrange(c[0]);
    LevelMarkerIndex = 0;
    EXPECT_FATAL(CheckArrangedLevel(), std::string("Level MAP01 has no ") + c[1] + " lump");
    ResetAll();
  }
  Arrange("MAP01 THINGS LINEDEFS SIDEDEFS VERTEXES SECTORS");
  CheckArrangedLevel();  // the other five may be absent
}

TEST_F(LevelRunsTest, RefusesADirectoryThatWouldOutgrowTheLimit) {
  // 10,000 levels of a marker and THINGS grow by 9 entries each: 110,000.
  std::string layout;
  for (int i = 0; i < 10000; i++) layout += "MAP THINGS ";
  Open(layout);
  EXPECT_FATAL(ArrangeLevelRuns(path.c_str()), "File " + path + " has too many entries");
}

}  // namespace
