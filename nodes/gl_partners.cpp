// SPDX-License-Identifier: GPL-2.0-or-later
// Cutting the loops' segs at the corners across their lines, and pairing
// the stretches.
#include "nodes/gl_partners.h"

#include <algorithm>

#include "nodes/gl_lines.h"

namespace {

using Wide = __int128;

bool CanPartner(const GlLoopSeg& a, const GlLoopSeg& b) {
  if (a.lineDef < 0 || b.lineDef < 0) return a.lineDef < 0 && b.lineDef < 0;
  return a.lineDef == b.lineDef && a.side != b.side;
}

// The indices 0 to count - 1 grouped by key (0 to keys - 1; a negative key
// leaves the index out), each group in index order: a counting sort.
std::vector<uint32_t> GroupByKey(const std::vector<int32_t>& keyOf, size_t keys,
                                 std::vector<uint32_t>* groupStart) {
  groupStart->assign(keys + 1, 0);
  for (int32_t key : keyOf)
    if (key >= 0) (*groupStart)[static_cast<size_t>(key) + 1]++;
  for (size_t k = 0; k < keys; k++) (*groupStart)[k + 1] += (*groupStart)[k];
  std::vector<uint32_t> grouped((*groupStart)[keys]);
  std::vector<uint32_t> next(groupStart->begin(), groupStart->end() - 1);
  for (size_t i = 0; i < keyOf.size(); i++)
    if (keyOf[i] >= 0) grouped[next[static_cast<size_t>(keyOf[i])]++] = static_cast<uint32_t>(i);
  return grouped;
}

struct End {
  Wide position;
  FixedPoint point;
};

// A seg's place on its line: from `low` to `high` along the canonical
// direction.
struct Stretch {
  Wide low, high;
  uint32_t seg;
};

}  // namespace

GlPairedLoops PairGlPartners(std::vector<std::vector<GlLoopSeg>>* loopsIn) {
  std::vector<std::vector<GlLoopSeg>>& loops = *loopsIn;
  // The loops one after the other, each freed once copied: on a large
  // level they are the largest blocks the build holds.
  std::vector<size_t> loopSizes;
  loopSizes.reserve(loops.size());
  size_t total = 0;
  for (const std::vector<GlLoopSeg>& loop : loops) total += loop.size();
  std::vector<GlLoopSeg> flat;
  flat.reserve(total);
  for (std::vector<GlLoopSeg>& loop : loops) {
    loopSizes.push_back(loop.size());
    flat.insert(flat.end(), loop.begin(), loop.end());
    std::vector<GlLoopSeg>().swap(loop);
  }
  std::vector<std::vector<GlLoopSeg>>().swap(loops);
  std::vector<int32_t> lineOf(flat.size());
  for (size_t g = 0; g < flat.size(); g++) lineOf[g] = flat[g].lineId;

  // Line by line: every corner on the line, from either side, cuts the segs
  // it lies strictly within. The cuts of seg g are cuts[cutStart[g] ...],
  // in the seg's own direction.
  std::vector<uint32_t> lineStart;
  std::vector<uint32_t> byLine = GroupByKey(lineOf, GlLines.size(), &lineStart);
  std::vector<std::pair<uint32_t, FixedPoint>> found;
  std::vector<End> ends;
  for (size_t line = 0; line < GlLines.size(); line++) {
    const GlLineKey& key = GlLines[line];
    ends.clear();
    for (uint32_t i = lineStart[line]; i < lineStart[line + 1]; i++) {
      const GlLoopSeg& seg = flat[byLine[i]];
      ends.push_back({ComputeGlPosition(key, seg.start), seg.start});
      ends.push_back({ComputeGlPosition(key, seg.end), seg.end});
    }
    std::sort(ends.begin(), ends.end(), [](const End& a, const End& b) { return a.position < b.position; });
    for (uint32_t i = lineStart[line]; i < lineStart[line + 1]; i++) {
      uint32_t g = byLine[i];
      const GlLoopSeg& seg = flat[g];
      Wide a = ComputeGlPosition(key, seg.start), b = ComputeGlPosition(key, seg.end);
      Wide low = std::min(a, b), high = std::max(a, b);
      auto first = std::upper_bound(ends.begin(), ends.end(), low,
                                    [](Wide v, const End& e) { return v < e.position; });
      auto last = first;
      while (last != ends.end() && last->position < high) ++last;
      size_t before = found.size();
      for (auto e = first; e != last; ++e) {
        if (e->point == seg.start || e->point == seg.end) continue;
        if (found.size() > before && found.back().second == e->point) continue;
        found.push_back({g, e->point});
      }
      if (!seg.forward) std::reverse(found.begin() + static_cast<std::ptrdiff_t>(before), found.end());
    }
  }
  std::vector<int32_t> cutOwner(found.size());
  for (size_t i = 0; i < found.size(); i++) cutOwner[i] = static_cast<int32_t>(found[i].first);
  std::vector<uint32_t> cutStart;
  std::vector<uint32_t> cutsBySeg = GroupByKey(cutOwner, flat.size(), &cutStart);

  // The loops again, each seg in its pieces.
  GlPairedLoops paired;
  std::vector<GlLoopSeg>& pieces = paired.segs;
  pieces.reserve(flat.size() + found.size());
  size_t g = 0;
  for (size_t size : loopSizes) {
    paired.loopStart.push_back(static_cast<uint32_t>(pieces.size()));
    for (size_t k = 0; k < size; k++, g++) {
      GlLoopSeg seg = flat[g];
      for (uint32_t c = cutStart[g]; c < cutStart[g + 1]; c++) {
        GlLoopSeg piece = seg;
        piece.end = found[cutsBySeg[c]].second;
        pieces.push_back(piece);
        seg.start = piece.end;
      }
      pieces.push_back(seg);
    }
  }
  paired.loopStart.push_back(static_cast<uint32_t>(pieces.size()));
  std::vector<GlLoopSeg>().swap(flat);
  std::vector<std::pair<uint32_t, FixedPoint>>().swap(found);

  // Now both sides of each stretch end at the same corners: a seg running
  // the canonical way and one running back over the same stretch are
  // partners when they are two minisegs or the two sides of one wall.
  std::vector<uint32_t>& partner = paired.partners;
  partner.assign(pieces.size(), NoPartnerIndex);
  lineOf.resize(pieces.size());
  for (size_t p = 0; p < pieces.size(); p++) lineOf[p] = pieces[p].lineId;
  byLine = GroupByKey(lineOf, GlLines.size(), &lineStart);
  std::vector<Stretch> stretches;
  for (size_t line = 0; line < GlLines.size(); line++) {
    const GlLineKey& key = GlLines[line];
    stretches.clear();
    for (uint32_t i = lineStart[line]; i < lineStart[line + 1]; i++) {
      const GlLoopSeg& seg = pieces[byLine[i]];
      Wide a = ComputeGlPosition(key, seg.start), b = ComputeGlPosition(key, seg.end);
      stretches.push_back({std::min(a, b), std::max(a, b), byLine[i]});
    }
    std::sort(stretches.begin(), stretches.end(), [](const Stretch& a, const Stretch& b) {
      return a.low != b.low ? a.low < b.low : a.high < b.high;
    });
    for (size_t first = 0; first < stretches.size();) {
      size_t last = first;
      while (last < stretches.size() && stretches[last].low == stretches[first].low &&
             stretches[last].high == stretches[first].high)
        last++;
      for (size_t i = first; i < last; i++) {
        uint32_t a = stretches[i].seg;
        if (!pieces[a].forward || partner[a] != NoPartnerIndex) continue;
        for (size_t j = first; j < last; j++) {
          uint32_t b = stretches[j].seg;
          if (pieces[b].forward || partner[b] != NoPartnerIndex || !CanPartner(pieces[a], pieces[b]))
            continue;
          partner[a] = b;
          partner[b] = a;
          break;
        }
      }
      first = last;
    }
  }
  return paired;
}
