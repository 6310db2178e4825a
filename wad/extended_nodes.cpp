// SPDX-License-Identifier: GPL-2.0-or-later
// Encoding the built tree as XNOD or ZNOD.
#include "wad/extended_nodes.h"

#include <zlib.h>

#include <cassert>

#include "console/services.h"
#include "format/wad_format.h"
#include "wad/field_writer.h"
#include "wad/level.h"

NodeFormat RequestedNodeFormat = NodeFormat::Vanilla;

namespace {

// A child in the stream: bit 31 marks a subsector, as held.
constexpr uint32_t XnodSubsectorFlag = 0x80000000u;
static_assert(XnodSubsectorFlag == SubsectorFlag, "children are held as the stream writes them");

// Bytes of the stream after the magic.
int64_t XnodStreamSize() {
  int64_t added = Level.VertexCount - Level.LineDefVertexCount;
  // Five counts, then the records.
  return 5 * XnodCountSize + added * XnodVertexSize +
         static_cast<int64_t>(Level.SubsectorCount) * XnodSubsectorSize +
         static_cast<int64_t>(Level.SegCount) * XnodSegSize +
         static_cast<int64_t>(Level.NodeCount) * XnodNodeSize;
}

void WriteXnodStream(uint8_t* block) {
  int32_t original = Level.LineDefVertexCount;
  FieldWriter out(block);
  out.U32(static_cast<uint32_t>(original));
  out.U32(static_cast<uint32_t>(Level.VertexCount - original));
  for (int32_t i = original; i < Level.VertexCount; i++) {
    // The cut point's whole units as 16.16 fixed point.
    out.U32(static_cast<uint32_t>(Level.Vertexes[i].X) << 16);
    out.U32(static_cast<uint32_t>(Level.Vertexes[i].Y) << 16);
  }
  out.U32(static_cast<uint32_t>(Level.SubsectorCount));
  for (int32_t i = 0; i < Level.SubsectorCount; i++) out.U32(Level.Subsectors[i].segCount);
  out.U32(static_cast<uint32_t>(Level.SegCount));
  for (int32_t i = 0; i < Level.SegCount; i++) {
    const SegRecord& seg = Level.Segs[i];
    out.U32(seg.startVertex);
    out.U32(seg.endVertex);
    out.U16(seg.lineDef);
    out.U8(seg.direction);
  }
  out.U32(static_cast<uint32_t>(Level.NodeCount));
  for (int32_t i = 0; i < Level.NodeCount; i++) {
    const NodeRecord& node = Level.Nodes[i];
    for (int16_t value : {node.x, node.y, node.dx, node.dy}) out.U16(static_cast<uint16_t>(value));
    for (const NodeBox& box : {node.rightBox, node.leftBox})
      for (int32_t side : {box.top, box.bottom, box.left, box.right}) out.U16(static_cast<uint16_t>(side));
    out.U32(node.rightChild);
    out.U32(node.leftChild);
  }
  assert(out.at() == block + XnodStreamSize());
}

// A lump size the directory can hold, or the refusal.
int32_t CheckedLumpSize(int64_t size) {
  if (size > INT32_MAX)
    FatalError("Too many %s: %ld, the limit is %ld", "node bytes", static_cast<long>(size),
               static_cast<long>(INT32_MAX));
  return static_cast<int32_t>(size);
}

}  // namespace

bool FitsVanillaNodes() {
  return Level.VertexCount <= VanillaMaxVertexes && Level.SegCount <= VanillaMaxSegs &&
         Level.SubsectorCount <= VanillaMaxSubsectors && Level.NodeCount <= VanillaMaxNodes;
}

NodeFormat ChooseNodeFormat() {
  if (RequestedNodeFormat != NodeFormat::Auto) return RequestedNodeFormat;
  return FitsVanillaNodes() ? NodeFormat::Vanilla : NodeFormat::Xnod;
}

std::vector<uint8_t> EncodeXnodStream() {
  std::vector<uint8_t> bytes(static_cast<size_t>(XnodStreamSize()));
  WriteXnodStream(bytes.data());
  return bytes;
}

void EncodeExtendedNodes(NodeFormat format) {
  int32_t streamSize = CheckedLumpSize(XnodStreamSize());
  uint8_t* lump = nullptr;
  int32_t size = 0;
  if (format == NodeFormat::Znod) {
    uint8_t* stream = static_cast<uint8_t*>(AllocOrDie(streamSize));
    WriteXnodStream(stream);
    uLongf packed = compressBound(static_cast<uLong>(streamSize));
    lump = static_cast<uint8_t*>(AllocOrDie(CheckedLumpSize(4 + static_cast<int64_t>(packed))));
    int status = compress2(lump + 4, &packed, stream, static_cast<uLong>(streamSize), Z_DEFAULT_COMPRESSION);
    FreeBlock(stream);
    if (status != Z_OK) {
      FreeBlock(lump);
      FatalError("Could not compress the nodes: zlib error %d", status);
    }
    size = static_cast<int32_t>(4 + packed);
    WriteMagic(lump, "ZNOD");
  } else {
    size = CheckedLumpSize(4 + static_cast<int64_t>(streamSize));
    lump = static_cast<uint8_t*>(AllocOrDie(size));
    WriteMagic(lump, "XNOD");
    WriteXnodStream(lump + 4);
  }
  Level.ExtendedNodes = lump;
  Level.ExtendedNodesSize = size;
  // The stream holds the tree now: the records are not written.
  FreeBlock(Level.Segs);
  FreeBlock(Level.Subsectors);
  FreeBlock(Level.Nodes);
  Level.Segs = nullptr;
  Level.Subsectors = nullptr;
  Level.Nodes = nullptr;
}

void ResetExtendedNodes() { RequestedNodeFormat = NodeFormat::Vanilla; }
