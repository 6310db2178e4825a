// SPDX-License-Identifier: GPL-2.0-or-later
// Reading a UDMF level's TEXTMAP lump (the Universal Doom Map Format,
// version 1.1) into the little a node builder needs: the vertexes, the
// linedefs with their sidedefs, the sidedefs' sectors, the sectors and
// the number of things. Records are numbered from 0 in the order they
// appear. Any namespace is read the same way; unknown keys and blocks are
// checked for their syntax and skipped.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// 16.16 fixed point, as the engines read UDMF coordinates: the decimal
// value rounded to the nearest 1/65536, halves away from zero, and
// refused unless that fits 32 bits (wad/udmf_numbers.h).
struct UdmfVertex {
  int32_t x;
  int32_t y;
};

struct UdmfLineDef {
  uint32_t v1;
  uint32_t v2;
  uint32_t sideFront;
  int64_t sideBack;  // -1 for none
  bool twoSided;
  int32_t special;
  int32_t id;    // -1 when not given
  int32_t arg0;  // the polyobject number of the polyobject specials
};

struct UdmfSideDef {
  uint32_t sector;
};

struct UdmfSector {
  int32_t heightFloor;
  int32_t heightCeiling;
  int32_t special;
  int32_t id;
};

struct UdmfMap {
  std::string nameSpace;  // as written, "" when the map names none
  std::vector<UdmfVertex> vertexes;
  std::vector<UdmfLineDef> lineDefs;
  std::vector<UdmfSideDef> sideDefs;
  std::vector<UdmfSector> sectors;
  uint32_t thingCount;
};

// Reads TEXTMAP. On success every vertex, sidedef and sector number in the
// map names a record of it, and the map has at least one linedef. On
// failure the map is left empty and `error` holds one line,
//   TEXTMAP line 12, column 5: expected ';'
// with the line and the column (counted in bytes, both from 1) of the
// token at fault or of the end of the text. Syntax and value problems are
// reported where they are first met; records that name missing ones are
// judged once the whole text is read, and the first of them in the text
// is reported. Never throws and never ends the process: the caller makes
// the message fatal.
bool ReadUdmfMap(const uint8_t* text, size_t size, UdmfMap* map, std::string* error);
