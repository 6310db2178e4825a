// SPDX-License-Identifier: GPL-2.0-or-later
// The line table of a seg list and the proofs kept by line.
#include "nodes/line_proofs.h"

#include "nodes/partition.h"

static int64_t PackProof(int32_t least, int32_t position) {
  return static_cast<int64_t>(static_cast<uint64_t>(static_cast<uint32_t>(least)) << 32 |
                              static_cast<uint32_t>(position));
}

static int32_t SlotsFor(int32_t segs) {
  int32_t slots = 16;
  while (slots < 2 * segs) slots *= 2;
  return slots;
}

int64_t LineTableBytes(int32_t segs) {
  return static_cast<int64_t>(segs) * (4 * sizeof(int64_t) + sizeof(int32_t)) +
         static_cast<int64_t>(SlotsFor(segs)) * sizeof(int32_t);
}

void PlaceLineTable(LineTable* lines, void* memory, int32_t segs) {
  // The eight-byte entries first, where the memory's alignment holds.
  lines->proofs = static_cast<std::atomic<int64_t>*>(memory);
  lines->keys = reinterpret_cast<int64_t*>(lines->proofs + segs);
  lines->lineOf = reinterpret_cast<int32_t*>(lines->keys + 3 * segs);
  lines->slots = lines->lineOf + segs;
  lines->slotCount = SlotsFor(segs);
  lines->count = 0;
  for (int32_t i = 0; i < lines->slotCount; i++) lines->slots[i] = -1;
}

void NumberLines(LineTable* lines, const SegTable& table, int32_t from, int32_t to) {
  for (int32_t i = from; i < to; i++) {
    const BuildSeg& seg = table.segs[i];
    int64_t a = seg.y2 - seg.y1, b = seg.x1 - seg.x2;
    if (a == 0 && b == 0) {
      lines->lineOf[i] = -1;
      continue;
    }
    if (a == 0) {
      b = 1;
    } else if (b == 0) {
      a = 1;
    } else {
      int64_t g = GreatestCommonDivisor(a < 0 ? -a : a, b < 0 ? -b : b);
      a /= g;
      b /= g;
      if (a < 0) {
        a = -a;
        b = -b;
      }
    }
    int64_t c = a * seg.x1 + b * seg.y1;
    uint64_t hash = static_cast<uint64_t>(a) * 0x9E3779B97F4A7C15ull ^
                    static_cast<uint64_t>(b) * 0xC2B2AE3D27D4EB4Full ^
                    static_cast<uint64_t>(c) * 0x165667B19E3779F9ull;
    int32_t mask = lines->slotCount - 1;
    for (int32_t slot = static_cast<int32_t>((hash ^ hash >> 29) & static_cast<uint64_t>(mask));;
         slot = (slot + 1) & mask) {
      int32_t line = lines->slots[slot];
      if (line < 0) {
        line = lines->count++;
        lines->slots[slot] = line;
        lines->keys[3 * line] = a;
        lines->keys[3 * line + 1] = b;
        lines->keys[3 * line + 2] = c;
        lines->proofs[line].store(PackProof(INT32_MIN, 0), std::memory_order_relaxed);
      }
      const int64_t* key = &lines->keys[3 * line];
      if (key[0] == a && key[1] == b && key[2] == c) {
        lines->lineOf[i] = line;
        break;
      }
    }
  }
}

bool IsProvenStopped(const LineTable& lines, int32_t p, bool twin, int32_t bound) {
  int32_t line = lines.lineOf[p];
  if (line < 0) return false;
  int64_t packed = lines.proofs[line].load(std::memory_order_relaxed);
  int32_t least = static_cast<int32_t>(packed >> 32), position = static_cast<int32_t>(packed & 0xFFFFFFFF);
  return least >= bound && position != p && !(twin && position == p + 1);
}

void KeepProof(LineTable* lines, int32_t p, const LineProof& proof) {
  int32_t line = lines->lineOf[p];
  if (line < 0) return;
  int64_t held = lines->proofs[line].load(std::memory_order_relaxed);
  while (static_cast<int32_t>(held >> 32) < proof.least &&
         !lines->proofs[line].compare_exchange_weak(held, PackProof(proof.least, proof.position),
                                                    std::memory_order_relaxed)) {
  }
}
