// SPDX-License-Identifier: GPL-2.0-or-later
// The BLOCKMAP checker used by the real-level tests: sound lumps pass,
// every kind of damage is named.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "tests/support/check_report.h"

namespace {

void PutWord(std::vector<uint8_t>* lump, int value) {
  lump->push_back(static_cast<uint8_t>(value));
  lump->push_back(static_cast<uint8_t>(value >> 8));
}

// A lump in the builder's layout, made by hand from the lists.
std::vector<uint8_t> MakeLump(int originX, int originY, int columns, int rows,
                              const std::vector<std::vector<int>>& lists) {
  int blocks = columns * rows;
  std::vector<uint8_t> lump;
  for (int v : {originX, originY, columns, rows}) PutWord(&lump, v);
  int p = blocks + 6;
  for (const std::vector<int>& list : lists) {
    PutWord(&lump, list.empty() ? blocks + 4 : p);
    if (!list.empty()) p += static_cast<int>(list.size()) + 2;
  }
  PutWord(&lump, 0);
  PutWord(&lump, 0xFFFF);
  for (const std::vector<int>& list : lists) {
    if (list.empty()) continue;
    PutWord(&lump, 0);
    for (int line : list) PutWord(&lump, line);
    PutWord(&lump, 0xFFFF);
  }
  return lump;
}

void SetWord(std::vector<uint8_t>* lump, size_t index, int value) {
  (*lump)[2 * index] = static_cast<uint8_t>(value);
  (*lump)[2 * index + 1] = static_cast<uint8_t>(value >> 8);
}

// The triangle (0,0), (300,200), (300,0) over 3 x 2 blocks from (-8, -8).
const std::vector<LineEnds> Triangle = {{0, 0, 300, 200}, {300, 200, 300, 0}, {300, 0, 0, 0}};
const std::vector<std::vector<int>> TriangleLists = {{0, 2}, {0, 2}, {1, 2}, {}, {0}, {0, 1}};

std::string Joined(const std::vector<std::string>& problems) {
  std::string text;
  for (const std::string& p : problems) text += p + "\n";
  return text;
}

TEST(BlockmapCheck, SoundLumpsPass) {
  std::vector<uint8_t> lump = MakeLump(-8, -8, 3, 2, TriangleLists);
  ASSERT_EQ(lump.size(), 62u);
  EXPECT_EQ(Joined(BlockmapProblems(Triangle, lump)), "");
  EXPECT_EQ(Joined(BlockmapProblems(Triangle, lump, false)), "");

  // What the builder leaves out along block edges stays within the margin:
  // the sliver a shallow line crosses in the last unit of a row, and the
  // half unit that rounding moves a crossing.
  std::vector<LineEnds> edges = {{-8, -8, 992, 191}, {121, 118, 118, 120}};
  std::vector<std::vector<int>> lists(8 * 2);
  for (int c = 0; c <= 4; c++) lists[c].push_back(0);
  for (int c = 5; c <= 7; c++) lists[8 + c].push_back(0);
  lists[1].push_back(1);  // x = 119.5 at y = 119 is taken as column 1
  lists[8].push_back(1);
  std::sort(lists[1].begin(), lists[1].end());
  EXPECT_EQ(Joined(BlockmapProblems(edges, MakeLump(-8, -8, 8, 2, lists))), "");
}

TEST(BlockmapCheck, CoverageFaultsAreNamed) {
  std::vector<std::vector<int>> missing = TriangleLists;
  missing[2] = {1};  // linedef 2 runs through block 2
  std::string text = Joined(BlockmapProblems(Triangle, MakeLump(-8, -8, 3, 2, missing)));
  EXPECT_NE(text.find("linedef 2 (300,0)-(0,0) passes through block 2 (column 2, row 0) but is not listed"),
            std::string::npos)
      << text;

  std::vector<std::vector<int>> extra = TriangleLists;
  extra[3] = {1};  // linedef 1 stays in column 2
  text = Joined(BlockmapProblems(Triangle, MakeLump(-8, -8, 3, 2, extra)));
  EXPECT_NE(
      text.find(
          "linedef 1 (300,200)-(300,0) is listed in block 3 (column 0, row 1) but does not come near it"),
      std::string::npos)
      << text;

  // Two units inside a block is beyond the margin: a vertical line at x = 118
  // (relative 126) belongs to column 0, and column 1 is two units away.
  std::vector<LineEnds> vertical = {{118, 10, 118, 20}};
  text = Joined(BlockmapProblems(vertical, MakeLump(-8, -8, 2, 1, {{}, {0}})));
  EXPECT_NE(text.find("passes through block 0"), std::string::npos) << text;
  EXPECT_NE(text.find("is listed in block 1"), std::string::npos) << text;

  // One unit away is within it.
  std::vector<LineEnds> near = {{119, 10, 119, 20}};
  EXPECT_EQ(Joined(BlockmapProblems(near, MakeLump(-8, -8, 2, 1, {{0}, {0}}))), "");
}

struct Damage {
  const char* name;
  std::vector<uint8_t> lump;
  const char* expected;
};

TEST(BlockmapCheck, FormatFaultsAreNamed) {
  std::vector<uint8_t> good = MakeLump(-8, -8, 3, 2, TriangleLists);
  std::vector<Damage> cases;
  cases.push_back(
      {"the too-large placeholder", std::vector<uint8_t>(8, 0), "header gives 0 columns and 0 rows"});
  cases.push_back(
      {"no header", std::vector<uint8_t>(good.begin(), good.begin() + 7), "shorter than its 8-byte header"});
  cases.push_back({"odd size", good, "lump size 63 is odd"});
  cases.back().lump.push_back(0);
  cases.push_back({"no room for offsets", std::vector<uint8_t>(good.begin(), good.begin() + 16),
                   "too short for the offsets of 6 blocks"});
  cases.push_back({"cut short", std::vector<uint8_t>(good.begin(), good.end() - 2),
                   "block 5: list at word 27 has no 0xFFFF terminator"});
  cases.push_back({"offset past the end", good, "block 1: offset 31 lies past the end"});
  SetWord(&cases.back().lump, 5, 31);
  cases.push_back({"no leading zero", good, "block 0: list at word 12 does not start with 0"});
  SetWord(&cases.back().lump, 12, 1);
  cases.push_back({"descending", good, "block 2: linedef 1 follows 2, list not strictly ascending"});
  SetWord(&cases.back().lump, 21, 2);
  SetWord(&cases.back().lump, 22, 1);
  cases.push_back({"repeated", good, "block 0: linedef 2 follows 2"});
  SetWord(&cases.back().lump, 13, 2);
  cases.push_back({"unknown linedef", good, "block 4: linedef 7 does not exist (3 linedefs)"});
  SetWord(&cases.back().lump, 25, 7);
  cases.push_back({"no shared empty list", good, "no shared empty list (0, 0xFFFF) at word 10"});
  SetWord(&cases.back().lump, 11, 0x7FFF);
  cases.push_back({"trailing word", good, "lists end at word 31 but the lump has 32 words"});
  PutWord(&cases.back().lump, 0);
  for (const Damage& d : cases) {
    std::string text = Joined(BlockmapProblems(Triangle, d.lump));
    EXPECT_NE(text.find(d.expected), std::string::npos) << d.name << ":\n" << text;
  }
}

TEST(BlockmapCheck, LayoutFaultsOnlyInStrictMode) {
  // Block 1 shares block 0's list: sound as a blockmap, not this layout.
  std::vector<uint8_t> shared = MakeLump(-8, -8, 3, 2, TriangleLists);
  SetWord(&shared, 5, 12);
  std::string text = Joined(BlockmapProblems(Triangle, shared));
  EXPECT_NE(text.find("block 1: list at word 12, expected at 16"), std::string::npos) << text;
  EXPECT_EQ(Joined(BlockmapProblems(Triangle, shared, false)).find("block 1: list at word 12, expected"),
            std::string::npos);

  // An empty block naming an empty list of its own.
  std::vector<uint8_t> own = MakeLump(-8, -8, 1, 1, {{}});
  PutWord(&own, 0);
  PutWord(&own, 0xFFFF);
  SetWord(&own, 4, 7);
  text = Joined(BlockmapProblems({}, own));
  EXPECT_NE(text.find("block 0: empty list at word 7, not the shared one at 5"), std::string::npos) << text;
  EXPECT_EQ(Joined(BlockmapProblems({}, own, false)), "");
}

// The layout rules read the lump again: what cannot be read is told once,
// by the check every builder's lump must pass.
TEST(BlockmapCheck, LayoutRulesDoNotRepeatWhatCannotBeRead) {
  struct Case {
    const char* name;
    size_t word;
    int value;
    const char* fault;
  };
  const Case cases[] = {
      {"offset past the end", 5, 31, "block 1: offset 31 lies past the end"},
      {"no leading zero", 12, 1, "block 0: list at word 12 does not start with 0"},
      {"unknown linedef", 25, 7, "block 4: linedef 7 does not exist"},
  };
  for (const Case& c : cases) {
    std::vector<uint8_t> lump = MakeLump(-8, -8, 3, 2, TriangleLists);
    SetWord(&lump, c.word, c.value);
    for (bool strict : {false, true}) {
      std::vector<std::string> problems = BlockmapProblems(Triangle, lump, strict);
      EXPECT_EQ(std::count_if(problems.begin(), problems.end(),
                              [&](const std::string& p) { return p.find(c.fault) != std::string::npos; }),
                1)
          << c.name << (strict ? " (strict)" : "") << ":\n"
          << Joined(problems);
    }
  }
}

// Linedefs the game cannot meet need not be listed by any builder; this
// program lists them all the same.
TEST(BlockmapCheck, UnmetLinedefsListedOnlyByThisLayout) {
  std::vector<LineEnds> lines = Triangle;
  lines[1].required = false;
  std::vector<std::vector<int>> lists = TriangleLists;
  for (std::vector<int>& list : lists) list.erase(std::remove(list.begin(), list.end(), 1), list.end());
  std::vector<uint8_t> lump = MakeLump(-8, -8, 3, 2, lists);
  EXPECT_EQ(Joined(BlockmapProblems(lines, lump, false)), "");
  std::string text = Joined(BlockmapProblems(lines, lump));
  EXPECT_NE(text.find("linedef 1 (300,200)-(300,0) passes through block 2"), std::string::npos) << text;
}

TEST(BlockmapCheck, LongReportsAreCut) {
  // 300 linedefs that each cross block 0, none listed.
  std::vector<LineEnds> lines(300, LineEnds{10, 10, 20, 20});
  std::vector<std::string> problems = BlockmapProblems(lines, MakeLump(-8, -8, 1, 1, {{}}));
  ASSERT_EQ(problems.size(), 26u);
  EXPECT_EQ(
      problems.back(),
      "MAP01 BLOCKMAP -: 275 more like \"linedef 0 (10,10)-(20,20) passes through block 0 (column 0, row 0) "
      "but is not listed there\" are not listed");
}

}  // namespace
