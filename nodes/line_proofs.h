// SPDX-License-Identifier: GPL-2.0-or-later
// Proofs shared between the candidates on one line. Segs on one line see
// every other seg the same way, up to a swap of the sides, so what stopped
// one candidate's scan shows a lower bound on the running cost of every
// other seg on its line (LineProof): a later candidate on the line whose
// bound is no higher is stopped without a scan of its own.
#pragma once

#include <atomic>
#include <cstdint>

#include "nodes/score.h"
#include "nodes/seg_table.h"

// The lines of a seg list, numbered as their segs come up, each as
// a x + b y = c in lowest terms with a > 0, or a = 0 and b = 1.
struct LineTable {
  int32_t* lineOf;  // by seg index: the number of its line, -1 for a seg of no length
  int64_t* keys;    // three a line: a, b and c
  int32_t* slots;   // a hash table of line numbers, -1 where free
  int32_t slotCount;
  int32_t count;  // lines numbered so far
  // By line: the proof with the highest least so far, packed as
  // least << 32 | position.
  std::atomic<int64_t>* proofs;
};

// Bytes of the table of a list of `segs` segs.
int64_t LineTableBytes(int32_t segs);
// Lays an empty table out in `memory`, which is eight-byte aligned.
void PlaceLineTable(LineTable* lines, void* memory, int32_t segs);
// Numbers the lines of the segs from..to-1, which must not be numbered yet.
// One thread at a time.
void NumberLines(LineTable* lines, const SegTable& table, int32_t from, int32_t to);
// Whether another candidate on the line has proven that seg p (and its twin
// with `twin`) stop at `bound`. Seg p must be numbered.
bool IsProvenStopped(const LineTable& lines, int32_t p, bool twin, int32_t bound);
// Keeps the proof of a stopped scan of seg p if it beats the line's.
void KeepProof(LineTable* lines, int32_t p, const LineProof& proof);
