// SPDX-License-Identifier: GPL-2.0-or-later
// The recursion of one GL subtree.
#include "nodes/gl_subtree.h"

#include <cstddef>
#include <utility>

bool DivideGlList(std::vector<GlBuildSeg>* segs, CostRule rule, int32_t threads, GlEdgeLine* line,
                  std::vector<GlBuildSeg>* right, std::vector<GlBuildSeg>* left) {
  int32_t partition = GlNeedsPartition(*segs) ? ChooseGlPartition(*segs, rule, threads) : -1;
  if (partition < 0) return false;
  const GlBuildSeg& seg = (*segs)[static_cast<size_t>(partition)];
  *line = GlEdgeLine{seg.line, seg.lineId, seg.forward};
  DivideGlSegs(*segs, partition, right, left);
  std::vector<GlBuildSeg>().swap(*segs);
  return true;
}

namespace {

struct Pending {
  std::vector<GlBuildSeg> segs;
  GlRegion region;
  int32_t parent;  // -1 for the subtree's root
  int side;
};

}  // namespace

void BuildGlSubtree(std::vector<GlBuildSeg>* segs, const GlRegion& region, CostRule rule,
                    GlSubtree* subtree) {
  // On a stack of its own, back child on top: leaves come out depth first,
  // back before front.
  std::vector<Pending> pending;
  pending.push_back({std::move(*segs), region, -1, 0});
  while (!pending.empty()) {
    Pending next = std::move(pending.back());
    pending.pop_back();
    GlEdgeLine line;
    std::vector<GlBuildSeg> right, left;
    int32_t child;
    if (DivideGlList(&next.segs, rule, 1, &line, &right, &left)) {
      child = static_cast<int32_t>(subtree->divisions.size());
      subtree->divisions.push_back({line, {0, 0}});
      pending.push_back({std::move(right), ClipRegion(next.region, line), child, 0});
      pending.push_back({std::move(left), ClipRegion(next.region, ReverseEdgeLine(line)), child, 1});
    } else {
      int32_t walls = 0;
      child = LeafChild(static_cast<int32_t>(subtree->loops.size()));
      subtree->loops.push_back(MakeLeafLoop(next.region, next.segs, &walls));
      subtree->walls += walls;
      subtree->dropped += static_cast<int32_t>(next.segs.size()) - walls;
    }
    if (next.parent < 0) {
      subtree->root = child;
    } else {
      subtree->divisions[static_cast<size_t>(next.parent)].children[next.side] = child;
    }
  }
}

int32_t AppendGlSubtree(GlSubtree* into, GlSubtree* from) {
  const int32_t divisionBase = static_cast<int32_t>(into->divisions.size());
  const int32_t leafBase = static_cast<int32_t>(into->loops.size());
  auto moved = [&](int32_t child) {
    return child < 0 ? LeafChild(LeafOfChild(child) + leafBase) : child + divisionBase;
  };
  for (GlDivision division : from->divisions) {
    division.children[0] = moved(division.children[0]);
    division.children[1] = moved(division.children[1]);
    into->divisions.push_back(division);
  }
  for (std::vector<GlLoopSeg>& loop : from->loops) into->loops.push_back(std::move(loop));
  into->walls += from->walls;
  into->dropped += from->dropped;
  return moved(from->root);
}
