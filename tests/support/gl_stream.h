// SPDX-License-Identifier: GPL-2.0-or-later
// Hand-written GL node streams for the checker's tests: records listed as
// the tests think of them, encoded as SSECTORS holds them (XGLN, XGL2,
// XGL3, or deflated as ZGLN, ZGL2, ZGL3), and the XNOD stream of the same
// tree for NODES.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

constexpr uint32_t kStreamNone = 0xFFFFFFFFu;     // no partner
constexpr uint32_t kStreamMiniseg = 0xFFFFFFFFu;  // the linedef of a miniseg, cut to 16 bits in XGLN
constexpr uint32_t kStreamSubsector = 0x80000000u;

// Whole map units as 16.16 fixed point.
constexpr int32_t Fixed(int units) { return units * 65536; }

struct StreamSeg {
  uint32_t v1, partner, line;
  int side;
};

struct StreamNode {
  int32_t x, y, dx, dy;  // fixed point; XGLN and XGL2 keep the whole units
  int box[2][4];         // right, left: top, bottom, left, right
  uint32_t child[2];     // kStreamSubsector | subsector, or a node
};

struct GlStream {
  uint32_t originalVertexes = 0;
  std::vector<std::pair<int32_t, int32_t>> vertexes;  // the stream's own, fixed point
  std::vector<uint32_t> subsectors;                   // seg counts
  std::vector<StreamSeg> segs;
  std::vector<StreamNode> nodes;
};

// The whole lump: the magic of `format`, then the records in its layout,
// deflated for the Z forms.
std::vector<uint8_t> EncodeGlStream(const GlStream& stream, const std::string& format);
// XNOD (or ZNOD) for NODES: the same vertexes and nodes, each subsector
// with its real segs only, each ending where the next seg in its
// subsector starts.
std::vector<uint8_t> EncodeExtendedFromGl(const GlStream& stream, const std::string& format);
