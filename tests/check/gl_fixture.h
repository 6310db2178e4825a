// SPDX-License-Identifier: GPL-2.0-or-later
// A square room and its GL nodes, written out by hand, for the tests of
// the checker's GL reading and checks: each test changes the level or the
// stream and looks for what the checker says.
#pragma once

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "check/level_check.h"
#include "check/map_level.h"
#include "check/partition_checks.h"
#include "tests/check/level_fixture.h"
#include "tests/support/gl_stream.h"

// One sector, x 0..128, y 0..128, its walls running clockwise; split by a
// partition line at x = 64 that runs north, which cuts the north and south
// walls at the stream's vertexes 4 (64,128) and 5 (64,0).
//
//   v1 (0,128) -1- v4 (64,128) -1- v2 (128,128)
//   |0             :                |2
//   v0 (0,0)   -3- v5 (64,0)   -3- v3 (128,0)
inline WadBuilder::Level GlSquareRoom() {
  WadBuilder::Level level;
  level.vertexes = {{0, 0}, {0, 128}, {128, 128}, {128, 0}};
  level.lines = {{0, 1, 0, -1}, {1, 2, 1, -1}, {2, 3, 2, -1}, {3, 0, 3, -1}};
  level.sideSectors = {0, 0, 0, 0};
  level.sectorCount = 1;
  return level;
}

// Subsector 0 is the west half (the partition's left, back child),
// subsector 1 the east half; segs 2 and 7 are the minisegs along the
// partition line, each the other's partner.
inline GlStream GlSquareRoomStream() {
  GlStream stream;
  stream.originalVertexes = 4;
  stream.vertexes = {{Fixed(64), Fixed(128)}, {Fixed(64), Fixed(0)}};
  stream.subsectors = {4, 4};
  stream.segs = {{0, kStreamNone, 0, 0}, {1, kStreamNone, 1, 0},   {4, 7, kStreamMiniseg, 0},
                 {5, kStreamNone, 3, 0}, {4, kStreamNone, 1, 0},   {2, kStreamNone, 2, 0},
                 {3, kStreamNone, 3, 0}, {5, 2, kStreamMiniseg, 0}};
  stream.nodes = {{Fixed(64),
                   Fixed(0),
                   Fixed(0),
                   Fixed(128),
                   {{128, 0, 64, 128}, {128, 0, 0, 64}},
                   {kStreamSubsector | 1, kStreamSubsector | 0}}};
  return stream;
}

class GlNodesTest : public ::testing::Test {
 public:
  // The level with the stream in SSECTORS and `nodes` in NODES, checked
  // with vortane-check's settings, BLOCKMAP left out.
  LevelReport Run(LevelCheckOptions options = SoundnessOptions()) {
    WadBuilder wad;
    wad.AddLevel("MAP01", level);
    std::vector<uint8_t> lump = EncodeGlStream(stream, format);
    if (patch) patch(lump);
    for (TestLump& entry : wad.lumps) {
      if (entry.name == "SSECTORS") entry.data = lump;
      if (entry.name == "NODES") entry.data = nodes;
      if (entry.name == "SEGS") entry.data = segs;
    }
    // The partition alone: the room has no BLOCKMAP to judge.
    WadImage image = Image(wad.Build());
    Findings findings;
    LevelCheckStats stats;
    MapLevel read;
    if (ReadLevel(image, FindLevel(image, "MAP01"), &read, &findings)) {
      DecodeLevel(&read, &findings);
      CheckPartition(image, read, options, &findings, &stats);
    }
    return FinishReport(findings, stats);
  }
  std::vector<std::string> Lines(LevelCheckOptions options = SoundnessOptions()) {
    return ReportLines("MAP01", Run(options));
  }

  WadBuilder::Level level = GlSquareRoom();
  GlStream stream = GlSquareRoomStream();
  std::string format = "XGLN";
  std::vector<uint8_t> nodes, segs;
  std::function<void(std::vector<uint8_t>&)> patch;  // applied to the encoded SSECTORS
};
