// SPDX-License-Identifier: GPL-2.0-or-later
// The blockmap builder: lays a grid of 128-unit blocks over the level,
// collects for every block the linedefs that pass through it and packs the
// lists into the BLOCKMAP lump.
//
// Lump layout, in 16-bit words: origin x, origin y, columns, rows; one
// offset per block; a shared empty list (0, -1) that every empty block
// points at; then one list per non-empty block, in block order, each a
// leading 0, the linedef numbers in ascending order and a terminating -1.
#include "blockmap/blockmap.h"

#include <cmath>
#include <cstring>

#include "console/console.h"
#include "console/services.h"
#include "format/wad_format.h"
#include "wad/level.h"

Bounds LevelBounds;

// More blocks than this and the level cannot be played.
static const int32_t MaxBlocks = 32000;
// Offsets are 16-bit words, so no list may start beyond this word.
static const int32_t MaxListStart = 65535;

static const int32_t FirstListCapacity = 12;
static const int32_t ListGrowth = 10;

// The linedefs of one block, in the order they were added (ascending,
// since linedefs are taken in index order).
struct BlockList {
  int32_t Count;
  int32_t Capacity;
  uint16_t* Entries;  // null until the block receives its first linedef
};

static int16_t OriginX, OriginY;
static int16_t Columns, Rows;
static int32_t BlockCount;
static BlockList* Blocks;  // BlockCount lists, by block number
// Words the lump will hold; 64-bit so that no level, however dense, wraps
// it before the list offsets are checked.
static int64_t WordTally;

// Lower-left corner of the grid: 7 to 14 units below the smallest
// coordinate, on a multiple of 8, but never below the 16-bit range.
static int32_t RoundOriginDown(int32_t low) {
  int32_t origin = (low - 7) & ~7;
  return origin < -32768 ? -32768 : origin;
}

static int32_t RoundMaximumUp(int32_t high) { return (high + 7) & ~7; }

static void SetUpGrid() {
  int32_t originX = RoundOriginDown(LevelBounds.MinX);
  int32_t originY = RoundOriginDown(LevelBounds.MinY);
  int32_t maxX = RoundMaximumUp(LevelBounds.MaxX);
  int32_t maxY = RoundMaximumUp(LevelBounds.MaxY);
  OriginX = static_cast<int16_t>(originX);
  OriginY = static_cast<int16_t>(originY);
  Columns = static_cast<int16_t>((maxX - originX + 128) / 128);
  Rows = static_cast<int16_t>((maxY - originY + 128) / 128);
  BlockCount = static_cast<int32_t>(Columns) * Rows;
}

// Appends a linedef to a block's list and keeps the word tally: a new list
// costs its leading 0 and its terminator, every entry one word.
static void AddLineToBlock(int32_t line, int32_t block) {
  BlockList* list = &Blocks[block];
  if (list->Entries == nullptr) {
    list->Entries = static_cast<uint16_t*>(AllocOrDie(FirstListCapacity * 2));
    list->Count = 0;
    list->Capacity = FirstListCapacity;
    WordTally += 2;
  }
  if (list->Count == list->Capacity) {
    list->Capacity += ListGrowth;
    list->Entries = static_cast<uint16_t*>(ReallocOrDie(list->Entries, list->Capacity * 2));
  }
  list->Entries[list->Count] = static_cast<uint16_t>(line);
  list->Count += 1;
  WordTally += 1;
}

// Adds a linedef to the block at (column, row) of the grid. A linedef with
// neither side gives no seg, so the bounds need not cover it: whatever of it
// lies outside the grid is simply left out. Any other linedef lies inside
// the bounds, and a block outside the grid means the grid is wrong.
static void AddLineToCell(int32_t line, bool hasSide, int32_t column, int32_t row) {
  int32_t block = row * Columns + column;
  if (column < 0 || column >= Columns || row < 0 || row >= Rows) {
    if (!hasSide) return;
    FatalError("block #%hd, map is too large? ", static_cast<short>(block));
  }
  AddLineToBlock(line, block);
}

// The column of the line at height y, for the general case of the walk:
// x = x1 + dx * (y - y1) / dy in double precision (product, quotient,
// sum), rounded to the nearest unit with halves going up.
static int32_t ColumnAtHeight(int32_t x1, int32_t y1, int32_t x2, int32_t y2, int32_t y) {
  double x = static_cast<double>(x2 - x1) * static_cast<double>(y - y1);
  x = x / static_cast<double>(y2 - y1);
  x = x + static_cast<double>(x1);
  int32_t rounded = static_cast<int32_t>(std::floor(x + 0.5));
  return rounded >> 7;
}

// Puts linedef `line` into every block its segment passes through. The
// coordinates are relative to the grid origin; >> 7 rounds down, also for
// the negative values that a linedef with neither side can have.
static void AddLineToBlocks(int32_t line) {
  const LineDef& def = Level.LineDefs[line];
  bool hasSide = def.RightSideDef != -1 || def.LeftSideDef != -1;
  const Vertex& start = Level.Vertexes[def.StartVertex];
  const Vertex& end = Level.Vertexes[def.EndVertex];
  int32_t x1 = start.X - OriginX, y1 = start.Y - OriginY;
  int32_t x2 = end.X - OriginX, y2 = end.Y - OriginY;
  if (y1 > y2) {
    int32_t t = x1;
    x1 = x2;
    x2 = t;
    t = y1;
    y1 = y2;
    y2 = t;
  }
  int32_t bx1 = x1 >> 7, bx2 = x2 >> 7;
  int32_t by1 = y1 >> 7, by2 = y2 >> 7;

  if (by1 == by2) {
    if (bx1 > bx2) {
      int32_t t = bx1;
      bx1 = bx2;
      bx2 = t;
    }
    for (int32_t c = bx1; c <= bx2; c++) AddLineToCell(line, hasSide, c, by1);
    return;
  }
  if (bx1 == bx2) {
    for (int32_t r = by1; r <= by2; r++) AddLineToCell(line, hasSide, bx1, r);
    return;
  }
  // General case, row by row: the columns between where the line enters
  // the row (or starts) and where it leaves it (or ends). The top of a row
  // is read at its last whole unit, not at the next row's first.
  for (int32_t r = by1; r <= by2; r++) {
    int32_t yLow = 128 * r;
    int32_t yHigh = 128 * r + 127;
    int32_t a = yLow >= y1 ? ColumnAtHeight(x1, y1, x2, y2, yLow) : bx1;
    int32_t b = yHigh <= y2 ? ColumnAtHeight(x1, y1, x2, y2, yHigh) : bx2;
    if (b < a) {
      int32_t t = a;
      a = b;
      b = t;
    }
    for (int32_t c = a; c <= b; c++) AddLineToCell(line, hasSide, c, r);
  }
}

// True when some non-empty list would start past the last word an offset
// can name.
static bool ListsPassOffsetLimit() {
  int64_t position = BlockCount + 6;
  for (int32_t b = 0; b < BlockCount; b++) {
    if (Blocks[b].Entries == nullptr) continue;
    if (position > MaxListStart) return true;
    position += Blocks[b].Count + 2;
  }
  return false;
}

static void FreeBlockLists() {
  for (int32_t b = 0; b < BlockCount; b++) {
    if (Blocks[b].Entries != nullptr) FreeBlock(Blocks[b].Entries);
  }
  FreeBlock(Blocks);
  Blocks = nullptr;
}

// The level is too large to be played: say so and give the output an 8-byte
// BLOCKMAP of zeros. The run goes on.
static int32_t RefuseBlockmap(bool* tooLarge) {
  ShowMessage(1, 24, Both, "!! Blocksize=%d too large !!  This level can't be played, press a key:",
              static_cast<int>(BlockCount));
  ShowMessage(-1, 0, LogOnly, "\n");
  *tooLarge = true;
  if (!LogMode) WaitForKey();
  Level.BlockmapLump = static_cast<uint8_t*>(AllocOrDie(8));
  std::memset(Level.BlockmapLump, 0, 8);
  return 8;
}

// Packs the lists into the lump, releasing each as it is copied.
static int32_t AssembleLump() {
  int32_t size = static_cast<int32_t>(WordTally * 2);
  uint8_t* lump = static_cast<uint8_t*>(AllocOrDie(size));
  WriteInt16(lump + 0, OriginX);
  WriteInt16(lump + 2, OriginY);
  WriteInt16(lump + 4, Columns);
  WriteInt16(lump + 6, Rows);
  int32_t emptyList = BlockCount + 4;
  WriteInt16(lump + 2 * emptyList, 0);
  WriteInt16(lump + 2 * (emptyList + 1), -1);

  int32_t p = BlockCount + 6;
  for (int32_t b = 0; b < BlockCount; b++) {
    BlockList* list = &Blocks[b];
    if (list->Entries == nullptr) {
      WriteInt16(lump + 2 * (4 + b), emptyList);
      continue;
    }
    WriteInt16(lump + 2 * (4 + b), p);
    WriteInt16(lump + 2 * p++, 0);
    for (int32_t e = 0; e < list->Count; e++) WriteInt16(lump + 2 * p++, list->Entries[e]);
    WriteInt16(lump + 2 * p++, -1);
    FreeBlock(list->Entries);
    list->Entries = nullptr;
  }
  FreeBlock(Blocks);
  Blocks = nullptr;
  Level.BlockmapLump = lump;
  return size;
}

int32_t BuildBlockmap(bool* tooLarge) {
  *tooLarge = false;
  SetUpGrid();
  if (BlockCount > MaxBlocks) return RefuseBlockmap(tooLarge);

  WordTally = BlockCount + 6;
  Blocks = static_cast<BlockList*>(AllocArrayOrDie(BlockCount, sizeof(BlockList)));
  std::memset(Blocks, 0, static_cast<size_t>(BlockCount) * sizeof(BlockList));

  if (!LogMode) {
    ShowStatus(1, StatusRow, "Making Map  ...");
    PrintAtCursor("%5d", static_cast<int>(BlockCount));
    ShowProgress(30, StatusRow, -1);
  }

  for (int32_t i = 0; i < Level.LineDefCount; i++) AddLineToBlocks(i);

  if (ListsPassOffsetLimit()) {
    FreeBlockLists();
    // The stage line was already drawn; clear it, as a refused blockmap
    // leaves no line of its own and the next lines take this row.
    if (!LogMode) {
      SetColours(15, 0);
      PutTextAt(1, StatusRow, BlankRow);
    }
    return RefuseBlockmap(tooLarge);
  }

  int32_t size = AssembleLump();
  ShowProgress(30, StatusRow, 100);
  StatusRow += 1;
  return size;
}

void ResetBlockmap() {
  if (Blocks != nullptr) FreeBlockLists();
  LevelBounds = Bounds{0, 0, 0, 0};
  OriginX = OriginY = 0;
  Columns = Rows = 0;
  BlockCount = 0;
  WordTally = 0;
}
