// SPDX-License-Identifier: GPL-2.0-or-later
// Output WAD assembly: the lumps before a level copied, the level's ten
// lumps from memory, and so on for every level rebuilt; then the lumps after
// the last one copied, and the directory. Every entry keeps its input name
// and order; only positions and the rebuilt levels' sizes change.
#include "wad/assembly.h"

#include <climits>
#include <cstring>

#include "console/services.h"
#include "format/wad_format.h"
#include "wad/extended_nodes.h"
#include "wad/level.h"
#include "wad/output_file.h"
#include "wad/stream.h"
#include "wad/wadfile.h"

// Running offset of the next lump's data in the output.
static int32_t OutputPosition = 0;
// Input positions of every entry, kept while the directory is rewritten;
// null until the first level is planned.
static int32_t* InputPositions = nullptr;
// The first entry not yet planned: everything before it has its output
// position.
static int32_t NextEntry = 0;
// The header is written, as a placeholder, with the first lump.
static bool HeaderWritten = false;
// The node format of the level planned last.
static NodeFormat PlannedFormat = NodeFormat::Vanilla;

static bool PlannedExtended() { return PlannedFormat != NodeFormat::Vanilla; }

// VERTEXES holds the cut points too, unless they go into extended nodes.
static int32_t WrittenVertexCount() {
  return PlannedExtended() ? Level.LineDefVertexCount : Level.VertexCount;
}

// Counts beyond these would wrap in the 16-bit fields that refer to them.
static void CheckLimit(const char* what, int32_t count, int32_t limit) {
  if (count > limit)
    FatalError("Too many %s: %ld, the limit is %ld", what, static_cast<long>(count),
               static_cast<long>(limit));
}

static int32_t SlotSize(int32_t slot) {
  switch (slot) {
    case 0: return Level.ThingsSize;
    case 1: return Level.LineDefsSize;
    case 2: return Level.SideDefsSize;
    case 3: return WrittenVertexCount() * VertexRecordSize;
    case 4: return PlannedExtended() ? 0 : Level.SegCount * SegRecordSize;
    case 5:
      if (Level.GlNodes != nullptr) return Level.GlNodesSize;
      return PlannedExtended() ? 0 : Level.SubsectorCount * SubsectorRecordSize;
    case 6:
      if (PlannedFormat == NodeFormat::None) return 0;
      return PlannedExtended() ? Level.ExtendedNodesSize : Level.NodeCount * NodeRecordSize;
    case 7: return Level.SectorsSize;
    case 8: return Level.RejectSize;
    default: return Level.BlockmapSize;
  }
}

// Starts the plan of a new output: nothing placed yet.
static void StartPlan() {
  int32_t count = InputHeader.LumpCount;
  InputPositions = static_cast<int32_t*>(AllocArrayOrDie(count, sizeof(int32_t)));
  for (int32_t i = 0; i < count; i++) InputPositions[i] = Directory[i].FilePos;
  OutputPosition = WadHeaderSize;
  NextEntry = 0;
  HeaderWritten = false;
}

// A UDMF level: the entries up to TEXTMAP are copied, ZNODES (right after
// it, PrepareUdmfLevels) is built, and the rest of the level is copied with
// the entries after it.
static void PlanUdmfLevel() {
  if (InputPositions == nullptr) StartPlan();
  int32_t count = InputHeader.LumpCount;
  int32_t zNodes = LevelMarkerIndex + 2;
  int64_t total = OutputPosition + static_cast<int64_t>(count) * LumpEntrySize + Level.GlNodesSize;
  for (int32_t i = NextEntry; i < count; i++)
    if (i != zNodes) total += Directory[i].Size;
  if (total > INT32_MAX)
    FatalError("Too many %s: %ld, the limit is %ld", "output bytes", static_cast<long>(total),
               static_cast<long>(INT32_MAX));
  for (int32_t i = NextEntry; i < zNodes; i++) {
    Directory[i].FilePos = OutputPosition;
    OutputPosition += Directory[i].Size;
  }
  Directory[zNodes].FilePos = OutputPosition;
  Directory[zNodes].Size = Level.GlNodesSize;
  OutputPosition += Level.GlNodesSize;
  PlannedFormat = NodeFormat::None;
}

void PlanOutputWad() {
  if (Level.Format == LevelFormat::Udmf) {
    PlanUdmfLevel();
    return;
  }
  // A seg's linedef field is 16-bit in every format.
  CheckLimit("linedefs", Level.LineDefCount, 65535);
  PlannedFormat = ChooseNodeFormat();
  if (PlannedFormat == NodeFormat::Xnod || PlannedFormat == NodeFormat::Znod) {
    EncodeExtendedNodes(PlannedFormat);
  } else if (PlannedFormat == NodeFormat::None) {
    // GL nodes alone: the level's records of the whole-unit tree are not
    // written (nor built).
  } else {
    CheckLimit("vertexes", Level.VertexCount, VanillaMaxVertexes);
    CheckLimit("segs", Level.SegCount, VanillaMaxSegs);
    CheckLimit("subsectors", Level.SubsectorCount, VanillaMaxSubsectors);
    CheckLimit("nodes", Level.NodeCount, VanillaMaxNodes);
  }
  if (InputPositions == nullptr) StartPlan();

  int32_t count = InputHeader.LumpCount;
  int32_t marker = LevelMarkerIndex;
  // File offsets are signed 32-bit; check the whole file before planning
  // the level, counting the lumps after it at their input sizes.
  int64_t total = OutputPosition + static_cast<int64_t>(count) * LumpEntrySize;
  for (int32_t i = NextEntry; i < count; i++)
    if (i < marker || i > marker + LevelLumpCount) total += Directory[i].Size;
  for (int32_t slot = 0; slot < LevelLumpCount; slot++) total += SlotSize(slot);
  if (total > INT32_MAX)
    FatalError("Too many %s: %ld, the limit is %ld", "output bytes", static_cast<long>(total),
               static_cast<long>(INT32_MAX));

  for (int32_t i = NextEntry; i < marker; i++) {
    Directory[i].FilePos = OutputPosition;
    OutputPosition += Directory[i].Size;
  }
  Directory[marker].FilePos = OutputPosition;
  Directory[marker].Size = 0;
  for (int32_t slot = 0; slot < LevelLumpCount; slot++) {
    LumpEntry* entry = &Directory[marker + 1 + slot];
    entry->FilePos = OutputPosition;
    entry->Size = SlotSize(slot);
    OutputPosition += entry->Size;
  }
}

// Copies an input lump through the bounded buffer; an empty one is never
// sought.
static void CopyInputLump(int32_t index) {
  if (Directory[index].Size <= 0) return;
  SeekTo(InputWad, InputPositions[index]);
  CopyBytes(OutputWad, InputWad, Directory[index].Size);
}

// Writes `size` bytes built by the caller in a temporary block; an empty
// lump writes nothing (and needs no block).
static void WriteBuiltBlock(uint8_t* data, int32_t size) {
  WriteBlock(OutputWad, data, size);
  if (data != nullptr) FreeBlock(data);
}

static uint8_t* NewBlock(int32_t size) {
  return size > 0 ? static_cast<uint8_t*>(AllocOrDie(size)) : nullptr;
}

// LINEDEFS keeps the input's own records, with the renumbered vertexes
// patched into their first two fields; a partial last record is kept as read.
static void WriteLineDefs() {
  int32_t recordSize = Level.Format == LevelFormat::Hexen ? HexenLineDefSize : DoomLineDefSize;
  uint8_t* data = NewBlock(Level.LineDefsSize);
  std::memcpy(data, Level.LineDefsRaw, static_cast<size_t>(Level.LineDefsSize));
  for (int32_t i = 0; i < Level.LineDefCount; i++) {
    WriteInt16(data + i * recordSize, Level.LineDefs[i].StartVertex);
    WriteInt16(data + i * recordSize + 2, Level.LineDefs[i].EndVertex);
  }
  WriteBuiltBlock(data, Level.LineDefsSize);
}

static void WriteVertexes() {
  int32_t count = WrittenVertexCount();
  uint8_t* data = NewBlock(count * VertexRecordSize);
  for (int32_t i = 0; i < count; i++) {
    WriteInt16(data + i * VertexRecordSize, Level.Vertexes[i].X);
    WriteInt16(data + i * VertexRecordSize + 2, Level.Vertexes[i].Y);
  }
  WriteBuiltBlock(data, count * VertexRecordSize);
}

static void WriteSegs() {
  uint8_t* data = NewBlock(Level.SegCount * SegRecordSize);
  for (int32_t i = 0; i < Level.SegCount; i++) {
    const SegRecord* seg = &Level.Segs[i];
    uint8_t* record = data + i * SegRecordSize;
    WriteInt16(record, static_cast<uint16_t>(seg->startVertex));
    WriteInt16(record + 2, static_cast<uint16_t>(seg->endVertex));
    WriteInt16(record + 4, seg->angle);
    WriteInt16(record + 6, seg->lineDef);
    WriteInt16(record + 8, seg->direction);
    WriteInt16(record + 10, seg->offset);
  }
  WriteBuiltBlock(data, Level.SegCount * SegRecordSize);
}

static void WriteSubsectors() {
  uint8_t* data = NewBlock(Level.SubsectorCount * SubsectorRecordSize);
  for (int32_t i = 0; i < Level.SubsectorCount; i++) {
    WriteInt16(data + i * SubsectorRecordSize, static_cast<uint16_t>(Level.Subsectors[i].segCount));
    WriteInt16(data + i * SubsectorRecordSize + 2, static_cast<uint16_t>(Level.Subsectors[i].firstSeg));
  }
  WriteBuiltBlock(data, Level.SubsectorCount * SubsectorRecordSize);
}

// A child as the NODES lump writes it: a subsector index with the 16-bit
// flag (the limits are checked before: at most 32768 of each).
static uint16_t VanillaChild(uint32_t child) {
  if ((child & SubsectorFlag) != 0)
    return static_cast<uint16_t>((child & ~SubsectorFlag) | VanillaSubsectorFlag);
  return static_cast<uint16_t>(child);
}

static void WriteNodes() {
  uint8_t* data = NewBlock(Level.NodeCount * NodeRecordSize);
  for (int32_t i = 0; i < Level.NodeCount; i++) {
    const NodeRecord* node = &Level.Nodes[i];
    uint8_t* record = data + i * NodeRecordSize;
    WriteInt16(record, node->x);
    WriteInt16(record + 2, node->y);
    WriteInt16(record + 4, node->dx);
    WriteInt16(record + 6, node->dy);
    WriteNodeBox(record + NodeRightBoxOffset, node->rightBox);
    WriteNodeBox(record + NodeLeftBoxOffset, node->leftBox);
    WriteInt16(record + NodeRightChildOffset, VanillaChild(node->rightChild));
    WriteInt16(record + NodeLeftChildOffset, VanillaChild(node->leftChild));
  }
  WriteBuiltBlock(data, Level.NodeCount * NodeRecordSize);
}

// REJECT copied from the input and padded with zero bytes, as LoadReject
// would have held it.
static void WriteRejectFromInput() {
  if (Level.RejectPresent > 0) {
    SeekTo(InputWad, Level.RejectInputPos);
    CopyBytes(OutputWad, InputWad, Level.RejectPresent);
  }
  static const uint8_t zeros[1 << 16] = {};
  for (int32_t left = Level.RejectSize - Level.RejectPresent; left > 0;) {
    int32_t chunk = left < static_cast<int32_t>(sizeof zeros) ? left : static_cast<int32_t>(sizeof zeros);
    WriteBlock(OutputWad, zeros, chunk);
    left -= chunk;
  }
}

static void WriteDirectory() {
  int32_t count = InputHeader.LumpCount;
  uint8_t* data = NewBlock(count * LumpEntrySize);
  for (int32_t i = 0; i < count; i++) {
    WriteInt32(data + i * LumpEntrySize, Directory[i].FilePos);
    WriteInt32(data + i * LumpEntrySize + 4, Directory[i].Size);
    std::memcpy(data + i * LumpEntrySize + 8, Directory[i].Name, 8);
  }
  WriteBuiltBlock(data, count * LumpEntrySize);
}

// The header's count and directory offset are zeros until the whole file
// is written.
static void WriteHeaderPlaceholder() {
  uint8_t header[WadHeaderSize] = {0};
  std::memcpy(header, InputHeader.Identification, 4);
  WriteBlock(OutputWad, header, WadHeaderSize);
}

void WriteLevelLumps() {
  int32_t marker = LevelMarkerIndex;
  if (!HeaderWritten) WriteHeaderPlaceholder();
  HeaderWritten = true;

  if (Level.Format == LevelFormat::Udmf) {
    for (int32_t i = NextEntry; i <= marker + 1; i++) CopyInputLump(i);
    WriteBlock(OutputWad, Level.GlNodes, Level.GlNodesSize);
    NextEntry = marker + 3;
    return;
  }
  for (int32_t i = NextEntry; i < marker; i++) CopyInputLump(i);

  WriteBlock(OutputWad, Level.Things, Level.ThingsSize);
  WriteLineDefs();
  WriteBlock(OutputWad, Level.SideDefs, Level.SideDefsSize);
  WriteVertexes();
  if (PlannedExtended()) {
    // SEGS is empty; SSECTORS holds the GL nodes, if any, NODES the
    // extended ones, if any.
    WriteBlock(OutputWad, Level.GlNodes, Level.GlNodesSize);
    WriteBlock(OutputWad, Level.ExtendedNodes, Level.ExtendedNodesSize);
  } else {
    WriteSegs();
    WriteSubsectors();
    WriteNodes();
  }
  WriteBlock(OutputWad, Level.Sectors, Level.SectorsSize);
  if (RejectCopiedAtWrite) {
    WriteRejectFromInput();
  } else {
    WriteBlock(OutputWad, Level.Reject, Level.RejectSize);
  }
  WriteBlock(OutputWad, Level.BlockmapLump, Level.BlockmapSize);
  NextEntry = marker + 1 + LevelLumpCount;
}

void FinishOutputAssembly() {
  int32_t count = InputHeader.LumpCount;
  for (int32_t i = NextEntry; i < count; i++) {
    CopyInputLump(i);
    Directory[i].FilePos = OutputPosition;
    OutputPosition += Directory[i].Size;
  }

  WriteDirectory();
  uint8_t counts[8];
  WriteInt32(counts, count);
  WriteInt32(counts + 4, OutputPosition);
  SeekTo(OutputWad, 4);
  WriteBlock(OutputWad, counts, 8);

  ReleaseOutputPlan();
  FinishOutputWad();
}

void WriteOutputWad() {
  WriteLevelLumps();
  FinishOutputAssembly();
}

// The plan belongs to one run; a new run starts without one.
NodeFormat PlannedNodeFormat() { return PlannedFormat; }

void ReleaseOutputPlan() {
  PlannedFormat = NodeFormat::Vanilla;
  FreeBlock(InputPositions);
  InputPositions = nullptr;
  NextEntry = 0;
  HeaderWritten = false;
}
