// SPDX-License-Identifier: GPL-2.0-or-later
// Writes the seed corpora of the fuzz targets into two folders, made at fuzz
// time so that no binary corpus is kept in the repository:
//
//   fuzz_make_seeds RUN_FOLDER LEVEL_FOLDER [IWAD [COUNT]]
//
// Seeds are a few small levels made here (two rooms with a pillar, a single
// wall, a Hexen room, a level spanning the whole coordinate range) and the
// COUNT (default 3) smallest levels of IWAD, each renamed MAP01. RUN_FOLDER
// gets whole PWADs, LEVEL_FOLDER the same levels in the format of
// fuzz/level_input.h.
//
//   fuzz_make_seeds --udmf UDMF_FOLDER
//
// writes the seeds of fuzz_udmf instead: the small levels as TEXTMAP text,
// one of them with fractional coordinates, and a map that uses every form
// the reader knows (comments, cases, number forms, unknown blocks).
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "check/level_check.h"
#include "fuzz/level_input.h"
#include "tests/support/wadbuilder.h"

namespace {

bool WriteFile(const std::string& path, const std::vector<uint8_t>& bytes) {
  FILE* file = std::fopen(path.c_str(), "wb");
  if (file == nullptr) return false;
  bool ok = bytes.empty() || std::fwrite(bytes.data(), bytes.size(), 1, file) == 1;
  return std::fclose(file) == 0 && ok;
}

LevelInput FromLevel(const WadBuilder::Level& level, uint8_t options) {
  WadBuilder wad;
  wad.AddLevel("MAP01", level);
  LevelInput input;
  input.options = options;
  input.hexen = level.hexen;
  input.lineDefs = wad.lumps[2].data;
  input.sideDefs = wad.lumps[3].data;
  input.vertexes = wad.lumps[4].data;
  input.sectors = wad.lumps[8].data;
  return input;
}

WadBuilder::Level TwoRooms() {
  WadBuilder::Level level;
  level.vertexes = {{-64, -32}, {256, -32}, {512, -32}, {512, 256}, {256, 256},
                    {-64, 256}, {64, 64},   {128, 64},  {128, 128}, {64, 128}};
  level.lines = {{0, 5, 0, -1}, {5, 4, 1, -1}, {4, 1, 2, 3},  {1, 0, 4, -1},  {4, 3, 5, -1}, {3, 2, 6, -1},
                 {2, 1, 7, -1}, {6, 7, 8, -1}, {7, 8, 9, -1}, {8, 9, 10, -1}, {9, 6, 11, -1}};
  level.sideSectors = {0, 0, 0, 1, 0, 1, 1, 1, 0, 0, 0, 0};
  level.sectorCount = 2;
  return level;
}

WadBuilder::Level SingleWall() {
  WadBuilder::Level level;
  level.vertexes = {{0, 0}, {64, 0}};
  level.lines = {{0, 1, 0, -1}};
  level.sideSectors = {0};
  return level;
}

WadBuilder::Level WideSpan() {
  WadBuilder::Level level;
  level.vertexes = {{-32768, -32768}, {-32768, 32767}, {32767, 32767}, {32767, -32768}, {0, 0}, {100, 100}};
  level.lines = {{0, 1, 0, -1}, {1, 2, 1, -1}, {2, 3, 2, -1}, {3, 0, 3, -1}, {4, 5, 4, 5}};
  level.sideSectors = {0, 0, 0, 0, 1, 0};
  level.sectorCount = 2;
  return level;
}

// A level's TEXTMAP, its coordinates moved by a quarter unit when asked.
std::string TextMapOf(const WadBuilder::Level& level, bool quarter) {
  std::string out = "namespace = \"zdoom\";\n";
  for (const auto& v : level.vertexes) {
    const std::string quarterText = quarter ? ".25" : "";
    out += "vertex { x = " + std::to_string(v.first) + quarterText + "; y = " + std::to_string(v.second) +
           quarterText + "; }\n";
  }
  for (const WadBuilder::Level::Line& line : level.lines) {
    out += "linedef { v1 = " + std::to_string(line.start) + "; v2 = " + std::to_string(line.end) +
           "; sidefront = " + std::to_string(line.right) + ";";
    if (line.left >= 0) out += " sideback = " + std::to_string(line.left) + "; twosided = true;";
    out += " }\n";
  }
  for (int sector : level.sideSectors) out += "sidedef { sector = " + std::to_string(sector) + "; }\n";
  for (int k = 0; k < level.sectorCount; k++) out += "sector { heightfloor = 0; heightceiling = 128; }\n";
  for (int k = 0; k < level.thingCount; k++) out += "thing { x = 0.0; y = 0.0; type = 1; }\n";
  return out;
}

const char* const EveryForm = R"(// Every form of the reader in one map.
NameSpace = "Hexen"; /* a block
comment */ title = "a \" \\ string";
VERTEX { X = 0x10; Y = -010; } vertex{x=+.5;y=5.;}
vertex { x = 6.4e1; y = -3225E-2; } vertex { x = 32767.99999; y = -32768; }
unknown { a = 1; b = 2.5; c = "s"; d = true; e = word; }
linedef { v1 = 0; v2 = 1; sidefront = 0; special = 0x50; arg0 = 2; id = 5; blocking = TRUE; }
linedef { v1 = 2; v2 = 3; sidefront = 1; sideback = 0; twosided = false; }
sidedef { sector = 0; texturemiddle = "-"; } sidedef { sector = 00; }
sector { heightfloor = -16; heightceiling = 96; special = 8; id = 3; }
thing { type = 1; }
)";

bool WriteUdmfSeeds(const std::string& folder) {
  const std::pair<const char*, std::string> seeds[] = {
      {"two-rooms", TextMapOf(TwoRooms(), false)},
      {"two-rooms-quarter", TextMapOf(TwoRooms(), true)},
      {"single-wall", TextMapOf(SingleWall(), false)},
      {"wide-span", TextMapOf(WideSpan(), false)},
      {"every-form", EveryForm},
  };
  for (const auto& seed : seeds) {
    if (!WriteFile(folder + "/" + seed.first + ".txt",
                   std::vector<uint8_t>(seed.second.begin(), seed.second.end()))) {
      std::fprintf(stderr, "fuzz_make_seeds: cannot write the seed %s\n", seed.first);
      return false;
    }
  }
  std::printf("%zu seeds\n", sizeof seeds / sizeof seeds[0]);
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 3 && std::string(argv[1]) == "--udmf") return WriteUdmfSeeds(argv[2]) ? 0 : 1;
  if (argc < 3 || argc > 5) {
    std::fprintf(stderr,
                 "usage: fuzz_make_seeds RUN_FOLDER LEVEL_FOLDER [IWAD [COUNT]]\n"
                 "       fuzz_make_seeds --udmf UDMF_FOLDER\n");
    return 2;
  }
  const std::string runFolder = argv[1], levelFolder = argv[2];
  std::vector<std::pair<std::string, LevelInput>> seeds;

  WadBuilder::Level hexenRoom = TwoRooms();
  hexenRoom.hexen = true;
  seeds.push_back({"two-rooms", FromLevel(TwoRooms(), 0x40)});
  seeds.push_back({"two-rooms-final-axis", FromLevel(TwoRooms(), 0x40 | 4 | 1)});
  seeds.push_back({"single-wall", FromLevel(SingleWall(), 0x40)});
  seeds.push_back({"hexen-rooms", FromLevel(hexenRoom, 0x40 | 2)});
  seeds.push_back({"wide-span", FromLevel(WideSpan(), 0x40 | 3)});

  if (argc >= 4) {
    WadImage iwad;
    std::string error = LoadWad(argv[3], &iwad);
    if (!error.empty()) {
      std::fprintf(stderr, "fuzz_make_seeds: %s\n", error.c_str());
      return 1;
    }
    size_t count = argc >= 5 ? std::strtoul(argv[4], nullptr, 10) : 3;
    std::vector<std::pair<size_t, std::string>> bySize;
    for (const std::string& name : ListLevels(iwad)) {
      int marker = FindEntry(iwad, name);
      bySize.push_back({iwad.entries[marker + 2].size, name});
    }
    std::sort(bySize.begin(), bySize.end());
    for (size_t i = 0; i < bySize.size() && i < count; i++) {
      int marker = FindEntry(iwad, bySize[i].second);
      LevelInput input;
      input.hexen =
          marker + 11 < static_cast<int>(iwad.entries.size()) && iwad.entries[marker + 11].name == "BEHAVIOR";
      input.lineDefs = EntryBytes(iwad, marker + 2);
      input.sideDefs = EntryBytes(iwad, marker + 3);
      input.vertexes = EntryBytes(iwad, marker + 4);
      input.sectors = EntryBytes(iwad, marker + 8);
      // The level target's sizes are 16-bit.
      if (input.lineDefs.size() > 65535 || input.sideDefs.size() > 65535 || input.vertexes.size() > 65535)
        continue;
      seeds.push_back({"iwad-" + bySize[i].second, input});
    }
  }

  for (const auto& seed : seeds) {
    if (!WriteFile(runFolder + "/" + seed.first + ".wad", seed.second.Wad()) ||
        !WriteFile(levelFolder + "/" + seed.first + ".lvl", seed.second.Encode())) {
      std::fprintf(stderr, "fuzz_make_seeds: cannot write the seed %s\n", seed.first.c_str());
      return 1;
    }
  }
  std::printf("%zu seeds\n", seeds.size());
  return 0;
}
