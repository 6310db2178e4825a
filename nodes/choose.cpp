// SPDX-License-Identifier: GPL-2.0-or-later
// The choice of the partition seg: every seg of the list is tried as the
// partition line against every other seg, and the one that balances the two
// sides best with the fewest cuts wins.
//
// Candidates are taken in list order, and a candidate's fate is fixed by
// the best complete cost B at its turn: it wins when its largest running
// cost stays below B and both its sides are non-empty. B only falls. A
// candidate scored ahead of its turn against a larger, stale bound T is
// therefore still decided exactly: if a running cost reached T it would
// have reached B, and otherwise its whole scan is known and its largest
// running cost is compared with the true B when its turn comes. So long
// lists are scored in chunks on several threads, each chunk against the
// best bound known, and the chunks are settled in list order. The choice is
// the same whatever the timing and the thread count.
#include "nodes/choose.h"

#include <atomic>
#include <chrono>
#include <thread>

#include "console/services.h"
#include "nodes/brief_lock.h"
#include "nodes/inherited_proofs.h"
#include "nodes/line_proofs.h"
#include "nodes/partition.h"
#include "nodes/score.h"
#include "nodes/scratch.h"
#include "nodes/settings.h"
#include "nodes/thread_pool.h"
#include "nodes/tuning.h"

std::atomic<int32_t> CoresBusyElsewhere{0};

struct Choice {
  void* block;  // holds the scores and the chunk arrays
  SegTable table;
  CostRule rule;
  int32_t lowestFirstCost;
  CandidateScore* scores;  // by seg index
  int32_t chunkCount;
  bool proving;     // whether proofs are kept at all
  LineTable lines;  // numbered a chunk at a time as the chunks are taken
  InheritedProofs inherited;

  // The true best cost at some point of the scan so far, lowered as soon as
  // a winner is known: a bound for every candidate not yet settled.
  std::atomic<int32_t> settledBound;

  // Shared by the threads scoring the chunks. The arrays are placed before
  // any other thread sees the choice; what they hold is guarded.
  Mutex lock;
  int32_t nextChunk GUARDED_BY(lock);
  int32_t settledChunks GUARDED_BY(lock);  // chunks settled in order, into best and bestCost
  int32_t best GUARDED_BY(lock), bestCost GUARDED_BY(lock);
  bool* chunkDone PT_GUARDED_BY(lock);
  // The lowest largest running cost of a chunk's candidates that were
  // scored whole with both sides non-empty: whichever of them wins or loses,
  // the best cost after it is at most that.
  int32_t* chunkPeak PT_GUARDED_BY(lock);
};

// The block holds the line table (while proving), the scores and the chunk
// arrays. A choice made ahead of the recursion takes its memory from the C
// library and gives up when there is none, rather than end the run.
static bool PlaceChoiceArrays(Choice* choice, int32_t count, bool ahead) {
  int32_t chunks = (count + Tuning.chunkSegs - 1) / Tuning.chunkSegs;
  int64_t lineBytes = choice->proving ? (LineTableBytes(count) + 15) / 16 * 16 : 0;
  int64_t bytes = lineBytes + static_cast<int64_t>(count) * sizeof(CandidateScore) +
                  static_cast<int64_t>(chunks) * (sizeof(int32_t) + sizeof(bool)) + 16;
  choice->block = AllocScratch(static_cast<int32_t>((bytes + 15) / 16), 16, ahead);
  if (choice->block == nullptr) return false;
  uint8_t* memory = static_cast<uint8_t*>(choice->block);
  if (choice->proving) PlaceLineTable(&choice->lines, memory, count);
  choice->scores = reinterpret_cast<CandidateScore*>(memory + lineBytes);
  choice->chunkPeak = reinterpret_cast<int32_t*>(choice->scores + count);
  choice->chunkDone = reinterpret_cast<bool*>(choice->chunkPeak + chunks);
  choice->chunkCount = chunks;
  return true;
}

// A twin pair is scored as one: seg p with p + 1 when they are twins,
// unless p itself is the twin of p - 1 (a run of overlapping twins is then
// scored as singles from its second seg on). Decided from the neighbours
// alone, so that every chunk finds the same pairs.
static bool StartsPair(const SegTable& table, int32_t p) {
  return Tuning.twinPairs && IsTwinPair(table, p) && !(p > 0 && IsTwinPair(table, p - 1));
}

// Chunks hold Tuning.chunkSegs segs, a pair across the border going with the
// earlier chunk.
static int32_t ChunkStart(const Choice& choice, int32_t chunk) {
  if (chunk >= choice.chunkCount) return choice.table.count;
  int32_t start = chunk * Tuning.chunkSegs;
  return start > 0 && StartsPair(choice.table, start - 1) ? start + 1 : start;
}

// Every candidate's first running cost is at least one seg less the
// penalty for one: once the best cost is down to that, nothing can beat it.
static int32_t LowestFirstCost(CostRule rule) { return rule.final ? 1 : 0; }

// A bound that is at least B for the first candidate of `chunk`.
static int32_t BoundForChunk(const Choice& choice, int32_t chunk) REQUIRES(choice.lock) {
  int32_t bound = choice.bestCost;
  for (int32_t c = choice.settledChunks; c < chunk; c++) {
    if (choice.chunkDone[c] && choice.chunkPeak[c] < bound) bound = choice.chunkPeak[c];
  }
  return bound;
}

// Whether a scored candidate wins against the true best cost. Its ceiling
// is at least its largest running cost: below the best cost, it wins; at or
// above it (the bound it was scored against was higher), it is scored again
// against the best cost itself.
static bool WinsAgainst(const Choice& choice, int32_t p, const CandidateScore& score, int32_t bestCost) {
  if (score.stopped || score.left == 0 || score.right == 0) return false;
  if (score.ceiling < bestCost) return true;
  CandidateScore again[2];
  ScoreCandidates(choice.table, p, false, bestCost, choice.rule, again);
  return !again[0].stopped;
}

// The least running cost that the earlier list proves for seg p and its
// twin with `twin`, if it reaches the bound; INT32_MIN otherwise.
static int32_t InheritedStop(const Choice& choice, int32_t p, bool twin, int32_t bound) {
  int32_t least = InheritedLeast(choice.inherited, choice.table, p, bound, choice.rule);
  if (least == INT32_MIN || !twin) return least;
  int32_t twinLeast = InheritedLeast(choice.inherited, choice.table, p + 1, bound, choice.rule);
  return twinLeast < least ? twinLeast : least;
}

// Scores one chunk against `bound`, lowered as its own candidates complete.
// When the bound is the true best cost (`exact`: every earlier chunk is
// settled), a winner's final cost becomes the bound, as in the plain scan,
// and is published at once for the chunks scored ahead.
static int32_t ScoreChunk(Choice* choice, int32_t chunk, int32_t bound, bool exact) {
  int32_t peak = 2147483647;
  int32_t end = ChunkStart(*choice, chunk + 1);
  for (int32_t p = ChunkStart(*choice, chunk); p < end;) {
    if (!exact) {
      int32_t settled = choice->settledBound.load(std::memory_order_relaxed);
      if (settled < bound) bound = settled;
    }
    bool twin = StartsPair(choice->table, p);
    CandidateScore scores[2];
    int32_t inherited = INT32_MIN;
    if (bound <= choice->lowestFirstCost ||
        (choice->proving && IsProvenStopped(choice->lines, p, twin, bound))) {
      scores[0] = scores[1] = StoppedScore(bound, 0, choice->table.count - 1);
    } else if (choice->inherited.block != nullptr &&
               (inherited = InheritedStop(*choice, p, twin, bound)) != INT32_MIN) {
      const InheritedProofs& proofs = choice->inherited;
      int32_t from = proofs.reachedFrom[p], to = proofs.reachedTo[p];
      if (twin) {
        from = from < proofs.reachedFrom[p + 1] ? from : proofs.reachedFrom[p + 1];
        to = to > proofs.reachedTo[p + 1] ? to : proofs.reachedTo[p + 1];
      }
      scores[0] = scores[1] = StoppedScore(inherited, from, to);
    } else {
      LineProof proof;
      ScoreCandidates(choice->table, p, twin, bound, choice->rule, scores, &proof);
      if (scores[0].stopped && choice->proving) KeepProof(&choice->lines, p, proof);
    }
    for (int32_t j = 0; j <= twin; j++, p++) {
      const CandidateScore& score = scores[j];
      choice->scores[p] = score;
      if (score.stopped || score.left == 0 || score.right == 0) continue;
      if (score.ceiling < peak) peak = score.ceiling;
      if (exact && WinsAgainst(*choice, p, score, bound)) {
        bound = score.cost;
        choice->settledBound.store(bound, std::memory_order_relaxed);
      } else if (!exact && score.ceiling < bound) {
        bound = score.ceiling;
      }
    }
  }
  return peak;
}

// Settles a scored chunk in list order against the true best cost.
static void SettleChunk(Choice* choice, int32_t chunk) REQUIRES(choice->lock) {
  int32_t end = ChunkStart(*choice, chunk + 1);
  for (int32_t p = ChunkStart(*choice, chunk); p < end; p++) {
    if (WinsAgainst(*choice, p, choice->scores[p], choice->bestCost)) {
      choice->bestCost = choice->scores[p].cost;
      choice->best = p;
    }
  }
}

static bool IsChoiceOver(const Choice& choice) REQUIRES(choice.lock) {
  return choice.nextChunk == choice.chunkCount || choice.bestCost <= choice.lowestFirstCost;
}

static bool IsChoiceOverNow(Choice* choice) EXCLUDES(choice->lock) {
  Hold hold(choice->lock);
  return IsChoiceOver(*choice);
}

// Scores and settles chunks until none is left or the next is `stopBefore`.
// Returns the number of chunks it scored.
static int32_t ScoreChunks(Choice* choice, int32_t stopBefore) EXCLUDES(choice->lock) {
  for (int32_t scored = 0;; scored++) {
    int32_t chunk, bound;
    bool exact;
    {
      Hold hold(choice->lock);
      if (IsChoiceOver(*choice) || choice->nextChunk >= stopBefore) return scored;
      chunk = choice->nextChunk++;
      if (choice->proving) {
        NumberLines(&choice->lines, choice->table, ChunkStart(*choice, chunk),
                    ChunkStart(*choice, chunk + 1));
      }
      bound = BoundForChunk(*choice, chunk);
      exact = choice->settledChunks == chunk;
    }
    int32_t peak = ScoreChunk(choice, chunk, bound, exact);
    Hold hold(choice->lock);
    choice->chunkDone[chunk] = true;
    choice->chunkPeak[chunk] = peak;
    while (choice->settledChunks < choice->chunkCount && choice->chunkDone[choice->settledChunks]) {
      SettleChunk(choice, choice->settledChunks++);
    }
    choice->settledBound.store(choice->bestCost, std::memory_order_relaxed);
  }
}

static void ScoreAllChunks(void* choice) {
  ScoreChunks(static_cast<Choice*>(choice), static_cast<Choice*>(choice)->chunkCount);
}

// A choice may be open to one other thread that has nothing else to do:
// the choice the lookahead makes ahead of the recursion, to the recursion
// while it waits for that choice; the recursion's own choice, to the
// lookahead thread while it waits awake for work. The slots are made
// before any thread starts and never destroyed, since the lookahead thread
// may use them until the process ends.
struct OpenChoice {
  Mutex lock;
  Choice* choice GUARDED_BY(lock) = nullptr;
  std::atomic<bool> open{false};
  std::atomic<int32_t> joiners{0};
};
enum { AheadSlot, RecursionSlot };
static OpenChoice* const openChoices = new OpenChoice[2];

std::atomic<int64_t> ChoicesAheadOpened{0};
std::atomic<bool> ChoiceJoinerStandsBy{false};

static void OpenForJoining(OpenChoice* slot, Choice* choice) {
  Hold hold(slot->lock, AtOnce);
  slot->choice = choice;
  slot->open.store(true, std::memory_order_release);
}

// Returns once every joiner has left: the choice may then be freed. A
// joiner is scoring a chunk at most, so it is waited for awake.
static void CloseForJoining(OpenChoice* slot) {
  {
    Hold hold(slot->lock, AtOnce);
    slot->choice = nullptr;
    slot->open.store(false, std::memory_order_relaxed);
  }
  while (slot->joiners.load(std::memory_order_acquire) != 0) {
    if (Tuning.spinWaits) {
      _mm_pause();
    } else {
      std::this_thread::yield();
    }
  }
}

// Scores chunks of the slot's choice, if one is open: true when it scored
// any.
static bool JoinOpenChoice(OpenChoice* slot) {
  if (!slot->open.load(std::memory_order_acquire)) return false;
  Choice* choice;
  {
    Hold hold(slot->lock, AtOnce);
    choice = slot->choice;
    if (choice == nullptr) return false;
    slot->joiners.fetch_add(1, std::memory_order_relaxed);
  }
  bool scored = ScoreChunks(choice, choice->chunkCount) > 0;
  slot->joiners.fetch_sub(1, std::memory_order_release);
  return scored;
}

bool JoinChoiceAhead() { return JoinOpenChoice(&openChoices[AheadSlot]); }

bool JoinRecursionChoice() { return JoinOpenChoice(&openChoices[RecursionSlot]); }

// What a long choice does beyond scoring its chunks in order, decided once
// from the list, the mode and the tuning.
struct ChoicePolicy {
  bool proving;      // stopped scans leave proofs for the others on their line
  bool inheriting;   // proofs are handed on from this thread's last choice, and to its next
  OpenChoice* slot;  // the join slot the choice is opened on, or null
  int32_t helpers;   // helper threads it may wake, if the work pays for them
};

static ChoicePolicy DecidePolicy(int32_t count, CostRule rule, bool ahead) {
  ChoicePolicy policy;
  // Proofs pay where a cut weighs much against the penalty: a candidate
  // stopped by a cut then overshoots the bound by far, and the others on
  // its line with it.
  policy.proving = Tuning.lineProofs &&
                   rule.weight >= (rule.final ? Tuning.provingWeightFinal : Tuning.provingWeightTurbo);
  policy.inheriting =
      Tuning.handedOnProofs &&
      rule.weight >= (rule.final ? Tuning.inheritingWeightFinal : Tuning.inheritingWeightTurbo) &&
      count >= Tuning.inheritingListMinimum && count <= Tuning.inheritingListMaximum;
  // A choice made ahead is opened to the recursion waiting for it. A long
  // choice of the recursion goes to the lookahead thread while it waits
  // awake, rather than to helpers woken for it.
  policy.slot = nullptr;
  if (ahead) {
    if (Tuning.joinAhead) policy.slot = &openChoices[AheadSlot];
  } else if (Tuning.joinRecursion && Tuning.threads == 0 && count >= Tuning.threadedListMinimum &&
             ChoiceJoinerStandsBy.load(std::memory_order_acquire)) {
    policy.slot = &openChoices[RecursionSlot];
  }
  policy.helpers = 0;
  if (!ahead) {
    int32_t threads = Tuning.threads;
    if (threads <= 0) {
      threads = count < Tuning.threadedListMinimum
                    ? 1
                    : CountCores() - CoresBusyElsewhere.load(std::memory_order_relaxed);
    }
    threads = threads < 1 ? 1 : threads > Tuning.mostThreads ? Tuning.mostThreads : threads;
    policy.helpers = threads - 1;
  }
  return policy;
}

// The state of a choice before its first chunk. The memory (table and
// block) is in place. No other thread sees the choice yet, but the lock
// costs little once a choice and lets the analysis check the rest.
static void StartChoice(Choice* choice, CostRule rule, const ChoicePolicy& policy) {
  choice->rule = rule;
  choice->proving = policy.proving;
  choice->lowestFirstCost = LowestFirstCost(rule);
  choice->inherited = InheritedProofs();
  if (policy.inheriting) InheritProofs(&choice->inherited, choice->table, rule);
  Hold hold(choice->lock, AtOnce);
  for (int32_t c = 0; c < choice->chunkCount; c++) choice->chunkDone[c] = false;
  choice->nextChunk = 0;
  choice->settledChunks = 0;
  choice->best = 0;
  choice->bestCost = 2147483647;
  choice->settledBound.store(choice->bestCost);
}

// Scores the rest of the choice with the slot's joiner, if one comes.
static void ScoreOpenToJoiner(Choice* choice, OpenChoice* slot) {
  if (IsChoiceOverNow(choice)) return;
  if (slot == &openChoices[AheadSlot]) ChoicesAheadOpened.fetch_add(1, std::memory_order_release);
  OpenForJoining(slot, choice);
  ScoreAllChunks(choice);
  CloseForJoining(slot);
}

// What the finished choice found is kept for the thread's next one, and
// its memory goes.
static int32_t FinishChoice(Choice* choice, const ChoicePolicy& policy, bool ahead) {
  int32_t best, scoredEnd;
  {
    Hold hold(choice->lock, AtOnce);
    best = choice->best;
    scoredEnd = ChunkStart(*choice, choice->nextChunk);
  }
  ReleaseInheritedProofs(&choice->inherited);
  if (policy.inheriting) KeepChoiceLegacy(choice->table, choice->scores, scoredEnd, choice->rule);
  FreeScratch(choice->block, ahead);
  ReleaseSegTable(&choice->table);
  return best;
}

static bool IsShortList(int32_t count) { return Tuning.shortLists && count <= Tuning.shortListSegs; }

int32_t ChoosePartition(SegList list) {
  if (list.count == 0) return -1;
  for (int32_t i = 0; i < list.count; i++) {
    BuildSeg& seg = list.segs[i];
    seg.deltaX = seg.x1 - seg.x2;
    seg.deltaY = seg.y1 - seg.y2;
  }
  // A lone seg tests nothing and has nothing on its left: the head stays.
  if (list.count == 1) return 0;
  CostRule rule = {ModeNumber, FinalMode};
  if (IsShortList(list.count)) return ChooseInShortList(list, rule);

  ChoicePolicy policy = DecidePolicy(list.count, rule, false);
  Choice choice;
  choice.proving = policy.proving;
  FillSegTable(&choice.table, list);
  PlaceChoiceArrays(&choice, list.count, false);
  StartChoice(&choice, rule, policy);
  // The first chunk brings the best cost down from nothing, and often
  // settles the choice.
  ScoreChunks(&choice, 1);
  if (policy.slot != nullptr) ScoreOpenToJoiner(&choice, policy.slot);
  // The second chunk shows how long a chunk takes from then on: helpers
  // join in only when the rest would take longer than waking them. (Only
  // the sharing of the work depends on the clock.)
  int32_t helpers = policy.helpers;
  if (helpers > 0 && Tuning.threads == 0) {
    std::chrono::steady_clock::time_point start = std::chrono::steady_clock::now();
    ScoreChunks(&choice, 2);
    double chunkSeconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    if (chunkSeconds * (choice.chunkCount - 2) < Tuning.sharedWorkMinimum) helpers = 0;
  }
  if (!IsChoiceOverNow(&choice)) RunWithHelpers(ScoreAllChunks, &choice, helpers);
  return FinishChoice(&choice, policy, false);
}

int32_t ChoosePartitionAhead(SegList list) {
  // The list holds its deltas already, and the recursion may read it
  // meanwhile.
  if (list.count == 0) return -1;
  if (list.count == 1) return 0;
  CostRule rule = {ModeNumber, FinalMode};
  if (IsShortList(list.count)) return ChooseInShortList(list, rule);

  ChoicePolicy policy = DecidePolicy(list.count, rule, true);
  Choice choice;
  choice.proving = policy.proving;
  if (!FillSegTableOrFail(&choice.table, list)) return ChoiceOutOfMemory;
  if (!PlaceChoiceArrays(&choice, list.count, true)) {
    ReleaseSegTable(&choice.table);
    return ChoiceOutOfMemory;
  }
  StartChoice(&choice, rule, policy);
  ScoreChunks(&choice, 1);
  if (policy.slot != nullptr) {
    ScoreOpenToJoiner(&choice, policy.slot);
  } else {
    ScoreAllChunks(&choice);
  }
  return FinishChoice(&choice, policy, true);
}
