// SPDX-License-Identifier: GPL-2.0-or-later
// ZDoom's GL nodes: a tree whose subsectors are closed convex polygons,
// written as one stream after a magic, XGLN, XGL2 or XGL3 (ZGLN, ZGL2,
// ZGL3: the same stream deflated with zlib). A binary level stores it in
// SSECTORS, a UDMF level in ZNODES. The forms differ in the width of a
// seg's linedef number (16 bits in XGLN, 32 in the others) and in the
// node lines (whole units in XGLN and XGL2, fixed point in XGL3).
#pragma once

#include <cstdint>
#include <vector>

#include "nodes/fixed_geometry.h"

// A seg's linedef for a miniseg, and its partner when it has none.
constexpr uint32_t NoLinedef = 0xFFFFFFFFu;
constexpr uint32_t NoPartner = 0xFFFFFFFFu;
// A child with this bit set is a subsector, otherwise a node.
constexpr uint32_t GlSubsectorFlag = 0x80000000u;

// A seg has no end vertex: it ends where the next seg of its subsector
// starts, the last one where the first starts.
struct GlTreeSeg {
  uint32_t start;    // vertex number: below originalVertexes, VERTEXES; past it, newVertexes
  uint32_t partner;  // the seg on the other side of the same stretch, or NoPartner
  uint32_t linedef;  // or NoLinedef for a miniseg
  uint8_t side;      // 0 along the linedef, 1 against it
};

struct GlTreeNode {
  FixedPoint start;      // the partition line, fixed
  int32_t dx, dy;        // fixed, end minus start
  int16_t boxes[2][4];   // right, left; each top, bottom, left, right
  uint32_t children[2];  // right, left; GlSubsectorFlag marks a subsector
};

// The built tree. A subsector's segs follow each other in `segs`, the
// first one after the segs of the subsectors before it. The root is the
// last node.
struct GlTree {
  uint32_t originalVertexes;  // the entries of VERTEXES
  uint32_t linedefs;          // the level's linedefs, which XGLN numbers in 16 bits
  std::vector<FixedPoint> newVertexes;
  std::vector<uint32_t> subsectorSegCounts;
  std::vector<GlTreeSeg> segs;
  std::vector<GlTreeNode> nodes;
};

enum class GlForm { Xgln, Xgl2, Xgl3, Zgln, Zgl2, Zgl3 };

// The GL form asked for, the same for every level of a run (an option
// call): when set, a binary level's SSECTORS holds it and SEGS is empty.
extern bool GlNodesRequested;
extern GlForm RequestedGlForm;
void ResetGlNodes();

// Why a form cannot hold a tree; DescribeGlRefusal words each reason.
enum class GlRefusal {
  None,
  // XGLN and ZGLN: more than 65,534 linedefs (0xFFFF marks a miniseg).
  TooManyLinedefs,
  // XGLN, XGL2 and their Z forms: a node line with a fractional start or
  // delta, which they write as whole units: a UDMF level's line between
  // fractional points, or a direction too long for 16 bits that no whole
  // one within them describes exactly.
  FractionalNodeLine,
  // Any form: a stream larger than a lump can hold (the deflated forms are
  // held to the same bound before deflation).
  TooLarge,
};

// The first reason the form cannot hold the tree, or None.
GlRefusal FindGlRefusal(const GlTree& tree, GlForm form);
// The message for a refusal, for the caller's fatal error: the wording of
// every refusal is here.
const char* DescribeGlRefusal(GlRefusal refusal);

// The whole lump: the magic, then the stream (deflated for the Z forms).
// A refused tree, or a zlib failure, is fatal.
std::vector<uint8_t> EncodeGlNodes(const GlTree& tree, GlForm form);
