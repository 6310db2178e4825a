// SPDX-License-Identifier: GPL-2.0-or-later
// The GL tree's side test, partition choice and division.
#include "nodes/gl_choice.h"

#include <algorithm>
#include <climits>

namespace {

using Wide = __int128;

Wide DotOf(const FixedLine& a, const FixedLine& b) {
  return (static_cast<Wide>(a.end.x) - a.start.x) * (static_cast<Wide>(b.end.x) - b.start.x) +
         (static_cast<Wide>(a.end.y) - a.start.y) * (static_cast<Wide>(b.end.y) - b.start.y);
}

bool AreWithinOneStep(FixedPoint p, FixedPoint q) {
  int64_t dx = static_cast<int64_t>(p.x) - q.x, dy = static_cast<int64_t>(p.y) - q.y;
  return (dx < 0 ? -dx : dx) + (dy < 0 ? -dy : dy) <= 1;
}

// True when the point lies at `from` or beyond it, seen from `to`.
bool IsAtOrPast(FixedPoint point, FixedPoint from, FixedPoint to) {
  Wide along = (static_cast<Wide>(point.x) - from.x) * (static_cast<Wide>(to.x) - from.x) +
               (static_cast<Wide>(point.y) - from.y) * (static_cast<Wide>(to.y) - from.y);
  return along <= 0;
}

enum class Placement { Right, Left, CutStartRight, CutStartLeft };

Placement Place(const FixedLine& line, const GlBuildSeg& seg, FixedPoint* cut) {
  if (AreOneLine(line, seg.line)) return DotOf(line, seg.line) > 0 ? Placement::Right : Placement::Left;
  int l = FindFixedSide(line, seg.start);
  int m = FindFixedSide(line, seg.end);
  if (l * m < 0) {
    // The crossing of the two lines, which the ends were rounded about:
    // an end at it, a step from it or beyond it is on the line.
    FixedPoint crossing;
    if (!ComputeLineCrossing(line, seg.line, &crossing)) crossing = seg.start;
    if (AreWithinOneStep(seg.start, crossing) || IsAtOrPast(crossing, seg.start, seg.end)) l = 0;
    if (AreWithinOneStep(seg.end, crossing) || IsAtOrPast(crossing, seg.end, seg.start)) m = 0;
    if (l * m < 0) {
      *cut = crossing;
      return l > 0 ? Placement::CutStartRight : Placement::CutStartLeft;
    }
  }
  if (l == 0 && m == 0) return DotOf(line, seg.line) > 0 ? Placement::Right : Placement::Left;
  return l < 0 || m < 0 ? Placement::Left : Placement::Right;
}

}  // namespace

GlPlace PlaceGlSeg(const FixedLine& line, const GlBuildSeg& seg, FixedPoint* cut) {
  switch (Place(line, seg, cut)) {
    case Placement::Right: return GlPlace::Right;
    case Placement::Left: return GlPlace::Left;
    default: return GlPlace::Crosses;
  }
}

int32_t ChooseGlPartition(const std::vector<GlBuildSeg>& segs, CostRule rule) {
  int32_t best = -1, bestCost = INT32_MAX;
  const int32_t count = static_cast<int32_t>(segs.size());
  if (count < 2) return -1;
  for (int32_t p = 0; p < count; p++) {
    const FixedLine& line = segs[p].line;
    int32_t left = 0, right = 0, splits = 0, k = 0, cost = 0;
    bool stopped = false;
    for (int32_t q = 0; q < count; q++) {
      if (q == p) {
        right++;
        continue;
      }
      k++;
      FixedPoint cut;
      switch (Place(line, segs[q], &cut)) {
        case Placement::Right: right++; break;
        case Placement::Left: left++; break;
        default:
          left++;
          right++;
          splits += rule.weight;
      }
      cost = std::max(left, right) + splits - (rule.final ? 2 * k / 3 : k);
      if (cost >= bestCost) {
        stopped = true;
        break;
      }
    }
    if (!stopped && left > 0 && right > 0) {
      bestCost = cost;
      best = p;
    }
  }
  return best;
}

void DivideGlSegs(const std::vector<GlBuildSeg>& segs, int32_t partition, std::vector<GlBuildSeg>* right,
                  std::vector<GlBuildSeg>* left) {
  const FixedLine line = segs[partition].line;
  right->clear();
  left->clear();
  for (size_t i = 0; i < segs.size(); i++) {
    const GlBuildSeg& seg = segs[i];
    if (static_cast<int32_t>(i) == partition) {
      right->push_back(seg);
      continue;
    }
    FixedPoint cut;
    Placement placement = Place(line, seg, &cut);
    switch (placement) {
      case Placement::Right: right->push_back(seg); break;
      case Placement::Left: left->push_back(seg); break;
      default: {
        GlBuildSeg first = seg, second = seg;
        first.end = cut;
        second.start = cut;
        bool startRight = placement == Placement::CutStartRight;
        (startRight ? right : left)->push_back(first);
        (startRight ? left : right)->push_back(second);
      }
    }
  }
}

bool GlNeedsPartition(const std::vector<GlBuildSeg>& segs) {
  if (segs.size() < 2) return false;
  for (const GlBuildSeg& seg : segs)
    if (seg.sector != segs[0].sector) return true;
  for (size_t a = 0; a < segs.size(); a++) {
    for (size_t b = 0; b < segs.size(); b++) {
      FixedPoint cut;
      if (a != b && Place(segs[a].line, segs[b], &cut) != Placement::Right) return true;
    }
  }
  return false;
}
