// SPDX-License-Identifier: GPL-2.0-or-later
// What the partition choice reads of a seg list, laid out for its scan.
#pragma once

#include <cstdint>

#include "nodes/seg.h"

// Consecutive segs of the list are grouped in blocks, each with its
// bounding box, so that a block lying wholly on one side of a candidate line
// is counted at once. The smallest blocks hold 1 << ScanLeafShift segs; a
// block of the next level up holds 1 << ScanFanOutShift blocks of the level
// below.
enum { ScanLeafShift = 3, ScanFanOutShift = 2, ScanMaxLevels = 14 };

// A block's bounding box by its centre and size, both doubled so as to
// stay whole: x = min x + max x, width = max x - min x, and the same for y.
// Not a node's box (NodeBox, format/wad_format.h): the side test of a
// whole block against a candidate line needs the centre and the half
// extents, so they are kept ready rather than worked out from the edges
// in the scan's inner loop.
struct SegBox {
  int32_t x, y, width, height;
};

// What the scan reads of a seg list: the coordinates in separate arrays of
// doubles, for the side test two segs at a time, the direction flags (0 or
// 1) as one bit a seg for each leaf block, and the boxes of the blocks of
// every level. `segs` is the list itself, read for the rest.
struct SegTable {
  void* block;       // holds every array below
  bool fromLibrary;  // the block came from the C library, not the run's services
  const BuildSeg* segs;
  int32_t count;
  double* x1;  // one spare entry past the end of each
  double* y1;
  double* x2;
  double* y2;
  uint8_t* leafDirections;  // bit i: seg i of the leaf runs against its linedef
  uint8_t* twinNext;        // by seg: 1 when the next seg is its twin (AreTwins)
  int32_t levelCount;
  int32_t shift[ScanMaxLevels];  // a block of each level holds 1 << shift segs
  int32_t span[ScanMaxLevels];
  SegBox* boxes[ScanMaxLevels];     // the blocks of each level, in list order
  int32_t* against[ScanMaxLevels];  // segs of each block running against their linedef
};

// Allocates the table's block and fills it from the list.
void FillSegTable(SegTable* table, SegList list);
// The same for a thread that may not end the run: the block comes from the
// C library, and false, with nothing held, when memory runs out.
bool FillSegTableOrFail(SegTable* table, SegList list);
void ReleaseSegTable(SegTable* table);
