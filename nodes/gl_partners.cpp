// SPDX-License-Identifier: GPL-2.0-or-later
// Cutting the loops' segs at the corners across their lines, and pairing
// the stretches.
#include "nodes/gl_partners.h"

#include <algorithm>
#include <map>
#include <tuple>

#include "nodes/partition.h"

namespace {

using Wide = __int128;

// A line as one key whichever way it runs and wherever its ends lie: its
// direction divided by the common divisor, pointing east (or north), and
// the cross product of that with any point of it.
struct LineKey {
  int64_t dx, dy;
  Wide offset;
  bool operator<(const LineKey& o) const { return std::tie(dx, dy, offset) < std::tie(o.dx, o.dy, o.offset); }
  bool operator==(const LineKey& o) const { return dx == o.dx && dy == o.dy && offset == o.offset; }
};

// Where a seg lies on its line's key: from `low` to `high` along the key's
// direction, `forward` when it runs that way.
struct Stretch {
  LineKey key;
  Wide low, high;
  bool forward;
  int32_t leaf, index;
};

LineKey KeyOf(const FixedLine& line, bool* forward) {
  int64_t dx = static_cast<int64_t>(line.end.x) - line.start.x;
  int64_t dy = static_cast<int64_t>(line.end.y) - line.start.y;
  int64_t divisor = GreatestCommonDivisor(dx < 0 ? -dx : dx, dy < 0 ? -dy : dy);
  if (divisor == 0) divisor = 1;
  dx /= divisor;
  dy /= divisor;
  *forward = dx > 0 || (dx == 0 && dy > 0);
  if (!*forward) {
    dx = -dx;
    dy = -dy;
  }
  return {dx, dy, static_cast<Wide>(dx) * line.start.y - static_cast<Wide>(dy) * line.start.x};
}

Wide PositionOn(const LineKey& key, FixedPoint p) {
  return static_cast<Wide>(key.dx) * p.x + static_cast<Wide>(key.dy) * p.y;
}

std::vector<Stretch> ListStretches(const std::vector<std::vector<GlLoopSeg>>& loops) {
  std::vector<Stretch> stretches;
  for (size_t leaf = 0; leaf < loops.size(); leaf++) {
    for (size_t k = 0; k < loops[leaf].size(); k++) {
      const GlLoopSeg& seg = loops[leaf][k];
      Stretch s;
      s.key = KeyOf(seg.line, &s.forward);
      Wide a = PositionOn(s.key, seg.start), b = PositionOn(s.key, seg.end);
      s.low = std::min(a, b);
      s.high = std::max(a, b);
      s.leaf = static_cast<int32_t>(leaf);
      s.index = static_cast<int32_t>(k);
      stretches.push_back(s);
    }
  }
  std::sort(stretches.begin(), stretches.end(), [](const Stretch& a, const Stretch& b) {
    if (!(a.key == b.key)) return a.key < b.key;
    return a.low < b.low;
  });
  return stretches;
}

bool CanPartner(const GlLoopSeg& a, const GlLoopSeg& b) {
  if (a.lineDef < 0 || b.lineDef < 0) return a.lineDef < 0 && b.lineDef < 0;
  return a.lineDef == b.lineDef && a.side != b.side;
}

}  // namespace

void PairGlPartners(std::vector<std::vector<GlLoopSeg>>* loopsIn,
                    std::vector<std::vector<GlPartner>>* partners) {
  std::vector<std::vector<GlLoopSeg>>& loops = *loopsIn;
  // The corners of each line, from both sides: every seg is cut at those
  // strictly within it.
  std::vector<Stretch> stretches = ListStretches(loops);
  std::vector<std::vector<std::vector<FixedPoint>>> cuts(loops.size());
  for (size_t leaf = 0; leaf < loops.size(); leaf++) cuts[leaf].resize(loops[leaf].size());
  for (size_t first = 0; first < stretches.size();) {
    size_t last = first;
    while (last < stretches.size() && stretches[last].key == stretches[first].key) last++;
    // The ends on this line, by position.
    std::vector<std::pair<Wide, FixedPoint>> ends;
    for (size_t i = first; i < last; i++) {
      const GlLoopSeg& seg = loops[stretches[i].leaf][stretches[i].index];
      ends.push_back({PositionOn(stretches[i].key, seg.start), seg.start});
      ends.push_back({PositionOn(stretches[i].key, seg.end), seg.end});
    }
    std::sort(ends.begin(), ends.end(),
              [](const std::pair<Wide, FixedPoint>& a, const std::pair<Wide, FixedPoint>& b) {
                return a.first < b.first;
              });
    for (size_t i = first; i < last; i++) {
      const Stretch& s = stretches[i];
      auto from = std::upper_bound(ends.begin(), ends.end(), s.low,
                                   [](Wide v, const std::pair<Wide, FixedPoint>& e) { return v < e.first; });
      std::vector<FixedPoint>& at = cuts[s.leaf][s.index];
      for (auto e = from; e != ends.end() && e->first < s.high; ++e)
        if (at.empty() || at.back() != e->second) at.push_back(e->second);
      if (!s.forward) std::reverse(at.begin(), at.end());
    }
    first = last;
  }
  for (size_t leaf = 0; leaf < loops.size(); leaf++) {
    std::vector<GlLoopSeg> cutLoop;
    for (size_t k = 0; k < loops[leaf].size(); k++) {
      GlLoopSeg seg = loops[leaf][k];
      for (FixedPoint p : cuts[leaf][k]) {
        if (p == seg.start || p == seg.end) continue;
        GlLoopSeg piece = seg;
        piece.end = p;
        cutLoop.push_back(piece);
        seg.start = p;
      }
      cutLoop.push_back(seg);
    }
    loops[leaf] = std::move(cutLoop);
  }

  // Now each stretch has the same ends on both sides.
  partners->assign(loops.size(), {});
  for (size_t leaf = 0; leaf < loops.size(); leaf++) (*partners)[leaf].assign(loops[leaf].size(), {-1, -1});
  stretches = ListStretches(loops);
  for (size_t first = 0; first < stretches.size();) {
    size_t last = first;
    while (last < stretches.size() && stretches[last].key == stretches[first].key &&
           stretches[last].low == stretches[first].low)
      last++;
    for (size_t i = first; i < last; i++) {
      const Stretch& a = stretches[i];
      if (!a.forward || (*partners)[a.leaf][a.index].leaf >= 0) continue;
      for (size_t j = first; j < last; j++) {
        const Stretch& b = stretches[j];
        if (b.forward || b.high != a.high || (*partners)[b.leaf][b.index].leaf >= 0) continue;
        if (!CanPartner(loops[a.leaf][a.index], loops[b.leaf][b.index])) continue;
        (*partners)[a.leaf][a.index] = {b.leaf, b.index};
        (*partners)[b.leaf][b.index] = {a.leaf, a.index};
        break;
      }
    }
    first = last;
  }
}
