// The side test of a seg against the partition line, the cut point where a
// seg crosses it, and the offset of a piece cut off a seg.
#include <cmath>

#include "console/services.h"
#include "nodes/extended.h"
#include "nodes/partition.h"
#include "wad/level.h"

PartitionLine Partition;
NodeLine DivisionLine;

void LoadPartition(const BuildSeg& seg) {
  Partition.x1 = seg.x1;
  Partition.y1 = seg.y1;
  Partition.x2 = seg.x2;
  Partition.y2 = seg.y2;
  Partition.dx = seg.deltaX;
  Partition.dy = seg.deltaY;
}

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
    int64_t num = static_cast<int64_t>(seg.y1 - line.y1) * pdx +
                  static_cast<int64_t>(line.x1 - seg.x1) * pdy;
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

// True when both end points provably lie more than 3 units from the line.
// The rounded cut point lies within 0.71 of the computed one, which in turn
// lies within a thousandth of the true crossing (the extended arithmetic
// loses at most about 1e-9 relatively for 16-bit coordinates), so an end
// point within squared distance 1 of the cut point is at most 1.72 units
// from the line. Far end points can therefore never be snapped onto the
// line, and the cut point need not be computed just to decide the side.
static bool IsFarFromLine(const PartitionLine& line, int64_t l, int64_t m) {
  if (line.dx != line.x1 - line.x2 || line.dy != line.y1 - line.y2) return false;
  double lengthSquared = static_cast<double>(line.dx) * line.dx + static_cast<double>(line.dy) * line.dy;
  double limit = 9.0 * lengthSquared;
  double dl = static_cast<double>(l);
  double dm = static_cast<double>(m);
  return dl * dl > limit && dm * dm > limit;
}

SideCode ClassifySeg(const PartitionLine& line, const BuildSeg& seg) {
  int64_t l = (static_cast<int64_t>(line.x1) - seg.x1) * line.dy -
              (static_cast<int64_t>(line.y1) - seg.y1) * line.dx;
  int64_t m = (static_cast<int64_t>(line.x1) - seg.x2) * line.dy -
              (static_cast<int64_t>(line.y1) - seg.y2) * line.dx;

  // A crossing seg whose end point lies on the rounded cut point or one
  // step beside it is not cut there: that end point counts as on the line.
  if (((l < 0 && m > 0) || (l > 0 && m < 0)) && !IsFarFromLine(line, l, m)) {
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

int16_t ComputeSegOffset(const BuildSeg& seg) {
  const LineDef& line = Level.LineDefs[seg.lineDef];
  int32_t reference = static_cast<uint16_t>(seg.direction == 0 ? line.StartVertex : line.EndVertex);
  int32_t dx = Level.Vertexes[reference].X - seg.x1;
  int32_t dy = Level.Vertexes[reference].Y - seg.y1;
  if (dx == 0 && dy == 0) FatalError("split %d,%d\n", dx, dy);
  int64_t squared = static_cast<int64_t>(dx) * dx + static_cast<int64_t>(dy) * dy;
  return static_cast<int16_t>(static_cast<int64_t>(sqrtl(static_cast<long double>(squared))));
}
