// The choice on a short list: every candidate scored seg by seg in list
// order, plainly, with the stop test after every seg. The blocks of the seg
// table and their boxes cost more than they save on so few segs.
#include "nodes/partition.h"
#include "nodes/score.h"

int32_t ChooseInShortList(SegList list, CostRule rule) {
  int32_t best = 0, bestCost = 2147483647, cost = 0;
  for (int32_t p = 0; p < list.count; p++) {
    const BuildSeg& candidate = list.segs[p];
    PartitionLine line = {candidate.x1,
                          candidate.y1,
                          candidate.x2,
                          candidate.y2,
                          candidate.x1 - candidate.x2,
                          candidate.y1 - candidate.y2};
    int64_t farLimit = -1;
    int32_t left = 0, right = 0, splitSum = 0, tested = 0;
    for (int32_t q = 0; q < list.count; q++) {
      if (q == p) {
        right++;
        continue;
      }
      tested++;
      const BuildSeg& seg = list.segs[q];
      int64_t l = (static_cast<int64_t>(line.x1) - seg.x1) * line.dy -
                  (static_cast<int64_t>(line.y1) - seg.y1) * line.dx;
      int64_t m = (static_cast<int64_t>(line.x1) - seg.x2) * line.dy -
                  (static_cast<int64_t>(line.y1) - seg.y2) * line.dx;
      bool crosses = (l < 0 && m > 0) || (l > 0 && m < 0);
      if (crosses) {
        if (farLimit < 0) farLimit = ComputeFarLimit(line);
        if (!IsFarFromLine(l, m, farLimit)) {
          // The cut-point tolerance may move an end point onto the line.
          SideCode code = ClassifySeg(line, seg);
          crosses = ClassOfCode(code) == ClassCrosses;
          if (!crosses) {
            l = (code & (StartLeft | EndLeft)) ? -1 : (code & (StartRight | EndRight)) ? 1 : 0;
            m = l;
          }
        }
      }
      if (crosses) {
        left++;
        right++;
        splitSum += rule.weight;
      } else if (l == 0 && m == 0) {
        (seg.direction == candidate.direction ? right : left)++;
      } else if (l < 0 || m < 0) {
        left++;
      } else {
        right++;
      }
      cost = (left > right ? left : right) + splitSum - (rule.final ? 2 * tested / 3 : tested);
      if (cost >= bestCost) break;
    }
    if (cost < bestCost && left > 0 && right > 0) {
      bestCost = cost;
      best = p;
    }
  }
  return best;
}
