// SPDX-License-Identifier: GPL-2.0-or-later
// The list a thread's last long choice was made on, what its scans found,
// and what a later list inherits from it.
#include "nodes/inherited_proofs.h"

#include <climits>
#include <cstdlib>

#include "nodes/partition.h"
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

// How the list matches the earlier one. A change is a seg taken away or a
// seg put in; the changes come in list order.
struct ListMatch {
  int32_t most;  // changes allowed
  int32_t changes, removed, added;
  int32_t next;                        // the first earlier seg neither matched nor taken away
  InheritedProofs::Ends* removedEnds;  // the segs taken away
  // By change: the last earlier seg it comes after or is, and the segs
  // taken away and put in up to it.
  int32_t* changeAfter;
  int32_t* removedSoFar;
  int32_t* addedSoFar;
  int32_t* parentOf;   // by seg: the earlier seg it is, -1 for a seg put in
  int32_t* before;     // by earlier seg: how many segs of this list come at or before it
  int32_t* changesTo;  // by earlier seg: how many changes come at or before it
};

static void NoteChange(ListMatch* match, int32_t after) {
  match->changeAfter[match->changes] = after;
  match->removedSoFar[match->changes] = match->removed;
  match->addedSoFar[match->changes++] = match->added;
}

// The earlier segs from the next unmatched one up to `end` were taken
// away, with `segsBefore` segs of this list before them. False, when that
// makes too many changes.
static bool RemoveUpTo(ListMatch* match, int32_t end, int32_t segsBefore) {
  if (match->changes + (end - match->next) > match->most) return false;
  for (int32_t k = match->next; k < end; k++) {
    const SegKey& gone = legacy.keys[k];
    match->removedEnds[match->removed++] = {gone.x1, gone.y1, gone.x2, gone.y2};
    NoteChange(match, k);
    match->before[k] = segsBefore;
  }
  match->next = end;
  return true;
}

// The segs of the list are matched with the earlier list's in order: a seg
// found further on passes over the earlier segs between, which were taken
// away; a seg not found was put in. False when the lists differ by more
// than the changes allowed.
static bool MatchLists(const SegTable& table, ListMatch* match) {
  int32_t count = table.count;
  for (int32_t j = 0; j < count; j++) {
    int32_t i = FindSeg(legacy, KeyOf(table.segs[j]), match->next);
    if (i >= match->next) {
      if (!RemoveUpTo(match, i, j)) return false;
      match->before[i] = j + 1;
      match->parentOf[j] = i;
      match->next = i + 1;
    } else {
      if (match->changes == match->most) return false;
      match->added++;
      NoteChange(match, match->next);
      match->parentOf[j] = -1;
    }
  }
  if (!RemoveUpTo(match, legacy.count, count)) return false;
  for (int32_t k = 0, c = 0; k < legacy.count; k++) {
    while (c < match->changes && match->changeAfter[c] <= k) c++;
    match->changesTo[k] = c;
  }
  return true;
}

// What seg j inherits from the earlier scan of the seg it is, into the
// arrays of `proofs`: nothing (INT32_MIN) unless that scan stopped.
static void InheritBound(const ListMatch& match, int32_t j, int32_t count, bool final,
                         InheritedProofs* proofs) {
  int32_t i = match.parentOf[j];
  proofs->least[j] = INT32_MIN;
  proofs->removedTo[j] = 0;
  // The stopped cost was reached at an earlier seg from stopFrom on. The
  // list must hold a seg at or before that one, or the cost was never
  // reached here; when the last of them is the candidate itself, whose
  // place adds to a side without a cost, the cost is reached at the next
  // seg less at most one for the penalty, and there must be a next seg.
  if (i < 0 || legacy.least[i] == INT32_MIN || match.before[legacy.stopFrom[i]] == 0 || j == count - 1)
    return;
  // The changes up to the last earlier seg it may have been reached at.
  int32_t upTo = match.changesTo[legacy.stopTo[i]];  // changes [0, upTo) count
  int32_t gone = upTo > 0 ? match.removedSoFar[upTo - 1] : 0, put = upTo > 0 ? match.addedSoFar[upTo - 1] : 0;
  // The earlier scan reached legacy.least[i] after some seg s from
  // stopFrom to stopTo. After the last seg of this list at or before s,
  // the candidate has seen what it saw there but for the changes up to
  // s, which those up to stopTo take in: MostLoss. Where that last seg
  // is the candidate itself, it has no cost there; the next seg's cost
  // counts, and that seg may go to the smaller side and add one to the
  // penalty: hence the 1.
  int64_t value = static_cast<int64_t>(legacy.least[i]) - 1 - MostLoss(gone, put, final);
  if (value <= INT32_MIN) return;
  proofs->least[j] = static_cast<int32_t>(value);
  proofs->removedTo[j] = gone;
  // Where in this list the cost is reached: after the last seg at or
  // before the earlier stopFrom seg at the earliest, after the seg that
  // follows the last one at or before the earlier stopTo seg at the
  // latest (the next seg when that one is the candidate itself).
  proofs->reachedFrom[j] = match.before[legacy.stopFrom[i]] - 1;
  int32_t after = match.before[legacy.stopTo[i]];
  proofs->reachedTo[j] = after < count ? after : count - 1;
}

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
  ListMatch match;
  match.most = most;
  match.changes = match.removed = match.added = match.next = 0;
  match.removedEnds = static_cast<InheritedProofs::Ends*>(block);
  match.changeAfter = reinterpret_cast<int32_t*>(match.removedEnds + most);
  match.removedSoFar = match.changeAfter + most;
  match.addedSoFar = match.removedSoFar + most;
  InheritedProofs laid;
  laid.least = match.addedSoFar + most;
  laid.removedTo = laid.least + count;
  laid.reachedFrom = laid.removedTo + count;
  laid.reachedTo = laid.reachedFrom + count;
  match.parentOf = laid.reachedTo + count;
  match.before = match.parentOf + count;
  match.changesTo = match.before + legacy.count;
  if (!MatchLists(table, &match)) {
    std::free(block);
    return;
  }
  for (int32_t j = 0; j < count; j++) InheritBound(match, j, count, rule.final, &laid);
  laid.block = block;
  laid.removedEnds = match.removedEnds;
  *proofs = laid;
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
  const PartitionLine line = {seg.x1, seg.y1, seg.x2, seg.y2, seg.x1 - seg.x2, seg.y1 - seg.y2};
  const int64_t base = SideBase(line);
  int64_t value = least;
  for (int32_t r = 0, end = proofs.removedTo[p]; r < end; r++) {
    const InheritedProofs::Ends& gone = proofs.removedEnds[r];
    int64_t l = SideProductFrom(base, line, gone.x1, gone.y1);
    int64_t m = SideProductFrom(base, line, gone.x2, gone.y2);
    if ((l < 0 && m > 0) || (l > 0 && m < 0)) {
      value -= rule.weight;
      if (value < bound) return INT32_MIN;
    }
  }
  return static_cast<int32_t>(value);
}
