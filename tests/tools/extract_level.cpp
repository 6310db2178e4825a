// SPDX-License-Identifier: GPL-2.0-or-later
// Copies one level out of an IWAD or PWAD into a new PWAD: the marker, its
// ten lumps and BEHAVIOR when it follows them. With --list, prints the level
// names of a WAD, one a line; with --all, writes every level to a folder as
// LEVEL.wad and prints its name; with --whole, copies the whole WAD as a
// PWAD (an IWAD's every lump, levels and all, for a run on a large file).
//
//   extract_level --list file.wad
//   extract_level --all file.wad folder
//   extract_level --whole file.wad out.wad
//
// With --hexen before the other arguments, every level written is turned
// into the Hexen format: 16-byte linedefs (special, then five argument
// bytes, the tag in the first) and a BEHAVIOR lump after BLOCKMAP.
//   extract_level file.wad LEVEL out.wad
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "check/level_check.h"
#include "format/wad_format.h"
#include "tests/support/wadbuilder.h"

namespace {

int Usage() {
  std::fprintf(stderr,
               "usage: extract_level --list file.wad\n       extract_level --all file.wad folder\n"
               "       extract_level --whole file.wad out.wad\n"
               "       extract_level file.wad LEVEL out.wad\n");
  return 2;
}

bool hexen = false;

// A Doom LINEDEFS lump as Hexen records: vertexes and flags, the special's
// low byte, the tag and four more argument bytes (made up, so that a change
// to them shows), then the sidedefs.
std::vector<uint8_t> HexenLineDefs(const std::vector<uint8_t>& doom) {
  std::vector<uint8_t> out;
  for (size_t at = 0; at + DoomLineDefSize <= doom.size(); at += DoomLineDefSize) {
    out.insert(out.end(), doom.begin() + at, doom.begin() + at + 6);
    out.push_back(doom[at + 6]);
    out.push_back(doom[at + 8]);
    for (int k = 1; k < 5; k++) out.push_back(static_cast<uint8_t>(at / DoomLineDefSize * 7 + k));
    out.insert(out.end(), doom.begin() + at + 10, doom.begin() + at + 14);
  }
  return out;
}

// Writes the level whose marker is `level` to `path`; false after a message.
bool Extract(const WadImage& wad, const std::string& level, const std::string& path) {
  int marker = FindEntry(wad, level);
  if (marker < 0) {
    std::fprintf(stderr, "extract_level: no entry %s\n", level.c_str());
    return false;
  }
  const int last = marker + LevelLumpCount;
  if (last >= static_cast<int>(wad.entries.size())) {
    std::fprintf(stderr, "extract_level: %s is not followed by ten lumps\n", level.c_str());
    return false;
  }
  for (int k = 0; k < LevelLumpCount; k++) {
    if (wad.entries[marker + 1 + k].name != LevelLumpNames[k]) {
      std::fprintf(stderr, "extract_level: entry %d after %s is %s, expected %s\n", marker + 1 + k,
                   level.c_str(), wad.entries[marker + 1 + k].name.c_str(), LevelLumpNames[k]);
      return false;
    }
  }
  const bool hasBehavior =
      last + 1 < static_cast<int>(wad.entries.size()) && wad.entries[last + 1].name == BehaviorLumpName;

  WadBuilder out;
  for (int i = marker; i <= last + (hasBehavior ? 1 : 0); i++) {
    std::vector<uint8_t> data = EntryBytes(wad, i);
    if (hexen && i == marker + 2 && !hasBehavior) data = HexenLineDefs(data);
    out.Add(wad.entries[i].name, data);
  }
  if (hexen && !hasBehavior)
    out.Add(BehaviorLumpName, std::vector<uint8_t>{'A', 'C', 'S', 0, 8, 0, 0, 0, 0, 0, 0, 0});
  try {
    out.Write(path, "PWAD");
  } catch (const std::exception& e) {
    std::fprintf(stderr, "extract_level: %s\n", e.what());
    return false;
  }
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc > 1 && std::strcmp(argv[1], "--hexen") == 0) {
    hexen = true;
    argv++;
    argc--;
  }
  bool list = argc == 3 && std::strcmp(argv[1], "--list") == 0;
  bool all = argc == 4 && std::strcmp(argv[1], "--all") == 0;
  bool whole = argc == 4 && std::strcmp(argv[1], "--whole") == 0;
  if (!list && !all && argc != 4) return Usage();
  WadImage wad;
  std::string error = LoadWad(argv[list || all || whole ? 2 : 1], &wad);
  if (!error.empty()) {
    std::fprintf(stderr, "extract_level: %s\n", error.c_str());
    return 1;
  }
  if (whole) {
    WadBuilder out;
    for (size_t i = 0; i < wad.entries.size(); i++) out.Add(wad.entries[i].name, EntryBytes(wad, i));
    try {
      out.Write(argv[3], "PWAD");
    } catch (const std::exception& e) {
      std::fprintf(stderr, "extract_level: %s\n", e.what());
      return 1;
    }
    return 0;
  }
  if (list || all) {
    for (const std::string& level : ListLevels(wad)) {
      if (all && !Extract(wad, level, std::string(argv[3]) + "/" + level + ".wad")) return 1;
      std::printf("%s\n", level.c_str());
    }
    return 0;
  }
  return Extract(wad, argv[2], argv[3]) ? 0 : 1;
}
