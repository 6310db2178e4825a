// SPDX-License-Identifier: GPL-2.0-or-later
// Makes the hostile inputs of the nasty-level tests and checks what a
// completed run wrote for them.
//
//   make_nasty --list              the case names, one a line
//   make_nasty CASE IN.wad         writes the input of CASE
//   make_nasty --check CASE OUT.wad  checks the output of a completed run
//                                  (prints what is wrong, exit 1)
//   make_nasty --grid N IN.wad     an N x N grid of crossing walls
//   make_nasty --room N IN.wad     one room with N walls in a rough circle
//   make_nasty --parallel N IN.wad N long parallel walls in one room
//   make_nasty --collinear N IN.wad N walls end to end on one line
//   (the last four are the benchmark's levels, by size)
//
// Every level is MAP01 with one THINGS record. The runs are made by
// tests/integration/nasty_run.sh; nasty.cmake says what each must end with.
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "format/wad_format.h"
#include "tests/support/wadbuilder.h"

namespace {

using Bytes = std::vector<uint8_t>;
using Level = WadBuilder::Level;

void Put32(Bytes& out, int32_t value) {
  for (int i = 0; i < 4; i++) out.push_back(static_cast<uint8_t>(static_cast<uint32_t>(value) >> (8 * i)));
}

int Get16(const Bytes& in, size_t at) { return static_cast<int16_t>(in[at] | in[at + 1] << 8); }

int32_t Get32(const Bytes& in, size_t at) {
  return static_cast<int32_t>(in[at] | in[at + 1] << 8 | in[at + 2] << 16 |
                              static_cast<uint32_t>(in[at + 3]) << 24);
}

bool WriteBytes(const std::string& path, const Bytes& bytes) {
  FILE* file = std::fopen(path.c_str(), "wb");
  if (file == nullptr) return false;
  bool ok = bytes.empty() || std::fwrite(bytes.data(), bytes.size(), 1, file) == 1;
  return std::fclose(file) == 0 && ok;
}

// A closed room: one-sided walls through the points in order, clockwise so
// that their right side faces in; every wall gets its own sidedef of
// `sector`.
void AddRoom(Level& level, const std::vector<std::pair<int, int>>& points, int sector = 0) {
  int first = static_cast<int>(level.vertexes.size());
  for (const auto& p : points) level.vertexes.push_back(p);
  int n = static_cast<int>(points.size());
  for (int i = 0; i < n; i++) {
    level.lines.push_back({first + i, first + (i + 1) % n, static_cast<int>(level.sideSectors.size()), -1});
    level.sideSectors.push_back(sector);
  }
}

// A clockwise rectangle from (x1, y1) to (x2, y2).
void AddBox(Level& level, int x1, int y1, int x2, int y2, int sector = 0) {
  AddRoom(level, {{x1, y1}, {x1, y2}, {x2, y2}, {x2, y1}}, sector);
}

// A wall with given sides (-1 for none) from (x1, y1) to (x2, y2).
void AddWall(Level& level, int x1, int y1, int x2, int y2, int right, int left) {
  int first = static_cast<int>(level.vertexes.size());
  level.vertexes.push_back({x1, y1});
  level.vertexes.push_back({x2, y2});
  level.lines.push_back({first, first + 1, right, left});
}

int NewSide(Level& level, int sector) {
  level.sideSectors.push_back(sector);
  return static_cast<int>(level.sideSectors.size()) - 1;
}

Bytes LevelWad(const Level& level, const std::string& marker = "MAP01") {
  WadBuilder wad;
  wad.AddLevel(marker, level);
  return wad.Build();
}

Level Room() {
  Level level;
  AddBox(level, 0, 0, 256, 256);
  return level;
}

// A PWAD written entry by entry: data blocks first, then the directory,
// with positions and sizes given as they should appear.
struct RawEntry {
  int32_t pos;
  int32_t size;
  std::string name;  // up to 8 bytes, copied as they are (NULs included)
};

Bytes RawWad(const Bytes& data, const std::vector<RawEntry>& entries, int32_t count, int32_t directory) {
  Bytes out = {'P', 'W', 'A', 'D'};
  Put32(out, count);
  Put32(out, directory);
  out.insert(out.end(), data.begin(), data.end());
  for (const RawEntry& e : entries) {
    Put32(out, e.pos);
    Put32(out, e.size);
    char name[8] = {0};
    std::memcpy(name, e.name.data(), e.name.size() < 8 ? e.name.size() : 8);
    out.insert(out.end(), name, name + 8);
  }
  return out;
}

// The room's WAD with the directory entry `index` changed.
Bytes RoomWithEntry(int index, int32_t pos, int32_t size) {
  Bytes wad = LevelWad(Room());
  size_t at = static_cast<size_t>(Get32(wad, 8)) + 16 * index;
  for (int i = 0; i < 4; i++) wad[at + i] = static_cast<uint8_t>(static_cast<uint32_t>(pos) >> (8 * i));
  for (int i = 0; i < 4; i++) wad[at + 4 + i] = static_cast<uint8_t>(static_cast<uint32_t>(size) >> (8 * i));
  return wad;
}

// Overwrites the 8 name bytes of directory entry `index`.
void SetEntryName(Bytes& wad, int index, const std::string& name) {
  size_t at = static_cast<size_t>(Get32(wad, 8)) + 16 * index + 8;
  for (size_t i = 0; i < 8; i++) wad[at + i] = i < name.size() ? static_cast<uint8_t>(name[i]) : 0;
}

// N horizontal and N vertical one-sided walls of one sector crossing each
// other inside a room, 16 units apart: about N * N cuts.
Level Grid(int n) {
  Level level;
  int span = 16 * (n + 1);
  AddBox(level, 0, 0, span, span);
  int side = NewSide(level, 0);
  for (int i = 1; i <= n; i++) {
    AddWall(level, 1, 16 * i, span - 1, 16 * i, side, -1);
    AddWall(level, 16 * i, 1, 16 * i, span - 1, side, -1);
  }
  return level;
}

// One room whose N walls follow a rough circle: one sector, nothing to cut,
// every seg a candidate against every other.
Level Circle(int n) {
  Level level;
  std::vector<std::pair<int, int>> points;
  // At most 11000 units, so that the blockmap stays below 32000 blocks.
  double radius = 1000.0 + 4.0 * n;
  if (radius > 11000) radius = 11000;
  for (int i = 0; i < n; i++) {
    // Clockwise, so the right sides face the centre.
    double a = -2.0 * M_PI * i / n;
    points.push_back({static_cast<int>(std::lround(radius * std::cos(a))),
                      static_cast<int>(std::lround(radius * std::sin(a)))});
  }
  AddRoom(level, points);
  return level;
}

// N long two-sided walls side by side across one room, 8 units apart
// (rows of them when they do not fit in one 24000 units high).
Level Parallel(int n) {
  Level level;
  int perColumn = 3000;
  int columns = (n + perColumn - 1) / perColumn;
  int height = 8 * ((n < perColumn ? n : perColumn) + 1);
  AddBox(level, 0, 0, 4000 * columns, height);
  for (int i = 0; i < n; i++) {
    int x = 4000 * (i / perColumn), y = 8 * (i % perColumn + 1);
    AddWall(level, x + 8, y, x + 3992, y, NewSide(level, 0), NewSide(level, 0));
  }
  return level;
}

// N one-sided walls end to end along one line, of two sectors in turn:
// every division can only peel one seg off, so the tree is N deep.
Level Collinear(int n) {
  Level level;
  int sides[2] = {NewSide(level, 0), NewSide(level, 1)};
  int step = 60000 / n > 1 ? 60000 / n : 1;
  for (int i = 0; i < n; i++) {
    int x = -30000 + step * i;
    AddWall(level, x, 0, x + step, 0, sides[i % 2], -1);
  }
  return level;
}

// Block counts: a level whose grid is `columns` x `rows` blocks (origin at
// -8, -8 for a level that starts at 0, 0).
Level BlockGrid(int columns, int rows) {
  Level level;
  AddBox(level, 0, 0, 128 * columns - 136, 128 * rows - 136);
  return level;
}

// The smallest block count above 32000 that BlockGrid can make (its corner
// 128 * 256 - 136 is the last that fits in 16 bits), as columns and rows.
// No grid has 32001, 32002 or 32003 blocks: 32001 = 3 x 10667 and
// 32002 = 2 x 16001 have no factors that small, and 32003 is prime.
std::pair<int, int> SmallestRefusedGrid() {
  for (int count = 32001;; count++)
    for (int c = 2; c <= 256; c++)
      if (count % c == 0 && count / c <= 256 && count / c >= 2) return {c, count / c};
}

std::map<std::string, std::function<Bytes()>> Cases() {
  std::map<std::string, std::function<Bytes()>> cases;

  // --- Coordinates at the ends of the 16-bit range.
  cases["wide-x"] = [] {
    Level level;
    AddBox(level, -32768, 0, 32767, 512);
    return LevelWad(level);
  };
  cases["wide-both"] = [] {
    Level level;
    AddBox(level, -32768, -32768, 32767, 32767);
    AddWall(level, -32768, -32768, 32767, 32767, NewSide(level, 0), NewSide(level, 0));
    return LevelWad(level);
  };

  // Node directions longer than 16 bits: two rooms 64000 units apart, whose
  // axis line (H) spans the level, and rooms divided by walls 64000 long.
  cases["wide-two-rooms"] = [] {
    Level level;
    AddBox(level, -32000, 0, -31000, 512, 0);
    AddBox(level, 31000, 0, 32000, 512, 1);
    level.sectorCount = 2;
    return LevelWad(level);
  };
  cases["long-wall"] = [] {
    Level level;
    int lower = NewSide(level, 0), upper = NewSide(level, 1);
    AddWall(level, -32000, 0, -32000, 512, lower, -1);
    AddWall(level, -32000, 512, 32000, 512, lower, upper);
    AddWall(level, 32000, 512, 32000, 0, lower, -1);
    AddWall(level, 32000, 0, -32000, 0, lower, -1);
    AddWall(level, -32000, 512, -32000, 1024, NewSide(level, 1), -1);
    AddWall(level, -32000, 1024, 32000, 1024, NewSide(level, 1), -1);
    AddWall(level, 32000, 1024, 32000, 512, NewSide(level, 1), -1);
    level.sectorCount = 2;
    return LevelWad(level);
  };
  cases["long-diagonal-wall"] = [] {
    Level level;
    int lower = NewSide(level, 0), upper = NewSide(level, 1);
    AddWall(level, -32000, -100, 32000, 101, lower, upper);
    AddWall(level, 32000, 101, 32000, -100, lower, -1);
    AddWall(level, 32000, -100, -32000, -100, lower, -1);
    AddWall(level, -32000, -100, -32000, 101, NewSide(level, 1), -1);
    AddWall(level, -32000, 101, 32000, 101, NewSide(level, 1), -1);
    level.sectorCount = 2;
    return LevelWad(level);
  };

  // --- Degenerate geometry.
  cases["zero-length-lines"] = [] {
    Level level = Room();
    // A linedef from a vertex to itself, and one between two vertexes at
    // the same place, both inside the room and two-sided.
    level.vertexes.push_back({100, 100});
    level.lines.push_back({4, 4, NewSide(level, 0), NewSide(level, 0)});
    AddWall(level, 50, 200, 50, 200, NewSide(level, 0), -1);
    return LevelWad(level);
  };
  cases["zero-length-cut"] = [] {
    // Zero-length segs of a second sector lie where the walls of the
    // first meet, so that they end up in a division of their own.
    Level level;
    AddBox(level, 0, 0, 256, 256);
    AddBox(level, 64, 64, 192, 192, 1);
    int side = NewSide(level, 1);
    AddWall(level, 64, 64, 64, 64, side, -1);
    AddWall(level, 128, 128, 128, 128, side, -1);
    AddWall(level, 192, 64, 192, 64, side, side);
    return LevelWad(level);
  };
  cases["all-collinear"] = [] {
    Level level;
    int side = NewSide(level, 0);
    for (int i = 0; i < 8; i++) AddWall(level, 64 * i, 0, 64 * i + 64, 0, side, i % 2 == 0 ? -1 : side);
    return LevelWad(level);
  };
  // 1000 walls end to end, of two sectors in turn: every division peels
  // off one seg, so the tree is 1000 deep.
  cases["deep-tree"] = [] { return LevelWad(Collinear(1000)); };
  cases["single-linedef"] = [] {
    Level level;
    AddWall(level, 0, 0, 64, 0, NewSide(level, 0), -1);
    return LevelWad(level);
  };
  cases["no-used-side"] = [] {
    Level level;
    level.sideSectors = {0};
    AddWall(level, 0, 0, 64, 0, -1, -1);
    AddWall(level, 64, 0, 64, 64, -1, -1);
    return LevelWad(level);
  };
  cases["bad-side-numbers"] = [] {
    Level level = Room();
    // Sidedef 4 holds sector -1, sidedef 9 and -5 do not exist.
    level.lines[1].left = NewSide(level, -1);
    level.lines[2].left = 9;
    level.lines[3].left = -5;
    return LevelWad(level);
  };

  // --- Vertex numbers.
  cases["vertex-equal-count"] = [] {
    Level level = Room();
    level.lines[2].end = 4;
    return LevelWad(level);
  };
  cases["all-vertex-numbers"] = [] {
    // 32768 vertexes, every one used: a room and 16382 linedefs without
    // sides on a 128 x 128 lattice inside it.
    Level level = Room();
    for (int i = 0; level.vertexes.size() < 32768; i++) {
      int x = 8 + (i % 120) * 2, y = 8 + i / 120;
      int first = static_cast<int>(level.vertexes.size());
      level.vertexes.push_back({x, y});
      level.vertexes.push_back({x + 1, y});
      level.lines.push_back({first, first + 1, -1, -1});
    }
    return LevelWad(level);
  };

  cases["vertex-past-16-bits"] = [] {
    // 36000 vertexes, as in a vanilla-limit level of many copies of a real
    // one; a linedef names vertex 32768, which reads as -32768.
    Level level = Room();
    for (int i = 0; level.vertexes.size() < 36000; i++) level.vertexes.push_back({8 + i % 200, 8 + i / 200});
    level.lines[2].end = 32768;
    return LevelWad(level);
  };

  // --- Directory and counts.
  cases["too-many-entries"] = [] {
    WadBuilder wad;
    wad.AddLevel("MAP01", Room());
    while (wad.lumps.size() < 32768) wad.Add("EMPTY");
    return wad.Build();
  };
  cases["too-many-sectors"] = [] {
    WadBuilder wad;
    wad.AddLevel("MAP01", Room());
    wad.lumps[8].data.assign(SectorRecordSize * 32769, 0);  // SECTORS
    return wad.Build();
  };
  cases["too-many-linedefs"] = [] {
    Level level = Room();
    while (level.lines.size() < 65536) level.lines.push_back({0, 2, -1, -1});
    return LevelWad(level);
  };
  cases["not-a-pwad"] = [] {
    WadBuilder wad;
    wad.AddLevel("MAP01", Room());
    return wad.Build("IWAD");
  };
  cases["no-entries"] = [] { return RawWad({}, {}, 0, 12); };
  cases["short-file"] = [] { return Bytes{'P', 'W', 'A', 'D', 1, 0, 0}; };
  cases["directory-past-end"] = [] { return RawWad({}, {{0, 0, "MAP01"}}, 2, 12); };
  cases["negative-directory"] = [] { return RawWad({}, {{0, 0, "MAP01"}}, 1, -16); };
  cases["lump-past-end"] = [] { return RoomWithEntry(3, 12, 1 << 20); };
  cases["negative-size"] = [] { return RoomWithEntry(2, 12, -14); };
  cases["negative-offset"] = [] { return RoomWithEntry(4, -4, 16); };
  cases["empty-lump-anywhere"] = [] {
    // An empty lump may name any position; it is never sought.
    return RoomWithEntry(5, -123456, 0);
  };
  cases["missing-blockmap"] = [] {
    WadBuilder wad;
    wad.AddLevel("MAP01", Room());
    wad.lumps.pop_back();
    return wad.Build();
  };
  cases["lumps-out-of-order"] = [] {
    WadBuilder wad;
    wad.AddLevel("MAP01", Room());
    std::swap(wad.lumps[8], wad.lumps[9]);
    return wad.Build();
  };

  // --- Names.
  cases["names-junk-after-nul"] = [] {
    // Bytes after the first NUL are not part of the name.
    Bytes wad = LevelWad(Room());
    SetEntryName(wad, 0, std::string("MAP01\0\x7f!", 8));
    SetEntryName(wad, 1, std::string("THINGS\0Z", 8));
    SetEntryName(wad, 5, std::string("SEGS\0\0\0\x01", 8));
    return wad;
  };
  cases["names-full-eight"] = [] {
    WadBuilder wad;
    wad.AddLevel("LONGNAME", Room());
    return wad.Build();
  };
  cases["names-space-padded"] = [] {
    WadBuilder wad;
    wad.AddLevel("MAP01", Room());
    wad.lumps[1].name = "THINGS  ";
    return wad.Build();
  };

  // --- Counts past the output formats' limits, reached by the splits.
  cases["too-many-vertexes"] = [] { return LevelWad(Grid(182)); };

  // --- Blockmap limits.
  cases["blocks-32000"] = [] { return LevelWad(BlockGrid(250, 128)); };
  cases["blocks-over-32000"] = [] {
    auto grid = SmallestRefusedGrid();
    return LevelWad(BlockGrid(grid.first, grid.second));
  };
  cases["blockmap-offsets"] = [] {
    // 160 x 125 blocks, every one crossed by a wall: the lists need more
    // than 65536 words.
    Level level = BlockGrid(160, 125);
    int side = NewSide(level, 0);
    for (int r = 0; r < 124; r++) AddWall(level, 8, 128 * r + 60, 20336, 128 * r + 60, side, -1);
    return LevelWad(level);
  };

  // --- Output path problems (the runner arranges the paths).
  cases["room"] = [] { return LevelWad(Room()); };
  return cases;
}

// ---------------------------------------------------------------- checks

struct Output {
  std::vector<TestLump> lumps;
  const Bytes* Lump(const std::string& name) const {
    for (const TestLump& lump : lumps)
      if (lump.name == name) return &lump.data;
    return nullptr;
  }
};

int Fail(const std::string& what) {
  std::fprintf(stderr, "make_nasty --check: %s\n", what.c_str());
  return 1;
}

int ExpectSize(const Output& out, const std::string& name, size_t size) {
  const Bytes* lump = out.Lump(name);
  if (lump == nullptr) return Fail("no " + name);
  if (lump->size() != size)
    return Fail(name + " has " + std::to_string(lump->size()) + " bytes, expected " + std::to_string(size));
  return 0;
}

// Origin and grid size words of the BLOCKMAP.
int ExpectGrid(const Output& out, int x, int y, int columns, int rows) {
  const Bytes* lump = out.Lump("BLOCKMAP");
  if (lump == nullptr || lump->size() < 8) return Fail("no BLOCKMAP header");
  int got[4] = {Get16(*lump, 0), Get16(*lump, 2), Get16(*lump, 4), Get16(*lump, 6)};
  int want[4] = {x, y, columns, rows};
  for (int i = 0; i < 4; i++)
    if (got[i] != want[i])
      return Fail("BLOCKMAP word " + std::to_string(i) + " is " + std::to_string(got[i]) + ", expected " +
                  std::to_string(want[i]));
  return 0;
}

std::map<std::string, std::function<int(const Output&)>> Checks() {
  std::map<std::string, std::function<int(const Output&)>> checks;
  checks["wide-x"] = [](const Output& out) { return ExpectGrid(out, -32768, -8, 513, 5); };
  checks["wide-both"] = [](const Output& out) {
    const Bytes* lump = out.Lump("BLOCKMAP");
    if (ExpectSize(out, "BLOCKMAP", 8)) return 1;
    for (uint8_t b : *lump)
      if (b != 0) return Fail("too-large BLOCKMAP is not zeros");
    return 0;
  };
  checks["blocks-over-32000"] = checks["wide-both"];
  checks["blockmap-offsets"] = checks["wide-both"];
  checks["blocks-32000"] = [](const Output& out) { return ExpectGrid(out, -8, -8, 250, 128); };
  checks["single-linedef"] = [](const Output& out) {
    return ExpectSize(out, "SEGS", SegRecordSize) || ExpectSize(out, "SSECTORS", SubsectorRecordSize) ||
           ExpectSize(out, "NODES", 0);
  };
  checks["all-vertex-numbers"] = [](const Output& out) {
    const Bytes* lump = out.Lump("VERTEXES");
    if (lump == nullptr || lump->size() < 32768 * VertexRecordSize) return Fail("VERTEXES lost vertexes");
    return ExpectSize(out, "LINEDEFS", DoomLineDefSize * 16386);
  };
  checks["bad-side-numbers"] = [](const Output& out) {
    return ExpectSize(out, "SIDEDEFS", SideDefRecordSize * 5);
  };
  checks["names-junk-after-nul"] = [](const Output& out) {
    return ExpectSize(out, "THINGS", DoomThingSize) || ExpectSize(out, "LINEDEFS", DoomLineDefSize * 4);
  };
  checks["names-full-eight"] = [](const Output& out) {
    if (out.lumps.empty() || out.lumps[0].name != "LONGNAME") return Fail("marker is not LONGNAME");
    return ExpectSize(out, "SEGS", SegRecordSize * 4);
  };
  checks["empty-lump-anywhere"] = [](const Output& out) {
    return ExpectSize(out, "SEGS", SegRecordSize * 4);
  };
  checks["room"] = [](const Output& out) { return ExpectSize(out, "SEGS", SegRecordSize * 4); };
  return checks;
}

int Usage() {
  std::fprintf(stderr,
               "usage: make_nasty --list | CASE IN.wad | --check CASE OUT.wad | --grid N IN.wad |"
               " --room N IN.wad | --parallel N IN.wad | --collinear N IN.wad\n");
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  auto cases = Cases();
  if (argc == 2 && std::strcmp(argv[1], "--list") == 0) {
    for (const auto& c : cases) std::printf("%s\n", c.first.c_str());
    return 0;
  }
  if (argc == 4 && std::strcmp(argv[1], "--check") == 0) {
    auto checks = Checks();
    auto check = checks.find(argv[2]);
    Output out;
    out.lumps = ReadWadLumps(argv[3]);
    if (check == checks.end()) return 0;
    return check->second(out);
  }
  if (argc == 4) {
    int n = std::atoi(argv[2]);
    Level level;
    if (std::strcmp(argv[1], "--grid") == 0) {
      level = Grid(n);
    } else if (std::strcmp(argv[1], "--room") == 0) {
      level = Circle(n);
    } else if (std::strcmp(argv[1], "--parallel") == 0) {
      level = Parallel(n);
    } else if (std::strcmp(argv[1], "--collinear") == 0) {
      level = Collinear(n);
    } else {
      return Usage();
    }
    return WriteBytes(argv[3], LevelWad(level)) ? 0 : Fail(std::string("cannot write ") + argv[3]);
  }
  if (argc != 3) return Usage();
  auto found = cases.find(argv[1]);
  if (found == cases.end()) {
    std::fprintf(stderr, "make_nasty: no case %s\n", argv[1]);
    return 2;
  }
  if (!WriteBytes(argv[2], found->second())) {
    std::fprintf(stderr, "make_nasty: cannot write %s\n", argv[2]);
    return 1;
  }
  return 0;
}
