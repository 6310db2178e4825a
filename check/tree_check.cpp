// SPDX-License-Identifier: GPL-2.0-or-later
// NODES: the tree from the root reaches every node and subsector once,
// every seg lies on its side of the partition lines above it, and the
// boxes hold what lies under them. The walk keeps its own stack, so that
// a tree as deep as the lump allows cannot overflow the program's.
#include <algorithm>
#include <cmath>
#include <utility>

#include "check/partition_checks.h"

namespace {

const char* ChildName(int side) { return side ? "left" : "right"; }

class TreeWalk {
 public:
  TreeWalk(const MapLevel& level, const LevelCheckOptions& options, Findings* findings,
           LevelCheckStats* stats)
      : level_(level),
        options_(options),
        findings_(findings),
        stats_(stats),
        nodeSeen_(level.nodes.size(), false),
        subsectorSeen_(level.subsectors.size(), false) {}

  void Run() {
    const int nodeCount = static_cast<int>(level_.nodes.size());
    if (nodeCount == 0) {
      if (level_.subsectors.size() != 1)
        findings_->Problem("NODES", -1, "NODES is empty but there are %zu subsectors",
                           level_.subsectors.size());
      if (!level_.subsectors.empty()) VisitSubsector(0);
    } else {
      Walk(nodeCount - 1);
    }
    for (size_t n = 0; n < nodeSeen_.size(); n++)
      if (!nodeSeen_[n])
        findings_->Problem("NODES", n, "node %zu is not reached from the root (the last node)", n);
    for (size_t s = 0; s < subsectorSeen_.size(); s++)
      if (!subsectorSeen_[s])
        findings_->Problem("SSECTORS", s, "subsector %zu is not reached from the root", s);
  }

 private:
  struct Constraint {
    int node, side;  // side 0: right (front) of the line, 1: left (back)
    double x, y, dx, dy, length;
  };

  // A node being walked: the next side to visit (2 when both are done)
  // and the box of the sides done.
  struct Frame {
    int node;
    int side = 0;
    bool pushed = false;  // a constraint for the side being visited is on path_
    MapBox whole;
  };

  // Walks the tree from the root, front subtree first at every node.
  void Walk(int root) {
    nodeSeen_[root] = true;
    std::vector<Frame> stack;
    stack.push_back(Enter(root));
    while (!stack.empty()) {
      Frame& frame = stack.back();
      if (frame.side == 2) {
        MapBox box = frame.whole;
        stack.pop_back();
        if (!stack.empty()) FinishSide(&stack.back(), box);
        continue;
      }
      const MapNode& node = level_.nodes[frame.node];
      double length = std::hypot(double(node.dx), double(node.dy));
      frame.pushed = length > 0;
      if (frame.pushed) {
        path_.push_back({frame.node, frame.side, double(node.x), double(node.y), double(node.dx),
                         double(node.dy), length});
      } else if (frame.side == 0) {
        findings_->Problem("NODES", frame.node, "node %d has a partition line of zero length", frame.node);
      }
      stats_->depth = std::max(stats_->depth, static_cast<int>(path_.size()));
      int child = node.child[frame.side];
      if (child & kSubsectorChild) {
        int s = child & ~kSubsectorChild;
        if (s >= static_cast<int>(level_.subsectors.size())) {
          findings_->Problem("NODES", frame.node, "node %d %s child names subsector %d, SSECTORS has %zu",
                             frame.node, ChildName(frame.side), s, level_.subsectors.size());
          FinishSide(&frame, MapBox());
        } else {
          FinishSide(&frame, VisitSubsector(s));
        }
      } else if (child >= static_cast<int>(level_.nodes.size())) {
        findings_->Problem("NODES", frame.node, "node %d %s child names node %d, NODES has %zu", frame.node,
                           ChildName(frame.side), child, level_.nodes.size());
        FinishSide(&frame, MapBox());
      } else if (nodeSeen_[child]) {
        findings_->Problem("NODES", child, "node %d is reached twice", child);
        FinishSide(&frame, MapBox());
      } else {
        nodeSeen_[child] = true;
        stack.push_back(Enter(child));  // frame is not used after this
      }
    }
  }

  static Frame Enter(int n) {
    Frame frame;
    frame.node = n;
    return frame;
  }

  // The side being visited is done, and `box` holds the segs under it.
  void FinishSide(Frame* frame, const MapBox& box) {
    if (frame->pushed) path_.pop_back();
    frame->pushed = false;
    const int n = frame->node;
    const NodeBox& b = level_.nodes[n].box[frame->side];
    if (!box.Empty() &&
        (b.top < box.maxY || b.bottom > box.minY || b.left > box.minX || b.right < box.maxX)) {
      findings_->Problem(
          "NODES", n, "node %d %s box x %d..%d y %d..%d does not hold its segs x %d..%d y %d..%d", n,
          ChildName(frame->side), b.left, b.right, b.bottom, b.top, box.minX, box.maxX, box.minY, box.maxY);
    }
    frame->whole.Add(box);
    frame->side++;
  }

  MapBox VisitSubsector(int s) {
    if (subsectorSeen_[s]) {
      findings_->Problem("SSECTORS", s, "subsector %d is reached twice", s);
      return MapBox();
    }
    subsectorSeen_[s] = true;
    MapBox box;
    const MapSubsector& sub = level_.subsectors[s];
    for (int k = sub.first; k < sub.first + sub.count && k < static_cast<int>(level_.segs.size()); k++) {
      const MapSeg& seg = level_.segs[k];
      for (int v : {seg.v1, seg.v2}) {
        if (v >= static_cast<int>(level_.vertexes.size())) continue;
        const MapPoint& p = level_.vertexes[v];
        box.Add(p);
        CheckSides(k, s, p);
      }
    }
    return box;
  }

  // Point p of seg k lies on the side of every partition line above it
  // that the walk took.
  void CheckSides(int k, int s, const MapPoint& p) {
    for (const Constraint& c : path_) {
      // Positive: to the right of the directed partition line.
      double right = ((p.x - c.x) * c.dy - (p.y - c.y) * c.dx) / c.length;
      double wrong = c.side == 0 ? -right : right;
      stats_->sideDepth = std::max(stats_->sideDepth, wrong);
      if (wrong > options_.sideTolerance) {
        findings_->Problem(
            "NODES", c.node,
            "seg %d of subsector %d has (%d,%d) %.2f units %s of node %d's line (%g,%g)+(%g,%g), but "
            "lies under its %s child",
            k, s, p.x, p.y, wrong, c.side ? "right" : "left", c.node, c.x, c.y, c.dx, c.dy,
            ChildName(c.side));
      }
    }
  }

  const MapLevel& level_;
  const LevelCheckOptions& options_;
  Findings* findings_;
  LevelCheckStats* stats_;
  std::vector<bool> nodeSeen_, subsectorSeen_;
  std::vector<Constraint> path_;
};

}  // namespace

void CheckTree(const MapLevel& level, const LevelCheckOptions& options, Findings* findings,
               LevelCheckStats* stats) {
  TreeWalk(level, options, findings, stats).Run();
}
