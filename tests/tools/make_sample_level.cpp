// SPDX-License-Identifier: GPL-2.0-or-later
// Writes a small WAD for the command-line and terminal tests: one Doom-format
// level of two rooms side by side, the first with a square pillar, and a
// lump after the level.
//
//   make_sample_level OUTPUT [MARKER [IDENTIFICATION [SCALE]]]
//
// MARKER defaults to MAP01, IDENTIFICATION to PWAD (IWAD makes a file that
// must be refused). The level's bounds are X (-64,512) Y (-32,256), every
// coordinate multiplied by SCALE (1 by default; 60 gives a level too large
// for a blockmap); it has 11 linedefs, 10 vertexes, 12 sidedefs and 2
// sectors, and the file 12 lumps.
#include <cstdio>
#include <cstdlib>
#include <string>

#include "tests/support/wadbuilder.h"

int main(int argc, char** argv) {
  if (argc < 2 || argc > 5) {
    std::fprintf(stderr, "usage: make_sample_level OUTPUT [MARKER [IDENTIFICATION [SCALE]]]\n");
    return 2;
  }
  const std::string marker = argc >= 3 ? argv[2] : "MAP01";
  const std::string identification = argc >= 4 ? argv[3] : "PWAD";
  const int scale = argc >= 5 ? std::atoi(argv[4]) : 1;
  if (identification.size() != 4) {
    std::fprintf(stderr, "make_sample_level: the identification has four characters\n");
    return 2;
  }

  WadBuilder::Level level;
  level.vertexes = {{-64, -32}, {256, -32}, {512, -32}, {512, 256}, {256, 256},
                    {-64, 256}, {64, 64},   {128, 64},  {128, 128}, {64, 128}};
  for (auto& vertex : level.vertexes) {
    vertex.first *= scale;
    vertex.second *= scale;
  }
  // Walls run clockwise around each room so that their right side is inside;
  // the pillar's walls run the other way, facing out into the first room.
  level.lines = {
      {0, 5, 0, -1}, {5, 4, 1, -1}, {4, 1, 2, 3},   {1, 0, 4, -1},   // first room
      {4, 3, 5, -1}, {3, 2, 6, -1}, {2, 1, 7, -1},                   // second room
      {6, 7, 8, -1}, {7, 8, 9, -1}, {8, 9, 10, -1}, {9, 6, 11, -1},  // pillar
  };
  level.lines[2].flags = 4;  // two-sided
  level.sideSectors = {0, 0, 0, 1, 0, 1, 1, 1, 0, 0, 0, 0};
  level.sectorCount = 2;
  level.thingCount = 2;

  WadBuilder wad;
  wad.AddLevel(marker, level);
  wad.Add("DEHACKED", std::vector<uint8_t>{'#', ' ', 'n', 'o', 'n', 'e', '\n'});
  char ident[5];
  identification.copy(ident, 4);
  ident[4] = '\0';
  wad.Write(argv[1], ident);
  return 0;
}
