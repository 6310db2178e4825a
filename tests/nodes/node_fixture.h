// SPDX-License-Identifier: GPL-2.0-or-later
// Shared set-up of the node builder tests: a small level put straight into
// Level, seg lists built by hand, and a check for fatal endings.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "console/console.h"
#include "console/services.h"
#include "driver/settings.h"
#include "format/wad_format.h"
#include "nodes/choose.h"
#include "nodes/partition.h"
#include "nodes/seg.h"
#include "nodes/tree.h"
#include "wad/level.h"

struct TestLine {
  int start, end, right, left;
};

// Releases a tree that MakeNode built.
inline void FreeTree(BuildNode* node) {
  if (node == nullptr) return;
  FreeTree(node->rightNode);
  FreeTree(node->leftNode);
  FreeBlock(node);
}

// Fills Level with the vertexes, linedefs and sidedefs (one sector number
// per sidedef), allocated the way the loaders allocate them.
inline void PutLevel(const std::vector<std::pair<int, int>>& vertexes, const std::vector<TestLine>& lines,
                     const std::vector<int>& sideSectors) {
  ReleaseLevel();
  Level.VertexCount = static_cast<int32_t>(vertexes.size());
  Level.VertexCapacity = Level.VertexCount > 0 ? Level.VertexCount : 1;
  Level.Vertexes = static_cast<Vertex*>(AllocOrDie(Level.VertexCapacity * 4));
  for (size_t i = 0; i < vertexes.size(); i++) {
    Level.Vertexes[i].X = static_cast<int16_t>(vertexes[i].first);
    Level.Vertexes[i].Y = static_cast<int16_t>(vertexes[i].second);
  }
  Level.LineDefCount = static_cast<int32_t>(lines.size());
  Level.LineDefs =
      static_cast<LineDef*>(AllocOrDie(static_cast<int32_t>((lines.size() + 1) * sizeof(LineDef))));
  for (size_t i = 0; i < lines.size(); i++) {
    LineDef& line = Level.LineDefs[i];
    std::memset(&line, 0, sizeof line);
    line.StartVertex = static_cast<int16_t>(lines[i].start);
    line.EndVertex = static_cast<int16_t>(lines[i].end);
    line.RightSideDef = static_cast<int16_t>(lines[i].right);
    line.LeftSideDef = static_cast<int16_t>(lines[i].left);
  }
  Level.SideDefsSize = static_cast<int32_t>(sideSectors.size()) * SideDefRecordSize;
  Level.SideDefs = static_cast<uint8_t*>(AllocOrDie(Level.SideDefsSize + 30));
  std::memset(Level.SideDefs, 0, Level.SideDefsSize + 30);
  for (size_t i = 0; i < sideSectors.size(); i++) {
    WriteInt16(Level.SideDefs + i * SideDefRecordSize + SideDefSectorOffset, sideSectors[i]);
  }
  Level.SegCapacity = 2000;
  Level.Segs =
      static_cast<SegRecord*>(AllocOrDie(Level.SegCapacity * static_cast<int32_t>(sizeof(SegRecord))));
  Level.SubsectorCapacity = 2000;
  Level.Subsectors = static_cast<SubsectorRecord*>(
      AllocOrDie(Level.SubsectorCapacity * static_cast<int32_t>(sizeof(SubsectorRecord))));
}

// The screen text without its escape sequences.
inline std::string PlainText(const std::string& screen) {
  std::string text;
  for (size_t i = 0; i < screen.size(); i++) {
    if (screen[i] == '\x1b') {
      while (i < screen.size() && !std::isalpha(static_cast<unsigned char>(screen[i]))) i++;
    } else {
      text += screen[i];
    }
  }
  return text;
}

inline BuildSeg SegBetween(int32_t x1, int32_t y1, int32_t x2, int32_t y2) {
  BuildSeg seg;
  std::memset(&seg, 0, sizeof seg);
  seg.x1 = x1;
  seg.y1 = y1;
  seg.x2 = x2;
  seg.y2 = y2;
  seg.deltaX = x1 - x2;
  seg.deltaY = y1 - y2;
  return seg;
}

inline PartitionLine LineBetween(int32_t x1, int32_t y1, int32_t x2, int32_t y2) {
  PartitionLine line = {x1, y1, x2, y2, x1 - x2, y1 - y2};
  return line;
}

// A list allocated the way the builder allocates it (so it can be consumed).
inline SegList ListOf(const std::vector<BuildSeg>& segs) {
  SegList list = {nullptr, static_cast<int32_t>(segs.size())};
  list.segs = static_cast<BuildSeg*>(AllocOrDie(static_cast<int32_t>(segs.size() + 1) * sizeof(BuildSeg)));
  for (size_t i = 0; i < segs.size(); i++) list.segs[i] = segs[i];
  return list;
}

// The partition seg ChoosePartition picks from a copy of the segs.
inline int32_t Choose(const std::vector<BuildSeg>& segs) {
  SegList list = ListOf(segs);
  int32_t choice = ChoosePartition(list);
  ReleaseSegList(&list);
  return choice;
}

class NodesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ResetLevel();
    ResetSettings();
    ResetConsole();
    ResetTree();
    LogMode = true;  // nothing drawn unless a test asks for the screen
    StatusRow = 17;
  }
  void TearDown() override {
    ReleaseLevel();
    ResetSettings();
    ResetConsole();
    ResetTree();
  }
};

// The run ends with exit code 10 and the framed message; the dying child
// logs to its standard error so that the message can be matched.
#define EXPECT_NODES_FATAL(statement, pattern) \
  EXPECT_EXIT(                                 \
      {                                        \
        LogMode = true;                        \
        LogFile = stderr;                      \
        statement;                             \
      },                                       \
      ::testing::ExitedWithCode(10), pattern)
