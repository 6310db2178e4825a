// SPDX-License-Identifier: GPL-2.0-or-later
// The blocks and keys of TEXTMAP that are kept, and their values checked
// for kind and range as they are stored into the record being read.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "wad/udmf_lexer.h"
#include "wad/udmf_reader.h"

enum class UdmfBlock { Vertex, LineDef, SideDef, Sector, Thing, Other };

// Every other key is skipped.
enum class UdmfKey {
  None,
  X,
  Y,
  V1,
  V2,
  SideFront,
  SideBack,
  TwoSided,
  Special,
  Id,
  Arg0,
  Sector,
  HeightFloor,
  HeightCeiling,
};
constexpr int UdmfKeyCount = 14;

// The block being read: the fields of its kind, the keys given so far, and
// where the value of each record number is in the text.
struct UdmfRecord {
  UdmfVertex vertex;
  UdmfLineDef line;
  UdmfSideDef side;
  UdmfSector sector;
  uint32_t seen;  // bit 1 << key of each key given
  size_t valueAt[UdmfKeyCount];
};

// A record with the defaults of the keys that may be left out.
UdmfRecord MakeUdmfRecord();

UdmfBlock FindUdmfBlock(const uint8_t* text, const UdmfToken& name);
// The kept key of that name in a block of that kind, or None.
UdmfKey FindUdmfKey(const uint8_t* text, const UdmfToken& name, UdmfBlock block);
// The key's name in lower case, as the messages print it.
const char* NameUdmfKey(UdmfKey key);

bool HasUdmfKey(const UdmfRecord& record, UdmfKey key);

// Stores the value token into the record. False when the value is of the
// wrong kind or out of range, with `problem` saying what was expected
// (the caller adds where).
bool StoreUdmfValue(const uint8_t* text, UdmfKey key, const UdmfToken& value, UdmfRecord* record,
                    std::string* problem);
