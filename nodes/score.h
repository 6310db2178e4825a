// SPDX-License-Identifier: GPL-2.0-or-later
// Scoring one candidate partition line against a seg list, as the choice of
// the partition seg does it, laid out for speed.
#pragma once

#include <cstdint>

#include "nodes/seg.h"
#include "nodes/seg_table.h"

struct CostRule {
  int32_t weight;  // added to the cost for every cut, 0 to 48
  bool final;      // penalty 2k/3 (Final) or k (Turbo) after k tested segs
};

// The running cost of a candidate after each tested seg is
// max(left, right) + cuts * weight - penalty. The choice drops a candidate
// as soon as that reaches the best complete cost so far, and takes one that
// never does and leaves both sides non-empty. Which seg stopped it is of no
// consequence, so a scan keeps two numbers at most: of a whole scan, a
// ceiling on its running costs, which the choice compares with a best cost
// that may have fallen since; of a stopped one, a running cost it reached,
// from which the next choice proves that the candidate stops there too.
struct CandidateScore {
  bool stopped;  // some running cost reached the bound
  // Stopped: some running cost after a seg from stopFrom to stopTo is at
  // least `reached`, and `reached` is at least the bound. The other fields
  // are unset.
  int32_t reached;
  // Not stopped: at least the largest running cost, and below the bound.
  int32_t ceiling;
  int32_t cost;  // running cost after the last tested seg
  int32_t left, right;
  int32_t stopFrom, stopTo;
};

// A candidate shown to stop without a whole scan.
inline CandidateScore StoppedScore(int32_t reached, int32_t stopFrom, int32_t stopTo) {
  return {true, reached, 0, 0, 0, 0, stopFrom, stopTo};
}

// True when seg first + 1 of the table is the twin of seg first.
inline bool IsTwinPair(const SegTable& table, int32_t first) { return table.twinNext[first] != 0; }

// What stopped candidates show of every other seg on their line: its
// running cost after the seg at `position` (unless that seg is itself) is
// at least `least`, so it stops at any bound up to that.
struct LineProof {
  int32_t least;
  int32_t position;
};

// Scores the seg `first` of the table against `bound` into scores[0]:
// stopped exactly when a running cost reaches the bound, otherwise the
// whole scan.
// With `twin` (IsTwinPair holds) the same scan scores seg first + 1 into
// scores[1]; the bound must hold for it too. The list must hold at least two
// segs.
// With `proof`, a stopped scan fills it in.
void ScoreCandidates(const SegTable& table, int32_t first, bool twin, int32_t bound, CostRule rule,
                     CandidateScore scores[2], LineProof* proof = nullptr);

// The partition choice on a short list (Tuning.shortListSegs segs at most,
// and at least 2), on the calling thread: the index of the chosen seg.
int32_t ChooseInShortList(SegList list, CostRule rule);
