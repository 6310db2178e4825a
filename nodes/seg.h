// SPDX-License-Identifier: GPL-2.0-or-later
// The build seg: one directed piece of wall while the tree is built.
#pragma once

#include <cstdint>

#include "wad/level.h"

struct BuildSeg {
  // Six consecutive coordinates that the partition routines load together:
  // the partition line (all six) or the seg under test (the first four).
  int32_t x1, y1, x2, y2;
  int32_t deltaX, deltaY;  // start minus end
  int32_t startVertex;
  int32_t endVertex;
  int32_t lineDef;
  uint16_t angle;  // binary angle, 65536 to the turn
  int16_t rightSideDef;
  int16_t leftSideDef;
  int16_t rightSector;
  int16_t leftSector;
  int16_t direction;  // 0 along its linedef, 1 against it
  int16_t offset;     // distance from the start of the linedef side
};

// True when seg b is seg a reversed, with the other direction flag: the
// two sides of one linedef, as the list keeps them.
inline bool AreTwins(const BuildSeg& a, const BuildSeg& b) {
  bool reversed = b.x1 == a.x2 && b.y1 == a.y2 && b.x2 == a.x1 && b.y2 == a.y1;
  bool opposite = (a.direction == 0 && b.direction == 1) || (a.direction == 1 && b.direction == 0);
  return reversed && opposite;
}

// A seg list is a block of segs in list order. It belongs to whoever holds
// it; a division copies its segs into two new lists and releases it.
struct SegList {
  BuildSeg* segs;
  int32_t count;
};

// One seg per used side of every linedef, in linedef order (a two-sided
// linedef's right seg first). Empty when no linedef has a used side.
SegList CreateSegs();
uint16_t ComputeAngle(int32_t dx, int32_t dy);

// The box of every end point of the list's segs; all zero for an empty list.
Bounds ComputeBounds(SegList list);

void ReleaseSegList(SegList* list);
