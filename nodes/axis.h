// SPDX-License-Identifier: GPL-2.0-or-later
// Root partition placed from the level's shape (axis modes A, V and H).
#pragma once

#include <cstdint>

#include "nodes/seg.h"

// Divides the root list; the list is consumed and DivisionLine is set.
void DivideRootByAxis(SegList list, SegList* right, SegList* left);

// Where the root cut lies once it divides the segs about evenly.
struct AxisCut {
  bool vertical;     // along constant x; along constant y when false
  int32_t position;  // x of a vertical cut, y of a horizontal one
  int32_t passes;    // pass counter when the balancing stopped
  Bounds box;        // bounding box of the list
};

// Orientation from AxisMode and the list's shape, then the balancing walk.
AxisCut BalanceAxisCut(SegList list);

// Index of the axis-parallel seg that becomes the root partition seg, or -1
// when none is near enough or the nearest lies on the box's edge.
int32_t FindAxisCandidate(SegList list, const AxisCut& cut);
