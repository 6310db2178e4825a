// SPDX-License-Identifier: GPL-2.0-or-later
// Reads the TEXTMAP of every UDMF level of a WAD, or a file of TEXTMAP
// text, with the program's reader, and prints a line for each: the level,
// its namespace and record counts, or the reader's message. Exits 0 when
// every map is read, 1 when one is not, 2 on a usage or file error.
//
//   read_udmf [--dump] [--time] file
//
// --dump prints every record after its level's line, in whole numbers
// (coordinates in 1/65536 units), for the converter's tests to compare:
//   vertex N X Y
//   linedef N V1 V2 FRONT BACK TWOSIDED SPECIAL ID ARG0
//   sidedef N SECTOR
//   sector N FLOOR CEILING SPECIAL ID
// --time prints the time each read takes on stderr.
#include <chrono>
#include <cinttypes>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "check/wad_image.h"
#include "wad/udmf_reader.h"

namespace {

bool dump = false, timed = false;

bool ReadWhole(const char* path, std::vector<uint8_t>* bytes) {
  std::FILE* file = std::fopen(path, "rb");
  if (file == nullptr) return false;
  uint8_t buffer[1 << 16];
  size_t n;
  while ((n = std::fread(buffer, 1, sizeof buffer, file)) > 0)
    bytes->insert(bytes->end(), buffer, buffer + n);
  const bool ok = std::ferror(file) == 0;
  std::fclose(file);
  return ok;
}

void Dump(const UdmfMap& map) {
  for (size_t k = 0; k < map.vertexes.size(); k++)
    std::printf("vertex %zu %d %d\n", k, map.vertexes[k].x, map.vertexes[k].y);
  for (size_t k = 0; k < map.lineDefs.size(); k++) {
    const UdmfLineDef& l = map.lineDefs[k];
    std::printf("linedef %zu %u %u %u %" PRId64 " %d %d %d %d\n", k, l.v1, l.v2, l.sideFront, l.sideBack,
                l.twoSided ? 1 : 0, l.special, l.id, l.arg0);
  }
  for (size_t k = 0; k < map.sideDefs.size(); k++) std::printf("sidedef %zu %u\n", k, map.sideDefs[k].sector);
  for (size_t k = 0; k < map.sectors.size(); k++) {
    const UdmfSector& s = map.sectors[k];
    std::printf("sector %zu %d %d %d %d\n", k, s.heightFloor, s.heightCeiling, s.special, s.id);
  }
}

// Prints the level's line; false when the reader refuses it.
bool Read(const std::string& level, const uint8_t* text, size_t size) {
  UdmfMap map;
  std::string error;
  auto start = std::chrono::steady_clock::now();
  bool ok = ReadUdmfMap(text, size, &map, &error);
  auto took = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
  if (timed) std::fprintf(stderr, "%s: %zu bytes read in %.1f ms\n", level.c_str(), size, took);
  if (!ok) {
    std::printf("%s: %s\n", level.c_str(), error.c_str());
    return false;
  }
  std::printf("%s: namespace \"%s\", %zu vertexes, %zu linedefs, %zu sidedefs, %zu sectors, %u things\n",
              level.c_str(), map.nameSpace.c_str(), map.vertexes.size(), map.lineDefs.size(),
              map.sideDefs.size(), map.sectors.size(), map.thingCount);
  if (dump) Dump(map);
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  int arg = 1;
  for (; arg < argc && argv[arg][0] == '-'; arg++) {
    if (std::strcmp(argv[arg], "--dump") == 0) {
      dump = true;
    } else if (std::strcmp(argv[arg], "--time") == 0) {
      timed = true;
    } else {
      break;
    }
  }
  if (arg + 1 != argc) {
    std::fprintf(stderr, "usage: read_udmf [--dump] [--time] file\n");
    return 2;
  }
  std::vector<uint8_t> bytes;
  if (!ReadWhole(argv[arg], &bytes)) {
    std::fprintf(stderr, "read_udmf: cannot read %s\n", argv[arg]);
    return 2;
  }
  const bool isWad = bytes.size() >= 4 &&
                     (std::memcmp(bytes.data(), "IWAD", 4) == 0 || std::memcmp(bytes.data(), "PWAD", 4) == 0);
  if (!isWad) return Read("TEXTMAP", bytes.data(), bytes.size()) ? 0 : 1;
  WadImage wad;
  std::string error = ParseWad(bytes, &wad);
  if (!error.empty()) {
    std::fprintf(stderr, "read_udmf: %s\n", error.c_str());
    return 2;
  }
  bool allRead = true;
  int levels = 0;
  for (size_t k = 1; k < wad.entries.size(); k++) {
    if (wad.entries[k].name != "TEXTMAP") continue;
    std::vector<uint8_t> text = EntryBytes(wad, k);
    allRead = Read(wad.entries[k - 1].name, text.data(), text.size()) && allRead;
    levels++;
  }
  if (levels == 0) {
    std::fprintf(stderr, "read_udmf: %s holds no TEXTMAP\n", argv[arg]);
    return 2;
  }
  return allRead ? 0 : 1;
}
