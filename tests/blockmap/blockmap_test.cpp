// SPDX-License-Identifier: GPL-2.0-or-later
// The blockmap builder: exact lumps for small levels, the block count and
// offset limits, edge placement on block boundaries, linedefs outside the
// grid, and the row walk on random levels.
#include "blockmap/blockmap.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>
#include <vector>

#include "console/console.h"
#include "console/services.h"
#include "format/wad_format.h"
#include "tests/support/check_report.h"
#include "wad/level.h"

namespace {

class BlockmapTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ResetAll();
    LogMode = true;
    LogFile = std::tmpfile();
    ASSERT_NE(LogFile, nullptr);
    StatusRow = 19;
  }

  void TearDown() override {
    if (Level.BlockmapLump != nullptr) FreeBlock(Level.BlockmapLump);
    if (LogFile != nullptr) std::fclose(LogFile);
    ResetAll();
  }

  static void ResetAll() {
    ResetLevel();
    ResetBlockmap();
    ResetConsole();
  }

  int16_t VertexAt(int x, int y) {
    for (size_t v = 0; v < vertexes.size(); v++)
      if (vertexes[v].X == x && vertexes[v].Y == y) return static_cast<int16_t>(v);
    vertexes.push_back({static_cast<int16_t>(x), static_cast<int16_t>(y)});
    return static_cast<int16_t>(vertexes.size() - 1);
  }

  // Adds a linedef from (x1, y1) to (x2, y2); `sided` gives it a right
  // sidedef, otherwise it has neither side.
  void AddLine(int x1, int y1, int x2, int y2, bool sided = true) {
    LineDef line{};
    line.StartVertex = VertexAt(x1, y1);
    line.EndVertex = VertexAt(x2, y2);
    line.RightSideDef = sided ? 0 : -1;
    line.LeftSideDef = -1;
    lines.push_back(line);
  }

  // Points the level at the lines added so far, with the bounds that the
  // run driver would store: the box of the linedefs that have a side.
  void UseLines() {
    Level.Vertexes = vertexes.data();
    Level.VertexCount = static_cast<int32_t>(vertexes.size());
    Level.LineDefs = lines.data();
    Level.LineDefCount = static_cast<int32_t>(lines.size());
    bool first = true;
    for (const LineDef& line : lines) {
      if (line.RightSideDef == -1 && line.LeftSideDef == -1) continue;
      for (int16_t v : {line.StartVertex, line.EndVertex}) {
        const Vertex& p = vertexes[v];
        if (first) LevelBounds = Bounds{p.X, p.X, p.Y, p.Y};
        first = false;
        LevelBounds.MinX = std::min<int32_t>(LevelBounds.MinX, p.X);
        LevelBounds.MaxX = std::max<int32_t>(LevelBounds.MaxX, p.X);
        LevelBounds.MinY = std::min<int32_t>(LevelBounds.MinY, p.Y);
        LevelBounds.MaxY = std::max<int32_t>(LevelBounds.MaxY, p.Y);
      }
    }
  }

  // Builds the blockmap and returns the lump's words (signed).
  std::vector<int> Build() {
    size = BuildBlockmap(&tooLarge);
    std::vector<int> words;
    for (int32_t i = 0; i + 1 < size; i += 2) words.push_back(ReadInt16(Level.BlockmapLump + i));
    return words;
  }

  std::vector<uint8_t> LumpBytes() const {
    return std::vector<uint8_t>(Level.BlockmapLump, Level.BlockmapLump + size);
  }

  std::vector<LineEnds> Ends() const {
    std::vector<LineEnds> ends;
    for (const LineDef& line : lines) {
      const Vertex& a = vertexes[line.StartVertex];
      const Vertex& b = vertexes[line.EndVertex];
      ends.push_back({a.X, a.Y, b.X, b.Y});
    }
    return ends;
  }

  static std::string LogText() {
    std::fflush(LogFile);
    std::rewind(LogFile);
    std::string text;
    int c;
    while ((c = std::fgetc(LogFile)) != EOF) text += static_cast<char>(c);
    return text;
  }

  std::vector<Vertex> vertexes;
  std::vector<LineDef> lines;
  int32_t size = 0;
  bool tooLarge = false;
};

// The lists of a built lump, by block number, read through the offsets.
std::vector<std::vector<int>> ListsOf(const std::vector<int>& words) {
  int blocks = words[2] * words[3];
  std::vector<std::vector<int>> lists(blocks);
  for (int b = 0; b < blocks; b++) {
    int at = words[4 + b] & 0xFFFF;
    EXPECT_EQ(words[at], 0) << "block " << b;
    for (int w = at + 1; words[w] != -1; w++) lists[b].push_back(words[w] & 0xFFFF);
  }
  return lists;
}

TEST_F(BlockmapTest, ShortLineGivesTheTwentyByteLump) {
  AddLine(0, 0, 64, 0);
  UseLines();
  Build();
  const uint8_t expected[20] = {0xF8, 0xFF, 0xF8, 0xFF, 0x01, 0x00, 0x01, 0x00, 0x07, 0x00,
                                0x00, 0x00, 0xFF, 0xFF, 0x00, 0x00, 0x00, 0x00, 0xFF, 0xFF};
  EXPECT_EQ(LumpBytes(), std::vector<uint8_t>(expected, expected + 20));
  EXPECT_EQ(size, 20);
  EXPECT_EQ(StatusRow, 20);
  EXPECT_FALSE(tooLarge);
  EXPECT_EQ(LogText(), "");
}

// Three vertexes (0,0), (300,200), (300,0): a triangle over 3 x 2 blocks.
class TriangleTest : public BlockmapTest {
 protected:
  void AddTriangle(bool reversed) {
    vertexes = {{0, 0}, {300, 200}, {300, 0}};
    const int16_t ends[3][2] = {{0, 1}, {1, 2}, {2, 0}};
    for (const auto& e : ends) {
      LineDef line{};
      line.StartVertex = reversed ? e[1] : e[0];
      line.EndVertex = reversed ? e[0] : e[1];
      line.LeftSideDef = -1;
      lines.push_back(line);
    }
    UseLines();
  }
};

TEST_F(TriangleTest, MatchesTheSixtyTwoByteLump) {
  AddTriangle(false);
  std::vector<int> words = Build();
  const std::vector<int> expected = {-8, -8, 3, 2,  12, 16, 20, 10, 24, 27, 0,  -1, 0, 0, 2, -1,
                                     0,  0,  2, -1, 0,  1,  2,  -1, 0,  0,  -1, 0,  0, 1, -1};
  EXPECT_EQ(words, expected);
  EXPECT_EQ(size, 62);
  // Blocks 0 and 1 hold the same linedefs and still get a list each.
  EXPECT_NE(words[4], words[5]);
  EXPECT_TRUE(BlockmapProblems(Ends(), LumpBytes()).empty());
}

TEST_F(TriangleTest, DirectionOfTheLinedefsDoesNotMatter) {
  AddTriangle(false);
  std::vector<int> forward = Build();
  FreeBlock(Level.BlockmapLump);
  Level.BlockmapLump = nullptr;
  lines.clear();
  AddTriangle(true);
  EXPECT_EQ(Build(), forward);
}

// Bounds 0..1000 both ways: origin (-8, -8), 8 x 8 blocks; a relative
// coordinate r is the map coordinate r - 8.
class GridTest : public BlockmapTest {
 protected:
  void AddRelative(int x1, int y1, int x2, int y2) { AddLine(x1 - 8, y1 - 8, x2 - 8, y2 - 8); }
  std::vector<std::vector<int>> BuildLists() {
    UseLines();
    LevelBounds = Bounds{0, 1000, 0, 1000};
    std::vector<int> words = Build();
    EXPECT_EQ(words[2], 8);
    EXPECT_EQ(words[3], 8);
    return ListsOf(words);
  }
  // Blocks (as column, row) holding linedef `line`.
  static std::vector<std::pair<int, int>> CellsOf(const std::vector<std::vector<int>>& lists, int line) {
    std::vector<std::pair<int, int>> cells;
    for (size_t b = 0; b < lists.size(); b++)
      if (std::count(lists[b].begin(), lists[b].end(), line) == 1)
        cells.push_back({static_cast<int>(b % 8), static_cast<int>(b / 8)});
    return cells;
  }
  using Cells = std::vector<std::pair<int, int>>;
};

TEST_F(GridTest, LinesOnBlockBoundariesBelongToTheBlockAboveOrRight) {
  AddRelative(128, 10, 128, 300);   // vertical, on the edge of columns 0 and 1
  AddRelative(10, 256, 300, 256);   // horizontal, on the edge of rows 1 and 2
  AddRelative(256, 384, 256, 384);  // a point on a block corner
  AddRelative(300, 128, 10, 128);   // horizontal, drawn right to left
  std::vector<std::vector<int>> lists = BuildLists();
  EXPECT_EQ(CellsOf(lists, 0), (Cells{{1, 0}, {1, 1}, {1, 2}}));
  EXPECT_EQ(CellsOf(lists, 1), (Cells{{0, 2}, {1, 2}, {2, 2}}));
  EXPECT_EQ(CellsOf(lists, 2), (Cells{{2, 3}}));
  EXPECT_EQ(CellsOf(lists, 3), (Cells{{0, 1}, {1, 1}, {2, 1}}));
}

TEST_F(GridTest, DiagonalsThroughABlockCorner) {
  AddRelative(64, 64, 192, 192);  // rising through the corner (128, 128)
  AddRelative(192, 64, 64, 192);  // falling through the same corner
  std::vector<std::vector<int>> lists = BuildLists();
  // The corner point itself lies in block (1, 1).
  EXPECT_EQ(CellsOf(lists, 0), (Cells{{0, 0}, {1, 1}}));
  EXPECT_EQ(CellsOf(lists, 1), (Cells{{1, 0}, {0, 1}, {1, 1}}));
}

TEST_F(GridTest, RowEntryRoundsHalvesUp) {
  // At y = 128 the line is at x = 127.5, which rounds up into column 1, so
  // the sliver of block (0, 1) that it crosses is not listed.
  AddRelative(126, 126, 129, 130);
  // At y = 128 this one is at x = 127.25, which stays in column 0.
  AddRelative(126, 123, 128, 131);
  // Falling: at y = 127, the last unit of row 0, x = 127.5 rounds up into
  // column 1, so block (0, 0) is left out although the line crosses it.
  AddRelative(129, 126, 126, 128);
  std::vector<std::vector<int>> lists = BuildLists();
  EXPECT_EQ(CellsOf(lists, 0), (Cells{{0, 0}, {1, 1}}));
  EXPECT_EQ(CellsOf(lists, 1), (Cells{{0, 0}, {0, 1}, {1, 1}}));
  EXPECT_EQ(CellsOf(lists, 2), (Cells{{1, 0}, {0, 1}}));
}

TEST_F(GridTest, ShallowLineSkipsTheBlockItOnlyCrossesInTheLastUnitOfARow) {
  // From (0, 0) to (1000, 199): the line reaches x = 640, column 5, at
  // y = 127.36, still in row 0; but row 0 is read only up to y = 127
  // (x = 638.2), so block (5, 0) is left out.
  AddRelative(0, 0, 1000, 199);
  std::vector<std::vector<int>> lists = BuildLists();
  EXPECT_EQ(CellsOf(lists, 0), (Cells{{0, 0}, {1, 0}, {2, 0}, {3, 0}, {4, 0}, {5, 1}, {6, 1}, {7, 1}}));
}

TEST_F(GridTest, LinedefInsideOneBlockIsListedOnce) {
  AddRelative(300, 300, 380, 340);
  AddRelative(301, 310, 301, 310);  // zero length
  std::vector<std::vector<int>> lists = BuildLists();
  EXPECT_EQ(CellsOf(lists, 0), (Cells{{2, 2}}));
  EXPECT_EQ(CellsOf(lists, 1), (Cells{{2, 2}}));
  EXPECT_EQ(lists[2 * 8 + 2], (std::vector<int>{0, 1}));
}

TEST_F(BlockmapTest, ThirtyTwoThousandBlocksAreBuilt) {
  AddLine(0, 0, 64, 0);
  UseLines();
  LevelBounds = Bounds{0, 25464, 0, 20344};  // 200 x 160 blocks
  std::vector<int> words = Build();
  ASSERT_EQ(size, 2 * (32000 + 6 + 3));
  EXPECT_EQ(words[2], 200);
  EXPECT_EQ(words[3], 160);
  EXPECT_EQ(words[4], 32006);
  EXPECT_EQ(words[5], 32004);
  EXPECT_EQ(words[4 + 31999], 32004);
  EXPECT_FALSE(tooLarge);
  EXPECT_EQ(StatusRow, 20);
}

// 252 x 127 = 32004 blocks, the smallest count above 32000 that a grid can
// have (32001 to 32003 need more than 513 blocks on a side).
TEST_F(BlockmapTest, MoreThanThirtyTwoThousandBlocksGiveTheEightByteLump) {
  AddLine(0, 0, 64, 0);
  UseLines();
  LevelBounds = Bounds{0, 32120, 0, 16120};
  Build();
  ASSERT_EQ(size, 8);
  EXPECT_EQ(LumpBytes(), std::vector<uint8_t>(8, 0));
  EXPECT_TRUE(tooLarge);
  EXPECT_EQ(StatusRow, 19);
  EXPECT_EQ(LogText(), "!! Blocksize=32004 too large !!  This level can't be played, press a key:\n");
}

TEST_F(BlockmapTest, BlockWithMoreThan32767LinedefsIsListedWhole) {
  for (int i = 0; i < 33000; i++) AddLine(10, 10, 20, 20);
  UseLines();
  std::vector<int> words = Build();
  ASSERT_EQ(words[2] * words[3], 1);
  ASSERT_EQ(size, 2 * (1 + 6 + 33000 + 2));
  std::vector<std::vector<int>> lists = ListsOf(words);
  ASSERT_EQ(lists[0].size(), 33000u);
  for (int i = 0; i < 33000; i++) ASSERT_EQ(lists[0][i], i);
}

// Two blocks side by side; `crowd` linedefs in block 0 and one in block 1,
// whose list then starts at word 2 + 6 + crowd + 2.
class OffsetLimitTest : public BlockmapTest {
 protected:
  void Fill(int crowd) {
    for (int i = 0; i < crowd; i++) AddLine(0, 0, 5, 5);
    AddLine(130, 0, 131, 0);
    UseLines();
    LevelBounds = Bounds{0, 130, 0, 0};
  }
};

TEST_F(OffsetLimitTest, ListStartingAtWord65535IsBuilt) {
  Fill(65525);
  std::vector<int> words = Build();
  ASSERT_EQ(size, 2 * (65535 + 3));
  EXPECT_EQ(words[2], 2);
  EXPECT_EQ(words[5] & 0xFFFF, 65535);
  EXPECT_EQ(words[65535], 0);
  EXPECT_EQ(words[65536] & 0xFFFF, 65525);
  EXPECT_EQ(words[65537], -1);
  EXPECT_FALSE(tooLarge);
  EXPECT_EQ(StatusRow, 20);
}

TEST_F(OffsetLimitTest, ListStartingPastWord65535TakesTheTooLargePath) {
  Fill(65526);
  Build();
  ASSERT_EQ(size, 8);
  EXPECT_EQ(LumpBytes(), std::vector<uint8_t>(8, 0));
  EXPECT_TRUE(tooLarge);
  EXPECT_EQ(StatusRow, 19);
  EXPECT_EQ(LogText(), "!! Blocksize=2 too large !!  This level can't be played, press a key:\n");
}

TEST_F(BlockmapTest, LinedefWithNeitherSideIsCutToTheGrid) {
  AddLine(0, 0, 300, 200);                     // bounds 0..300 x 0..200: 3 x 2 blocks
  AddLine(-500, 50, 1000, 50, false);          // runs off both ends of row 0
  AddLine(-3000, -3000, -2000, -2500, false);  // wholly outside
  AddLine(200, 100, 200, 5000, false);         // runs off the top
  UseLines();
  std::vector<int> words = Build();
  ASSERT_EQ(words[2], 3);
  ASSERT_EQ(words[3], 2);
  std::vector<std::vector<int>> lists = ListsOf(words);
  const std::vector<std::vector<int>> expected = {{0, 1}, {0, 1, 3}, {1}, {}, {0, 3}, {0}};
  EXPECT_EQ(lists, expected);
  EXPECT_FALSE(tooLarge);
}

TEST_F(BlockmapTest, SidedLinedefOutsideTheGridIsFatal) {
  AddLine(0, 50, 400, 50);
  UseLines();
  LevelBounds = Bounds{0, 300, 0, 200};  // 3 columns: column 3 is outside
  std::string path = ::testing::TempDir() + "blockmap_fatal_" + std::to_string(getpid()) + ".log";
  EXPECT_EXIT(
      {
        LogFile = std::fopen(path.c_str(), "w");
        bool refused;
        BuildBlockmap(&refused);
      },
      ::testing::ExitedWithCode(10), "");
  FILE* log = std::fopen(path.c_str(), "r");
  ASSERT_NE(log, nullptr);
  char text[128] = {};
  size_t got = std::fread(text, 1, sizeof text - 1, log);
  std::fclose(log);
  std::remove(path.c_str());
  EXPECT_EQ(std::string(text, got), "Error : ** block #3, map is too large?  **\n");
}

TEST_F(BlockmapTest, ScreenModeShowsTheStageLine) {
  AddLine(0, 0, 300, 200);
  UseLines();
  LogMode = false;
  ProgressFillChar = 178;
  ::testing::internal::CaptureStdout();
  Build();
  std::string screen = ::testing::internal::GetCapturedStdout();
  EXPECT_NE(screen.find("Making Map  ..."), std::string::npos);
  EXPECT_NE(screen.find("    6"), std::string::npos);
  EXPECT_NE(screen.find("\u2591"), std::string::npos);  // empty bar cells
  EXPECT_NE(screen.find("\u2593"), std::string::npos);  // filled to 100
  EXPECT_EQ(StatusRow, 20);
  EXPECT_EQ(LogText(), "");
}

// Runs the refusal in screen mode in a child, which reads from /dev/null
// so that no key is awaited and writes the screen to a file; the child
// passes only if the build gave the 8-byte lump, exit code -2 and left the
// status row alone. Returns what reached the screen.
std::string RefuseOnScreen() {
  std::string path = ::testing::TempDir() + "blockmap_screen_" + std::to_string(getpid()) + ".txt";
  EXPECT_EXIT(
      {
        LogMode = false;
        if (std::freopen("/dev/null", "r", stdin) == nullptr) std::exit(3);
        if (std::freopen(path.c_str(), "w", stdout) == nullptr) std::exit(3);
        bool refused = false;
        int32_t result = BuildBlockmap(&refused);
        std::fflush(stdout);
        std::exit(result == 8 && refused && StatusRow == 19 ? 0 : 1);
      },
      ::testing::ExitedWithCode(0), "");
  std::string text;
  FILE* screen = std::fopen(path.c_str(), "r");
  if (screen == nullptr) return text;
  int c;
  while ((c = std::fgetc(screen)) != EOF) text += static_cast<char>(c);
  std::fclose(screen);
  std::remove(path.c_str());
  return text;
}

TEST_F(BlockmapTest, ScreenModeRefusalShowsTheMessageOnly) {
  AddLine(0, 0, 64, 0);
  UseLines();
  LevelBounds = Bounds{0, 32120, 0, 16120};
  std::string text = RefuseOnScreen();
  EXPECT_NE(text.find("!! Blocksize=32004 too large !!  This level can't be played, press a key:"),
            std::string::npos);
  EXPECT_EQ(text.find("Making Map"), std::string::npos);
}

// Found only after the lists are made, the refusal blanks the stage line
// it had drawn, so that no stage line stays on the screen.
TEST_F(OffsetLimitTest, ScreenModeRefusalClearsTheStageLine) {
  Fill(65526);
  std::string text = RefuseOnScreen();
  size_t stage = text.find("Making Map  ...");
  size_t blank = text.find(std::string(80, ' '));
  size_t message = text.find("!! Blocksize=2 too large !!");
  ASSERT_NE(stage, std::string::npos);
  ASSERT_NE(blank, std::string::npos);
  ASSERT_NE(message, std::string::npos);
  EXPECT_LT(stage, blank);
  EXPECT_LT(blank, message);
}

// Whether the row walk puts a segment, in coordinates relative to the grid
// origin, into block (c, r). The walk reads the line only at heights from
// the bottom of the row (or the lower end point) up to the row's last unit
// 128r + 127 (or the upper end point), and rounds x to the nearest unit
// with halves going up, so column c is reached exactly when, over those
// heights, the line's x meets [128c - 1/2, 128c + 127 + 1/2). Decided here
// in exact integer arithmetic, with x scaled by the height difference and
// then doubled; no rows, columns or special cases of the walk are used.
bool WalkReaches(int64_t x1, int64_t y1, int64_t x2, int64_t y2, int64_t c, int64_t r) {
  if (y1 > y2) {
    std::swap(x1, x2);
    std::swap(y1, y2);
  }
  int64_t low = std::max(128 * r, y1), high = std::min(128 * r + 127, y2);
  if (low > high) return false;
  int64_t scale, least, most;  // the x range over [low, high], times scale
  if (y1 == y2) {
    scale = 1;
    least = std::min(x1, x2);
    most = std::max(x1, x2);
  } else {
    scale = y2 - y1;
    least = x1 * scale + (x2 - x1) * (low - y1);
    most = x1 * scale + (x2 - x1) * (high - y1);
    if (least > most) std::swap(least, most);
  }
  return 2 * most >= (256 * c - 1) * scale && 2 * least < (256 * c + 255) * scale;
}

// Random levels: short and long lines, lines near block corners and along
// block edges, and lines with neither side that run outside the grid. Each
// linedef must be listed in exactly the blocks the walk reaches, the lists
// must be ascending, and the checker must find the lump sound.
TEST_F(BlockmapTest, RandomLevelsListEveryLinedefWhereTheWalkReachesIt) {
  std::mt19937 random(20261208);
  auto pick = [&](int low, int high) { return std::uniform_int_distribution<int>(low, high)(random); };
  int checkedLines = 0;
  for (int level = 0; level < 300; level++) {
    const int spans[4] = {300, 1500, 6000, 19000};
    int span = spans[pick(0, 3)];
    int base = pick(-32768 + 7, 32767 - span);
    int origin = (base - 7) & ~7;
    // A point of a sided linedef: anywhere in the span, or near a block
    // corner of the grid that the anchor below fixes.
    auto coordinate = [&]() {
      if (pick(0, 1) == 0) return pick(base, base + span);
      int corner = origin + 128 * pick(0, span / 128) + pick(-2, 2);
      return std::min(std::max(corner, base), base + span);
    };
    AddLine(base, base, base + pick(0, 5), base + pick(0, 5));  // anchor: fixes the origin
    int count = pick(1, 40);
    for (int i = 0; i < count; i++) {
      int x1 = coordinate(), y1 = coordinate(), x2, y2;
      switch (pick(0, 4)) {
        case 0:
          x2 = x1;
          y2 = coordinate();
          break;  // vertical
        case 1:
          x2 = coordinate();
          y2 = y1;
          break;  // horizontal
        case 2:
          x2 = std::min(x1 + pick(0, 3), base + span);
          y2 = std::min(y1 + pick(0, 3), base + span);
          break;
        default:
          x2 = coordinate();
          y2 = coordinate();
          break;
      }
      if (pick(0, 5) == 0) {  // neither side: may run well outside the grid
        x1 = std::max(-32768, std::min(32767, x1 + pick(-2000, 2000)));
        y2 = std::max(-32768, std::min(32767, y2 + pick(-2000, 2000)));
        AddLine(x1, y1, x2, y2, false);
      } else {
        AddLine(x1, y1, x2, y2);
      }
    }
    UseLines();
    std::vector<int> words = Build();
    ASSERT_FALSE(tooLarge);
    int ox = words[0], oy = words[1], columns = words[2], rows = words[3];
    ASSERT_EQ(ox, origin);
    std::vector<std::vector<int>> lists = ListsOf(words);
    std::vector<std::vector<int>> blocksOfLine(lines.size());
    for (size_t b = 0; b < lists.size(); b++) {
      for (size_t e = 1; e < lists[b].size(); e++) ASSERT_LT(lists[b][e - 1], lists[b][e]) << "block " << b;
      for (int line : lists[b]) blocksOfLine[line].push_back(static_cast<int>(b));
    }
    for (size_t i = 0; i < lines.size(); i++) {
      const Vertex& a = vertexes[lines[i].StartVertex];
      const Vertex& z = vertexes[lines[i].EndVertex];
      std::vector<int> expected;
      for (int r = 0; r < rows; r++)
        for (int c = 0; c < columns; c++)
          if (WalkReaches(a.X - ox, a.Y - oy, z.X - ox, z.Y - oy, c, r)) expected.push_back(r * columns + c);
      ASSERT_EQ(blocksOfLine[i], expected) << "level " << level << ", linedef " << i << " (" << a.X << ","
                                           << a.Y << ")-(" << z.X << "," << z.Y << ")";
      checkedLines++;
    }
    std::vector<std::string> problems = BlockmapProblems(Ends(), LumpBytes());
    ASSERT_TRUE(problems.empty()) << "level " << level << ": " << problems[0];

    FreeBlock(Level.BlockmapLump);
    ResetLevel();
    ResetBlockmap();
    vertexes.clear();
    lines.clear();
  }
  EXPECT_GT(checkedLines, 3000);
}

}  // namespace
