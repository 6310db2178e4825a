// The choice of the partition seg: every seg of the list is tried as the
// partition line against every other seg, and the one that balances the two
// sides best with the fewest cuts wins.
#include "console/services.h"
#include "nodes/settings.h"
#include "nodes/partition.h"
#include "nodes/score.h"

int32_t ChoosePartition(SegList list) {
  if (list.count == 0) return -1;
  for (int32_t i = 0; i < list.count; i++) {
    BuildSeg& seg = list.segs[i];
    seg.deltaX = seg.x1 - seg.x2;
    seg.deltaY = seg.y1 - seg.y2;
  }
  // A lone seg tests nothing and has nothing on its left: the head stays.
  if (list.count == 1) return 0;

  SegTable table;
  FillSegTable(&table, list);
  const CostRule rule = {ModeNumber, FinalMode};

  int32_t best = 0;
  int32_t bestCost = 2147483647;
  // Every candidate's first running cost is at least one seg less the
  // penalty for one: once the best cost is down to that, nothing can beat
  // it.
  const int32_t lowestFirstCost = rule.final ? 1 : 0;
  for (int32_t p = 0; p < list.count && bestCost > lowestFirstCost;) {
    bool twin = IsTwinPair(table, p);
    CandidateScore scores[2];
    ScoreCandidates(table, p, twin, bestCost, rule, scores);
    for (int32_t j = 0; j <= twin; j++, p++) {
      const CandidateScore& score = scores[j];
      if (!score.stopped && score.peak < bestCost && score.left > 0 && score.right > 0) {
        bestCost = score.cost;
        best = p;
      }
    }
  }
  return best;
}
