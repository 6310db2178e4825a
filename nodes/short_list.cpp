// SPDX-License-Identifier: GPL-2.0-or-later
// The choice on a short list: every candidate scored seg by seg in list
// order, plainly, with the stop test after every seg. The blocks of the seg
// table and their boxes cost more than they save on so few segs.
#include "nodes/partition.h"
#include "nodes/score.h"
#include "nodes/tuning.h"

namespace {

struct ShortRun {
  // How many segs were tested when the running cost reached the bound; 0
  // when it never did.
  int32_t stoppedAt;
  int32_t cost, left, right;
};

ShortRun ScanCandidate(SegList list, int32_t p, int32_t bound, CostRule rule) {
  const BuildSeg& candidate = list.segs[p];
  PartitionLine line = {candidate.x1,
                        candidate.y1,
                        candidate.x2,
                        candidate.y2,
                        candidate.x1 - candidate.x2,
                        candidate.y1 - candidate.y2};
  int64_t farLimit = -1;
  int32_t left = 0, right = 0, splitSum = 0, tested = 0, cost = 0;
  for (int32_t q = 0; q < list.count; q++) {
    if (q == p) {
      right++;
      continue;
    }
    tested++;
    const BuildSeg& seg = list.segs[q];
    int64_t l = SideProduct(line, seg.x1, seg.y1);
    int64_t m = SideProduct(line, seg.x2, seg.y2);
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
    if (cost >= bound) return {tested, cost, left, right};
  }
  return {0, cost, left, right};
}

}  // namespace

// A seg p followed by its twin (the other side of its linedef) is scored
// once for both. The twin's line is the seg's reversed: every other seg
// lies on the mirror side of it, so the twin's running costs are the
// seg's, but at the pair itself (after p + 1 tested segs), where the
// twin's is no higher. So the twin loses whenever the seg stops elsewhere
// (the twin's bound is the same and it stops there too), or completes
// with segs after the pair (it then ends on the seg's final cost, which is
// the best cost if the seg won, and otherwise with one side empty, as the
// seg's was). Only else is the twin scored.
int32_t ChooseInShortList(SegList list, CostRule rule) {
  int32_t best = 0, bestCost = 2147483647;
  for (int32_t p = 0; p < list.count; p++) {
    ShortRun run = ScanCandidate(list, p, bestCost, rule);
    if (run.stoppedAt == 0 && run.left > 0 && run.right > 0) {
      bestCost = run.cost;
      best = p;
    }
    bool twinLoses = run.stoppedAt != 0 ? run.stoppedAt != p + 1 : p + 2 < list.count;
    if (Tuning.twinPairs && p + 1 < list.count && twinLoses && AreTwins(list.segs[p], list.segs[p + 1])) p++;
  }
  return best;
}
