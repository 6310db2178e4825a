// Copies one level out of an IWAD or PWAD into a new PWAD: the marker, its
// ten lumps and BEHAVIOR when it follows them. With --list, prints the level
// names of a WAD, one a line.
//
//   extract_level --list file.wad
//   extract_level file.wad LEVEL out.wad
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "tests/support/level_check.h"
#include "tests/support/wadbuilder.h"

namespace {

int Usage() {
  std::fprintf(stderr, "usage: extract_level --list file.wad\n       extract_level file.wad LEVEL out.wad\n");
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 3 && std::strcmp(argv[1], "--list") == 0) {
    WadImage wad;
    std::string error = LoadWad(argv[2], &wad);
    if (!error.empty()) {
      std::fprintf(stderr, "extract_level: %s\n", error.c_str());
      return 1;
    }
    for (const std::string& level : ListLevels(wad)) std::printf("%s\n", level.c_str());
    return 0;
  }
  if (argc != 4) return Usage();

  WadImage wad;
  std::string error = LoadWad(argv[1], &wad);
  if (!error.empty()) {
    std::fprintf(stderr, "extract_level: %s\n", error.c_str());
    return 1;
  }
  const std::string level = argv[2];
  int marker = FindEntry(wad, level);
  if (marker < 0) {
    std::fprintf(stderr, "extract_level: %s has no entry %s\n", argv[1], level.c_str());
    return 1;
  }
  if (marker + 10 >= static_cast<int>(wad.entries.size())) {
    std::fprintf(stderr, "extract_level: %s is not followed by ten lumps\n", level.c_str());
    return 1;
  }
  for (int k = 0; k < 10; k++) {
    if (wad.entries[marker + 1 + k].name != kLevelLumpNames[k]) {
      std::fprintf(stderr, "extract_level: entry %d after %s is %s, expected %s\n", marker + 1 + k, level.c_str(),
                   wad.entries[marker + 1 + k].name.c_str(), kLevelLumpNames[k]);
      return 1;
    }
  }
  int last = marker + 10;
  if (last + 1 < static_cast<int>(wad.entries.size()) && wad.entries[last + 1].name == "BEHAVIOR") last++;

  WadBuilder out;
  for (int i = marker; i <= last; i++) out.Add(wad.entries[i].name, EntryBytes(wad, i));
  try {
    out.Write(argv[3], "PWAD");
  } catch (const std::exception& e) {
    std::fprintf(stderr, "extract_level: %s\n", e.what());
    return 1;
  }
  return 0;
}
