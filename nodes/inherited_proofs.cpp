// SPDX-License-Identifier: GPL-2.0-or-later
// The list a thread's last long choice was made on, what its scans found,
// and what a later list inherits from it.
#include "nodes/inherited_proofs.h"

#include <climits>
#include <cstdlib>

#include "nodes/scratch.h"

namespace {

// A seg as the scan sees it: two segs alike in these are classified alike
// by every candidate.
struct SegKey {
  int32_t x1, y1, x2, y2;
  int32_t direction;
};

SegKey KeyOf(const BuildSeg& seg) { return {seg.x1, seg.y1, seg.x2, seg.y2, seg.direction}; }

bool SameKey(const SegKey& a, const SegKey& b) {
  return a.x1 == b.x1 && a.y1 == b.y1 && a.x2 == b.x2 && a.y2 == b.y2 && a.direction == b.direction;
}

// The earlier list: its segs and where each one's scan stopped.
struct Legacy {
  void* block = nullptr;
  int32_t count = 0;
  CostRule rule = {0, false};  // the costs below are running costs under it
  SegKey* keys = nullptr;
  int32_t* least = nullptr;  // INT32_MIN: the scan did not stop, or was not made
  int32_t* stopFrom = nullptr;
  int32_t* stopTo = nullptr;

  ~Legacy() { std::free(block); }
};

thread_local Legacy legacy;

// How far ahead of the next unmatched earlier seg a seg is looked for: a
// run of segs taken away (a room peeled off) is rarely longer, and a seg
// not found within it counts as put in.
const int32_t MatchReach = 64;

// The earlier seg at or after `from`, within reach, that is the same as
// `key`; -1 when there is none.
int32_t FindSeg(const Legacy& kept, const SegKey& key, int32_t from) {
  int32_t end = from + MatchReach < kept.count ? from + MatchReach : kept.count;
  for (int32_t i = from; i < end; i++) {
    if (SameKey(kept.keys[i], key)) return i;
  }
  return -1;
}

// More changes than this and too little is inherited to pay for the search.
int32_t MostChanges(int32_t count) { return count / 4 + 16; }

}  // namespace

void DropChoiceLegacy() {
  std::free(legacy.block);
  legacy = Legacy();
}

void KeepChoiceLegacy(const SegTable& table, const CandidateScore* scores, int32_t scored, CostRule rule) {
  int32_t count = table.count;
  int64_t bytes = static_cast<int64_t>(count) * (sizeof(SegKey) + 3 * sizeof(int32_t));
  if (bytes > INT32_MAX) {
    DropChoiceLegacy();
    return;
  }
  void* block =
      count > legacy.count ? AllocFallible(FallibleLegacy, static_cast<size_t>(bytes), false) : legacy.block;
  if (block == nullptr) {
    DropChoiceLegacy();
    return;
  }
  if (block != legacy.block) std::free(legacy.block);
  legacy.block = block;
  legacy.count = count;
  legacy.rule = rule;
  legacy.keys = static_cast<SegKey*>(block);
  legacy.least = reinterpret_cast<int32_t*>(legacy.keys + count);
  legacy.stopFrom = legacy.least + count;
  legacy.stopTo = legacy.stopFrom + count;
  for (int32_t i = 0; i < count; i++) {
    SegKey key = KeyOf(table.segs[i]);
    legacy.keys[i] = key;
    bool stopped = i < scored && scores[i].stopped;
    legacy.least[i] = stopped ? scores[i].reached : INT32_MIN;
    legacy.stopFrom[i] = stopped ? scores[i].stopFrom : 0;
    legacy.stopTo[i] = stopped ? scores[i].stopTo : count - 1;
  }
}

void ReleaseInheritedProofs(InheritedProofs* proofs) {
  std::free(proofs->block);
  *proofs = InheritedProofs();
}

// How much `removed` segs taken away and `added` segs put in before some
// point of the list can take off a candidate's running cost there, its
// cuts aside (InheritedLeast takes those off). The larger side loses at
// most one a seg taken away and, at worst, gains nothing from a seg put in.
// The penalty after k tested segs is k in Turbo, so it changes by exactly
// added - removed: at most `added` in all. In Final it is floor(2k/3):
// taking r segs away lowers it by at least floor(2r/3) (floor(x) -
// floor(x - y) >= floor(y)), and putting a segs in raises it by at most
// ceil(2a/3) = floor((2a + 2)/3) (floor(x + y) <= floor(x) + ceil(y)).
// ChoiceTest.InheritedProofsAreReachedInTheWorstDerivedList holds a list
// where each of these terms is reached.
static int64_t MostLoss(int32_t removed, int32_t added, bool final) {
  if (!final) return added;
  return removed - 2 * removed / 3 + (2 * added + 2) / 3;
}

// The segs of the list are matched with the earlier list's in order: a seg
// found further on passes over the earlier segs between, which were taken
// away; a seg not found was put in.
void InheritProofs(InheritedProofs* proofs, const SegTable& table, CostRule rule) {
  *proofs = InheritedProofs();
  int32_t count = table.count, most = MostChanges(count);
  // A list much shorter than this one comes from a subtree beside it: the
  // thread chose there after this list's parent.
  if (legacy.count == 0 || legacy.count < count - count / 8) return;
  // Costs under another rule prove nothing under this one.
  if (legacy.rule.weight != rule.weight || legacy.rule.final != rule.final) return;
  // At least the difference in length was taken away.
  if (legacy.count - count > most) return;
  int64_t bytes = static_cast<int64_t>(most) * (sizeof(InheritedProofs::Ends) + 3 * sizeof(int32_t)) +
                  static_cast<int64_t>(count) * 5 * sizeof(int32_t) +
                  static_cast<int64_t>(legacy.count) * 2 * sizeof(int32_t);
  if (bytes > INT32_MAX) return;
  void* block = AllocFallible(FallibleProofs, static_cast<size_t>(bytes), false);
  if (block == nullptr) return;
  InheritedProofs::Ends* removedEnds = static_cast<InheritedProofs::Ends*>(block);
  // By change, in list order: the last earlier seg it comes after or is,
  // and the segs taken away and put in up to it.
  int32_t* changeAfter = reinterpret_cast<int32_t*>(removedEnds + most);
  int32_t* removedSoFar = changeAfter + most;
  int32_t* addedSoFar = removedSoFar + most;
  int32_t* least = addedSoFar + most;
  int32_t* removedTo = least + count;
  int32_t* reachedFrom = removedTo + count;
  int32_t* reachedTo = reachedFrom + count;
  int32_t* parentOf = reachedTo + count;
  // By earlier seg: how many segs of this list come at or before it.
  int32_t* before = parentOf + count;

  int32_t changes = 0, removed = 0, added = 0, next = 0;
  bool matched = false;
  auto removeUpTo = [&](int32_t end, int32_t segsBefore) {
    if (changes + (end - next) > most) return false;
    for (int32_t k = next; k < end; k++) {
      const SegKey& gone = legacy.keys[k];
      removedEnds[removed++] = {gone.x1, gone.y1, gone.x2, gone.y2};
      changeAfter[changes] = k;
      removedSoFar[changes] = removed;
      addedSoFar[changes++] = added;
      before[k] = segsBefore;
    }
    next = end;
    return true;
  };
  for (int32_t j = 0; j < count; j++) {
    int32_t i = FindSeg(legacy, KeyOf(table.segs[j]), next);
    if (i >= next) {
      if (!removeUpTo(i, j)) break;
      before[i] = j + 1;
      parentOf[j] = i;
      next = i + 1;
    } else {
      if (changes == most) break;
      added++;
      changeAfter[changes] = next;
      removedSoFar[changes] = removed;
      addedSoFar[changes++] = added;
      parentOf[j] = -1;
    }
    if (j == count - 1) matched = removeUpTo(legacy.count, count);
  }
  if (!matched) {
    std::free(block);
    return;
  }
  // By earlier seg: how many changes come at or before it.
  int32_t* changesTo = parentOf + count + legacy.count;
  for (int32_t k = 0, c = 0; k < legacy.count; k++) {
    while (c < changes && changeAfter[c] <= k) c++;
    changesTo[k] = c;
  }
  for (int32_t j = 0; j < count; j++) {
    int32_t i = parentOf[j];
    least[j] = INT32_MIN;
    removedTo[j] = 0;
    // The stopped cost was reached at an earlier seg from stopFrom on. The
    // list must hold a seg at or before that one, or the cost was never
    // reached here; when the last of them is the candidate itself, whose
    // place adds to a side without a cost, the cost is reached at the next
    // seg less at most one for the penalty, and there must be a next seg.
    if (i < 0 || legacy.least[i] == INT32_MIN || before[legacy.stopFrom[i]] == 0 || j == count - 1) continue;
    // The changes up to the last earlier seg it may have been reached at.
    int32_t upTo = changesTo[legacy.stopTo[i]];  // changes [0, upTo) count
    int32_t gone = upTo > 0 ? removedSoFar[upTo - 1] : 0, put = upTo > 0 ? addedSoFar[upTo - 1] : 0;
    // The earlier scan reached legacy.least[i] after some seg s from
    // stopFrom to stopTo. After the last seg of this list at or before s,
    // the candidate has seen what it saw there but for the changes up to
    // s, which those up to stopTo take in: MostLoss. Where that last seg
    // is the candidate itself, it has no cost there; the next seg's cost
    // counts, and that seg may go to the smaller side and add one to the
    // penalty: hence the 1.
    int64_t value = static_cast<int64_t>(legacy.least[i]) - 1 - MostLoss(gone, put, rule.final);
    if (value <= INT32_MIN) continue;
    least[j] = static_cast<int32_t>(value);
    removedTo[j] = gone;
    // Where in this list the cost is reached: after the last seg at or
    // before the earlier stopFrom seg at the earliest, after the seg that
    // follows the last one at or before the earlier stopTo seg at the
    // latest (the next seg when that one is the candidate itself).
    reachedFrom[j] = before[legacy.stopFrom[i]] - 1;
    reachedTo[j] = before[legacy.stopTo[i]] < count ? before[legacy.stopTo[i]] : count - 1;
  }
  proofs->block = block;
  proofs->least = least;
  proofs->removedTo = removedTo;
  proofs->reachedFrom = reachedFrom;
  proofs->reachedTo = reachedTo;
  proofs->removedEnds = removedEnds;
}

// A seg taken away, before the point where the least holds, that the
// candidate's line crosses (its ends strictly on both sides) may have been
// a cut there: its weight comes off. One with an end on the line is cut by
// no line.
int32_t InheritedLeast(const InheritedProofs& proofs, const SegTable& table, int32_t p, int32_t bound,
                       CostRule rule) {
  int32_t least = proofs.least[p];
  if (least < bound) return INT32_MIN;
  const BuildSeg& seg = table.segs[p];
  const int64_t dx = seg.x1 - seg.x2, dy = seg.y1 - seg.y2;
  const int64_t base = seg.x1 * dy - seg.y1 * dx;
  int64_t value = least;
  for (int32_t r = 0, end = proofs.removedTo[p]; r < end; r++) {
    const InheritedProofs::Ends& gone = proofs.removedEnds[r];
    int64_t l = base - gone.x1 * dy + gone.y1 * dx;
    int64_t m = base - gone.x2 * dy + gone.y2 * dx;
    if ((l < 0 && m > 0) || (l > 0 && m < 0)) {
      value -= rule.weight;
      if (value < bound) return INT32_MIN;
    }
  }
  return static_cast<int32_t>(value);
}
