// SPDX-License-Identifier: GPL-2.0-or-later
#include "check/map_level.h"

#include <algorithm>

#include "check/bytes.h"
#include "check/extended_nodes.h"

void MapBox::Add(const MapPoint& p) {
  minX = std::min(minX, p.x);
  maxX = std::max(maxX, p.x);
  minY = std::min(minY, p.y);
  maxY = std::max(maxY, p.y);
}

void MapBox::Add(const MapBox& b) {
  if (b.Empty()) return;
  minX = std::min(minX, b.minX);
  maxX = std::max(maxX, b.maxX);
  minY = std::min(minY, b.minY);
  maxY = std::max(maxY, b.maxY);
}

bool ReadLevel(const WadImage& wad, int marker, MapLevel* level, Findings* findings) {
  const int entries = static_cast<int>(wad.entries.size());
  level->marker = marker;
  level->name = wad.entries[marker].name;
  for (int slot = 1; slot <= LevelLumpCount; slot++) {
    const char* expected = LevelLumpNames[slot - 1];
    if (marker + slot >= entries) {
      findings->Problem(expected, -1, "missing: the directory ends after entry %d", entries - 1);
      return false;
    }
    const std::string& found = wad.entries[marker + slot].name;
    if (found != expected) {
      findings->Problem(expected, -1, "missing: entry %d after %s is %s, expected %s", marker + slot,
                        PrintableName(level->name).c_str(), PrintableName(found).c_str(), expected);
      return false;
    }
    level->lumps[slot] = EntryBytes(wad, marker + slot);
  }
  const int after = marker + 1 + LevelLumpCount;
  level->hexen = after < entries && wad.entries[after].name == BehaviorLumpName;
  return true;
}

namespace {

void CheckWholeRecords(const MapLevel& level, LevelSlot slot, size_t record, Findings* findings) {
  size_t size = level.lumps[slot].size();
  if (size % record != 0)
    findings->Problem(LevelLumpNames[slot - 1], -1, "%zu bytes, not whole %zu-byte records", size, record);
}

}  // namespace

void DecodeLevel(MapLevel* level, Findings* findings) {
  const std::vector<uint8_t>& vertexes = level->lumps[kVertexes];
  constexpr size_t kVertex = VertexRecordSize, kSide = SideDefRecordSize, kSector = SectorRecordSize;
  constexpr size_t kSeg = SegRecordSize, kSubsector = SubsectorRecordSize, kNode = NodeRecordSize;
  CheckWholeRecords(*level, kVertexes, kVertex, findings);
  for (size_t at = 0; at + kVertex <= vertexes.size(); at += kVertex)
    level->vertexes.push_back({LumpS16(vertexes, at), LumpS16(vertexes, at + 2)});

  const std::vector<uint8_t>& lines = level->lumps[kLineDefs];
  const size_t lineRecord = level->hexen ? HexenLineDefSize : DoomLineDefSize;
  const size_t sideAt = level->hexen ? HexenLineDefSidesOffset : DoomLineDefSidesOffset;
  CheckWholeRecords(*level, kLineDefs, lineRecord, findings);
  for (size_t at = 0; at + lineRecord <= lines.size(); at += lineRecord) {
    MapLine line;
    line.v1 = LumpU16(lines, at);
    line.v2 = LumpU16(lines, at + 2);
    line.flags = LumpU16(lines, at + 4);
    line.special = level->hexen ? lines[at + 6] : LumpU16(lines, at + 6);
    for (int side = 0; side < 2; side++) {
      int number = LumpU16(lines, at + sideAt + 2 * side);
      line.side[side] = number == 0xFFFF ? kNoSideDef : number;
    }
    line.valid = line.v1 < static_cast<int>(level->vertexes.size()) &&
                 line.v2 < static_cast<int>(level->vertexes.size());
    if (!line.valid) {
      findings->Problem("LINEDEFS", static_cast<long>(level->lines.size()),
                        "linedef %zu names vertexes %d and %d, VERTEXES has %zu", level->lines.size(),
                        line.v1, line.v2, level->vertexes.size());
    }
    level->lines.push_back(line);
  }

  const std::vector<uint8_t>& sides = level->lumps[kSideDefs];
  for (size_t at = 0; at + kSide <= sides.size(); at += kSide)
    level->sideSectors.push_back(LumpS16(sides, at + SideDefSectorOffset));

  const std::vector<uint8_t>& sectors = level->lumps[kSectors];
  for (size_t at = 0; at + kSector <= sectors.size(); at += kSector)
    level->sectors.push_back({LumpS16(sectors, at), LumpS16(sectors, at + 2), LumpS16(sectors, at + 22),
                              LumpS16(sectors, at + 24)});

  // GL nodes first, while VERTEXES holds only its own vertexes: the
  // extended nodes add theirs.
  const bool gl = HasGlNodes(level);
  if (gl) DecodeGlNodes(level, findings);
  if (HasExtendedNodes(level)) {
    for (LevelSlot slot : {kSegs, kSubsectors}) {
      if (!level->lumps[slot].empty() && !(gl && slot == kSubsectors))
        findings->Problem(LevelLumpNames[slot - 1], -1, "%zu bytes beside %s nodes, which need it empty",
                          level->lumps[slot].size(), level->nodeFormat.c_str());
    }
    DecodeExtendedNodes(level, findings);
    return;
  }
  if (gl) {
    if (!level->lumps[kSegs].empty())
      findings->Problem("SEGS", -1, "%zu bytes beside %s nodes in SSECTORS, which need it empty",
                        level->lumps[kSegs].size(), level->gl.format.c_str());
    if (!level->lumps[kNodes].empty())
      findings->Problem("NODES", -1,
                        "%zu bytes beside %s nodes in SSECTORS, which need it empty or holding XNOD or ZNOD",
                        level->lumps[kNodes].size(), level->gl.format.c_str());
    return;
  }

  const std::vector<uint8_t>& segs = level->lumps[kSegs];
  CheckWholeRecords(*level, kSegs, kSeg, findings);
  for (size_t at = 0; at + kSeg <= segs.size(); at += kSeg) {
    level->segs.push_back({LumpU16(segs, at), LumpU16(segs, at + 2), LumpU16(segs, at + 4),
                           LumpU16(segs, at + 6), LumpU16(segs, at + 8), LumpU16(segs, at + 10), false});
  }

  const std::vector<uint8_t>& subsectors = level->lumps[kSubsectors];
  CheckWholeRecords(*level, kSubsectors, kSubsector, findings);
  for (size_t at = 0; at + kSubsector <= subsectors.size(); at += kSubsector)
    level->subsectors.push_back({LumpU16(subsectors, at), LumpU16(subsectors, at + 2)});

  const std::vector<uint8_t>& nodes = level->lumps[kNodes];
  CheckWholeRecords(*level, kNodes, kNode, findings);
  for (size_t at = 0; at + kNode <= nodes.size(); at += kNode) {
    MapNode node;
    node.x = LumpS16(nodes, at);
    node.y = LumpS16(nodes, at + 2);
    node.dx = LumpS16(nodes, at + 4);
    node.dy = LumpS16(nodes, at + 6);
    node.box[0] = ReadNodeBox(&nodes[at + NodeRightBoxOffset]);
    node.box[1] = ReadNodeBox(&nodes[at + NodeLeftBoxOffset]);
    for (int side = 0; side < 2; side++) {
      int child = LumpU16(nodes, at + NodeRightChildOffset + 2 * side);
      node.child[side] = (child & 0x8000) != 0 ? kSubsectorChild | (child & 0x7FFF) : child;
    }
    level->nodes.push_back(node);
  }
}

int SideSector(const MapLevel& level, int sidedef) {
  if (sidedef < 0 || sidedef >= static_cast<int>(level.sideSectors.size())) return -1;
  return level.sideSectors[sidedef];
}
