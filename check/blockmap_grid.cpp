// SPDX-License-Identifier: GPL-2.0-or-later
// The BLOCKMAP of a level: its lists against the level's linedefs, and its
// grid around them.
#include <algorithm>

#include "check/blockmap_check.h"
#include "check/bytes.h"
#include "check/partition_checks.h"

namespace {

// Whether a linedef special works on the sector behind its linedef rather
// than on tagged sectors: the manual doors of the DOOM format, and the
// manual generalized specials of later engines (used once or again). In the Hexen
// format a special whose tag argument is 0 does the same, so every special
// counts there.
bool WorksBehind(const MapLevel& level, int special) {
  if (special == 0) return false;
  if (level.hexen) return true;
  if (special >= 0x2F80) return (special & 7) >= 6;
  for (int manual : {1, 26, 27, 28, 31, 32, 33, 34, 117, 118})
    if (special == manual) return true;
  return false;
}

// Sectors whose floor or ceiling can move: those with a tag, those behind
// a linedef with a manual special, and, in the DOOM format, the doors that
// close or open by themselves (sector specials 10 and 14).
std::vector<bool> MovableSectors(const MapLevel& level) {
  std::vector<bool> movable(level.sectors.size(), false);
  for (size_t s = 0; s < level.sectors.size(); s++) {
    const MapSector& sector = level.sectors[s];
    movable[s] = sector.tag != 0 || (!level.hexen && (sector.special == 10 || sector.special == 14));
  }
  for (const MapLine& line : level.lines) {
    int back = SideSector(level, line.side[1]);
    if (WorksBehind(level, line.special) && back >= 0 && back < static_cast<int>(movable.size()))
      movable[back] = true;
  }
  return movable;
}

// Whether the game can ever meet the linedef through BLOCKMAP. Builders may
// leave out those it cannot: linedefs without sidedefs; one-sided ones of
// a sector that nothing moves and whose floor meets its ceiling; and
// two-sided ones without a blocking flag between two sectors of the same
// floor and ceiling that nothing moves. A linedef with a special, or whose
// sidedefs name no sector, must always be listed.
bool CanBeMet(const MapLevel& level, const MapLine& line, const std::vector<bool>& movable) {
  if (line.side[0] == kNoSideDef && line.side[1] == kNoSideDef) return false;
  if (line.special != 0) return true;
  const int sectorCount = static_cast<int>(level.sectors.size());
  int sector[2] = {-1, -1};
  for (int side = 0; side < 2; side++) {
    if (line.side[side] == kNoSideDef) continue;
    sector[side] = SideSector(level, line.side[side]);
    if (sector[side] < 0 || sector[side] >= sectorCount || movable[sector[side]]) return true;
  }
  if (sector[0] < 0 || sector[1] < 0) {
    const MapSector& only = level.sectors[sector[0] < 0 ? sector[1] : sector[0]];
    return only.floor < only.ceiling;
  }
  if ((line.flags & 3) != 0) return true;  // impassable, or blocking monsters
  const MapSector& front = level.sectors[sector[0]];
  const MapSector& back = level.sectors[sector[1]];
  return front.floor != back.floor || front.ceiling != back.ceiling;
}

}  // namespace

bool BlockmapLines(const MapLevel& level, std::vector<LineEnds>* ends) {
  std::vector<bool> movable = MovableSectors(level);
  ends->clear();
  for (const MapLine& line : level.lines) {
    if (!line.valid) return false;
    const MapPoint& a = level.vertexes[line.v1];
    const MapPoint& b = level.vertexes[line.v2];
    ends->push_back({a.x, a.y, b.x, b.y, CanBeMet(level, line, movable)});
  }
  return true;
}

MapBox SidedLinedefBounds(const MapLevel& level) {
  MapBox bounds;
  for (const MapLine& line : level.lines) {
    if (line.side[0] == kNoSideDef && line.side[1] == kNoSideDef) continue;
    bounds.Add(level.vertexes[line.v1]);
    bounds.Add(level.vertexes[line.v2]);
  }
  return bounds;
}

void CheckBlockmapLump(const MapLevel& level, Findings* findings) {
  std::vector<LineEnds> ends;
  if (!BlockmapLines(level, &ends)) return;  // already reported; the blockmap cannot be judged
  const std::vector<uint8_t>& lump = level.lumps[kBlockmap];
  CheckBlockmap(ends, lump, findings);

  // The grid must cover every linedef that has a side (the rest of the
  // blockmap check only looks inside the grid).
  if (lump.size() < 8) return;
  int originX = LumpS16(lump, 0), originY = LumpS16(lump, 2), columns = LumpS16(lump, 4),
      rows = LumpS16(lump, 6);
  MapBox bounds = SidedLinedefBounds(level);
  if (bounds.Empty() || columns <= 0 || rows <= 0) return;
  if (bounds.minX < originX || bounds.minY < originY || bounds.maxX >= originX + 128 * columns ||
      bounds.maxY >= originY + 128 * rows) {
    findings->Problem("BLOCKMAP", -1,
                      "the grid x %d..%d y %d..%d does not cover the linedefs x %d..%d y %d..%d", originX,
                      originX + 128 * columns - 1, originY, originY + 128 * rows - 1, bounds.minX,
                      bounds.maxX, bounds.minY, bounds.maxY);
  }
}
