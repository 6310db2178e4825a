// SPDX-License-Identifier: GPL-2.0-or-later
// A Doom-format level of a WAD put into Level for the node builder tests,
// whole or as copies of itself side by side, for a level larger than any
// that ships.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "check/wad_image.h"
#include "format/wad_format.h"
#include "tests/nodes/node_fixture.h"

const char* const FreedoomPath = "/usr/share/games/doom/freedoom2.wad";

// The copies stand in a grid of columns x rows, a gap of 64 units between
// them; they must fit the 16-bit coordinates.
inline void PutWadLevel(const WadImage& wad, const std::string& name, int columns = 1, int rows = 1) {
  int marker = FindEntry(wad, name);
  ASSERT_GE(marker, 0) << name;
  std::vector<uint8_t> lines = EntryBytes(wad, marker + 2), sides = EntryBytes(wad, marker + 3),
                       points = EntryBytes(wad, marker + 4);
  std::vector<std::pair<int, int>> vertexes;
  int minX = 32767, maxX = -32768, minY = 32767, maxY = -32768;
  for (size_t at = 0; at + VertexRecordSize <= points.size(); at += VertexRecordSize) {
    int x = ReadInt16(&points[at]), y = ReadInt16(&points[at + 2]);
    vertexes.push_back({x, y});
    minX = std::min(minX, x), maxX = std::max(maxX, x), minY = std::min(minY, y), maxY = std::max(maxY, y);
  }
  std::vector<TestLine> lineDefs;
  for (size_t at = 0; at + DoomLineDefSize <= lines.size(); at += DoomLineDefSize) {
    lineDefs.push_back({ReadUint16(&lines[at]), ReadUint16(&lines[at + 2]), ReadInt16(&lines[at + 10]),
                        ReadInt16(&lines[at + 12])});
  }
  std::vector<int> sectors;
  for (size_t at = 0; at + SideDefRecordSize <= sides.size(); at += SideDefRecordSize) {
    sectors.push_back(ReadInt16(&sides[at + SideDefSectorOffset]));
  }
  int width = maxX - minX + 64, height = maxY - minY + 64;
  ASSERT_LE(minX + columns * width, 32767) << name << " in " << columns << " columns";
  ASSERT_LE(minY + rows * height, 32767) << name << " in " << rows << " rows";
  std::vector<std::pair<int, int>> allVertexes;
  std::vector<TestLine> allLines;
  std::vector<int> allSectors;
  int sectorCount = 0;
  for (int sector : sectors) sectorCount = std::max(sectorCount, sector + 1);
  for (int copy = 0; copy < columns * rows; copy++) {
    int dx = copy % columns * width, dy = copy / columns * height;
    int firstVertex = static_cast<int>(allVertexes.size()), firstSide = static_cast<int>(allSectors.size());
    for (const auto& vertex : vertexes) allVertexes.push_back({vertex.first + dx, vertex.second + dy});
    for (TestLine line : lineDefs) {
      line.start += firstVertex;
      line.end += firstVertex;
      if (line.right >= 0) line.right += firstSide;
      if (line.left >= 0) line.left += firstSide;
      allLines.push_back(line);
    }
    for (int sector : sectors) allSectors.push_back(sector + copy * sectorCount);
  }
  PutLevel(allVertexes, allLines, allSectors);
}
