// SPDX-License-Identifier: GPL-2.0-or-later
// The kept keys. Each block kind looks its keys up in a short list, by
// length first, so that the many keys a node builder skips (textures,
// flags, lights) cost a comparison or two each.
#include "wad/udmf_keys.h"

#include "wad/udmf_numbers.h"

namespace {

static_assert(static_cast<int>(UdmfKey::HeightCeiling) + 1 == UdmfKeyCount, "a name for every key");
const char* const KeyNames[UdmfKeyCount] = {"",          "x",        "y",           "v1",           "v2",
                                            "sidefront", "sideback", "twosided",    "special",      "id",
                                            "arg0",      "sector",   "heightfloor", "heightceiling"};

const UdmfKey VertexKeys[] = {UdmfKey::X, UdmfKey::Y};
const UdmfKey LineDefKeys[] = {UdmfKey::V1,       UdmfKey::V2,      UdmfKey::SideFront, UdmfKey::SideBack,
                               UdmfKey::TwoSided, UdmfKey::Special, UdmfKey::Id,        UdmfKey::Arg0};
const UdmfKey SideDefKeys[] = {UdmfKey::Sector};
const UdmfKey SectorKeys[] = {UdmfKey::HeightFloor, UdmfKey::HeightCeiling, UdmfKey::Special, UdmfKey::Id};

template <size_t Count>
UdmfKey FindIn(const uint8_t* text, const UdmfToken& name, const UdmfKey (&keys)[Count]) {
  for (UdmfKey key : keys) {
    if (MatchUdmfWord(text, name, NameUdmfKey(key))) return key;
  }
  return UdmfKey::None;
}

std::string For(const std::string& expected, UdmfKey key) {
  return expected + " for '" + NameUdmfKey(key) + "'";
}

bool IsNumber(const UdmfToken& value) {
  return value.kind == UdmfTokenKind::Integer || value.kind == UdmfTokenKind::Float;
}

bool StoreCoordinate(const uint8_t* text, UdmfKey key, const UdmfToken& value, int32_t* fixed,
                     std::string* problem) {
  if (IsNumber(value)) {
    if (ConvertUdmfFixed(text + value.start, value.length, value.kind == UdmfTokenKind::Float, fixed))
      return true;
    *problem = For(std::string("expected a coordinate from -32768 to ") + UdmfLargestCoordinateText, key);
    return false;
  }
  // No number token is infinite or not a number; the words are caught so
  // that the message says why they are refused.
  const bool notFinite = value.kind == UdmfTokenKind::Identifier &&
                         (MatchUdmfWord(text, value, "nan") || MatchUdmfWord(text, value, "inf") ||
                          MatchUdmfWord(text, value, "infinity"));
  *problem = For(notFinite ? "expected a finite number" : "expected a number", key);
  return false;
}

// A record number, which fits 32 bits; sideback may also be -1, for none.
bool StoreNumber(const uint8_t* text, UdmfKey key, const UdmfToken& value, int64_t* number,
                 std::string* problem) {
  if (value.kind != UdmfTokenKind::Integer) {
    *problem = For("expected an integer", key);
    return false;
  }
  if (ConvertUdmfInteger(text + value.start, value.length, number) &&
      *number >= (key == UdmfKey::SideBack ? -1 : 0) && *number <= UINT32_MAX)
    return true;
  const char* expected = key == UdmfKey::V1 || key == UdmfKey::V2 ? "expected a vertex number"
                         : key == UdmfKey::Sector                 ? "expected a sector number"
                         : key == UdmfKey::SideBack               ? "expected a sidedef number or -1"
                                                                  : "expected a sidedef number";
  *problem = For(expected, key);
  return false;
}

bool StoreInt32(const uint8_t* text, UdmfKey key, const UdmfToken& value, int32_t* field,
                std::string* problem) {
  int64_t number = 0;
  if (value.kind == UdmfTokenKind::Integer && ConvertUdmfInteger(text + value.start, value.length, &number) &&
      number >= INT32_MIN && number <= INT32_MAX) {
    *field = static_cast<int32_t>(number);
    return true;
  }
  *problem = For("expected a 32-bit integer", key);
  return false;
}

bool StoreBoolean(const uint8_t* text, UdmfKey key, const UdmfToken& value, bool* field,
                  std::string* problem) {
  const bool isWord = value.kind == UdmfTokenKind::Identifier;
  const bool isTrue = isWord && MatchUdmfWord(text, value, "true");
  if (!isTrue && !(isWord && MatchUdmfWord(text, value, "false"))) {
    *problem = For("expected true or false", key);
    return false;
  }
  *field = isTrue;
  return true;
}

}  // namespace

UdmfRecord MakeUdmfRecord() {
  UdmfRecord record = {};
  record.line.sideBack = -1;
  record.line.id = -1;
  return record;
}

UdmfBlock FindUdmfBlock(const uint8_t* text, const UdmfToken& name) {
  if (MatchUdmfWord(text, name, "vertex")) return UdmfBlock::Vertex;
  if (MatchUdmfWord(text, name, "linedef")) return UdmfBlock::LineDef;
  if (MatchUdmfWord(text, name, "sidedef")) return UdmfBlock::SideDef;
  if (MatchUdmfWord(text, name, "sector")) return UdmfBlock::Sector;
  if (MatchUdmfWord(text, name, "thing")) return UdmfBlock::Thing;
  return UdmfBlock::Other;
}

UdmfKey FindUdmfKey(const uint8_t* text, const UdmfToken& name, UdmfBlock block) {
  switch (block) {
    case UdmfBlock::Vertex: return FindIn(text, name, VertexKeys);
    case UdmfBlock::LineDef: return FindIn(text, name, LineDefKeys);
    case UdmfBlock::SideDef: return FindIn(text, name, SideDefKeys);
    case UdmfBlock::Sector: return FindIn(text, name, SectorKeys);
    default: return UdmfKey::None;
  }
}

const char* NameUdmfKey(UdmfKey key) { return KeyNames[static_cast<int>(key)]; }

bool HasUdmfKey(const UdmfRecord& record, UdmfKey key) {
  return (record.seen & (1u << static_cast<int>(key))) != 0;
}

bool StoreUdmfValue(const uint8_t* text, UdmfKey key, const UdmfToken& value, UdmfRecord* r,
                    std::string* problem) {
  int64_t number = 0;
  int32_t word = 0;
  bool ok = true;
  switch (key) {
    case UdmfKey::None: return true;
    case UdmfKey::X: ok = StoreCoordinate(text, key, value, &r->vertex.x, problem); break;
    case UdmfKey::Y: ok = StoreCoordinate(text, key, value, &r->vertex.y, problem); break;
    case UdmfKey::V1:
    case UdmfKey::V2:
    case UdmfKey::SideFront:
    case UdmfKey::SideBack:
    case UdmfKey::Sector:
      ok = StoreNumber(text, key, value, &number, problem);
      r->valueAt[static_cast<int>(key)] = value.start;
      if (key == UdmfKey::V1) r->line.v1 = static_cast<uint32_t>(number);
      if (key == UdmfKey::V2) r->line.v2 = static_cast<uint32_t>(number);
      if (key == UdmfKey::SideFront) r->line.sideFront = static_cast<uint32_t>(number);
      if (key == UdmfKey::SideBack) r->line.sideBack = number;
      if (key == UdmfKey::Sector) r->side.sector = static_cast<uint32_t>(number);
      break;
    case UdmfKey::TwoSided: ok = StoreBoolean(text, key, value, &r->line.twoSided, problem); break;
    // The same names in linedefs and sectors.
    case UdmfKey::Special:
      ok = StoreInt32(text, key, value, &word, problem);
      r->line.special = r->sector.special = word;
      break;
    case UdmfKey::Id:
      ok = StoreInt32(text, key, value, &word, problem);
      r->line.id = r->sector.id = word;
      break;
    case UdmfKey::Arg0: ok = StoreInt32(text, key, value, &r->line.arg0, problem); break;
    case UdmfKey::HeightFloor: ok = StoreInt32(text, key, value, &r->sector.heightFloor, problem); break;
    case UdmfKey::HeightCeiling: ok = StoreInt32(text, key, value, &r->sector.heightCeiling, problem); break;
  }
  r->seen |= 1u << static_cast<int>(key);
  return ok;
}
