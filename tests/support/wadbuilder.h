// SPDX-License-Identifier: GPL-2.0-or-later
// Builds small WAD files for tests: lumps in directory order, written as a
// PWAD (or any identification) with the directory at the end.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct TestLump {
  std::string name;
  std::vector<uint8_t> data;
};

class WadBuilder {
 public:
  WadBuilder& Add(const std::string& name, std::vector<uint8_t> data = {});
  // Adds a marker and the ten standard level lumps (THINGS ... BLOCKMAP).
  // The SEGS, SSECTORS and NODES lumps are given `oldSize` bytes each of zeros.
  struct Level {
    std::vector<std::pair<int, int>> vertexes;
    // start, end, right sidedef, left sidedef (-1 for none)
    struct Line {
      int start, end, right, left;
      int flags = 0, special = 0, tag = 0;
    };
    std::vector<Line> lines;
    std::vector<int> sideSectors;  // sector of each sidedef
    int sectorCount = 1;
    int thingCount = 1;
    bool hexen = false;  // 16-byte linedefs and a BEHAVIOR lump after BLOCKMAP
  };
  WadBuilder& AddLevel(const std::string& marker, const Level& level);

  std::vector<uint8_t> Build(const char identification[5] = "PWAD") const;
  void Write(const std::string& path, const char identification[5] = "PWAD") const;

  std::vector<TestLump> lumps;
};

std::vector<uint8_t> Int16Bytes(std::initializer_list<int> values);

// Reads a WAD file back: its lumps in directory order (tests of the output).
std::vector<TestLump> ReadWadLumps(const std::string& path, std::string* identification = nullptr);
std::vector<uint8_t> ReadFileBytes(const std::string& path);
