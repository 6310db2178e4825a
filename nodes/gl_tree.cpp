// SPDX-License-Identifier: GPL-2.0-or-later
// The GL tree's recursion, its regions and its numbering.
#include "nodes/gl_tree.h"

#include <algorithm>
#include <climits>
#include <unordered_map>
#include <utility>

#include "nodes/gl_choice.h"
#include "nodes/gl_partners.h"
#include "nodes/gl_polygons.h"
#include "wad/level.h"

GlLevelInput ReadGlInputFromLevel() {
  GlLevelInput input;
  input.vertexes.reserve(static_cast<size_t>(Level.LineDefVertexCount));
  for (int32_t i = 0; i < Level.LineDefVertexCount; i++)
    input.vertexes.push_back({Level.Vertexes[i].X * 65536, Level.Vertexes[i].Y * 65536});
  input.lineDefs.reserve(static_cast<size_t>(Level.LineDefCount));
  for (int32_t i = 0; i < Level.LineDefCount; i++) {
    const LineDef& line = Level.LineDefs[i];
    GlLineDefInput in;
    in.start = static_cast<uint16_t>(line.StartVertex);
    in.end = static_cast<uint16_t>(line.EndVertex);
    in.hasRight = line.RightSideDef != -1;
    in.hasLeft = line.LeftSideDef != -1;
    in.rightSector = SectorOfSideDef(line.RightSideDef);
    in.leftSector = SectorOfSideDef(line.LeftSideDef);
    input.lineDefs.push_back(in);
  }
  return input;
}

namespace {

// A node while the tree is built: a child is a node's index, or a leaf's
// index l as -1 - l.
struct Division {
  FixedLine line;
  int32_t children[2];  // right, left
};

struct Pending {
  std::vector<GlBuildSeg> segs;
  int32_t parent;  // -1 for the root
  int side;
};

std::vector<GlBuildSeg> CreateGlSegs(const GlLevelInput& input) {
  std::vector<GlBuildSeg> segs;
  for (size_t i = 0; i < input.lineDefs.size(); i++) {
    const GlLineDefInput& line = input.lineDefs[i];
    if (line.start >= input.vertexes.size() || line.end >= input.vertexes.size()) continue;
    FixedPoint a = input.vertexes[line.start], b = input.vertexes[line.end];
    if (a == b) continue;  // a wall of no length bounds nothing
    if (line.hasRight) segs.push_back({a, b, {a, b}, static_cast<int32_t>(i), line.rightSector, 0});
    if (line.hasLeft) segs.push_back({b, a, {b, a}, static_cast<int32_t>(i), line.leftSector, 1});
  }
  return segs;
}

// The box of every vertex a linedef uses.
void FindLevelBox(const GlLevelInput& input, FixedPoint* low, FixedPoint* high) {
  *low = {INT32_MAX, INT32_MAX};
  *high = {INT32_MIN, INT32_MIN};
  for (const GlLineDefInput& line : input.lineDefs) {
    for (uint32_t v : {line.start, line.end}) {
      if (v >= input.vertexes.size()) continue;
      FixedPoint p = input.vertexes[v];
      low->x = std::min(low->x, p.x);
      low->y = std::min(low->y, p.y);
      high->x = std::max(high->x, p.x);
      high->y = std::max(high->y, p.y);
    }
  }
}

// Whole units: boxes hold their polygons, so they are rounded outward.
int16_t FloorUnits(int64_t v) { return static_cast<int16_t>(v >= 0 ? v / 65536 : -((-v + 65535) / 65536)); }
int16_t CeilUnits(int64_t v) { return static_cast<int16_t>(-FloorUnits(-v)); }

struct Box {
  int64_t minX = INT64_MAX, minY = INT64_MAX, maxX = INT64_MIN, maxY = INT64_MIN;
  void Add(FixedPoint p) {
    minX = std::min<int64_t>(minX, p.x);
    minY = std::min<int64_t>(minY, p.y);
    maxX = std::max<int64_t>(maxX, p.x);
    maxY = std::max<int64_t>(maxY, p.y);
  }
  void Add(const Box& b) {
    minX = std::min(minX, b.minX);
    minY = std::min(minY, b.minY);
    maxX = std::max(maxX, b.maxX);
    maxY = std::max(maxY, b.maxY);
  }
};

struct PointHash {
  size_t operator()(FixedPoint p) const {
    return std::hash<uint64_t>()((static_cast<uint64_t>(static_cast<uint32_t>(p.x)) << 32) ^
                                 static_cast<uint32_t>(p.y));
  }
};

// A node's direction, in 16.16 units, short enough that each component's
// whole units fit 16 bits, as every form writes them: halved while both are
// even and one is too long, which keeps the line exact, whole units first
// while both are even in whole units. A direction still too long
// is scaled, as close as 16 bits allow.
void FitGlDirection(const FixedLine& line, int32_t* dx, int32_t* dy) {
  int64_t x = static_cast<int64_t>(line.end.x) - line.start.x;
  int64_t y = static_cast<int64_t>(line.end.y) - line.start.y;
  const int64_t limit = int64_t{32767} * 65536;
  auto tooLong = [&]() { return x > limit || x < -limit || y > limit || y < -limit; };
  // Whole units stay whole as long as they can; then any exact halving.
  for (int64_t step : {int64_t{131072}, int64_t{2}}) {
    while (tooLong() && x % step == 0 && y % step == 0) {
      x /= 2;
      y /= 2;
    }
  }
  if (tooLong()) {
    int64_t longer = std::max(x < 0 ? -x : x, y < 0 ? -y : y);
    x = static_cast<int64_t>(static_cast<__int128>(x) * limit / longer);
    y = static_cast<int64_t>(static_cast<__int128>(y) * limit / longer);
  }
  *dx = static_cast<int32_t>(x);
  *dy = static_cast<int32_t>(y);
}

}  // namespace

GlBuildCounts BuildGlTree(const GlLevelInput& input, CostRule rule, GlTree* tree) {
  GlBuildCounts counts = {0, 0};
  std::vector<Division> divisions;
  std::vector<std::vector<GlBuildSeg>> leaves;

  // The recursion, on a stack of its own: back child first, so that
  // subsectors come out depth first with back before front.
  std::vector<Pending> pending;
  pending.push_back({CreateGlSegs(input), -1, 0});
  int32_t rootChild = 0;
  while (!pending.empty()) {
    Pending next = std::move(pending.back());
    pending.pop_back();
    int32_t partition = GlNeedsPartition(next.segs) ? ChooseGlPartition(next.segs, rule) : -1;
    int32_t child;
    if (partition < 0) {
      child = -1 - static_cast<int32_t>(leaves.size());
      leaves.push_back(std::move(next.segs));
    } else {
      child = static_cast<int32_t>(divisions.size());
      divisions.push_back({next.segs[partition].line, {0, 0}});
      std::vector<GlBuildSeg> right, left;
      DivideGlSegs(next.segs, partition, &right, &left);
      next.segs.clear();
      next.segs.shrink_to_fit();
      pending.push_back({std::move(right), child, 0});
      pending.push_back({std::move(left), child, 1});
    }
    if (next.parent < 0) {
      rootChild = child;
    } else {
      divisions[next.parent].children[next.side] = child;
    }
  }

  // The regions, from the level's box down; each leaf's loop.
  FixedPoint low, high;
  FindLevelBox(input, &low, &high);
  std::vector<std::vector<GlLoopSeg>> loops(leaves.size());
  struct Visit {
    int32_t child;
    GlRegion region;
  };
  std::vector<Visit> visits;
  visits.push_back({rootChild, MakeBoxRegion(low, high)});
  while (!visits.empty()) {
    Visit visit = std::move(visits.back());
    visits.pop_back();
    if (visit.child < 0) {
      int32_t leaf = -1 - visit.child, walls = 0;
      loops[leaf] = MakeLeafLoop(visit.region, leaves[leaf], &walls);
      counts.walls += walls;
      counts.dropped += static_cast<int32_t>(leaves[leaf].size()) - walls;
      leaves[leaf].clear();
      leaves[leaf].shrink_to_fit();
      continue;
    }
    const Division& division = divisions[visit.child];
    visits.push_back({division.children[0], ClipRegion(visit.region, division.line)});
    visits.push_back({division.children[1], ClipRegion(visit.region, ReverseLine(division.line))});
  }

  std::vector<std::vector<GlPartner>> partners;
  PairGlPartners(&loops, &partners);

  // Numbering: the input's vertexes first, then every new corner once.
  tree->originalVertexes = static_cast<uint32_t>(input.vertexes.size());
  tree->linedefs = static_cast<uint32_t>(input.lineDefs.size());
  tree->newVertexes.clear();
  tree->subsectorSegCounts.clear();
  tree->segs.clear();
  tree->nodes.clear();
  std::unordered_map<FixedPoint, uint32_t, PointHash> numbers;
  for (size_t i = 0; i < input.vertexes.size(); i++)
    numbers.emplace(input.vertexes[i], static_cast<uint32_t>(i));
  std::vector<uint32_t> firstSeg(loops.size());
  std::vector<Box> leafBoxes(loops.size());
  uint32_t total = 0;
  for (size_t leaf = 0; leaf < loops.size(); leaf++) {
    firstSeg[leaf] = total;
    total += static_cast<uint32_t>(loops[leaf].size());
  }
  for (size_t leaf = 0; leaf < loops.size(); leaf++) {
    tree->subsectorSegCounts.push_back(static_cast<uint32_t>(loops[leaf].size()));
    for (size_t k = 0; k < loops[leaf].size(); k++) {
      const GlLoopSeg& seg = loops[leaf][k];
      auto found = numbers.emplace(seg.start,
                                   tree->originalVertexes + static_cast<uint32_t>(tree->newVertexes.size()));
      if (found.second) tree->newVertexes.push_back(seg.start);
      leafBoxes[leaf].Add(seg.start);
      const GlPartner& partner = partners[leaf][k];
      GlSeg out;
      out.start = found.first->second;
      out.partner =
          partner.leaf < 0 ? NoPartner : firstSeg[partner.leaf] + static_cast<uint32_t>(partner.index);
      out.linedef = seg.lineDef < 0 ? NoLinedef : static_cast<uint32_t>(seg.lineDef);
      out.side = seg.side;
      tree->segs.push_back(out);
    }
  }

  // Nodes in post-order, front subtree first, root last.
  if (rootChild < 0) return counts;
  std::vector<int32_t> numberOf(divisions.size(), -1);
  std::vector<Box> boxes(divisions.size());
  std::vector<std::pair<int32_t, bool>> stack = {{rootChild, false}};
  auto boxOf = [&](int32_t child) { return child < 0 ? leafBoxes[-1 - child] : boxes[child]; };
  while (!stack.empty()) {
    auto [n, expanded] = stack.back();
    stack.pop_back();
    const Division& division = divisions[n];
    if (!expanded) {
      stack.push_back({n, true});
      if (division.children[1] >= 0) stack.push_back({division.children[1], false});
      if (division.children[0] >= 0) stack.push_back({division.children[0], false});
      continue;
    }
    GlNode node;
    node.start = division.line.start;
    FitGlDirection(division.line, &node.dx, &node.dy);
    for (int side = 0; side < 2; side++) {
      int32_t child = division.children[side];
      Box box = boxOf(child);
      boxes[n].Add(box);
      node.boxes[side][0] = CeilUnits(box.maxY);
      node.boxes[side][1] = FloorUnits(box.minY);
      node.boxes[side][2] = FloorUnits(box.minX);
      node.boxes[side][3] = CeilUnits(box.maxX);
      node.children[side] = child < 0 ? (static_cast<uint32_t>(-1 - child) | GlSubsectorFlag)
                                      : static_cast<uint32_t>(numberOf[child]);
    }
    numberOf[n] = static_cast<int32_t>(tree->nodes.size());
    tree->nodes.push_back(node);
  }
  return counts;
}
