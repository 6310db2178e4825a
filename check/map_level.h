// SPDX-License-Identifier: GPL-2.0-or-later
// One level of a WAD as the checker sees it: the ten lumps after the
// marker, as stored, and their records decoded. Independent of the node
// builder: nothing here reads or touches the builder's level in memory.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "check/findings.h"
#include "check/gl_nodes.h"
#include "check/wad_image.h"
#include "format/wad_format.h"

// Level slots, counted from the marker.
enum LevelSlot {
  kThings = 1,
  kLineDefs,
  kSideDefs,
  kVertexes,
  kSegs,
  kSubsectors,
  kNodes,
  kSectors,
  kReject,
  kBlockmap
};

struct MapPoint {
  int x, y;
  bool operator==(const MapPoint& o) const { return x == o.x && y == o.y; }
};

// A linedef side without a sidedef: 0xFFFF in LINEDEFS, sideback = -1 (or
// none given) in TEXTMAP, where 0xFFFF is a sidedef like any other.
constexpr int kNoSideDef = -1;

struct MapLine {
  int v1, v2;  // vertex numbers as stored (unsigned 16-bit; 32-bit in TEXTMAP)
  int flags;
  int special;  // 0 for none
  int side[2];  // right and left sidedef, kNoSideDef for none
  bool valid;   // both vertex numbers name vertexes
};

struct MapSeg {
  int v1, v2, angle, line, direction, offset;
  bool valid;  // vertexes, linedef, direction and side all exist
};

struct MapSector {
  int floor, ceiling, special, tag;
};

struct MapSubsector {
  int count, first;
};

// A child that is a subsector, whichever flag the lump used (0x8000 in
// NODES, bit 31 in extended nodes): kSubsectorChild | index.
constexpr int kSubsectorChild = 1 << 30;

struct MapNode {
  int x, y, dx, dy;
  NodeBox box[2];  // right, left
  int child[2];    // right (front), left (back): a node, or kSubsectorChild | subsector
};

// The box of the points seen so far, empty until the first: what lies
// under a node, worked out by the checker to judge the node's stored box
// (NodeBox, format/wad_format.h), or the extent of the linedefs that a
// blockmap grid must cover. It starts empty rather than at zero, so that
// no point is assumed.
struct MapBox {
  int minX = 1 << 30, maxX = -(1 << 30), minY = 1 << 30, maxY = -(1 << 30);
  bool Empty() const { return minX > maxX; }
  void Add(const MapPoint& p);
  void Add(const MapBox& b);
};

struct MapLevel {
  int marker = -1;
  std::string name;
  bool hexen = false;
  // A UDMF level: its geometry comes from TEXTMAP, its GL nodes from
  // ZNODES (held in lumps[kSubsectors]), and `vertexes` holds TEXTMAP's
  // vertexes rounded down to whole units; `fixedVertexes` holds them
  // exact. Empty for a binary level, whose vertexes are whole.
  bool udmf = false;
  std::vector<GlPoint> fixedVertexes;
  std::string nodeFormat;          // "" for the vanilla lumps, "XNOD" or "ZNOD"
  bool segAnglesStored = true;     // extended segs carry no angle and no offset
  std::vector<uint8_t> lumps[11];  // by slot, 1 to 10
  std::vector<MapPoint> vertexes;
  std::vector<MapLine> lines;
  std::vector<int> sideSectors;
  std::vector<MapSector> sectors;
  std::vector<MapSeg> segs;
  std::vector<MapSubsector> subsectors;
  std::vector<MapNode> nodes;
  GlNodes gl;  // GL nodes in SSECTORS, beside the tree above or alone
};

// Reads the ten lumps after the marker; false (with the problem noted)
// when they are not all there in their order.
bool ReadLevel(const WadImage& wad, int marker, MapLevel* level, Findings* findings);
// Decodes the records of the lumps read; partial records are problems.
void DecodeLevel(MapLevel* level, Findings* findings);

// The sector of a sidedef, -1 when there is no such sidedef.
int SideSector(const MapLevel& level, int sidedef);
