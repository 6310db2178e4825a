// SPDX-License-Identifier: GPL-2.0-or-later
// The GL tree: reached once from the root, every polygon on its side of
// every partition line above it, every miniseg along one of those lines,
// and boxes that hold their subtrees. The walk keeps its own stack, so
// that no tree the stream can hold overflows the program's.
#include <algorithm>

#include "check/gl_checks.h"

namespace {

const char* ChildName(int side) { return side ? "left" : "right"; }

class GlTreeWalk {
 public:
  GlTreeWalk(const MapLevel& level, const LevelCheckOptions& options, Findings* findings,
             LevelCheckStats* stats)
      : level_(level),
        gl_(level.gl),
        open_(FindSectorsThatDoNotClose(level)),
        tolerance_(options.glTolerance),
        findings_(findings),
        stats_(stats),
        nodeSeen_(gl_.nodes.size(), false),
        subsectorSeen_(gl_.subsectors.size(), false) {}

  void Run() {
    if (gl_.nodes.empty()) {
      if (gl_.subsectors.size() != 1)
        findings_->Problem("SSECTORS", -1, "the GL stream has no node but %zu subsectors",
                           gl_.subsectors.size());
      if (!gl_.subsectors.empty()) VisitSubsector(0);
    } else {
      Walk(static_cast<int>(gl_.nodes.size()) - 1);
    }
    for (size_t n = 0; n < nodeSeen_.size(); n++)
      if (!nodeSeen_[n]) findings_->Problem("SSECTORS", n, "GL node %zu is not reached from the root", n);
    for (size_t s = 0; s < subsectorSeen_.size(); s++)
      if (!subsectorSeen_[s])
        findings_->Problem("SSECTORS", s, "GL subsector %zu is not reached from the root", s);
  }

 private:
  // A partition line above the part being walked, and the side taken.
  struct Constraint {
    int node, side;
    GlPoint origin;
    GlVector along;
  };

  // A node being walked: the next side to visit (2 when both are done) and
  // the box of what lies under the sides done.
  struct Frame {
    explicit Frame(int n) : node(n) {}
    int node;
    int side = 0;
    MapBox whole;
  };

  void Walk(int root) {
    nodeSeen_[root] = true;
    std::vector<Frame> stack{Frame(root)};
    while (!stack.empty()) {
      Frame& frame = stack.back();
      if (frame.side == 2) {
        MapBox box = frame.whole;
        stack.pop_back();
        path_.pop_back();
        if (!stack.empty()) FinishSide(&stack.back(), box);
        continue;
      }
      const GlNode& node = gl_.nodes[frame.node];
      if (frame.side == 0) {
        GlVector along{node.dx, node.dy};
        if (along.Zero())
          findings_->Problem("SSECTORS", frame.node, "GL node %d has a partition line of zero length",
                             frame.node);
        path_.push_back({frame.node, 0, {node.x, node.y}, along});
      } else {
        path_.back().side = 1;
      }
      uint32_t child = node.child[frame.side];
      if ((child & kGlSubsectorChild) != 0) {
        uint32_t s = child & ~kGlSubsectorChild;
        if (s >= gl_.subsectors.size()) {
          findings_->Problem("SSECTORS", frame.node, "GL node %d %s child names subsector %u, there are %zu",
                             frame.node, ChildName(frame.side), s, gl_.subsectors.size());
          FinishSide(&frame, MapBox());
        } else {
          FinishSide(&frame, VisitSubsector(static_cast<int>(s)));
        }
      } else if (child >= gl_.nodes.size()) {
        findings_->Problem("SSECTORS", frame.node, "GL node %d %s child names node %u, there are %zu",
                           frame.node, ChildName(frame.side), child, gl_.nodes.size());
        FinishSide(&frame, MapBox());
      } else if (nodeSeen_[child]) {
        findings_->Problem("SSECTORS", child, "GL node %u is reached twice", child);
        FinishSide(&frame, MapBox());
      } else {
        nodeSeen_[child] = true;
        stack.emplace_back(static_cast<int>(child));  // frame is not used after this
      }
    }
  }

  // The side being visited is done, and `box` holds the polygons under it.
  void FinishSide(Frame* frame, const MapBox& box) {
    const int n = frame->node;
    const int* b = gl_.nodes[n].box[frame->side];  // top, bottom, left, right
    if (!box.Empty() && (b[0] < box.maxY || b[1] > box.minY || b[2] > box.minX || b[3] < box.maxX)) {
      findings_->Problem(
          "SSECTORS", n, "GL node %d %s box x %d..%d y %d..%d does not hold its segs x %d..%d y %d..%d", n,
          ChildName(frame->side), b[2], b[3], b[1], b[0], box.minX, box.maxX, box.minY, box.maxY);
    }
    frame->whole.Add(box);
    frame->side++;
  }

  // The box of the subsector's polygon in whole units, rounded down as the
  // engine takes a box's edges; and its place below the lines above it.
  MapBox VisitSubsector(int s) {
    if (subsectorSeen_[s]) {
      findings_->Problem("SSECTORS", s, "GL subsector %d is reached twice", s);
      return MapBox();
    }
    subsectorSeen_[s] = true;
    MapBox box;
    const GlSubsector& sub = gl_.subsectors[s];
    if (!WholePolygon(gl_, sub)) return box;  // the polygon check reports it
    for (uint64_t k = sub.first; k < sub.first + sub.count; k++) {
      const GlSeg& seg = gl_.segs[k];
      const GlPoint& p = gl_.vertexes[seg.v1];
      box.Add(MapPoint{FloorUnits(p.x), FloorUnits(p.y)});
      CheckSides(static_cast<long>(k), s, p);
      if (seg.miniseg) CheckMiniseg(static_cast<long>(k), s, p, gl_.vertexes[seg.v2]);
    }
    return box;
  }

  // Point p, a corner of subsector s, lies on the side of every partition
  // line above it that the walk took.
  void CheckSides(long k, int s, const GlPoint& p) {
    for (const Constraint& c : path_) {
      if (c.along.Zero()) continue;
      Wide across = Cross(c.along, Between(c.origin, p));  // negative: right of the line
      bool wrong = c.side == 0 ? across > 0 : across < 0;
      if (wrong) stats_->glLineDistance = std::max(stats_->glLineDistance, FixedDistance(across, c.along));
      if (wrong && !WithinTolerance(across, c.along, tolerance_)) {
        findings_->Problem("SSECTORS", c.node,
                           "GL seg %ld of subsector %d starts at %s, %.6f units %s of GL node %d's line "
                           "%s+(%g,%g), but lies under its %s child",
                           k, s, PointText(p).c_str(), FixedDistance(across, c.along) / 65536.0,
                           c.side ? "right" : "left", c.node, PointText(c.origin).c_str(), Units(c.along.x),
                           Units(c.along.y), ChildName(c.side));
      }
    }
  }

  // A miniseg lies along the partition line of a node above it: both its
  // ends on one such line.
  void CheckMiniseg(long k, int s, const GlPoint& p1, const GlPoint& p2) {
    double nearest = -1;
    for (const Constraint& c : path_) {
      if (c.along.Zero()) continue;
      Wide across1 = Cross(c.along, Between(c.origin, p1)), across2 = Cross(c.along, Between(c.origin, p2));
      double off = std::max(FixedDistance(across1, c.along), FixedDistance(across2, c.along));
      if (nearest < 0 || off < nearest) nearest = off;
      if (WithinTolerance(across1, c.along, tolerance_) && WithinTolerance(across2, c.along, tolerance_)) {
        stats_->glLineDistance = std::max(stats_->glLineDistance, nearest);
        return;
      }
    }
    // Where a sector does not close, the polygon may have to be closed
    // across its open side, which no partition line need run along.
    int sector = GlSubsectorSector(level_, gl_.subsectors[static_cast<size_t>(s)]);
    if (sector >= 0 && sector < static_cast<int>(open_.size()) && open_[static_cast<size_t>(sector)]) {
      findings_->Warning(
          "SSECTORS", k,
          "GL seg %ld, a miniseg of subsector %d, runs %s-%s along no partition line above it, "
          "where sector %d does not close",
          k, s, PointText(p1).c_str(), PointText(p2).c_str(), sector);
      return;
    }
    findings_->Problem("SSECTORS", k,
                       "GL seg %ld, a miniseg of subsector %d, runs %s-%s along no partition line above it",
                       k, s, PointText(p1).c_str(), PointText(p2).c_str());
  }

  const MapLevel& level_;
  const GlNodes& gl_;
  const std::vector<bool> open_;  // sectors that do not close
  const int tolerance_;
  Findings* findings_;
  LevelCheckStats* stats_;
  std::vector<bool> nodeSeen_, subsectorSeen_;
  std::vector<Constraint> path_;
};

}  // namespace

void CheckGlTree(const MapLevel& level, const LevelCheckOptions& options, Findings* findings,
                 LevelCheckStats* stats) {
  GlTreeWalk(level, options, findings, stats).Run();
}
