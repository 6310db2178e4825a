// SPDX-License-Identifier: GPL-2.0-or-later
// GL subsectors as polygons. Each seg ends where the next starts by the
// format's own rule, so the loop always closes; what can go wrong is its
// shape. A polygon is convex and runs clockwise when it never turns left
// and its edges turn once around, clockwise; both are counted exactly.
#include <algorithm>

#include "check/gl_checks.h"

namespace {

// Which half of the circle a direction points into, its angle counted
// counter-clockwise from east: 0 for [0, 180) degrees, 1 for [180, 360).
int Half(const GlVector& v) { return v.y > 0 || (v.y == 0 && v.x > 0) ? 0 : 1; }

// Whether u's angle, in [0, 360) degrees, is below v's.
bool AngleBelow(const GlVector& u, const GlVector& v) {
  int hu = Half(u), hv = Half(v);
  return hu != hv ? hu < hv : Cross(u, v) > 0;
}

// A seg of nonzero length of the polygon.
struct Edge {
  int seg;
  GlPoint start;
  GlVector along;
};

class PolygonCheck {
 public:
  PolygonCheck(const MapLevel& level, int s, const LevelCheckOptions& options, Findings* findings,
               LevelCheckStats* stats)
      : gl_(level.gl), s_(s), options_(options), findings_(findings), stats_(stats) {}

  void Run() {
    const GlSubsector& sub = gl_.subsectors[s_];
    for (uint64_t k = sub.first; k < sub.first + sub.count; k++) {
      const GlSeg& seg = gl_.segs[k];
      GlPoint p1 = gl_.vertexes[seg.v1], p2 = gl_.vertexes[seg.v2];
      if (p1 == p2) {
        findings_->Problem("SSECTORS", static_cast<long>(k),
                           "GL seg %llu of subsector %d has zero length at %s",
                           static_cast<unsigned long long>(k), s_, PointText(p1).c_str());
        continue;
      }
      edges_.push_back({static_cast<int>(k), p1, Between(p1, p2)});
    }
    if (edges_.empty()) return;  // every seg has zero length, each reported
    if (AlongOneLine()) {
      findings_->Warning("SSECTORS", s_,
                         "GL subsector %d encloses no area: its %zu segs run back and forth along one line, "
                         "from %s",
                         s_, edges_.size(), PointText(edges_[0].start).c_str());
      return;
    }
    if (!Turns()) return;
    // The count of turns comes first: a polygon run the wrong way round
    // turns left at every corner.
    if (winding_ == 1) {
      findings_->Problem("SSECTORS", s_,
                         "GL subsector %d runs counter-clockwise: its sector lies left of its segs", s_);
      return;
    }
    if (winding_ != -1) {
      findings_->Problem("SSECTORS", s_,
                         "the segs of GL subsector %d turn around %d times clockwise, not once", s_,
                         -winding_);
      return;
    }
    stats_->glConvexDepth = std::max(stats_->glConvexDepth, leftmost_);
    if (worst_ >= 0) {
      const size_t n = edges_.size();
      const Edge& before = edges_[(worst_ + n - 1) % n];
      const Edge& edge = edges_[worst_];
      findings_->Problem("SSECTORS", s_,
                         "GL subsector %d is not convex: it turns left at %s (GL seg %d), %.6f units off "
                         "the line from %s to %s",
                         s_, PointText(edge.start).c_str(), edge.seg, leftmost_ / 65536.0,
                         PointText(before.start).c_str(), PointText(End(edge)).c_str());
      return;
    }
    const Wide area = ClockwiseDoubledArea(gl_, sub);
    if (area <= 0) {
      findings_->Problem("SSECTORS", s_, "GL subsector %d encloses an area of %.6f square units", s_,
                         SquareUnits(area));
    }
  }

 private:
  // Walks the corners: counts the full turns, and finds the corner that
  // turns left the furthest, and whether it is beyond the tolerance. False
  // when the polygon doubles back, where the turn has no side and no count.
  bool Turns() {
    const size_t n = edges_.size();
    for (size_t j = 0; j < n; j++) {
      const Edge& before = edges_[(j + n - 1) % n];
      const Edge& edge = edges_[j];
      Wide turn = Cross(before.along, edge.along);
      if (turn == 0) {
        // On along one line: two linedefs, a wall and a miniseg, or two
        // minisegs parted where a corner of another subsector touches.
        if (Dot(before.along, edge.along) > 0) continue;
        findings_->Problem("SSECTORS", s_,
                           "GL subsector %d doubles back at %s: GL segs %d and %d run along one line in "
                           "opposite directions",
                           s_, PointText(edge.start).c_str(), before.seg, edge.seg);
        return false;
      }
      if (turn > 0) {
        // A left turn: how far the corner lies off the line from the start
        // of the edge before it to the end of its own edge.
        GlVector chord = Between(before.start, End(edge));
        double depth = FixedDistance(turn, chord);
        bool beyond = !WithinTolerance(turn, chord, 2 * options_.glTolerance);
        if (depth > leftmost_ && (beyond || worst_ < 0)) {
          leftmost_ = depth;
          worst_ = beyond ? static_cast<long>(j) : -1;
        }
        if (AngleBelow(edge.along, before.along)) winding_++;
      } else if (AngleBelow(before.along, edge.along)) {
        winding_--;
      }
    }
    return true;
  }

  // Whether every corner is straight or turns back: the segs run back and
  // forth along one line. Builders make such polygons where the level's
  // own linedefs overlap or a sector trick leaves a linedef with no room
  // on one side, and close them with a miniseg back along it; they cover
  // nothing and draw nothing.
  bool AlongOneLine() const {
    for (size_t j = 0; j < edges_.size(); j++)
      if (Cross(edges_[j].along, edges_[(j + 1) % edges_.size()].along) != 0) return false;
    return true;
  }

  static GlPoint End(const Edge& edge) {
    return {static_cast<int32_t>(edge.start.x + edge.along.x),
            static_cast<int32_t>(edge.start.y + edge.along.y)};
  }

  const GlNodes& gl_;
  const int s_;
  const LevelCheckOptions& options_;
  Findings* findings_;
  LevelCheckStats* stats_;
  std::vector<Edge> edges_;
  int winding_ = 0;      // full turns counter-clockwise
  double leftmost_ = 0;  // the furthest a corner turns left, in 1/65536 units
  long worst_ = -1;      // that corner, when it is beyond the tolerance
};

// The sector of each real seg of the subsector: one, or a warning.
void CheckOneSector(const MapLevel& level, int s, Findings* findings) {
  const GlSubsector& sub = level.gl.subsectors[s];
  int sector = GlSubsectorSector(level, sub);
  if (sector == -1 && level.gl.segs.size() >= sub.first + sub.count) {
    bool real = false;
    for (uint64_t k = sub.first; k < sub.first + sub.count; k++) real = real || !level.gl.segs[k].miniseg;
    if (!real) findings->Problem("SSECTORS", s, "GL subsector %d has only minisegs: it names no sector", s);
    return;
  }
  for (uint64_t k = sub.first; k < sub.first + sub.count; k++) {
    const GlSeg& seg = level.gl.segs[k];
    if (!seg.valid || seg.miniseg) continue;
    int own = SideSector(level, level.lines[seg.line].side[seg.side]);
    if (own != sector) {
      // Sector tricks and sectors that do not close: the level's own.
      findings->Warning("SSECTORS", s, "GL subsector %d mixes sectors %d and %d (GL seg %llu)", s, sector,
                        own, static_cast<unsigned long long>(k));
      return;
    }
  }
}

}  // namespace

bool WholePolygon(const GlNodes& gl, const GlSubsector& sub) {
  if (sub.count == 0 || sub.first + sub.count > gl.segs.size()) return false;
  for (uint64_t k = sub.first; k < sub.first + sub.count; k++)
    if (!gl.segs[k].valid) return false;
  return true;
}

Wide ClockwiseDoubledArea(const GlNodes& gl, const GlSubsector& sub) {
  Wide sum = 0;
  for (uint64_t k = sub.first; k < sub.first + sub.count; k++) {
    const GlPoint& a = gl.vertexes[gl.segs[k].v1];
    const GlPoint& b = gl.vertexes[gl.segs[k].v2];
    sum += Wide{a.y} * b.x - Wide{a.x} * b.y;
  }
  return sum;
}

int GlSubsectorSector(const MapLevel& level, const GlSubsector& sub) {
  for (uint64_t k = sub.first; k < sub.first + sub.count && k < level.gl.segs.size(); k++) {
    const GlSeg& seg = level.gl.segs[k];
    if (seg.valid && !seg.miniseg) return SideSector(level, level.lines[seg.line].side[seg.side]);
  }
  return -1;
}

void CheckGlPolygons(const MapLevel& level, const LevelCheckOptions& options, Findings* findings,
                     LevelCheckStats* stats) {
  const GlNodes& gl = level.gl;
  for (int s = 0; s < static_cast<int>(gl.subsectors.size()); s++) {
    const GlSubsector& sub = gl.subsectors[s];
    if (sub.count == 0) {
      findings->Problem("SSECTORS", s, "GL subsector %d has no seg", s);
      continue;
    }
    if (sub.first + sub.count > gl.segs.size()) {
      findings->Problem("SSECTORS", s, "GL subsector %d holds GL segs %llu to %llu, there are %zu", s,
                        static_cast<unsigned long long>(sub.first),
                        static_cast<unsigned long long>(sub.first + sub.count - 1), gl.segs.size());
      continue;
    }
    CheckOneSector(level, s, findings);
    if (WholePolygon(gl, sub)) PolygonCheck(level, s, options, findings, stats).Run();
  }
}
