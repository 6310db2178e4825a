// SPDX-License-Identifier: GPL-2.0-or-later
// Level loading: the lumps of one level, read into Level. The old SEGS,
// SSECTORS and NODES lumps are only measured, never read.
#include <cstring>

#include "console/services.h"
#include "format/wad_format.h"
#include "wad/level.h"
#include "wad/level_runs.h"
#include "wad/stream.h"
#include "wad/wadfile.h"

// The ten entries of LevelLumpNames must follow the level marker, in that
// order; they are rewritten in place, so any other layout would lose lumps
// (an option call lays editors' levels out so first, ArrangeLevelRuns).

// Sector numbers are signed 16-bit in SIDEDEFS.
constexpr int32_t MaxSectorCount = 32768;

// Output arrays get a third of slack over the previous build, and a fixed
// room for small levels.
static int32_t CapacityFromOldCount(int32_t oldCount) {
  int32_t capacity = oldCount + oldCount / 3;
  return capacity < 1000 ? 2000 : capacity;
}

// Without a previous build (an editor's level), the count is estimated
// from the linedefs, so that a large level does not grow its arrays 200
// entries at a time: about two segs and half a subsector a linedef.
static int32_t EstimatedOldCount(int32_t oldCount, int32_t perTwoLineDefs) {
  if (!LevelRunsArranged || oldCount > 0) return oldCount;
  return static_cast<int32_t>(static_cast<int64_t>(Level.LineDefCount) * perTwoLineDefs / 2);
}

// A level is in Hexen format when its BLOCKMAP is followed directly by
// BEHAVIOR; a BEHAVIOR lump of some other level does not count.
// In an arranged directory BEHAVIOR counts anywhere in the level's run.
static void SettleLevelFormat() {
  int32_t behavior = LevelMarkerIndex + 1 + LevelLumpCount;
  Level.Format = LevelFormat::Doom;
  if (LevelRunsArranged && LevelMarkerIndex >= 0) {
    if (RunHoldsBehavior(LevelMarkerIndex)) Level.Format = LevelFormat::Hexen;
    return;
  }
  if (LevelMarkerIndex < 0 || behavior >= InputHeader.LumpCount) return;
  char name[9];
  CopyLumpName(name, &Directory[behavior]);
  if (std::strcmp(name, BehaviorLumpName) == 0) Level.Format = LevelFormat::Hexen;
}

static void CheckLevelEntries() {
  char level[9];
  CopyLumpName(level, &Directory[LevelMarkerIndex]);
  for (int32_t slot = 0; slot < LevelLumpCount; slot++) {
    int32_t index = LevelMarkerIndex + 1 + slot;
    if (index >= InputHeader.LumpCount)
      FatalError("Level %s: entry %d is missing, expected %s", level, index, LevelLumpNames[slot]);
    char name[9];
    CopyLumpName(name, &Directory[index]);
    if (std::strcmp(name, LevelLumpNames[slot]) != 0)
      FatalError("Level %s: entry %d is %s, expected %s", level, index, name, LevelLumpNames[slot]);
  }
}

// With no level named the marker is not known yet; LoadThings settles the
// format again once it is, before LINEDEFS is read.
void DetectLevelFormat() { SettleLevelFormat(); }

void LoadThings() {
  int16_t things = FindLump("THINGS", true);
  if (LevelMarkerIndex == 0) LevelMarkerIndex = static_cast<int16_t>(things - 1);
  if (Directory[things].Size <= 0) FatalError("No Things Found?");
  if (things <= 0) FatalError("No level found?");
  CheckLevelEntries();
  CheckArrangedLevel();
  SettleLevelFormat();
  Level.Things = ReadLump(things);
  Level.ThingsSize = Directory[things].Size;
}

bool UnsignedLineDefNumbers = false;
bool RejectCopiedAtWrite = false;

static int32_t ReadVertexNumber(const uint8_t* p) {
  return UnsignedLineDefNumbers ? ReadUint16(p) : ReadInt16(p);
}

static int32_t ReadSideDefNumber(const uint8_t* p) {
  if (!UnsignedLineDefNumbers) return ReadInt16(p);
  int32_t number = ReadUint16(p);
  return number == 0xFFFF ? -1 : number;
}

void LoadLineDefs() {
  int16_t index = FindLump("LINEDEFS", true);
  int32_t size = Directory[index].Size;
  if (size <= 0) FatalError("No LineDefs found");
  Level.LineDefsSize = size;
  Level.LineDefsRaw = ReadLump(index);

  bool hexen = Level.Format == LevelFormat::Hexen;
  int32_t recordSize = hexen ? HexenLineDefSize : DoomLineDefSize;
  Level.LineDefCount = size / recordSize;
  Level.LineDefs = static_cast<LineDef*>(AllocArrayOrDie(Level.LineDefCount, sizeof(LineDef)));
  for (int32_t i = 0; i < Level.LineDefCount; i++) {
    const uint8_t* raw = Level.LineDefsRaw + i * recordSize;
    LineDef* line = &Level.LineDefs[i];
    line->StartVertex = ReadVertexNumber(raw);
    line->EndVertex = ReadVertexNumber(raw + 2);
    line->Flags = static_cast<int16_t>(ReadInt16(raw + 4));
    if (hexen) {
      // The special and its first argument are single unsigned bytes.
      line->Special = raw[6];
      line->Tag = raw[7];
      line->RightSideDef = ReadSideDefNumber(raw + HexenLineDefSidesOffset);
      line->LeftSideDef = ReadSideDefNumber(raw + HexenLineDefSidesOffset + 2);
    } else {
      line->Special = static_cast<int16_t>(ReadInt16(raw + 6));
      line->Tag = static_cast<int16_t>(ReadInt16(raw + 8));
      line->RightSideDef = ReadSideDefNumber(raw + DoomLineDefSidesOffset);
      line->LeftSideDef = ReadSideDefNumber(raw + DoomLineDefSidesOffset + 2);
    }
  }
}

void LoadSideDefs() {
  int16_t index = FindLump("SIDEDEFS", true);
  if (Directory[index].Size <= 0) FatalError("No SideDefs found");
  Level.SideDefs = ReadLump(index);
  Level.SideDefsSize = Directory[index].Size;
}

void PrepareSegs() {
  int16_t index = FindLump("SEGS", true);
  Level.SegCapacity = CapacityFromOldCount(EstimatedOldCount(Directory[index].Size / SegRecordSize, 4));
  Level.Segs = static_cast<SegRecord*>(AllocArrayOrDie(Level.SegCapacity, sizeof(SegRecord)));
  Level.SegCount = 0;
}

void PrepareSubsectors() {
  int16_t index = FindLump("SSECTORS", true);
  Level.SubsectorCapacity =
      CapacityFromOldCount(EstimatedOldCount(Directory[index].Size / SubsectorRecordSize, 1));
  Level.Subsectors =
      static_cast<SubsectorRecord*>(AllocArrayOrDie(Level.SubsectorCapacity, sizeof(SubsectorRecord)));
  Level.SubsectorCount = 0;
}

void ReadOldNodeCount() {
  int16_t index = FindLump("NODES", true);
  Level.OldNodeCount = Directory[index].Size / NodeRecordSize;
}

// An empty SECTORS lump is refused by the allocator (a 0-byte block).
void LoadSectors() {
  int16_t index = FindLump("SECTORS", true);
  Level.Sectors = ReadLump(index);
  Level.SectorsSize = Directory[index].Size;
  Level.SectorCount = Level.SectorsSize / SectorRecordSize;
}

// The table size comes from the sector count, not from the lump: a longer
// lump is cut, a shorter one is padded with zero bytes.
void LoadReject() {
  int16_t index = FindLump("REJECT", true);
  int64_t sectors = Level.SectorCount;
  if (sectors > MaxSectorCount)
    FatalError("Too many %s: %ld, the limit is %ld", "sectors", static_cast<long>(sectors),
               static_cast<long>(MaxSectorCount));
  Level.RejectSize = static_cast<int32_t>((sectors * sectors + 7) / 8);
  const LumpEntry* entry = &Directory[index];
  int32_t present = entry->Size < Level.RejectSize ? entry->Size : Level.RejectSize;
  Level.RejectPresent = present > 0 ? present : 0;
  Level.RejectInputPos = entry->FilePos;
  if (RejectCopiedAtWrite) return;
  Level.Reject = static_cast<uint8_t*>(AllocOrDie(Level.RejectSize));

  if (present > 0) {
    SeekTo(InputWad, entry->FilePos);
    size_t items = std::fread(Level.Reject, static_cast<size_t>(present), 1, InputWad);
    CheckTransfer("read", InputWad, static_cast<int16_t>(items), present);
  }
  std::memset(Level.Reject + present, 0, static_cast<size_t>(Level.RejectSize - present));
}

// The loaders depend on each other's results (the format, the marker, the
// sector count), so they always run in this order.
void LoadLevel() {
  DetectLevelFormat();
  LoadThings();
  LoadLineDefs();
  LoadSideDefs();
  LoadVertexes();
  PrepareSegs();
  PrepareSubsectors();
  ReadOldNodeCount();
  LoadSectors();
  LoadReject();
}
