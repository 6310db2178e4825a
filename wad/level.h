// SPDX-License-Identifier: GPL-2.0-or-later
// The level in memory: process-wide arrays with their counts and
// capacities, filled by the loaders and extended by the builders.
#pragma once

#include <cstdint>

#include "format/wad_format.h"

// A UDMF level is read from TEXTMAP into the GL tree's input, not into
// the arrays below; only its ZNODES lump (GlNodes) is held here.
enum class LevelFormat { Doom, Hexen, Udmf };

struct Vertex {
  int16_t X;
  int16_t Y;
};

// A box in map coordinates: the smallest and largest x and y of what it
// holds. A node's box (NodeBox, format/wad_format.h) is made from it, in
// the record's order; the blockmap grid and the axis cuts read it as is.
struct Bounds {
  int32_t MinX, MaxX, MinY, MaxY;
};

// The internal linedef: the Doom record, whichever format was read. The
// vertex and sidedef numbers are read as signed 16-bit words (the classic
// call) or as unsigned ones (an option call, ReadNumbersUnsigned), so they
// are held in 32 bits.
struct LineDef {
  int32_t StartVertex;
  int32_t EndVertex;
  int16_t Flags;
  int16_t Special;
  int16_t Tag;
  int32_t RightSideDef;  // -1 for none
  int32_t LeftSideDef;   // -1 for none
};

// Output records. Numbers of vertexes, segs, subsectors and nodes are held
// whole; the vanilla lumps write them as 16-bit words (within the limits
// checked before), the extended nodes as 32-bit ones.
struct SegRecord {
  uint32_t startVertex;
  uint32_t endVertex;
  uint16_t angle;
  uint16_t lineDef;
  uint16_t direction;
  uint16_t offset;
};

struct SubsectorRecord {
  uint32_t segCount;
  uint32_t firstSeg;
};

struct NodeRecord {
  int16_t x;
  int16_t y;
  int16_t dx;
  int16_t dy;
  NodeBox rightBox;  // each side within 16 bits, as written
  NodeBox leftBox;
  uint32_t rightChild;  // node number, or subsector index | SubsectorFlag
  uint32_t leftChild;
};

// A child that is a subsector, as held; the NODES lump writes the index
// with VanillaSubsectorFlag instead.
constexpr uint32_t SubsectorFlag = 0x80000000u;
constexpr uint16_t VanillaSubsectorFlag = 0x8000;

struct LevelData {
  LevelFormat Format;

  uint8_t* Things;
  int32_t ThingsSize;

  uint8_t* LineDefsRaw;  // as read, in the input's record layout
  int32_t LineDefsSize;
  LineDef* LineDefs;  // renumbered vertexes
  int32_t LineDefCount;

  uint8_t* SideDefs;  // raw 30-byte records
  int32_t SideDefsSize;

  Vertex* Vertexes;  // used input vertexes, renumbered, then cut points
  int32_t VertexCount;
  int32_t VertexCapacity;

  uint8_t* Sectors;
  int32_t SectorsSize;
  int32_t SectorCount;

  uint8_t* Reject;  // null when it is copied at write time (RejectCopiedAtWrite)
  int32_t RejectSize;
  int32_t RejectPresent;   // bytes of the input's REJECT that are kept
  int32_t RejectInputPos;  // where they are in the input

  SegRecord* Segs;
  int32_t SegCount;
  int32_t SegCapacity;

  SubsectorRecord* Subsectors;
  int32_t SubsectorCount;
  int32_t SubsectorCapacity;

  NodeRecord* Nodes;
  int32_t NodeCount;

  int32_t OldNodeCount;  // records of the input NODES lump; progress denominator

  int32_t LineDefVertexCount;  // the vertexes of the linedefs, before any cut point

  // The NODES lump in an extended form (XNOD, ZNOD), made when the level's
  // place in the output is planned; null for vanilla nodes.
  uint8_t* ExtendedNodes;
  int32_t ExtendedNodesSize;

  // The GL nodes for SSECTORS (ZNODES in a UDMF level), in the form asked
  // for; null without them.
  uint8_t* GlNodes;
  int32_t GlNodesSize;

  uint8_t* BlockmapLump;
  int32_t BlockmapSize;
};

extern LevelData Level;

// How LINEDEFS numbers its vertexes and sidedefs: as signed 16-bit words
// (false, the classic call: a number past 32767 is refused or reads as no
// sidedef), or unsigned (an option call, as limit-removing engines read
// them: up to 65535 vertexes, sidedef 0xFFFF for none). Set before the
// first level is loaded.
extern bool UnsignedLineDefNumbers;

// REJECT is not held in memory but copied from the input, and padded with
// zero bytes, as it is written (an option call: on a large level it is
// the largest block of all, ⌈sectors² / 8⌉ bytes). The bytes are the same.
extern bool RejectCopiedAtWrite;

// The loaders, called once each in this order by the run driver.
void DetectLevelFormat();
void LoadThings();
void LoadLineDefs();
void LoadSideDefs();
void LoadVertexes();
void PrepareSegs();
void PrepareSubsectors();
void ReadOldNodeCount();
void LoadSectors();
void LoadReject();
// All ten, in that order.
void LoadLevel();

// Growth rule of the vertex, seg and subsector arrays: before an entry is
// stored at index `count`, a full array grows to count + 200 entries.
void MakeRoom(void** array, int32_t count, int32_t* capacity, int32_t entrySize);
int32_t AppendVertex(int32_t x, int32_t y);  // returns the new vertex number

// Sector of a sidedef, or -1 when the sidedef number names no record.
int16_t SectorOfSideDef(int32_t sideDef);

// Frees every array of the level and forgets it, so that another level can
// be loaded into an empty LevelData.
void ReleaseLevel();
// Forgets the level (counts, sizes and pointers to zero) without freeing its
// blocks, for tests that point members at memory of their own.
void ResetLevel();
