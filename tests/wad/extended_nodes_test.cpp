// SPDX-License-Identifier: GPL-2.0-or-later
// The node format a level is written in, and the XNOD stream's layout on a
// tree small enough to write out by hand.
#include "wad/extended_nodes.h"

#include "format/wad_format.h"
#include "tests/wad/wad_fixture.h"

namespace {

class ExtendedNodesTest : public WadTest {};

TEST_F(ExtendedNodesTest, AutoWritesVanillaNodesUpToTheirLimits) {
  struct Case {
    int32_t vertexes, segs, subsectors, nodes;
    NodeFormat chosen;
  };
  const Case cases[] = {
      {65536, 65536, 32768, 32768, NodeFormat::Vanilla},
      {65537, 10, 10, 9, NodeFormat::Xnod},
      {10, 65537, 10, 9, NodeFormat::Xnod},
      {10, 10, 32769, 9, NodeFormat::Xnod},
      {10, 10, 10, 32769, NodeFormat::Xnod},
  };
  RequestedNodeFormat = NodeFormat::Auto;
  for (const Case& c : cases) {
    Level.VertexCount = c.vertexes;
    Level.SegCount = c.segs;
    Level.SubsectorCount = c.subsectors;
    Level.NodeCount = c.nodes;
    EXPECT_EQ(ChooseNodeFormat(), c.chosen) << c.vertexes << " " << c.segs << " " << c.subsectors;
  }
  // A format asked for by name is kept whatever the size.
  RequestedNodeFormat = NodeFormat::Znod;
  EXPECT_EQ(ChooseNodeFormat(), NodeFormat::Znod);
  RequestedNodeFormat = NodeFormat::Vanilla;
  EXPECT_EQ(ChooseNodeFormat(), NodeFormat::Vanilla);
  ResetLevel();
}

TEST_F(ExtendedNodesTest, StreamHoldsCutPointsSubsectorsSegsAndNodes) {
  Vertex vertexes[3] = {{0, 0}, {64, 0}, {-5, 7}};  // the last is a cut point
  SegRecord segs[2] = {{0, 2, 0, 1, 0, 0}, {70000, 1, 0, 65535, 1, 0}};
  SubsectorRecord subsectors[2] = {{1, 0}, {1, 1}};
  NodeRecord node = {-1, 2, -3, 4, {5, 6, 7, 8}, {9, 10, 11, 12}, SubsectorFlag | 1, SubsectorFlag | 0};
  Level.Vertexes = vertexes;
  Level.VertexCount = 3;
  Level.LineDefVertexCount = 2;
  Level.Segs = segs;
  Level.SegCount = 2;
  Level.Subsectors = subsectors;
  Level.SubsectorCount = 2;
  Level.Nodes = &node;
  Level.NodeCount = 1;
  std::vector<uint8_t> stream = EncodeXnodStream();
  ResetLevel();

  std::vector<uint8_t> want;
  auto u32 = [&](uint32_t v) {
    for (int k = 0; k < 4; k++) want.push_back(static_cast<uint8_t>(v >> (8 * k)));
  };
  auto u16 = [&](int32_t v) {
    want.push_back(static_cast<uint8_t>(v));
    want.push_back(static_cast<uint8_t>(v >> 8));
  };
  u32(2);  // vertexes in VERTEXES
  u32(1);  // cut points, 16.16 fixed
  u32(static_cast<uint32_t>(-5 * 65536));
  u32(7 * 65536);
  u32(2);  // subsectors: seg counts
  u32(1);
  u32(1);
  u32(2);  // segs: v1, v2, linedef, side
  u32(0), u32(2), u16(1), want.push_back(0);
  u32(70000), u32(1), u16(65535), want.push_back(1);
  u32(1);  // nodes: the vanilla fields, then 32-bit children
  for (int v : {-1, 2, -3, 4, 5, 6, 7, 8, 9, 10, 11, 12}) u16(v);
  u32(0x80000001u);
  u32(0x80000000u);
  EXPECT_EQ(stream, want);
}

}  // namespace
