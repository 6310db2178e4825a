// SPDX-License-Identifier: GPL-2.0-or-later
// The GL tree's recursion, its regions and its numbering.
#include "nodes/gl_tree.h"

#include <algorithm>
#include <atomic>
#include <climits>
#include <unordered_map>
#include <utility>

#include "nodes/gl_choice.h"
#include "nodes/gl_lines.h"
#include "nodes/gl_partners.h"
#include "nodes/gl_polygons.h"
#include "nodes/gl_subtree.h"
#include "nodes/partition.h"
#include "nodes/thread_pool.h"
#include "nodes/tuning.h"
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

std::vector<GlBuildSeg> CreateGlSegs(const GlLevelInput& input) {
  std::vector<GlBuildSeg> segs;
  size_t sides = 0;
  for (const GlLineDefInput& line : input.lineDefs) sides += size_t{line.hasRight} + size_t{line.hasLeft};
  segs.reserve(sides);
  for (size_t i = 0; i < input.lineDefs.size(); i++) {
    const GlLineDefInput& line = input.lineDefs[i];
    if (line.start >= input.vertexes.size() || line.end >= input.vertexes.size()) continue;
    FixedPoint a = input.vertexes[line.start], b = input.vertexes[line.end];
    if (a == b) continue;  // a wall of no length bounds nothing
    if (line.hasRight) segs.push_back({a, b, {a, b}, static_cast<int32_t>(i), line.rightSector, 0, 0, false});
    if (line.hasLeft) segs.push_back({b, a, {b, a}, static_cast<int32_t>(i), line.leftSector, 0, 1, false});
  }
  std::vector<FixedLine> lines;
  lines.reserve(segs.size());
  for (const GlBuildSeg& seg : segs) lines.push_back(seg.line);
  std::vector<int32_t> ids = NumberGlLines(lines);
  for (size_t i = 0; i < segs.size(); i++) {
    segs[i].lineId = ids[i];
    FindGlLineKey(segs[i].line, &segs[i].forward);
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

// The top of the tree, divided on the calling thread until there are
// enough subtrees to share out: a child is a top node's index, or task t
// as -1 - t.
struct TopNode {
  GlEdgeLine line;
  int32_t children[2];
};

struct Task {
  std::vector<GlBuildSeg> segs;
  GlRegion region;
  int32_t parent;  // top node, or -1 for the root
  int side;
  bool whole;  // found to need no division
  GlSubtree subtree;
};

struct Forest {
  std::vector<TopNode> top;
  std::vector<Task> tasks;
  int32_t root;
  CostRule rule;
  int32_t threads;
  std::atomic<size_t> next{0};
  std::vector<size_t> order;  // longest list first
};

void SetChild(Forest* forest, int32_t parent, int side, int32_t child) {
  if (parent < 0) {
    forest->root = child;
  } else {
    forest->top[static_cast<size_t>(parent)].children[side] = child;
  }
}

// Divides the longest lists until there are Tuning.glSubtreeTasks of them
// or none is longer than Tuning.glSubtreeSegs.
void DivideTop(Forest* forest) {
  while (static_cast<int32_t>(forest->tasks.size()) < Tuning.glSubtreeTasks) {
    size_t longest = forest->tasks.size();
    for (size_t t = 0; t < forest->tasks.size(); t++) {
      const Task& task = forest->tasks[t];
      if (task.whole || static_cast<int32_t>(task.segs.size()) < Tuning.glSubtreeSegs) continue;
      if (longest == forest->tasks.size() || task.segs.size() > forest->tasks[longest].segs.size())
        longest = t;
    }
    if (longest == forest->tasks.size()) return;
    Task& task = forest->tasks[longest];
    GlEdgeLine line;
    std::vector<GlBuildSeg> right, left;
    if (!DivideGlList(&task.segs, forest->rule, forest->threads, &line, &right, &left)) {
      task.whole = true;
      continue;
    }
    int32_t node = static_cast<int32_t>(forest->top.size());
    forest->top.push_back({line, {0, 0}});
    SetChild(forest, task.parent, task.side, node);
    GlRegion region = std::move(task.region);
    // The task's place goes to the front child; the back child is new.
    task = Task{std::move(right), ClipRegion(region, line), node, 0, false, {}};
    forest->top[static_cast<size_t>(node)].children[0] = -1 - static_cast<int32_t>(longest);
    forest->tasks.push_back({std::move(left), ClipRegion(region, ReverseEdgeLine(line)), node, 1, false, {}});
    forest->top[static_cast<size_t>(node)].children[1] = -1 - static_cast<int32_t>(forest->tasks.size() - 1);
  }
}

void BuildTasks(void* data) {
  Forest* forest = static_cast<Forest*>(data);
  for (size_t k; (k = forest->next.fetch_add(1)) < forest->order.size();) {
    Task& task = forest->tasks[forest->order[k]];
    BuildGlSubtree(&task.segs, task.region, forest->rule, &task.subtree);
  }
}

// The subtrees joined under the top nodes, back child first at each, so
// that the leaves keep the depth-first order of one recursion.
int32_t JoinForest(Forest* forest, int32_t child, GlSubtree* tree) {
  if (child < 0) return AppendGlSubtree(tree, &forest->tasks[static_cast<size_t>(-1 - child)].subtree);
  int32_t index = static_cast<int32_t>(tree->divisions.size());
  const TopNode& node = forest->top[static_cast<size_t>(child)];
  tree->divisions.push_back({node.line, {0, 0}});
  int32_t back = JoinForest(forest, node.children[1], tree);
  int32_t front = JoinForest(forest, node.children[0], tree);
  tree->divisions[static_cast<size_t>(index)].children[0] = front;
  tree->divisions[static_cast<size_t>(index)].children[1] = back;
  return index;
}

int32_t CountGlThreads() {
  if (Tuning.glThreads > 0) return Tuning.glThreads;
  return std::max(1, std::min(CountCores(), Tuning.mostThreads));
}

}  // namespace

// Halved while both are even, whole units first, which keeps the line
// exact; what is still too long is scaled.
void FitGlDirection(const FixedLine& line, int32_t* dx, int32_t* dy) {
  int64_t x = static_cast<int64_t>(line.end.x) - line.start.x;
  int64_t y = static_cast<int64_t>(line.end.y) - line.start.y;
  const int64_t limit = int64_t{32767} * 65536;
  auto tooLong = [&]() { return x > limit || x < -limit || y > limit || y < -limit; };
  // Whole units stay whole as long as they can: halved while both are even,
  // then divided by their common divisor (a wall along an axis, or at 45
  // degrees, becomes one unit); only then any exact halving.
  while (tooLong() && x % 131072 == 0 && y % 131072 == 0) {
    x /= 2;
    y /= 2;
  }
  if (tooLong() && x % 65536 == 0 && y % 65536 == 0) {
    int64_t divisor = GreatestCommonDivisor((x < 0 ? -x : x) / 65536, (y < 0 ? -y : y) / 65536);
    x /= divisor;
    y /= divisor;
  }
  while (tooLong() && x % 2 == 0 && y % 2 == 0) {
    x /= 2;
    y /= 2;
  }
  if (tooLong()) {
    int64_t longer = std::max(x < 0 ? -x : x, y < 0 ? -y : y);
    x = static_cast<int64_t>(static_cast<__int128>(x) * limit / longer);
    y = static_cast<int64_t>(static_cast<__int128>(y) * limit / longer);
  }
  *dx = static_cast<int32_t>(x);
  *dy = static_cast<int32_t>(y);
}

GlBuildCounts BuildGlTree(const GlLevelInput& input, CostRule rule, GlTree* tree) {
  FixedPoint low, high;
  FindLevelBox(input, &low, &high);
  Forest forest;
  forest.rule = rule;
  forest.threads = CountGlThreads();
  forest.root = -1;
  forest.tasks.push_back({CreateGlSegs(input), MakeBoxRegion(low, high), -1, 0, false, {}});
  const int32_t threads = forest.threads;
  if (threads > 1) DivideTop(&forest);
  for (size_t t = 0; t < forest.tasks.size(); t++) forest.order.push_back(t);
  std::stable_sort(forest.order.begin(), forest.order.end(), [&forest](size_t a, size_t b) {
    return forest.tasks[a].segs.size() > forest.tasks[b].segs.size();
  });
  int32_t helpers = std::min(threads, static_cast<int32_t>(forest.tasks.size())) - 1;
  RunWithHelpers(BuildTasks, &forest, helpers);
  GlSubtree whole;
  whole.root = JoinForest(&forest, forest.root, &whole);
  forest.tasks.clear();
  GlBuildCounts counts = {whole.walls, whole.dropped};
  const std::vector<GlDivision>& divisions = whole.divisions;
  const int32_t rootChild = whole.root;
  GlPairedLoops paired = PairGlPartners(&whole.loops);
  const size_t leafCount = paired.loopStart.size() - 1;

  // Numbering: the input's vertexes first, then every new corner once, in
  // the order the segs reach them.
  tree->originalVertexes = static_cast<uint32_t>(input.vertexes.size());
  tree->linedefs = static_cast<uint32_t>(input.lineDefs.size());
  tree->newVertexes.clear();
  tree->subsectorSegCounts.clear();
  tree->segs.clear();
  tree->nodes.clear();
  tree->segs.reserve(paired.segs.size());
  std::unordered_map<FixedPoint, uint32_t, PointHash> numbers;
  numbers.reserve(input.vertexes.size() + paired.segs.size() / 2);
  for (size_t i = 0; i < input.vertexes.size(); i++)
    numbers.emplace(input.vertexes[i], static_cast<uint32_t>(i));
  std::vector<Box> leafBoxes(leafCount);
  for (size_t leaf = 0; leaf < leafCount; leaf++) {
    const uint32_t first = paired.loopStart[leaf], last = paired.loopStart[leaf + 1];
    tree->subsectorSegCounts.push_back(last - first);
    for (uint32_t k = first; k < last; k++) {
      const GlLoopSeg& seg = paired.segs[k];
      auto found = numbers.emplace(seg.start,
                                   tree->originalVertexes + static_cast<uint32_t>(tree->newVertexes.size()));
      if (found.second) tree->newVertexes.push_back(seg.start);
      leafBoxes[leaf].Add(seg.start);
      GlTreeSeg out;
      out.start = found.first->second;
      static_assert(NoPartnerIndex == NoPartner, "the partners are numbered as the segs are written");
      out.partner = paired.partners[k];
      out.linedef = seg.lineDef < 0 ? NoLinedef : static_cast<uint32_t>(seg.lineDef);
      out.side = seg.side;
      tree->segs.push_back(out);
    }
  }
  std::vector<GlLoopSeg>().swap(paired.segs);
  std::unordered_map<FixedPoint, uint32_t, PointHash>().swap(numbers);

  // Nodes in post-order, front subtree first, root last.
  if (rootChild < 0) return counts;
  std::vector<int32_t> numberOf(divisions.size(), -1);
  std::vector<Box> boxes(divisions.size());
  std::vector<std::pair<int32_t, bool>> stack = {{rootChild, false}};
  auto boxOf = [&](int32_t child) { return child < 0 ? leafBoxes[-1 - child] : boxes[child]; };
  while (!stack.empty()) {
    auto [n, expanded] = stack.back();
    stack.pop_back();
    const GlDivision& division = divisions[n];
    if (!expanded) {
      stack.push_back({n, true});
      if (division.children[1] >= 0) stack.push_back({division.children[1], false});
      if (division.children[0] >= 0) stack.push_back({division.children[0], false});
      continue;
    }
    GlTreeNode node;
    node.start = division.line.line.start;
    FitGlDirection(division.line.line, &node.dx, &node.dy);
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
