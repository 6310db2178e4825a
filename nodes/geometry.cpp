// SPDX-License-Identifier: GPL-2.0-or-later
// The side test of a seg against the partition line, the cut point where a
// seg crosses it, and the offset of a piece cut off a seg.
#include <cmath>

#include "console/services.h"
#include "nodes/partition.h"
#include "nodes/x87_guard.h"
#include "wad/level.h"

PartitionLine Partition;
NodeLine DivisionLine;

PartitionLine LineOfSeg(const BuildSeg& seg) {
  PartitionLine line;
  line.x1 = seg.x1;
  line.y1 = seg.y1;
  line.x2 = seg.x2;
  line.y2 = seg.y2;
  line.dx = seg.deltaX;
  line.dy = seg.deltaY;
  return line;
}

void LoadPartition(const BuildSeg& seg) { Partition = LineOfSeg(seg); }

void ComputeSplitPoint(const PartitionLine& line, const BuildSeg& seg, int32_t* x, int32_t* y) {
  int32_t pdx = line.x2 - line.x1;
  int32_t pdy = line.y2 - line.y1;
  int32_t sdx = seg.x2 - seg.x1;
  int32_t sdy = seg.y2 - seg.y1;
  if ((pdx == 0 && pdy == 0) || (sdx == 0 && sdy == 0)) {
    FatalError("Error Intersection = 0 %d,%d %d,%d?", pdx, pdy, sdx, sdy);
  }

  // The seg's own unit direction; t is then the distance along the seg from
  // its start to the partition line.
  int64_t lengthSquared = static_cast<int64_t>(sdx) * sdx + static_cast<int64_t>(sdy) * sdy;
  long double length = sqrtl(static_cast<long double>(lengthSquared));
  long double ux = sdx / length;
  long double uy = sdy / length;
  long double den = pdy * ux - pdx * uy;

  long double px, py;
  if (den == 0) {
    px = seg.x1;
    py = seg.y1;
  } else {
    int64_t num = static_cast<int64_t>(seg.y1 - line.y1) * pdx + static_cast<int64_t>(line.x1 - seg.x1) * pdy;
    long double t = static_cast<long double>(num) / den;
    px = seg.x1 + ux * t;
    py = seg.y1 + uy * t;
  }
  // Half away from zero.
  px += px >= 0 ? 0.5L : -0.5L;
  py += py >= 0 ? 0.5L : -0.5L;
  *x = static_cast<int32_t>(px);
  *y = static_cast<int32_t>(py);
}

// |l| is the point's distance from the line times the line's length, so
// |l| > 3 * length puts it more than 3 units away. The limit is the
// truncated double 3 * length plus one; an integer |l| above it is at least
// the truncated value plus two, which exceeds 3 * length whatever the
// rounding of the double (off by far less than one). An end point that the
// tolerance snaps lies within 1 of the rounded cut point, which lies within
// 0.71 of the computed one, which in turn lies within a thousandth of the
// true crossing (the extended arithmetic loses at most about 1e-9
// relatively for 16-bit coordinates): at most 1.72 units from the line.
// So a far end point is never snapped, and a seg whose two ends are far
// needs no cut point to decide its side.
int64_t ComputeFarLimit(const PartitionLine& line) {
  double lengthSquared = static_cast<double>(line.dx) * line.dx + static_cast<double>(line.dy) * line.dy;
  return static_cast<int64_t>(3.0 * std::sqrt(lengthSquared)) + 1;
}

SideCode ClassifySeg(const PartitionLine& line, const BuildSeg& seg) {
  int64_t l = SideProduct(line, seg.x1, seg.y1);
  int64_t m = SideProduct(line, seg.x2, seg.y2);

  // A crossing seg whose end point lies on the rounded cut point or one
  // step beside it is not cut there: that end point counts as on the line.
  // The distance argument needs deltas that belong to the line's own ends.
  bool ownDeltas = line.dx == line.x1 - line.x2 && line.dy == line.y1 - line.y2;
  if (((l < 0 && m > 0) || (l > 0 && m < 0)) && !(ownDeltas && IsFarFromLine(l, m, ComputeFarLimit(line)))) {
    int32_t ix, iy;
    ComputeSplitPoint(line, seg, &ix, &iy);
    int64_t ax = static_cast<int64_t>(seg.x1) - ix, ay = static_cast<int64_t>(seg.y1) - iy;
    int64_t bx = static_cast<int64_t>(seg.x2) - ix, by = static_cast<int64_t>(seg.y2) - iy;
    if (ax * ax + ay * ay < 2) l = 0;
    if (bx * bx + by * by < 2) m = 0;
  }

  SideCode code = l < 0 ? StartLeft : (l > 0 ? StartRight : StartOn);
  code |= m < 0 ? EndLeft : (m > 0 ? EndRight : EndOn);
  return code;
}

SegClass ClassOfCode(SideCode code) {
  if (code == (StartRight | EndLeft) || code == (StartLeft | EndRight)) return ClassCrosses;
  if (code == (StartOn | EndOn)) return ClassCollinear;
  if (code & (StartLeft | EndLeft)) return ClassLeft;
  return ClassRight;
}

int16_t ComputeSegOffset(const BuildSeg& seg) {
  const LineDef& line = Level.LineDefs[seg.lineDef];
  int32_t reference = static_cast<uint16_t>(seg.direction == 0 ? line.StartVertex : line.EndVertex);
  int32_t dx = Level.Vertexes[reference].X - seg.x1;
  int32_t dy = Level.Vertexes[reference].Y - seg.y1;
  if (dx == 0 && dy == 0) FatalError("split %d,%d\n", dx, dy);
  int64_t squared = static_cast<int64_t>(dx) * dx + static_cast<int64_t>(dy) * dy;
  return static_cast<int16_t>(static_cast<int64_t>(sqrtl(static_cast<long double>(squared))));
}
