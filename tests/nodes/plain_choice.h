// SPDX-License-Identifier: GPL-2.0-or-later
// The partition choice written out as plainly as it can be: every
// candidate scored seg by seg against every other, with the side test that
// always computes the cut point and the stop test after every tested seg.
// Every differential test of the choice compares with this one reference;
// the fast choice must agree with it under every setting of its layers.
#pragma once

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdint>
#include <random>
#include <vector>

#include "nodes/partition.h"
#include "nodes/score.h"
#include "tests/nodes/node_fixture.h"

// The side test as plainly as it can be written: the cut point is computed
// for every crossing seg.
inline SideCode ReferenceClassify(const PartitionLine& p, const BuildSeg& s) {
  int64_t l = (int64_t(p.x1) - s.x1) * p.dy - (int64_t(p.y1) - s.y1) * p.dx;
  int64_t m = (int64_t(p.x1) - s.x2) * p.dy - (int64_t(p.y1) - s.y2) * p.dx;
  if ((l < 0 && m > 0) || (l > 0 && m < 0)) {
    int32_t ix, iy;
    ComputeSplitPoint(p, s, &ix, &iy);
    if ((int64_t(s.x1) - ix) * (s.x1 - ix) + (int64_t(s.y1) - iy) * (s.y1 - iy) < 2) l = 0;
    if ((int64_t(s.x2) - ix) * (s.x2 - ix) + (int64_t(s.y2) - iy) * (s.y2 - iy) < 2) m = 0;
  }
  SideCode code = l < 0 ? 0x2000 : l > 0 ? 0x4000 : 0x1000;
  return code | (m < 0 ? 0x0200 : m > 0 ? 0x0400 : 0x0100);
}

// One candidate's whole run, written out plainly with the side test that
// always computes the cut point.
struct PlainRun {
  int32_t peak, cost, left, right;
};

inline PlainRun PlainScore(const std::vector<BuildSeg>& segs, size_t p, CostRule rule) {
  PartitionLine line = LineBetween(segs[p].x1, segs[p].y1, segs[p].x2, segs[p].y2);
  PlainRun run = {INT32_MIN, 0, 0, 0};
  int32_t splits = 0, k = 0;
  for (size_t q = 0; q < segs.size(); q++) {
    if (q == p) {
      run.right++;
      continue;
    }
    k++;
    SideCode code = ReferenceClassify(line, segs[q]);
    if (code == 0x4200 || code == 0x2400) {
      run.left++;
      run.right++;
      splits += rule.weight;
    } else if (code == 0x1100) {
      (segs[q].direction == segs[p].direction ? run.right : run.left)++;
    } else if (code & 0x2200) {
      run.left++;
    } else {
      run.right++;
    }
    run.cost = std::max(run.left, run.right) + splits - (rule.final ? 2 * k / 3 : k);
    run.peak = std::max(run.peak, run.cost);
  }
  return run;
}

// The choice as the plain scan makes it, with the stop test after every
// tested seg.
inline int32_t PlainChoose(const std::vector<BuildSeg>& segs, CostRule rule) {
  int32_t best = 0, bestCost = INT32_MAX;
  for (size_t p = 0; p < segs.size(); p++) {
    PlainRun run = PlainScore(segs, p, rule);
    if (segs.size() > 1 && run.peak < bestCost && run.left > 0 && run.right > 0) {
      bestCost = run.cost;
      best = static_cast<int32_t>(p);
    }
  }
  return best;
}

// The running cost of candidate r after the seg at `last`, plainly: the
// whole run of r over the list cut short after that seg, r kept at its end
// when it stands beyond.
inline int32_t PlainCostAfter(const std::vector<BuildSeg>& segs, size_t r, size_t last, CostRule rule) {
  std::vector<BuildSeg> head(segs.begin(), segs.begin() + static_cast<std::ptrdiff_t>(last) + 1);
  if (r > last) head.push_back(segs[r]);
  PlainRun run = PlainScore(head, r > last ? head.size() - 1 : r, rule);
  return run.cost;
}

// The plain choice on a list of the builder.
inline int32_t PlainChoose(SegList list, CostRule rule) {
  return PlainChoose(std::vector<BuildSeg>(list.segs, list.segs + list.count), rule);
}

inline BuildSeg Wall(int32_t x1, int32_t y1, int32_t x2, int32_t y2, int16_t direction = 0) {
  BuildSeg seg = SegBetween(x1, y1, x2, y2);
  seg.direction = direction;
  return seg;
}

// A level-like list: rooms of walls in list order, each a rough polygon
// around its own centre, with two-sided walls (a seg and its reverse),
// walls through the room, walls along another wall's line (one, or a long
// run of them) and walls one unit off a line, where the cut-point tolerance
// decides.
inline std::vector<BuildSeg> RandomLevel(std::mt19937& random, int32_t rooms, int32_t span) {
  std::uniform_int_distribution<int32_t> centre(-span, span);
  std::uniform_int_distribution<int32_t> walls(3, 40);
  std::uniform_int_distribution<int32_t> radius(8, 600);
  std::uniform_int_distribution<int32_t> kind(0, 11);
  std::uniform_int_distribution<int32_t> jitter(-2, 2);
  std::vector<BuildSeg> segs;
  for (int32_t r = 0; r < rooms; r++) {
    int32_t cx = centre(random), cy = centre(random), size = radius(random), n = walls(random);
    int32_t px = cx + size, py = cy;
    for (int32_t i = 1; i <= n; i++) {
      double angle = 6.283185307179586 * i / n;
      int32_t x = cx + static_cast<int32_t>(size * std::cos(angle)) + jitter(random);
      int32_t y = cy + static_cast<int32_t>(size * std::sin(angle)) + jitter(random);
      if (x == px && y == py) continue;
      switch (kind(random)) {
        case 0:  // two-sided: the linedef's right seg, then its left seg
          segs.push_back(Wall(px, py, x, y, 0));
          segs.push_back(Wall(x, y, px, py, 1));
          break;
        case 1:  // across the room
          segs.push_back(Wall(px, py, 2 * cx - x, 2 * cy - y, 0));
          break;
        case 2:  // on the line of the previous wall, beyond it
          segs.push_back(Wall(px, py, x, y, 0));
          segs.push_back(Wall(x, y, 2 * x - px, 2 * y - py, static_cast<int16_t>(random() % 2)));
          break;
        case 3:  // one unit off the previous wall's line, crossing it
          segs.push_back(Wall(px, py, x, y, 0));
          segs.push_back(Wall(px + 1, py - 1, x - 1, y + 1, 0));
          break;
        case 4:  // a seg of zero length
          segs.push_back(Wall(px, py, px, py, 0));
          break;
        case 5:  // a run of walls end to end along the previous wall's line, either way
          for (int32_t k = 0, run = 4 + static_cast<int32_t>(random() % 17); k < run; k++) {
            int32_t ax = x + k * (x - px), ay = y + k * (y - py);
            if (random() % 2) {
              segs.push_back(Wall(ax, ay, ax + x - px, ay + y - py, static_cast<int16_t>(random() % 2)));
            } else {
              segs.push_back(Wall(ax + x - px, ay + y - py, ax, ay, static_cast<int16_t>(random() % 2)));
            }
          }
          break;
        default: segs.push_back(Wall(px, py, x, y, static_cast<int16_t>(random() % 2))); break;
      }
      px = x;
      py = y;
    }
  }
  return segs;
}

// The settings the differential tests run the choice under: every layer
// on, each one off in turn, all of them off, and forced thread counts.
struct LayerSetting {
  const char* name;
  void (*apply)(ChoiceTuning* tuning);
};

inline std::vector<LayerSetting> LayerSettings() {
  return {
      {"every layer", [](ChoiceTuning*) {}},
      {"no short lists", [](ChoiceTuning* t) { t->shortLists = false; }},
      {"no block scan", [](ChoiceTuning* t) { t->blockScan = false; }},
      {"no twin pairs", [](ChoiceTuning* t) { t->twinPairs = false; }},
      {"no line proofs", [](ChoiceTuning* t) { t->lineProofs = false; }},
      {"no handed-on proofs", [](ChoiceTuning* t) { t->handedOnProofs = false; }},
      {"proofs at every weight and length",
       [](ChoiceTuning* t) {
         t->provingWeightFinal = t->provingWeightTurbo = 0;
         t->inheritingWeightFinal = t->inheritingWeightTurbo = 0;
         t->inheritingListMinimum = 2;
         t->inheritingListMaximum = INT32_MAX;
       }},
      {"one thread", [](ChoiceTuning* t) { t->threads = 1; }},
      {"two threads", [](ChoiceTuning* t) { t->threads = 2; }},
      {"five threads, small chunks",
       [](ChoiceTuning* t) {
         t->threads = 5;
         t->chunkSegs = 7;
       }},
      {"no join slots",
       [](ChoiceTuning* t) {
         t->joinAhead = false;
         t->joinRecursion = false;
       }},
      {"no spin waits", [](ChoiceTuning* t) { t->spinWaits = false; }},
      {"every layer off",
       [](ChoiceTuning* t) {
         t->shortLists = t->blockScan = t->twinPairs = t->lineProofs = t->handedOnProofs = false;
         t->threads = 1;
         t->lookahead = LookaheadOff;
         t->joinAhead = t->joinRecursion = t->spinWaits = false;
       }},
  };
}

// Puts the choice under one setting, the others at their run values.
inline void ApplyLayerSetting(const LayerSetting& setting) {
  ResetChoiceTuning();
  setting.apply(&Tuning);
}
