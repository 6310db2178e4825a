// SPDX-License-Identifier: GPL-2.0-or-later
// The choice of the partition seg: every seg of the list is tried as the
// partition line against every other seg in list order, its running cost
// max(left, right) + cuts * weight - penalty followed seg by seg, and the
// first candidate whose running cost never reaches the best complete cost
// so far, with both sides non-empty, becomes the best. That plain scan is
// written out in tests/nodes/plain_choice.h; everything below computes
// exactly its result, faster.
//
// The layers of speed-up, from the inside out. Each has a switch in
// Tuning (nodes/tuning.h); the differential tests turn each off in turn
// (LayerSettings in tests/nodes/plain_choice.h) and compare with the plain
// scan.
//
//   layer             files                  on when                         switch
//   ----------------  ---------------------  ------------------------------  --------------------
//   short lists       short_list.cpp         2 to 64 segs                    shortLists
//   block scan        score.cpp,             lists over 64 segs              blockScan
//                     seg_table.cpp
//   twin pairs        score.cpp, choose.cpp, a seg followed by its twin      twinPairs
//                     short_list.cpp
//   line proofs       line_proofs.cpp        weight >= 8 Final, 40 Turbo     lineProofs
//   handed-on proofs  inherited_proofs.cpp   65 to 4096 segs, weight >= 12   handedOnProofs
//                                            Final, 24 Turbo
//   chunks on         choose.cpp,            256 segs and more, a free core, threads (1: off)
//   threads           thread_pool.cpp        over 200 us of work left
//   lookahead thread  lookahead.cpp          lists of 16 segs and more,      lookahead
//                                            a second core
//   join slots        choose.cpp             ahead: every long choice made   joinAhead,
//                                            ahead; recursion: 256 segs and  joinRecursion
//                                            more, the lookahead standing by
//   spin waits        brief_lock.h,          every lock and wait between     spinWaits
//                     lookahead.cpp,         the threads
//                     choose.cpp
//
// Where a layer is checked against the plain scan besides the switch test:
// the block scan's scores in ChoiceTest.ScoresAgreeWithThePlainRun, the
// line proofs in ChoiceTest.LineProofsHoldForEverySegOnTheLine (and, each
// term at its worst case, ...AreReachedByTheWorstSegOnTheLine), the
// handed-on proofs in ChoiceTest.InheritedProofsHoldOnDerivedLists (and
// ...AreReachedInTheWorstDerivedList), the threads and the join slots in
// ChoiceLevelsTest (every node of real levels), the lookahead in
// ChoiceLevelsTest.ForeseenChoicesBuildTheTreeTheRecursionBuilds.
//
// The rules between the threads are checked three ways. Every field they
// share is GUARDED_BY its lock and every function that needs the lock
// REQUIRES it (nodes/thread_annotations.h, the Mutex and Hold of
// brief_lock.h), which clang's thread-safety analysis checks in
// scripts/lint. The hand-over of a list between the recursion and the
// lookahead thread follows the table of moves `Moves` in lookahead.cpp,
// asserted at every move in the test builds. And the tests labelled tsan
// (tests/tsan/) run the threads under ThreadSanitizer.
//
// Words used across these files:
//   running cost   a candidate's cost after each tested seg.
//   bound          the best complete cost so far: a candidate whose running
//                  cost reaches it is stopped.
//   ceiling        what a whole scan keeps of a candidate: at least its
//                  largest running cost, below the bound (CandidateScore in
//                  score.h).
//   reached        what a stopped scan keeps: a running cost the candidate
//                  reaches is at least this, and this is at least the bound.
//   chunk          a run of candidates scored together, by one thread, in
//                  list order; chunks are settled in list order.
//   settled        decided against the true best cost of its turn.
//   twin           the seg of the other side of the same linedef, reversed.
//   line proof     what a stopped scan shows of every other seg on its line.
//   legacy         what a thread's last long choice found, kept for its next.
//   handed-on proof  a lower bound a candidate inherits from the legacy.
//   outlook        what is known ahead of the recursion about one list.
//   foresight      a choice made ahead, with its division on a private copy.
//   verdict        the outcome a foresight publishes: whether the list needs
//                  a partition, and which seg.
//   join slot      where a choice under way is opened to one more thread.
#pragma once

#include <atomic>
#include <cstdint>

#include "nodes/seg.h"
#include "nodes/tuning.h"

// Index of the partition seg in the list; 0 (the head) when no seg leaves
// both sides non-empty; -1 for an empty list. Sets deltaX and deltaY of
// every seg of the list.
int32_t ChoosePartition(SegList list);

// The same choice made on a thread beside the recursion: the list is only
// read (its deltas must already be set), no helper threads are woken, and
// memory comes from the C library, ChoiceOutOfMemory when there is none.
enum { ChoiceOutOfMemory = -2 };
int32_t ChoosePartitionAhead(SegList list);

// Scores chunks of the choice being made ahead, if one is under way: true
// when it scored any, false at once when there is none or no chunk is left.
// For the recursion while it waits for that choice.
bool JoinChoiceAhead();
// How many choices made ahead have been opened to a joiner so far: the
// waiting recursion watches it for the next.
extern std::atomic<int64_t> ChoicesAheadOpened;
// Set while the lookahead thread waits awake for work: a long choice of the
// recursion is then opened to it, and it calls JoinRecursionChoice.
extern std::atomic<bool> ChoiceJoinerStandsBy;
bool JoinRecursionChoice();

// Cores that other work of the node builder keeps busy: the choice wakes
// helpers only on the rest.
extern std::atomic<int32_t> CoresBusyElsewhere;
