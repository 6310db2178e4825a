// Root partition by axis mode: instead of scoring every seg, a cut along one
// axis is moved until about as many segs start on either side of it, and the
// axis-parallel wall nearest that cut becomes the root partition.

#include "nodes/axis.h"

#include <cstdlib>

#include "driver/settings.h"
#include "nodes/partition.h"

// The cut counts as balanced when the segs at or above it and those below
// it differ by no more than two percent.
static const double BalancedLow = 0.98;
static const double BalancedHigh = 1.02;

// Walls this short or shorter never carry the root partition, nor walls
// farther than this from the balanced cut.
static const int32_t ShortestCandidate = 32;
static const int32_t FarthestCandidate = 1000;

AxisCut BalanceAxisCut(SegList list) {
  AxisCut cut;
  cut.box = ComputeBounds(list);
  int32_t halfWidth = (cut.box.maxX - cut.box.minX) / 2;
  int32_t halfHeight = (cut.box.maxY - cut.box.minY) / 2;

  // Mode A cuts across the longer side; equal halves give a horizontal cut.
  if (AxisMode == AxisV) {
    cut.vertical = 1;
  } else if (AxisMode == AxisH) {
    cut.vertical = 0;
  } else {
    cut.vertical = halfWidth > halfHeight ? 1 : 0;
  }

  int32_t low, high, step;
  if (cut.vertical) {
    low = cut.box.minX;
    high = cut.box.maxX;
    cut.position = low + halfWidth;
    step = halfWidth / 2;
  } else {
    low = cut.box.minY;
    high = cut.box.maxY;
    cut.position = low + halfHeight;
    step = halfHeight / 2;
  }
  if (step < 100) {
    step = 100;
  }

  double previous = 100000.0;
  cut.passes = 0;
  for (;;) {
    int32_t below = 0;
    for (int32_t i = 0; i < list.count; i++) {
      const BuildSeg& seg = list.segs[i];
      int32_t start = cut.vertical ? seg.x1 : seg.y1;
      if (start < cut.position) {
        below++;
      }
    }
    int32_t atOrAbove = list.count - below;
    if (below == 0) {
      break;
    }
    cut.passes++;
    if (cut.passes > 99) {
      break;
    }
    int32_t move = below < atOrAbove ? step : -step;
    double ratio = (double)atOrAbove / (double)below;
    if (ratio >= BalancedLow && ratio <= BalancedHigh) {
      break;
    }
    // Big steps are halved on every pass; once they are small, a pass that
    // makes the balance worse ends the search.
    if (step > 8) {
      step /= 2;
    } else if (ratio > previous) {
      break;
    }
    cut.position += move;
    if (cut.position > high) {
      cut.position = high;
    }
    if (cut.position < low) {
      cut.position = low;
    }
    previous = ratio;
  }
  return cut;
}

int32_t FindAxisCandidate(SegList list, const AxisCut& cut) {
  int32_t best = -1;
  int32_t bestDistance = 32767;
  for (int32_t i = 0; i < list.count; i++) {
    const BuildSeg& seg = list.segs[i];
    int32_t across, along, start;
    if (cut.vertical) {
      across = seg.deltaX;
      along = seg.deltaY;
      start = seg.x1;
    } else {
      across = seg.deltaY;
      along = seg.deltaX;
      start = seg.y1;
    }
    if (across != 0 || std::abs(along) <= ShortestCandidate) {
      continue;
    }
    int32_t distance = std::abs(start - cut.position);
    if (distance < bestDistance) {
      bestDistance = distance;
      best = i;
    }
  }
  if (best < 0 || bestDistance > FarthestCandidate) {
    return -1;
  }

  // A wall on the level's outer edge would leave one side of the root
  // (nearly) empty; the search does not fall back to the next wall.
  const BuildSeg& seg = list.segs[best];
  int32_t low, high, a, b;
  if (cut.vertical) {
    low = cut.box.minX;
    high = cut.box.maxX;
    a = seg.x1;
    b = seg.x2;
  } else {
    low = cut.box.minY;
    high = cut.box.maxY;
    a = seg.y1;
    b = seg.y2;
  }
  if (a <= low || a >= high || b <= low || b >= high) {
    return -1;
  }
  return best;
}

void DivideRootByAxis(SegList list, SegList* right, SegList* left) {
  AxisCut cut = BalanceAxisCut(list);
  int32_t candidate = FindAxisCandidate(list, cut);

  if (candidate >= 0) {
    const BuildSeg& seg = list.segs[candidate];
    NodeLine line;
    line.x = seg.x1;
    line.y = seg.y1;
    line.dx = seg.x2 - seg.x1;
    line.dy = seg.y2 - seg.y1;
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
    line.x = cut.position;
    line.y = cut.box.maxY;
    line.dx = 0;
    line.dy = cut.box.maxY - cut.box.minY;
    if (line.dy == 0) {
      line.dy = 1;
    }
  } else {
    line.x = cut.box.maxX;
    line.y = cut.position;
    line.dx = cut.box.maxX - cut.box.minX;
    line.dy = 0;
    if (line.dx == 0) {
      line.dx = 1;
    }
  }
  Partition.x1 = line.x;
  Partition.y1 = line.y;
  Partition.x2 = line.x + line.dx;
  Partition.y2 = line.y + line.dy;
  Partition.dx = -line.dx;
  Partition.dy = -line.dy;
  if (DivideAlongPartition(list, -1, right, left)) {
    DivisionLine = line;
    return;
  }
  // Nothing lies on one side of the cut: divide the root like any other node.
  DivideSegs(list, right, left);
}
