// SPDX-License-Identifier: GPL-2.0-or-later
// The geometry of a partition line (side test, cut points, offsets) and
// the division of a seg list. The choice itself is in nodes/choose.h.
#pragma once

#include <cstdint>

#include "nodes/seg.h"

// Loaded from a seg's six coordinate fields.
struct PartitionLine {
  int32_t x1, y1, x2, y2;
  int32_t dx, dy;  // start minus end
};

// The greatest common divisor of two numbers, not negative and not both
// zero (binary: shifts and subtractions, no division).
inline int64_t GreatestCommonDivisor(int64_t a, int64_t b) {
  if (a == 0) return b;
  if (b == 0) return a;
  int shift = __builtin_ctzll(static_cast<uint64_t>(a | b));
  a >>= __builtin_ctzll(static_cast<uint64_t>(a));
  while (b != 0) {
    b >>= __builtin_ctzll(static_cast<uint64_t>(b));
    if (a > b) {
      int64_t t = a;
      a = b;
      b = t;
    }
    b -= a;
  }
  return a << shift;
}

// The side product of a point against the line: negative on its left,
// positive on its right, zero on it. Exact: 32-bit coordinates in 64 bits.
inline int64_t SideProduct(const PartitionLine& line, int32_t x, int32_t y) {
  return (static_cast<int64_t>(line.x1) - x) * line.dy - (static_cast<int64_t>(line.y1) - y) * line.dx;
}

// The same product split into a part of the line alone, worked out once,
// and a part of the point, for scans that test many points against one
// line: SideProduct(line, x, y) == SideProductFrom(SideBase(line), line, x, y).
inline int64_t SideBase(const PartitionLine& line) {
  return static_cast<int64_t>(line.x1) * line.dy - static_cast<int64_t>(line.y1) * line.dx;
}
inline int64_t SideProductFrom(int64_t base, const PartitionLine& line, int32_t x, int32_t y) {
  return base - static_cast<int64_t>(x) * line.dy + static_cast<int64_t>(y) * line.dx;
}

// What a division leaves for the new node: end minus start.
struct NodeLine {
  int32_t x, y, dx, dy;
};

extern PartitionLine Partition;
extern NodeLine DivisionLine;

// Side codes: one flag for the start point OR one for the end point.
enum : uint16_t {
  StartRight = 0x4000,
  StartOn = 0x1000,
  StartLeft = 0x2000,
  EndRight = 0x0400,
  EndOn = 0x0100,
  EndLeft = 0x0200,
};
using SideCode = uint16_t;

// How the choice and the division count a seg against the line.
enum SegClass { ClassRight, ClassLeft, ClassCollinear, ClassCrosses };

SideCode ClassifySeg(const PartitionLine& line, const BuildSeg& seg);
SegClass ClassOfCode(SideCode code);
// The line along a seg: its four coordinates and its stored deltas.
PartitionLine LineOfSeg(const BuildSeg& seg);

// Beyond this |side product| (against a line whose deltas are its own), a
// point lies more than 3 units from the line, where the cut-point
// tolerance never moves an end point onto it.
int64_t ComputeFarLimit(const PartitionLine& line);
inline bool IsFarFromLine(int64_t l, int64_t m, int64_t limit) {
  return (l > limit || l < -limit) && (m > limit || m < -limit);
}
void ComputeSplitPoint(const PartitionLine& line, const BuildSeg& seg, int32_t* x, int32_t* y);
int16_t ComputeSegOffset(const BuildSeg& seg);

void LoadPartition(const BuildSeg& seg);  // sets Partition from the seg

// True while the list holds more than one sector or some seg has an end
// point strictly behind another seg's line.
bool NeedsPartition(SegList list);

// Divides the list at its chosen partition seg; the list is consumed.
void DivideSegs(SegList list, SegList* right, SegList* left);
// The same with the choice already made: `p` is what ChoosePartition
// returns for the list.
void DivideSegsAt(SegList list, int32_t p, SegList* right, SegList* left);

// Divides the list against the loaded Partition with `partition` (an index
// into the list, or -1 for a line that is no seg of it) as the partition seg.
// Collinear segs without a partition seg go right when their direction
// agrees with the line's. Returns false, leaving the list untouched, when
// there is no partition seg and one side stays empty; otherwise consumes it.
bool DivideAlongPartition(SegList list, int32_t partition, SegList* right, SegList* left);

// Divides the list at its seg `partition` as DivideSegsAt does, into two
// new lists whose segs hold the same coordinates, directions and sectors,
// for choices made ahead of the recursion on another thread. Nothing of the
// level changes: the list stays as it is, cut points are not added to the
// level's vertexes, and the pieces carry no vertex numbers or offsets. The
// lists come from the C library (ReleaseForeseenList frees them); false,
// with nothing held, when memory runs out.
bool ForeseeDivision(SegList list, int32_t partition, SegList* right, SegList* left);
void ReleaseForeseenList(SegList* list);
