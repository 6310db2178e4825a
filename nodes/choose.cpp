// The choice of the partition seg: every seg of the list is tried as the
// partition line against every other seg, and the one that balances the two
// sides best with the fewest cuts wins.
#include <cmath>

#include "console/services.h"
#include "nodes/settings.h"
#include "nodes/partition.h"

// What the inner loop reads of each seg, packed so that the quadratic scan
// streams 20 bytes per seg instead of the whole build seg.
struct SegEnds {
  int32_t x1, y1, x2, y2;
  int32_t direction;
};

// How each tested seg is counted against a candidate line.
enum SegClass { ClassRight, ClassLeft, ClassCollinear, ClassCrosses };

static SegClass ClassOfCode(SideCode code) {
  if (code == (StartRight | EndLeft) || code == (StartLeft | EndRight)) return ClassCrosses;
  if (code == (StartOn | EndOn)) return ClassCollinear;
  if (code & (StartLeft | EndLeft)) return ClassLeft;
  return ClassRight;
}

int32_t ChoosePartition(SegList list) {
  if (list.count == 0) return -1;

  SegEnds* ends = static_cast<SegEnds*>(AllocArrayOrDie(list.count, sizeof(SegEnds)));
  for (int32_t i = 0; i < list.count; i++) {
    BuildSeg& seg = list.segs[i];
    seg.deltaX = seg.x1 - seg.x2;
    seg.deltaY = seg.y1 - seg.y2;
    ends[i] = {seg.x1, seg.y1, seg.x2, seg.y2, seg.direction};
  }

  const int32_t weight = ModeNumber;
  const bool final = FinalMode != 0;
  int32_t best = 0;
  int32_t bestCost = 2147483647;
  // The running cost is carried from one candidate to the next: a
  // candidate that tests no other seg is judged by the last value.
  int32_t cost = 0;

  for (int32_t p = 0; p < list.count; p++) {
    PartitionLine line;
    line.x1 = ends[p].x1;
    line.y1 = ends[p].y1;
    line.x2 = ends[p].x2;
    line.y2 = ends[p].y2;
    line.dx = line.x1 - line.x2;
    line.dy = line.y1 - line.y2;
    const int64_t px = line.x1, py = line.y1, pdx = line.dx, pdy = line.dy;
    const int32_t direction = ends[p].direction;
    // Beyond this, |side product| means more than 3 units from the line,
    // where the cut-point tolerance can never move an end point onto it.
    const int64_t farLimit =
        static_cast<int64_t>(3.0 * std::sqrt(static_cast<double>(pdx * pdx + pdy * pdy))) + 1;

    int32_t left = 0, right = 0, splitSum = 0, k = 0;
    for (int32_t q = 0; q < list.count; q++) {
      if (q == p) {
        right++;
        continue;
      }
      k++;
      const SegEnds& e = ends[q];
      int64_t l = (px - e.x1) * pdy - (py - e.y1) * pdx;
      int64_t m = (px - e.x2) * pdy - (py - e.y2) * pdx;

      SegClass kind;
      if ((l < 0 && m > 0) || (l > 0 && m < 0)) {
        if ((l > farLimit || l < -farLimit) && (m > farLimit || m < -farLimit)) {
          kind = ClassCrosses;
        } else {
          kind = ClassOfCode(ClassifySeg(line, list.segs[q]));
        }
      } else if (l == 0 && m == 0) {
        kind = ClassCollinear;
      } else {
        kind = (l < 0 || m < 0) ? ClassLeft : ClassRight;
      }

      switch (kind) {
        case ClassCrosses:
          left++;
          right++;
          splitSum += weight;
          break;
        case ClassCollinear:
          if (e.direction == direction) {
            right++;
          } else {
            left++;
          }
          break;
        case ClassLeft:
          left++;
          break;
        case ClassRight:
          right++;
          break;
      }

      int32_t penalty = final ? 2 * k / 3 : k;
      cost = (left > right ? left : right) + splitSum - penalty;
      if (cost >= bestCost) break;
    }

    if (cost < bestCost && left > 0 && right > 0) {
      bestCost = cost;
      best = p;
    }
  }

  FreeBlock(ends);
  return best;
}
