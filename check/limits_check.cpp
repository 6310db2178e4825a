// SPDX-License-Identifier: GPL-2.0-or-later
// The original engine's limits: it reads vertex, linedef, sidedef, sector,
// seg, subsector and node numbers, and the block list offsets of BLOCKMAP,
// as signed 16-bit numbers, so a level past them is sound as data but
// cannot be played there. Ports that read them unsigned go twice as far.
#include "check/bytes.h"
#include "check/partition_checks.h"

namespace {

constexpr long kSignedRecords = 32768;  // numbers 0 to 32767
constexpr int kSignedOffset = 32767;    // block list offsets, in 16-bit words

}  // namespace

void CheckLimits(const MapLevel& level, Findings* findings) {
  struct Count {
    LevelSlot slot;
    size_t record;
  };
  const size_t lineRecord = level.hexen ? HexenLineDefSize : DoomLineDefSize;
  for (const Count& count :
       {Count{kVertexes, VertexRecordSize}, Count{kLineDefs, lineRecord}, Count{kSideDefs, SideDefRecordSize},
        Count{kSectors, SectorRecordSize}, Count{kSegs, SegRecordSize},
        Count{kSubsectors, SubsectorRecordSize}, Count{kNodes, NodeRecordSize}}) {
    // Extended nodes have no such limits: their numbers are 32-bit.
    bool extended = count.slot == kSegs || count.slot == kSubsectors || count.slot == kNodes;
    if (extended && !(level.nodeFormat.empty() && level.gl.format.empty())) continue;
    long records = static_cast<long>(level.lumps[count.slot].size() / count.record);
    if (records > kSignedRecords) {
      findings->Warning(
          LevelLumpNames[count.slot - 1], -1,
          "%ld records; the original engine reads their numbers as signed 16-bit and can name only "
          "the first %ld",
          records, kSignedRecords);
    }
  }

  const std::vector<uint8_t>& lump = level.lumps[kBlockmap];
  if (lump.size() < 8) return;
  long columns = LumpS16(lump, 4), rows = LumpS16(lump, 6);
  if (columns <= 0 || rows <= 0) return;
  size_t blocks = static_cast<size_t>(columns * rows);
  if (lump.size() / 2 < blocks + 4) return;
  long past = 0, first = -1;
  for (size_t b = 0; b < blocks; b++) {
    if (LumpU16(lump, 2 * (4 + b)) > kSignedOffset) {
      if (first < 0) first = static_cast<long>(b);
      past++;
    }
  }
  if (past > 0) {
    findings->Warning(
        "BLOCKMAP", first,
        "%ld block lists, from block %ld on, start past word %d (64 KiB); the original engine reads "
        "their offsets as negative",
        past, first, kSignedOffset);
  }
}
