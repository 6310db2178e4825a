// SPDX-License-Identifier: GPL-2.0-or-later
// Encoding the built tree as XNOD or ZNOD.
#include "wad/extended_nodes.h"

#include <zlib.h>

#include <cstring>

#include "console/services.h"
#include "wad/bytes.h"
#include "wad/level.h"

NodeFormat RequestedNodeFormat = NodeFormat::Vanilla;

namespace {

// The vanilla lumps' limits, as the output plan checks them.
constexpr int32_t VanillaMaxVertexes = 65536;
constexpr int32_t VanillaMaxSegs = 65536;
constexpr int32_t VanillaMaxSubsectors = 32768;
constexpr int32_t VanillaMaxNodes = 32768;

// A child in the stream: bit 31 marks a subsector, as held.
constexpr uint32_t XnodSubsectorFlag = 0x80000000u;
static_assert(XnodSubsectorFlag == SubsectorFlag, "children are held as the stream writes them");

class Stream {
 public:
  explicit Stream(std::vector<uint8_t>* bytes) : bytes_(bytes) {}
  void U8(uint32_t value) { bytes_->push_back(static_cast<uint8_t>(value)); }
  void U16(uint32_t value) {
    uint8_t p[2];
    WriteInt16(p, static_cast<int32_t>(value));
    bytes_->insert(bytes_->end(), p, p + 2);
  }
  void U32(uint32_t value) {
    uint8_t p[4];
    WriteInt32(p, static_cast<int32_t>(value));
    bytes_->insert(bytes_->end(), p, p + 4);
  }

 private:
  std::vector<uint8_t>* bytes_;
};

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
  int32_t original = Level.LineDefVertexCount;
  int32_t added = Level.VertexCount - original;
  std::vector<uint8_t> bytes;
  bytes.reserve(16 + static_cast<size_t>(added) * 8 + static_cast<size_t>(Level.SubsectorCount) * 4 +
                static_cast<size_t>(Level.SegCount) * 11 + static_cast<size_t>(Level.NodeCount) * 32);
  Stream out(&bytes);
  out.U32(static_cast<uint32_t>(original));
  out.U32(static_cast<uint32_t>(added));
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
    for (int16_t value : node.rightBox) out.U16(static_cast<uint16_t>(value));
    for (int16_t value : node.leftBox) out.U16(static_cast<uint16_t>(value));
    out.U32(node.rightChild);
    out.U32(node.leftChild);
  }
  return bytes;
}

void EncodeExtendedNodes(NodeFormat format) {
  std::vector<uint8_t> stream = EncodeXnodStream();
  const char* magic = format == NodeFormat::Znod ? "ZNOD" : "XNOD";
  size_t size = 4 + stream.size();
  if (format == NodeFormat::Znod) size = 4 + compressBound(static_cast<uLong>(stream.size()));
  if (size > static_cast<size_t>(INT32_MAX))
    FatalError("Too many %s: %ld, the limit is %ld", "node bytes", static_cast<long>(size),
               static_cast<long>(INT32_MAX));
  uint8_t* lump = static_cast<uint8_t*>(AllocOrDie(static_cast<int32_t>(size)));
  std::memcpy(lump, magic, 4);
  if (format == NodeFormat::Znod) {
    uLongf packed = static_cast<uLongf>(size - 4);
    int status =
        compress2(lump + 4, &packed, stream.data(), static_cast<uLong>(stream.size()), Z_BEST_COMPRESSION);
    if (status != Z_OK) {
      FreeBlock(lump);
      FatalError("Could not compress the nodes: zlib error %d", status);
    }
    size = 4 + packed;
  } else {
    std::memcpy(lump + 4, stream.data(), stream.size());
  }
  Level.ExtendedNodes = lump;
  Level.ExtendedNodesSize = static_cast<int32_t>(size);
}

void ResetExtendedNodes() { RequestedNodeFormat = NodeFormat::Vanilla; }
