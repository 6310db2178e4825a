// SPDX-License-Identifier: GPL-2.0-or-later
// The speed-ups of the partition choice, each with the thresholds that say
// when it is on and a switch that turns it off. A run leaves every switch
// on; the tests turn them off one at a time and compare the choice with the
// plain scan, which every switch setting must reproduce exactly. The map of
// the layers is at the top of nodes/choose.h.
#pragma once

#include <cstdint>

enum LookaheadModes {
  LookaheadAuto,    // a helper thread where there is a second core
  LookaheadOff,     // the recursion makes every choice itself
  LookaheadInline,  // every offered list is foreseen at once, on the calling
                    // thread: the recursion then replays what was foreseen
};

struct ChoiceTuning {
  // Lists of 2 to shortListSegs segs are chosen seg by seg, without the seg
  // table (short_list.cpp).
  bool shortLists = true;
  int32_t shortListSegs = 64;
  // Blocks of segs whose box lies on one side are counted whole
  // (score.cpp); off, every leaf is tested seg by seg.
  bool blockScan = true;
  // A seg followed by its twin is scored once for both.
  bool twinPairs = true;
  // Proofs shared between the candidates on one line (line_proofs.cpp),
  // from these weights up.
  bool lineProofs = true;
  int32_t provingWeightFinal = 8, provingWeightTurbo = 40;
  // Proofs handed from one choice to the next (inherited_proofs.cpp), on
  // lists of these lengths, from these weights up.
  bool handedOnProofs = true;
  int32_t inheritingListMinimum = 65, inheritingListMaximum = 4096;
  int32_t inheritingWeightFinal = 12, inheritingWeightTurbo = 24;
  // Chunks of a long list scored on several threads (choose.cpp,
  // thread_pool.cpp). 0 gives one thread per free core on lists of
  // threadedListMinimum segs when the rest of the work would take longer
  // than sharedWorkMinimum seconds; a number forces that many threads on
  // every list of more than one chunk (1 turns the layer off).
  int32_t threads = 0;
  int32_t threadedListMinimum = 256;
  int32_t chunkSegs = 48;
  double sharedWorkMinimum = 200e-6;
  int32_t mostThreads = 8;
  // Choices made ahead of the recursion on the lookahead thread
  // (lookahead.cpp), for lists of foreseenListMinimum segs; an offer of a
  // list of wakingListMinimum segs wakes a sleeping helper.
  LookaheadModes lookahead = LookaheadAuto;
  int32_t foreseenListMinimum = 16, wakingListMinimum = 256;
  // The two join slots (choose.cpp): the recursion scores chunks of the
  // choice being made ahead for the list it waits for; the lookahead
  // thread, waiting awake for work, scores chunks of the recursion's long
  // choices.
  bool joinAhead = true;
  // The GL tree (gl_tree.cpp): its top divided on the calling thread into
  // up to glSubtreeTasks lists, the longest first while one has
  // glSubtreeSegs segs or more, whose subtrees are then built on glThreads
  // threads (0: one per core, up to mostThreads; 1 turns the layer off).
  int32_t glThreads = 0;
  int32_t glSubtreeTasks = 8;
  int32_t glSubtreeSegs = 512;
  // A choice of the top, on lists of this many segs, is shared out among
  // the threads.
  int32_t glSharedChoiceSegs = 1024;
  // Side products of the GL tree in 64 bits where they fit (gl_choice.cpp,
  // gl_polygons.cpp); off, every one takes 128.
  bool glShortProducts = true;
  // A seg followed by its twin: one scan decides both, where it can
  // (gl_choice.cpp).
  bool glTwinPairs = true;
  bool joinRecursion = true;
  // Waiting awake, with pause instructions, before sleeping (brief_lock.h,
  // lookahead.cpp). Off, a waiting thread sleeps at once and the lookahead
  // thread does not stand by for joining.
  bool spinWaits = true;
};

// Read by the choice; only the tests change it, after ResetChoiceTuning,
// which waits until no thread of the choice is left to read it.
extern ChoiceTuning Tuning;
void ResetChoiceTuning();
