// SPDX-License-Identifier: GPL-2.0-or-later
#include "check/udmf_level.h"

#include <string>

#include "wad/udmf_reader.h"

namespace {

// The ENDMAP of the level, -1 when another level (or the file) ends first.
int FindEndMap(const WadImage& wad, int marker) {
  for (size_t i = static_cast<size_t>(marker) + 2; i < wad.entries.size(); i++) {
    const std::string& name = wad.entries[i].name;
    if (name == EndMapLumpName) return static_cast<int>(i);
    if (name == TextMapLumpName || name == "THINGS") return -1;
  }
  return -1;
}

void FillLevel(const UdmfMap& map, MapLevel* level) {
  for (const UdmfVertex& v : map.vertexes) {
    level->fixedVertexes.push_back({v.x, v.y});
    // Rounded down: the whole units a node box holds.
    level->vertexes.push_back({v.x >> 16, v.y >> 16});
  }
  for (const UdmfLineDef& in : map.lineDefs) {
    MapLine line;
    line.v1 = static_cast<int>(in.v1);
    line.v2 = static_cast<int>(in.v2);
    line.flags = in.twoSided ? 4 : 0;
    line.special = in.special;
    line.side[0] = static_cast<int>(in.sideFront);
    line.side[1] = in.sideBack >= 0 ? static_cast<int>(in.sideBack) : kNoSideDef;
    line.valid = true;  // the reader refuses numbers that name nothing
    level->lines.push_back(line);
  }
  for (const UdmfSideDef& side : map.sideDefs) level->sideSectors.push_back(static_cast<int>(side.sector));
  for (const UdmfSector& sector : map.sectors)
    level->sectors.push_back({sector.heightFloor, sector.heightCeiling, sector.special, sector.id});
}

}  // namespace

bool IsUdmfLevel(const WadImage& wad, int marker) {
  size_t next = static_cast<size_t>(marker) + 1;
  return next < wad.entries.size() && wad.entries[next].name == TextMapLumpName;
}

bool ReadUdmfLevel(const WadImage& wad, int marker, MapLevel* level, Findings* findings) {
  level->marker = marker;
  level->name = wad.entries[marker].name;
  level->udmf = true;
  int end = FindEndMap(wad, marker);
  if (end < 0) {
    findings->Problem(EndMapLumpName, -1, "missing: the UDMF level has no ENDMAP");
    return false;
  }
  std::vector<uint8_t> text = EntryBytes(wad, static_cast<size_t>(marker) + 1);
  static const uint8_t nothing = 0;
  UdmfMap map;
  std::string error;
  if (!ReadUdmfMap(text.empty() ? &nothing : text.data(), text.size(), &map, &error)) {
    findings->Problem(TextMapLumpName, -1, "%s", error.c_str());
    return false;
  }
  level->hexen = map.nameSpace != "doom" && map.nameSpace != "heretic" && map.nameSpace != "strife";
  FillLevel(map, level);
  for (int i = marker + 2; i < end; i++) {
    if (wad.entries[static_cast<size_t>(i)].name == ZNodesLumpName) {
      level->lumps[kSubsectors] = EntryBytes(wad, static_cast<size_t>(i));
      return true;
    }
  }
  findings->Problem(ZNodesLumpName, -1, "missing: the UDMF level has no ZNODES, so no nodes to check");
  return false;
}

void NameZNodesFindings(std::vector<Finding>* findings) {
  for (Finding& finding : *findings)
    if (finding.lump == "SSECTORS") finding.lump = ZNodesLumpName;
}
