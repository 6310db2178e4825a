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
