// SPDX-License-Identifier: GPL-2.0-or-later
// A sound hand-built level with its nodes and blockmap, as this program
// writes it, for the tests of the level checker: each test damages a copy
// and looks for the problem.
#pragma once

#include <gtest/gtest.h>

#include <functional>
#include <stdexcept>
#include <string>
#include <vector>

#include "check/level_check.h"
#include "tests/support/check_report.h"
#include "tests/support/exact_check.h"
#include "tests/support/wadbuilder.h"

// Two rooms side by side, x 0..64 (sector 0) and 64..128 (sector 1), y 0..64,
// joined by a two-sided linedef 6 at x = 64 that runs north.
//
//   v1 (0,64) ---1--- v2 (64,64) ---2--- v3 (128,64)
//   |0                |6                 |3
//   v0 (0,0)  ---5--- v5 (64,0)  ---4--- v4 (128,0)
inline WadBuilder::Level TwoRooms() {
  WadBuilder::Level level;
  level.vertexes = {{0, 0}, {0, 64}, {64, 64}, {128, 64}, {128, 0}, {64, 0}};
  level.lines = {{0, 1, 0, -1}, {1, 2, 1, -1}, {2, 3, 2, -1}, {3, 4, 3, -1},
                 {4, 5, 4, -1}, {5, 0, 5, -1}, {5, 2, 6, 7}};
  level.sideSectors = {0, 0, 1, 1, 1, 0, 1, 0};
  level.sectorCount = 2;
  level.thingCount = 2;
  return level;
}

enum : int { kNorth = 16384, kEast = 0, kSouth = 49151, kWest = 32768 };

struct SegSpec {
  int v1, v2, angle, line, direction, offset;
};

inline std::vector<uint8_t> SegBytes(const std::vector<SegSpec>& segs) {
  std::vector<uint8_t> out;
  for (const SegSpec& s : segs) {
    std::vector<uint8_t> record = Int16Bytes({s.v1, s.v2, s.angle, s.line, s.direction, s.offset});
    out.insert(out.end(), record.begin(), record.end());
  }
  return out;
}

inline std::vector<uint8_t> Join(std::vector<std::vector<uint8_t>> parts) {
  std::vector<uint8_t> out;
  for (const auto& part : parts) out.insert(out.end(), part.begin(), part.end());
  return out;
}

// The WAD as this program writes it: every entry, empty ones and the marker
// too, positioned where the data before it ends.
inline std::vector<uint8_t> Packed(const WadBuilder& wad) {
  std::vector<uint8_t> bytes = wad.Build();
  int32_t directory = bytes[8] | (bytes[9] << 8) | (bytes[10] << 16) | (bytes[11] << 24);
  int32_t position = 12;
  for (size_t i = 0; i < wad.lumps.size(); i++) {
    size_t at = static_cast<size_t>(directory) + 16 * i;
    for (int k = 0; k < 4; k++) bytes[at + k] = static_cast<uint8_t>(position >> (8 * k));
    position += static_cast<int32_t>(wad.lumps[i].data.size());
  }
  return bytes;
}

inline WadImage Image(const std::vector<uint8_t>& bytes) {
  WadImage wad;
  std::string error = ParseWad(bytes, &wad);
  EXPECT_EQ(error, "");
  return wad;
}

inline bool Has(const std::vector<std::string>& problems, const std::string& text) {
  for (const std::string& p : problems)
    if (p.find(text) != std::string::npos) return true;
  return false;
}

inline std::string All(const std::vector<std::string>& problems) {
  std::string out;
  for (const std::string& p : problems) out += p + "\n";
  return out;
}

class LevelCheckTest : public ::testing::Test {
 public:
  void SetUp() override {
    input.Add("PLAYPAL", std::vector<uint8_t>(48, 7));
    input.AddLevel("MAP01", TwoRooms());
    input.Add("ENDOOM", std::vector<uint8_t>{1, 2, 3, 4, 5});
    input.Add("EMPTY");
    output = input;
    // Subsector 0, the back (west) room; subsector 1, the front (east) one.
    segs = {{0, 1, kNorth, 0, 0, 0}, {1, 2, kEast, 1, 0, 0}, {5, 0, kWest, 5, 0, 0},
            {2, 5, kSouth, 6, 1, 0}, {2, 3, kEast, 2, 0, 0}, {3, 4, kSouth, 3, 0, 0},
            {4, 5, kWest, 4, 0, 0},  {5, 2, kNorth, 6, 0, 0}};
    subsectors = Int16Bytes({4, 0, 4, 4});
    // x, y, dx, dy; right box top, bottom, left, right; left box; children.
    nodes = Int16Bytes({64, 0, 0, 64, 64, 0, 64, 128, 64, 0, 0, 64, 0x8001, 0x8000});
    // Origin (-8,-8), two columns, one row. Block 0: linedefs 0 1 2 4 5 6;
    // block 1: 2 3 4.
    blockmap = Int16Bytes({-8, -8, 2, 1, 8, 16, 0, -1, 0, 0, 1, 2, 4, 5, 6, -1, 0, 2, 3, 4, -1});
  }

  TestLump& Out(const std::string& name) {
    for (TestLump& lump : output.lumps)
      if (lump.name == name) return lump;
    throw std::runtime_error("no lump " + name);
  }

  std::vector<std::string> Check(const BuiltLevelOptions& options = BuiltLevelOptions()) {
    Out("SEGS").data = SegBytes(segs);
    Out("SSECTORS").data = subsectors;
    Out("NODES").data = nodes;
    Out("BLOCKMAP").data = blockmap;
    WadImage in = Image(Packed(input));
    std::vector<uint8_t> bytes = Packed(output);
    if (patch) patch(bytes);
    WadImage out = Image(bytes);
    LevelReport report = CheckRebuiltLevel(in, out, "MAP01", options);
    stats = report.stats;
    return ReportLines("MAP01", report);
  }

  // The output level alone, as vortane-check sees it with these options.
  LevelReport Stored(const LevelCheckOptions& options) {
    Check();
    return CheckLevelPartition(Image(StoredBytes()), "MAP01", options);
  }
  // The same held to this program's own rules as well.
  LevelReport Stored(const BuiltLevelOptions& options) {
    Check(options);
    return CheckBuiltPartition(Image(StoredBytes()), "MAP01", options);
  }

  std::vector<uint8_t> StoredBytes() const {
    std::vector<uint8_t> bytes = Packed(output);
    if (patch) patch(bytes);
    return bytes;
  }

  // Back to the sound level, for tables of cases in one test.
  void Reset() {
    input = WadBuilder();
    patch = nullptr;
    SetUp();
  }

  WadBuilder input, output;
  std::vector<SegSpec> segs;
  std::vector<uint8_t> subsectors, nodes, blockmap;
  std::function<void(std::vector<uint8_t>&)> patch;  // applied to the output file
  LevelCheckStats stats;
};
