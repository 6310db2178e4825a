// SPDX-License-Identifier: GPL-2.0-or-later
// The plain facts of the WAD format, in one place for the node builder,
// the level checker, the tests and the tools: byte order, record sizes and
// the names of a level's lumps. Only facts live here, no logic of either
// program, so that the checker stays an independent judge of the builder.
#pragma once

#include <cstdint>

// Little-endian fields. Every record is read and written through these,
// never through pointer casts.
inline int32_t ReadInt16(const uint8_t* p) {
  return static_cast<int16_t>(static_cast<uint16_t>(p[0] | (p[1] << 8)));
}

inline int32_t ReadUint16(const uint8_t* p) { return p[0] | (p[1] << 8); }

inline int32_t ReadInt32(const uint8_t* p) {
  return static_cast<int32_t>(static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) |
                              (static_cast<uint32_t>(p[2]) << 16) | (static_cast<uint32_t>(p[3]) << 24));
}

// Stores the low 16 bits of the value.
inline void WriteInt16(uint8_t* p, int32_t value) {
  p[0] = static_cast<uint8_t>(value);
  p[1] = static_cast<uint8_t>(value >> 8);
}

inline void WriteInt32(uint8_t* p, int32_t value) {
  p[0] = static_cast<uint8_t>(value);
  p[1] = static_cast<uint8_t>(value >> 8);
  p[2] = static_cast<uint8_t>(value >> 16);
  p[3] = static_cast<uint8_t>(value >> 24);
}

// Sizes in bytes of the header, of a directory entry and of the records.
constexpr int32_t WadHeaderSize = 12;
constexpr int32_t LumpEntrySize = 16;
constexpr int32_t DoomThingSize = 10;
constexpr int32_t HexenThingSize = 20;
constexpr int32_t DoomLineDefSize = 14;
constexpr int32_t HexenLineDefSize = 16;
constexpr int32_t SideDefRecordSize = 30;
constexpr int32_t VertexRecordSize = 4;
constexpr int32_t SegRecordSize = 12;
constexpr int32_t SubsectorRecordSize = 4;
constexpr int32_t NodeRecordSize = 28;
constexpr int32_t SectorRecordSize = 26;
// Where a sidedef names its sector.
constexpr int32_t SideDefSectorOffset = 28;
// Where a linedef names its right sidedef; the left one follows.
constexpr int32_t DoomLineDefSidesOffset = 10;
constexpr int32_t HexenLineDefSidesOffset = 12;

// A node record holds a box for each child, right (front) then left
// (back): the top (largest y), bottom (smallest y), left (smallest x) and
// right (largest x) of what lies under the child, each a signed 16-bit
// word in this order; the extended node formats keep the same four words.
// The builder holds its boxes whole until they are written, and the
// checker decodes them into this too.
//
// The other boxes of the two programs mean other things and stay their
// own: the builder's Bounds (wad/level.h) is the smallest and largest x
// and y of a seg list, all zero when the list is empty, from which a node
// box is made; the partition scan's SegBox (nodes/seg_table.h) is a
// block's centre and size, doubled so as to stay whole, for a fast side
// test; the checker's MapBox (check/map_level.h) grows point by point from
// empty, to be compared with the stored box.
struct NodeBox {
  int32_t top, bottom, left, right;
  bool operator==(const NodeBox& o) const {
    return top == o.top && bottom == o.bottom && left == o.left && right == o.right;
  }
};
constexpr int32_t NodeBoxSize = 8;
// Where the fields of a node record start: the partition line (x, y, dx,
// dy) at 0, then the boxes, then the children.
constexpr int32_t NodeRightBoxOffset = 8;
constexpr int32_t NodeLeftBoxOffset = NodeRightBoxOffset + NodeBoxSize;
constexpr int32_t NodeRightChildOffset = NodeLeftBoxOffset + NodeBoxSize;
constexpr int32_t NodeLeftChildOffset = NodeRightChildOffset + 2;
static_assert(NodeLeftChildOffset + 2 == NodeRecordSize, "a node record ends with its two children");

inline NodeBox ReadNodeBox(const uint8_t* p) {
  return NodeBox{ReadInt16(p), ReadInt16(p + 2), ReadInt16(p + 4), ReadInt16(p + 6)};
}

// Stores the low 16 bits of each side.
inline void WriteNodeBox(uint8_t* p, const NodeBox& box) {
  WriteInt16(p, box.top);
  WriteInt16(p + 2, box.bottom);
  WriteInt16(p + 4, box.left);
  WriteInt16(p + 6, box.right);
}

// The records of the XNOD stream (ZNOD deflates the same stream): a new
// vertex is two 16.16 fixed-point words, a subsector its seg count, a seg
// two vertex numbers, a linedef number and a side byte, a node the partition
// line and boxes in 16-bit words and two 32-bit children. Each group of
// records follows its 32-bit count; the vertexes follow two counts.
constexpr int32_t XnodCountSize = 4;
constexpr int32_t XnodVertexSize = 8;
constexpr int32_t XnodSubsectorSize = 4;
constexpr int32_t XnodSegSize = 11;
constexpr int32_t XnodNodeSize = 32;

// The most records the vanilla node lumps can number: vertex and seg
// numbers are unsigned 16-bit, subsector and node numbers share their 16
// bits with the subsector flag.
constexpr int32_t VanillaMaxVertexes = 65536;
constexpr int32_t VanillaMaxSegs = 65536;
constexpr int32_t VanillaMaxSubsectors = 32768;
constexpr int32_t VanillaMaxNodes = 32768;

// The ten lumps that follow a level marker, in their standard order.
constexpr int32_t LevelLumpCount = 10;
extern const char* const LevelLumpNames[LevelLumpCount];
// The lump after BLOCKMAP that marks a level in the Hexen format.
extern const char* const BehaviorLumpName;
// A UDMF level: its marker, TEXTMAP, any other lumps (ZNODES holds its GL
// nodes), and ENDMAP last.
extern const char* const TextMapLumpName;
extern const char* const ZNodesLumpName;
extern const char* const EndMapLumpName;
