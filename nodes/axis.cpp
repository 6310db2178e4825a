// SPDX-License-Identifier: GPL-2.0-or-later
// Root partition by axis mode: instead of scoring every seg, a cut along one
// axis is moved until about as many segs start on either side of it, and the
// axis-parallel wall nearest that cut becomes the root partition.
#include "nodes/axis.h"

#include <cstdlib>

#include "nodes/partition.h"
#include "nodes/settings.h"

namespace {

// The cut counts as balanced when the segs at or above it and those below
// it differ by no more than two percent.
constexpr double BalancedLow = 0.98;
constexpr double BalancedHigh = 1.02;

// Walls this short or shorter never carry the root partition, nor walls
// farther than this from the balanced cut.
constexpr int32_t ShortestCandidate = 32;
constexpr int32_t FarthestCandidate = 1000;

// The extent of the box across the cut: x for a vertical cut, y otherwise.
int32_t LowAcross(const AxisCut& cut) { return cut.vertical ? cut.box.MinX : cut.box.MinY; }
int32_t HighAcross(const AxisCut& cut) { return cut.vertical ? cut.box.MaxX : cut.box.MaxY; }

}  // namespace

AxisCut BalanceAxisCut(SegList list) {
  AxisCut cut;
  cut.box = ComputeBounds(list);
  int32_t halfWidth = (cut.box.MaxX - cut.box.MinX) / 2;
  int32_t halfHeight = (cut.box.MaxY - cut.box.MinY) / 2;

  // Mode A cuts across the longer side; equal halves give a horizontal cut.
  if (AxisMode == AxisV) {
    cut.vertical = true;
  } else if (AxisMode == AxisH) {
    cut.vertical = false;
  } else {
    cut.vertical = halfWidth > halfHeight;
  }
  int32_t half = cut.vertical ? halfWidth : halfHeight;
  cut.position = LowAcross(cut) + half;
  int32_t step = half / 2;
  if (step < 100) step = 100;

  double previous = 100000.0;
  cut.passes = 0;
  for (;;) {
    int32_t below = 0;
    for (int32_t i = 0; i < list.count; i++) {
      const BuildSeg& seg = list.segs[i];
      if ((cut.vertical ? seg.x1 : seg.y1) < cut.position) below++;
    }
    int32_t atOrAbove = list.count - below;
    if (below == 0) break;
    cut.passes++;
    if (cut.passes > 99) break;
    int32_t move = below < atOrAbove ? step : -step;
    double ratio = static_cast<double>(atOrAbove) / static_cast<double>(below);
    if (ratio >= BalancedLow && ratio <= BalancedHigh) break;
    // Big steps are halved on every pass; once they are small, a pass that
    // makes the balance worse ends the search.
    if (step > 8) {
      step /= 2;
    } else if (ratio > previous) {
      break;
    }
    cut.position += move;
    if (cut.position > HighAcross(cut)) cut.position = HighAcross(cut);
    if (cut.position < LowAcross(cut)) cut.position = LowAcross(cut);
    previous = ratio;
  }
  return cut;
}

int32_t FindAxisCandidate(SegList list, const AxisCut& cut) {
  int32_t best = -1;
  int32_t bestDistance = 32767;
  for (int32_t i = 0; i < list.count; i++) {
    const BuildSeg& seg = list.segs[i];
    int32_t across = cut.vertical ? seg.deltaX : seg.deltaY;
    int32_t along = cut.vertical ? seg.deltaY : seg.deltaX;
    if (across != 0 || std::abs(along) <= ShortestCandidate) continue;
    int32_t distance = std::abs((cut.vertical ? seg.x1 : seg.y1) - cut.position);
    if (distance < bestDistance) {
      bestDistance = distance;
      best = i;
    }
  }
  if (best < 0 || bestDistance > FarthestCandidate) return -1;

  // A wall on the level's outer edge would leave one side of the root
  // (nearly) empty; the search does not fall back to the next wall.
  const BuildSeg& seg = list.segs[best];
  int32_t a = cut.vertical ? seg.x1 : seg.y1;
  int32_t b = cut.vertical ? seg.x2 : seg.y2;
  int32_t low = LowAcross(cut), high = HighAcross(cut);
  if (a <= low || a >= high || b <= low || b >= high) return -1;
  return best;
}

void DivideRootByAxis(SegList list, SegList* right, SegList* left) {
  AxisCut cut = BalanceAxisCut(list);
  int32_t candidate = FindAxisCandidate(list, cut);

  if (candidate >= 0) {
    const BuildSeg& seg = list.segs[candidate];
    NodeLine line = {seg.x1, seg.y1, seg.x2 - seg.x1, seg.y2 - seg.y1};
    LoadPartition(seg);
    DivideAlongPartition(list, candidate, right, left);
    DivisionLine = line;
    return;
  }

  // No wall to follow: the line runs along the cut itself, pointing north
  // for a vertical cut and east for a horizontal one, so that the segs east
  // of (or south of) the cut form the front. Its length is the box's extent
  // and only has to be non-zero.
  NodeLine line;
  if (cut.vertical) {
    line = {cut.position, cut.box.MaxY, 0, cut.box.MaxY - cut.box.MinY};
    if (line.dy == 0) line.dy = 1;
  } else {
    line = {cut.box.MaxX, cut.position, cut.box.MaxX - cut.box.MinX, 0};
    if (line.dx == 0) line.dx = 1;
  }
  Partition = PartitionLine{line.x, line.y, line.x + line.dx, line.y + line.dy, -line.dx, -line.dy};
  if (DivideAlongPartition(list, -1, right, left)) {
    DivisionLine = line;
    return;
  }
  // Nothing lies on one side of the cut: divide the root like any other node.
  DivideSegs(list, right, left);
}
