// SPDX-License-Identifier: GPL-2.0-or-later
// ZDoom's GL nodes for the checker: an XGLN, XGL2 or XGL3 stream in
// SSECTORS (ZGLN, ZGL2, ZGL3: the same, deflated), decoded with every
// vertex and partition line kept exact in 1/65536 units. GL subsectors are
// closed polygons, and only exact coordinates can show that they close.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "check/findings.h"

struct MapLevel;

// A point in 16.16 fixed point: 65536 is one map unit.
struct GlPoint {
  int32_t x, y;
  bool operator==(const GlPoint& o) const { return x == o.x && y == o.y; }
};

constexpr uint32_t kGlNone = 0xFFFFFFFFu;  // no partner; no end vertex yet

struct GlSeg {
  uint32_t v1;
  uint32_t v2;       // the next seg's v1 in its subsector; the last seg's is the first's
  uint32_t partner;  // kGlNone for none
  uint32_t line;     // the linedef; meaningless for a miniseg
  int side;          // 0: the linedef's right side, 1: its left
  bool miniseg;
  bool valid;  // both ends, the partner, the linedef and the side exist
};

struct GlSubsector {
  uint32_t count;
  uint64_t first;  // the sum of the counts before it
};

// The stream's child bit: set for a subsector, clear for a node.
constexpr uint32_t kGlSubsectorChild = 0x80000000u;

struct GlNode {
  int32_t x, y, dx, dy;  // fixed point; whole units shifted up outside XGL3
  int box[2][4];         // right, left: top, bottom, left, right, in whole units
  uint32_t child[2];     // right (front), left (back), as stored
};

struct GlNodes {
  std::string format;             // XGLN, XGL2, XGL3, ZGLN, ZGL2 or ZGL3; "" when SSECTORS holds none
  bool decoded = false;           // the stream was read to its end without a fault that stops the checks
  std::vector<GlPoint> vertexes;  // VERTEXES, then the stream's own
  std::vector<GlSubsector> subsectors;
  std::vector<GlSeg> segs;
  std::vector<GlNode> nodes;
};

// True when SSECTORS starts with the magic of a GL form; level->gl.format
// then names it.
bool HasGlNodes(MapLevel* level);
// Decodes the stream in SSECTORS into level->gl, after VERTEXES and
// LINEDEFS are decoded. A stream that does not inflate, ends early, has
// bytes after its nodes or counts other vertexes than VERTEXES has is a
// problem that leaves level->gl.decoded false; a vertex, partner, linedef
// or side number that names nothing is a problem that leaves its seg
// invalid. Child numbers are checked by the tree walk.
void DecodeGlNodes(MapLevel* level, Findings* findings);
