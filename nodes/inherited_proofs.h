// SPDX-License-Identifier: GPL-2.0-or-later
// Proofs handed from one partition choice to the next. A division keeps the
// order of the segs, so the larger side of a node that peels a few segs off
// its list is nearly the list itself: the same segs in the same order, with
// some taken away and a few cut pieces put in. A candidate sees every seg it
// shares with the earlier list the same way, so where a scan stopped there
// (its running cost reached some value), the candidate's running cost in
// the new list is at least that value less what the changed segs before
// that point can have taken off: a seg taken away lowers the larger side by
// at most one and the penalty with it, a seg put in raises the penalty, and
// a seg taken away that the candidate's line crosses may take a cut's
// weight with it. A candidate whose bound is no higher stops without a scan.
//
// Each thread keeps what its last long choice found, and the next long
// choice it makes compares its own list with that one. The proofs hold for
// any two lists, related or not; the comparison only finds how much they
// have in common.
#pragma once

#include <cstdint>

#include "nodes/score.h"
#include "nodes/seg_table.h"

// What a choice knows of its candidates from the earlier list.
struct InheritedProofs {
  void* block = nullptr;  // holds the arrays below; null when nothing is inherited
  // By seg index: the least running cost the seg's scan in the earlier list
  // leaves it here before any cuts are counted off (INT32_MIN when nothing
  // is known), and how many of the segs taken away may have taken a cut
  // with them.
  int32_t* least = nullptr;
  int32_t* removedTo = nullptr;
  // By seg index: the segs of this list after one of which that least is
  // reached, for the proofs this choice hands on in turn.
  int32_t* reachedFrom = nullptr;
  int32_t* reachedTo = nullptr;
  struct Ends {
    int32_t x1, y1, x2, y2;
  };
  Ends* removedEnds = nullptr;  // the segs taken away, in list order
};

// Compares the list with this thread's last kept list and fills `proofs`
// (empty when the lists have too little in common or memory runs out).
void InheritProofs(InheritedProofs* proofs, const SegTable& table, CostRule rule);
// The least running cost that the earlier list proves for seg p of the
// list, or INT32_MIN when it proves nothing at or above `bound`.
int32_t InheritedLeast(const InheritedProofs& proofs, const SegTable& table, int32_t p, int32_t bound,
                       CostRule rule);
void ReleaseInheritedProofs(InheritedProofs* proofs);

// Keeps what a finished choice under `rule` found of its candidates for
// this thread's next choice, in place of what it kept before. `scores` is
// by seg index, and the first `scored` candidates were scored.
void KeepChoiceLegacy(const SegTable& table, const CandidateScore* scores, int32_t scored, CostRule rule);
// Forgets this thread's kept list.
void DropChoiceLegacy();
