// SPDX-License-Identifier: GPL-2.0-or-later
// Scoring a candidate partition line: the segs are tested in list order and
// the running cost is followed, a whole block of segs at a time where the
// block's box lies on one side of the line or along it, and otherwise the
// segs of a leaf block side by side.
#include "nodes/score.h"

#include <emmintrin.h>

#include "console/services.h"
#include "nodes/partition.h"
#include "nodes/tuning.h"

// The candidate's line. The side product of a point (x, y) is
// base - x * dy + y * dx, with dx, dy start minus end: positive on the
// right, negative on the left; exact in 64 bits for 16-bit coordinates.
struct ScanLine {
  PartitionLine line;
  int64_t base;
  mutable int64_t farLimit;  // -1 until needed
  int16_t direction;
  int32_t bound;
};

// Worked out at the first crossing seg: most candidates meet none.
static int64_t FarLimitOf(const ScanLine& scan) {
  if (scan.farLimit < 0) scan.farLimit = ComputeFarLimit(scan.line);
  return scan.farLimit;
}

struct RunningCost {
  int32_t left, right, splitSum, tested, cost;
  // While below the bound, at least every running cost so far but the
  // costs at a twin pair, kept apart (a block's ceiling may stand in for
  // the costs inside it); once at or above it, a running cost reached, as
  // ceilings are kept only while below the bound.
  int32_t peak;
  // Tested segs whose count another candidate on the same line may see
  // otherwise: segs along the line, and crossing segs near it, whose cut
  // depends on the partition seg's own end points.
  int32_t along, near;
};

// Counts of tested segs are never negative: the division is unsigned, a
// shorter instruction sequence.
static int32_t Penalty(int32_t tested, bool final) {
  return final ? static_cast<int32_t>(2 * static_cast<uint32_t>(tested) / 3) : tested;
}

// Side bits of the segs from..to-1 (at most one leaf block), bit i for seg
// from + i: an end point strictly left of the line, or strictly right. Two
// segs at a time in double precision, which is exact here: the coordinates
// are 16-bit, so every product and sum is an integer below 2^35, and a
// double holds every integer below 2^53.
struct SideBits {
  uint32_t left, right;
};

static inline SideBits SidesOfSegs(const SegTable& table, const ScanLine& scan, int32_t from, int32_t to) {
  const __m128d base = _mm_set1_pd(static_cast<double>(scan.base));
  const __m128d dx = _mm_set1_pd(scan.line.dx), dy = _mm_set1_pd(scan.line.dy);
  const __m128d zero = _mm_setzero_pd();
  uint32_t left = 0, right = 0;
  for (int32_t i = 0; from + i < to; i += 2) {
    int32_t q = from + i;  // and q + 1, which may be the spare entry
    __m128d l = _mm_add_pd(_mm_sub_pd(base, _mm_mul_pd(_mm_loadu_pd(table.x1 + q), dy)),
                           _mm_mul_pd(_mm_loadu_pd(table.y1 + q), dx));
    __m128d m = _mm_add_pd(_mm_sub_pd(base, _mm_mul_pd(_mm_loadu_pd(table.x2 + q), dy)),
                           _mm_mul_pd(_mm_loadu_pd(table.y2 + q), dx));
    left |= static_cast<uint32_t>(_mm_movemask_pd(_mm_or_pd(_mm_cmplt_pd(l, zero), _mm_cmplt_pd(m, zero))))
            << i;
    right |= static_cast<uint32_t>(_mm_movemask_pd(_mm_or_pd(_mm_cmpgt_pd(l, zero), _mm_cmpgt_pd(m, zero))))
             << i;
  }
  uint32_t mask = (1u << (to - from)) - 1;
  return {left & mask, right & mask};
}

// Bits set in a leaf's worth of side bits, looked up: the processors this
// builds for need not count bits in one instruction.
static_assert(ScanLeafShift <= 3, "side bits of a leaf block fit in a byte");
struct BitCounts {
  uint8_t of[256];
  constexpr BitCounts() : of() {
    for (int i = 1; i < 256; i++) of[i] = static_cast<uint8_t>(of[i >> 1] + (i & 1));
  }
};
static constexpr BitCounts bitCounts;

static int32_t CountBits(uint32_t bits) { return bitCounts.of[bits]; }

// Tests the segs from..to-1 (at most one leaf block): a seg with an end
// point on the left counts left, one with an end point on the right counts
// right (a cut seg both), and a collinear seg counts by its direction flag.
// Only a seg crossing near the line needs the full side test.
//
// Over these segs no running cost exceeds the larger of the two counts at
// the end, plus the cuts at the end, less the penalty after the first of
// them. While that stays below the bound, that is all the scan needs: the
// peak it keeps may lie above the true largest running cost, never above
// the bound. Only otherwise are the running costs followed seg by seg.
__attribute__((always_inline)) static inline void ScanSegs(const SegTable& table, const ScanLine& scan,
                                                           int32_t from, int32_t to, CostRule rule,
                                                           RunningCost* run) {
  if (from >= to) return;
  SideBits sides = SidesOfSegs(table, scan, from, to);
  for (uint32_t cuts = sides.left & sides.right; cuts != 0; cuts &= cuts - 1) {
    int32_t i = CountBits((cuts & (0u - cuts)) - 1);
    int32_t q = from + i;
    const BuildSeg& seg = table.segs[q];
    int64_t l = SideProductFrom(scan.base, scan.line, seg.x1, seg.y1);
    int64_t m = SideProductFrom(scan.base, scan.line, seg.x2, seg.y2);
    if (IsFarFromLine(l, m, FarLimitOf(scan))) continue;
    run->near++;
    // The cut-point tolerance may move an end point onto the line.
    SideCode code = ClassifySeg(scan.line, seg);
    uint32_t bit = 1u << i;
    if (!(code & (StartLeft | EndLeft))) sides.left &= ~bit;
    if (!(code & (StartRight | EndRight))) sides.right &= ~bit;
  }
  const int32_t leafStart = from >> ScanLeafShift << ScanLeafShift;
  const uint32_t mask = (1u << (to - from)) - 1;
  uint32_t against = static_cast<uint32_t>(table.leafDirections[from >> ScanLeafShift]) >> (from - leafStart);
  uint32_t same = (scan.direction != 0 ? against : ~against) & mask;
  uint32_t collinear = ~(sides.left | sides.right) & mask;
  if (collinear != 0) run->along += CountBits(collinear);
  uint32_t addLeft = sides.left | (collinear & ~same);
  uint32_t addRight = sides.right | (collinear & same);
  uint32_t cuts = sides.left & sides.right;

  const bool final = rule.final;
  int32_t count = to - from;
  int32_t left = run->left + CountBits(addLeft), right = run->right + CountBits(addRight);
  int32_t splitSum = run->splitSum + CountBits(cuts) * rule.weight;
  int32_t ceiling = (left > right ? left : right) + splitSum - Penalty(run->tested + 1, final);
  if (ceiling < scan.bound) {
    run->left = left;
    run->right = right;
    run->splitSum = splitSum;
    run->tested += count;
    run->cost = (left > right ? left : right) + splitSum - Penalty(run->tested, final);
    if (ceiling > run->peak) run->peak = ceiling;
    return;
  }
  left = run->left;
  right = run->right;
  splitSum = run->splitSum;
  int32_t tested = run->tested, cost = run->cost, peak = run->peak;
  for (int32_t i = 0; i < count; i++) {
    left += (addLeft >> i) & 1;
    right += (addRight >> i) & 1;
    splitSum += static_cast<int32_t>((cuts >> i) & 1) * rule.weight;
    tested++;
    cost = (left > right ? left : right) + splitSum - Penalty(tested, final);
    peak = cost > peak ? cost : peak;
  }
  run->left = left;
  run->right = right;
  run->splitSum = splitSum;
  run->tested = tested;
  run->cost = cost;
  run->peak = peak;
}

// Adds `count` tested segs that all lie on one side. While the growing
// side is not the larger one the running cost can only fall; once it is,
// it can only rise (the penalty grows by at most one a seg), so its largest
// value is at the first or the last of them.
static inline void AddOneSided(RunningCost* run, int32_t count, bool right, CostRule rule) {
  int32_t* grows = right ? &run->right : &run->left;
  int32_t other = right ? run->left : run->right;
  int32_t first =
      (*grows + 1 > other ? *grows + 1 : other) + run->splitSum - Penalty(run->tested + 1, rule.final);
  *grows += count;
  run->tested += count;
  run->cost = (*grows > other ? *grows : other) + run->splitSum - Penalty(run->tested, rule.final);
  if (first > run->peak) run->peak = first;
  if (run->cost > run->peak) run->peak = run->cost;
}

// The twin's line is the first's line reversed. Against it, every other
// seg's side products are the first's negated, exactly, and its cut point
// is computed the same (numerator and denominator both change sign), so a
// seg right of one line is left of the other and a cut seg is cut for both;
// a collinear seg compares its flag with the other flag of the pair. Left
// and right swap, and the cost reads only the larger of the two.
// Adds a block whose segs all lie along the line: each counts by its
// direction flag, in an order this does not follow, so only while the
// ceiling over the block (as for a leaf) stays below the bound. Returns
// false, adding nothing, otherwise. Rarely called, and kept out of the scan
// loop, which runs faster without it.
__attribute__((noinline)) static bool AddOnLine(const SegTable& table, const ScanLine& scan, int32_t level,
                                                int32_t from, int32_t to, CostRule rule, RunningCost* run) {
  int32_t count = to - from, against = table.against[level][from >> table.shift[level]];
  int32_t same = scan.direction != 0 ? against : count - against;
  int32_t left = run->left + count - same, right = run->right + same;
  int32_t larger = left > right ? left : right;
  int32_t ceiling = larger + run->splitSum - Penalty(run->tested + 1, rule.final);
  if (ceiling >= scan.bound) return false;
  run->left = left;
  run->right = right;
  run->tested += count;
  run->along += count;
  run->cost = larger + run->splitSum - Penalty(run->tested, rule.final);
  if (ceiling > run->peak) run->peak = ceiling;
  return true;
}

// The candidates' own positions. A single candidate counts itself on the
// right without a cost update. For a twin pair (first, first + 1), each
// tests the other as a collinear seg of the other direction, on its left:
// with (L, R) the counts before the pair in the first's terms, the first's
// cost there is max(L + 1, R + 1), the twin's max(R + 1, L) (both plus the
// cuts and less the penalty), and afterwards their counts are mirror
// images again, so every other running cost is the same for both.
struct OwnPositions {
  int32_t first;
  bool twin;
  int32_t firstCost, twinCost;  // running costs at the pair, or the lowest
  int32_t testedAtPair;
};

static void StepOverOwn(OwnPositions* own, CostRule rule, RunningCost* run) {
  if (!own->twin) {
    run->right++;
    return;
  }
  int32_t pairTested = run->tested + 1;
  int32_t base = run->splitSum - Penalty(pairTested, rule.final);
  int32_t left = run->left + 1, right = run->right + 1;
  own->firstCost = (left > right ? left : right) + base;
  own->twinCost = (right > run->left ? right : run->left) + base;
  own->testedAtPair = pairTested;
  run->left = left;
  run->right = right;
  run->tested = pairTested;
  run->cost = own->firstCost;
}

// Tests the segs of one leaf block one by one, stepping over the
// candidates' own positions.
static void ScanLeaf(const SegTable& table, const ScanLine& scan, int32_t from, int32_t to, OwnPositions* own,
                     CostRule rule, RunningCost* run) {
  int32_t q = from;
  if (own->first >= from && own->first < to) {
    ScanSegs(table, scan, q, own->first, rule, run);
    StepOverOwn(own, rule, run);
    q = own->first + 1;
  }
  int32_t twin = own->first + 1;
  if (own->twin && twin >= q && twin < to) {
    ScanSegs(table, scan, q, twin, rule, run);
    q = twin + 1;
  }
  ScanSegs(table, scan, q, to, rule, run);
}

// What the descent through the blocks needs of the candidate's line. Twice
// the side product at the centre of a block's box is doubleBase - box.x *
// dy + box.y * dx (the box's centre is kept doubled), and it changes by at
// most box.width * absDy + box.height * absDx over the box (the spread):
// the box lies wholly on one side when the first exceeds the second in
// size.
struct Descent {
  int64_t doubleBase, dx, dy, absDx, absDy;
  int32_t top;  // the level of the largest blocks
  bool blocks;  // Tuning.blockScan, read once
};

static inline ScanLine LineOfCandidate(const BuildSeg& seg, int32_t bound) {
  ScanLine scan;
  scan.line.x1 = seg.x1;
  scan.line.y1 = seg.y1;
  scan.line.x2 = seg.x2;
  scan.line.y2 = seg.y2;
  scan.line.dx = scan.line.x1 - scan.line.x2;
  scan.line.dy = scan.line.y1 - scan.line.y2;
  scan.base = SideBase(scan.line);
  scan.farLimit = -1;
  scan.direction = seg.direction;
  scan.bound = bound;
  return scan;
}

// A candidate whose segs so far lie on one side gains about a third of a
// point a seg (Final) and stops near three times the bound: blocks of
// about that size are tried first. After that, a block one level above
// the last one that lay on one side (ScanBlockAt), then smaller ones while
// the line runs through the block's box.
static inline int32_t FirstReach(const SegTable& table, const Descent& descent, int32_t bound) {
  int32_t reach = 0;
  while (descent.blocks && reach < descent.top && table.span[reach + 1] <= 3 * static_cast<int64_t>(bound)) {
    reach++;
  }
  return reach;
}

// Tests the block of segs that starts at `from`: the largest one from the
// level `*reach` down that lies on one side of the line, or along it, at
// once; the leaf block otherwise, seg by seg. Returns the block's end, and
// sets the level to try first for the next block.
__attribute__((always_inline)) static inline int32_t ScanBlockAt(const SegTable& table, const ScanLine& scan,
                                                                 const Descent& descent, int32_t from,
                                                                 int32_t* reach, OwnPositions* own,
                                                                 CostRule rule, RunningCost* run) {
  // A block holding a candidate never lies on one side: the candidate's
  // end points are on the line.
  int32_t level = *reach < descent.top ? *reach : descent.top;
  while ((from & (table.span[level] - 1)) != 0) level--;
  for (;;) {
    int32_t to = from + table.span[level] < table.count ? from + table.span[level] : table.count;
    const SegBox& box = table.boxes[level][from >> table.shift[level]];
    int64_t centre = descent.doubleBase - box.x * descent.dy + box.y * descent.dx;
    int64_t spread = box.width * descent.absDy + box.height * descent.absDx;
    if (descent.blocks && centre > spread) {
      AddOneSided(run, to - from, true, rule);
      *reach = level + 1;
      return to;
    }
    if (descent.blocks && centre < -spread) {
      AddOneSided(run, to - from, false, rule);
      *reach = level + 1;
      return to;
    }
    // Every end point on the line (a run of collinear walls), and none of
    // the candidates' own segs in the block.
    if (descent.blocks && (centre | spread) == 0 && (own->first + own->twin < from || own->first >= to) &&
        AddOnLine(table, scan, level, from, to, rule, run)) {
      *reach = level + 1;
      return to;
    }
    if (level == 0) {
      ScanLeaf(table, scan, from, to, own, rule, run);
      *reach = 0;
      return to;
    }
    level--;
  }
}

// What a scan stopped after the block that ends at `to` proves of every
// other seg r on the line. r sees every seg before `to` as these
// candidates do, up to a swap of the sides, but the doubtful ones, each of
// which may leave the larger side for r:
// - a seg along the line counts by its direction flag, which r may not
//   share (`along`, r itself among them when it stands here);
// - a crossing seg near the line may snap onto it for one of them and not
//   the other: the cut point is worked out from the partition seg's own
//   ends, and may round to a neighbouring point (`near`);
// - the candidate's own seg, on its right, counts by its flag for r (a
//   twin here as well adds one to each side for both).
// The near segs may also be no cut for r: their weight comes off. r has
// tested `to` segs at most, and the penalty only grows.
// ChoiceTest.LineProofsAreReachedByTheWorstSegOnTheLine holds a list where
// each term is reached.
static LineProof ProveLine(const RunningCost& run, int32_t first, int32_t to, CostRule rule) {
  int32_t larger = run.left > run.right ? run.left : run.right;
  int32_t doubtful = run.along + run.near + (first < to ? 1 : 0);
  return {larger - doubtful + run.splitSum - run.near * rule.weight - Penalty(to, rule.final), to - 1};
}

// The scores of a whole scan, with the candidates' costs at a twin pair.
static void ScoreWhole(const RunningCost& run, const OwnPositions& own, int32_t bound, int32_t count,
                       CandidateScore scores[2]) {
  bool pairLast = run.tested == own.testedAtPair;
  int32_t firstPeak = run.peak > own.firstCost ? run.peak : own.firstCost;
  // A first seg stopped here was stopped by its cost at the pair: where
  // that stands is not kept.
  const int32_t last = count - 1;
  scores[0] = {firstPeak >= bound, firstPeak, firstPeak, pairLast ? own.firstCost : run.cost,
               run.left,           run.right, 0,         last};
  if (own.twin) {
    int32_t twinPeak = run.peak > own.twinCost ? run.peak : own.twinCost;
    scores[1] = {false, 0, twinPeak, pairLast ? own.twinCost : run.cost, run.right, run.left, 0, last};
  }
}

void ScoreCandidates(const SegTable& table, int32_t first, bool twin, int32_t bound, CostRule rule,
                     CandidateScore scores[2], LineProof* proof) {
  const ScanLine scan = LineOfCandidate(table.segs[first], bound);
  const int64_t dx = scan.line.dx, dy = scan.line.dy;
  const Descent descent = {
      2 * scan.base, dx, dy, dx < 0 ? -dx : dx, dy < 0 ? -dy : dy, table.levelCount - 1, Tuning.blockScan};
  OwnPositions own = {first, twin, INT32_MIN, INT32_MIN, -1};
  RunningCost run = {0, 0, 0, 0, 0, INT32_MIN, 0, 0};
  int32_t reach = FirstReach(table, descent, bound);
  for (int32_t from = 0; from < table.count;) {
    int32_t to = ScanBlockAt(table, scan, descent, from, &reach, &own, rule, &run);
    // The twin's costs never exceed the first's: once the twin stops, both
    // have.
    int32_t lower = run.peak > own.twinCost ? run.peak : own.twinCost;
    if (lower >= bound) {
      // The first of a pair has its cost at the pair after its twin, which
      // may stand in the next block.
      int32_t stopTo = twin && first + 1 >= to ? first + 1 : to - 1;
      scores[0] = scores[1] = StoppedScore(lower, from, stopTo);
      if (proof != nullptr) *proof = ProveLine(run, first, to, rule);
      return;
    }
    from = to;
  }
  ScoreWhole(run, own, bound, table.count, scores);
}
