// SPDX-License-Identifier: GPL-2.0-or-later
// Real GL segs against LINEDEFS and SIDEDEFS, and their partners.
#include "check/gl_checks.h"

#include <algorithm>
#include <map>
#include <utility>

namespace {

const char* SideName(int side) { return side ? "left" : "right"; }

// A linedef side as a directed segment in fixed point, from its start.
struct SideLine {
  GlPoint start, end;
  GlVector along;
};

SideLine SideOf(const GlNodes& gl, const MapLine& line, int side) {
  GlPoint a = gl.vertexes[side == 0 ? line.v1 : line.v2];
  GlPoint b = gl.vertexes[side == 0 ? line.v2 : line.v1];
  return {a, b, Between(a, b)};
}

struct Piece {
  Wide start;  // the dot product of the seg's start with its side
  int seg;
};
using PieceMap = std::map<std::pair<uint32_t, int>, std::vector<Piece>>;

// The geometry of real seg i, whose numbers all exist; false when it does
// not lie along its side, so that it is left out of the side's cover.
bool CheckRealSeg(const MapLevel& level, int i, const LevelCheckOptions& options, Findings* findings,
                  LevelCheckStats* stats) {
  const GlNodes& gl = level.gl;
  const GlSeg& seg = gl.segs[i];
  const MapLine& line = level.lines[seg.line];
  if (line.side[seg.side] == kNoSideDef) {
    findings->Problem("SSECTORS", i, "GL seg %d lies on the %s side of linedef %u, which has no sidedef", i,
                      SideName(seg.side), seg.line);
    return false;
  }
  SideLine frame = SideOf(gl, line, seg.side);
  const GlPoint& p1 = gl.vertexes[seg.v1];
  const GlPoint& p2 = gl.vertexes[seg.v2];
  if (frame.along.Zero()) return false;  // a linedef of zero length: nothing to lie along
  const int tolerance = options.glTolerance;
  const Wide length2 = Dot(frame.along, frame.along);
  bool sound = true;
  for (const GlPoint& p : {p1, p2}) {
    GlVector from = Between(frame.start, p);
    Wide across = Cross(frame.along, from);
    stats->glLineDistance = std::max(stats->glLineDistance, FixedDistance(across, frame.along));
    if (!WithinTolerance(across, frame.along, tolerance)) {
      findings->Problem("SSECTORS", i, "GL seg %d %s-%s lies %.6f units off linedef %u", i,
                        PointText(p1).c_str(), PointText(p2).c_str(),
                        FixedDistance(across, frame.along) / 65536.0, seg.line);
      return false;
    }
    Wide along = Dot(frame.along, from);
    Wide beyond = along < 0 ? -along : along > length2 ? along - length2 : 0;
    if (!WithinTolerance(beyond, frame.along, tolerance)) {
      findings->Problem("SSECTORS", i, "GL seg %d %s-%s reaches %.6f units beyond the ends of linedef %u", i,
                        PointText(p1).c_str(), PointText(p2).c_str(),
                        FixedDistance(beyond, frame.along) / 65536.0, seg.line);
      sound = false;
    }
  }
  if (!(p1 == p2) && Dot(frame.along, Between(p1, p2)) <= 0) {
    findings->Problem("SSECTORS", i, "GL seg %d %s-%s runs against the %s side of linedef %u", i,
                      PointText(p1).c_str(), PointText(p2).c_str(), SideName(seg.side), seg.line);
    sound = false;
  }
  return sound;
}

// The linedefs that have the same two end points as another linedef.
std::vector<int> OverlappingLinedefs(const MapLevel& level) {
  std::map<std::pair<std::pair<int, int>, std::pair<int, int>>, int> first;
  std::vector<int> other(level.lines.size(), -1);
  for (size_t i = 0; i < level.lines.size(); i++) {
    const MapLine& line = level.lines[i];
    if (!line.valid) continue;
    // The stream's first vertexes are the linedefs' own, exact.
    std::pair<int, int> a(level.gl.vertexes[line.v1].x, level.gl.vertexes[line.v1].y);
    std::pair<int, int> b(level.gl.vertexes[line.v2].x, level.gl.vertexes[line.v2].y);
    auto found = first.insert({{std::min(a, b), std::max(a, b)}, static_cast<int>(i)});
    if (!found.second) {
      other[i] = found.first->second;
      if (other[found.first->second] < 0) other[found.first->second] = static_cast<int>(i);
    }
  }
  return other;
}

// Another linedef lying along linedef i over some of the stretch from a to
// b, its ends on i's line: -1 when there is none. Only one of two walls laid
// over each other can be a polygon's edge there.
int FindLinedefLyingOver(const MapLevel& level, size_t i, const GlPoint& a, const GlPoint& b) {
  // The linedefs' ends are the stream's first vertexes, exact.
  const MapLine& line = level.lines[i];
  const GlPoint& v1 = level.gl.vertexes[line.v1];
  const GlPoint& v2 = level.gl.vertexes[line.v2];
  const Wide dx = Wide{v2.x} - v1.x, dy = Wide{v2.y} - v1.y;
  auto at = [&](const GlPoint& p) { return (Wide{p.x} - v1.x) * dx + (Wide{p.y} - v1.y) * dy; };
  auto on = [&](const GlPoint& p) { return (Wide{p.x} - v1.x) * dy - (Wide{p.y} - v1.y) * dx == 0; };
  Wide low = std::min(at(a), at(b)), high = std::max(at(a), at(b));
  for (size_t j = 0; j < level.lines.size(); j++) {
    const MapLine& other = level.lines[j];
    if (j == i || !other.valid) continue;
    const GlPoint& w1 = level.gl.vertexes[other.v1];
    const GlPoint& w2 = level.gl.vertexes[other.v2];
    if (!on(w1) || !on(w2)) continue;
    Wide t1 = at(w1), t2 = at(w2);
    if (std::max(low, std::min(t1, t2)) < std::min(high, std::max(t1, t2))) return static_cast<int>(j);
  }
  return -1;
}

// The real segs of every side with a sidedef follow each other from the
// side's start to its end, each starting exactly where the one before ends.
void CheckGlCoverage(const MapLevel& level, PieceMap* pieces, Findings* findings) {
  const GlNodes& gl = level.gl;
  std::vector<int> overlapping = OverlappingLinedefs(level);
  for (size_t i = 0; i < level.lines.size(); i++) {
    const MapLine& line = level.lines[i];
    if (!line.valid) continue;
    for (int side = 0; side < 2; side++) {
      if (line.side[side] == kNoSideDef) continue;
      SideLine frame = SideOf(gl, line, side);
      if (frame.along.Zero()) continue;
      auto found = pieces->find({static_cast<uint32_t>(i), side});
      if (found == pieces->end()) {
        if (overlapping[i] >= 0) {
          findings->Warning("LINEDEFS", i,
                            "the %s side of linedef %zu has no GL seg: linedef %d has the same end points",
                            SideName(side), i, overlapping[i]);
        } else {
          findings->Problem("LINEDEFS", i, "the %s side of linedef %zu has no GL seg", SideName(side), i);
        }
        continue;
      }
      std::vector<Piece>& list = found->second;
      std::sort(list.begin(), list.end(), [](const Piece& a, const Piece& b) { return a.start < b.start; });
      GlPoint reached = frame.start;
      for (const Piece& piece : list) {
        const GlSeg& seg = gl.segs[piece.seg];
        const GlPoint& p1 = gl.vertexes[seg.v1];
        if (!(p1 == reached)) {
          bool gap = piece.start > Dot(frame.along, Between(frame.start, reached));
          int over = gap ? FindLinedefLyingOver(level, i, reached, p1) : -1;
          if (over >= 0) {
            findings->Warning(
                "LINEDEFS", i,
                "the %s side of linedef %zu is not covered from %s to %s (GL seg %d): linedef %d "
                "lies over it",
                SideName(side), i, PointText(reached).c_str(), PointText(p1).c_str(), piece.seg, over);
          } else {
            findings->Problem("LINEDEFS", i, "the %s side of linedef %zu is %s from %s to %s (GL seg %d)",
                              SideName(side), i, gap ? "not covered" : "covered twice",
                              PointText(gap ? reached : p1).c_str(), PointText(gap ? p1 : reached).c_str(),
                              piece.seg);
          }
        }
        const GlPoint& p2 = gl.vertexes[seg.v2];
        if (Dot(frame.along, Between(reached, p2)) > 0) reached = p2;
      }
      int over = reached == frame.end ? -1 : FindLinedefLyingOver(level, i, reached, frame.end);
      if (over >= 0) {
        findings->Warning("LINEDEFS", i,
                          "the GL segs of the %s side of linedef %zu end at %s, the side at %s: "
                          "linedef %d lies over the rest",
                          SideName(side), i, PointText(reached).c_str(), PointText(frame.end).c_str(), over);
      } else if (!(reached == frame.end)) {
        findings->Problem("LINEDEFS", i,
                          "the GL segs of the %s side of linedef %zu end at %s, the side at %s",
                          SideName(side), i, PointText(reached).c_str(), PointText(frame.end).c_str());
      }
    }
  }
}

}  // namespace

std::string GlSegText(const GlSeg& seg) {
  if (seg.miniseg) return "a miniseg";
  return Format("the %s side of linedef %u", SideName(seg.side), seg.line);
}

void CheckGlSegs(const MapLevel& level, const LevelCheckOptions& options, Findings* findings,
                 LevelCheckStats* stats) {
  const GlNodes& gl = level.gl;
  PieceMap pieces;
  for (int i = 0; i < static_cast<int>(gl.segs.size()); i++) {
    const GlSeg& seg = gl.segs[i];
    if (!seg.valid || seg.miniseg) continue;
    if (!CheckRealSeg(level, i, options, findings, stats)) continue;
    const SideLine frame = SideOf(gl, level.lines[seg.line], seg.side);
    if (gl.vertexes[seg.v1] == gl.vertexes[seg.v2]) continue;  // covers nothing; the polygon check says so
    pieces[{seg.line, seg.side}].push_back({Dot(frame.along, Between(frame.start, gl.vertexes[seg.v1])), i});
  }
  CheckGlCoverage(level, &pieces, findings);
}

void CheckGlPartners(const MapLevel& level, Findings* findings) {
  const GlNodes& gl = level.gl;
  for (int i = 0; i < static_cast<int>(gl.segs.size()); i++) {
    const GlSeg& seg = gl.segs[i];
    if (!seg.valid) continue;
    const bool oneSided = !seg.miniseg && level.lines[seg.line].side[1 - seg.side] == kNoSideDef;
    if (seg.partner == kGlNone) {
      // The edge of a level that does not close, or a two-sided linedef
      // that faces the void: the builder has nothing to pair it with.
      if (!oneSided) {
        findings->Warning("SSECTORS", i, "GL seg %d, %s, has no partner: nothing lies beyond it", i,
                          GlSegText(seg).c_str());
      }
      continue;
    }
    const auto p = static_cast<int>(seg.partner);
    const GlSeg& other = gl.segs[p];
    if (oneSided) {
      findings->Problem("SSECTORS", i, "GL seg %d lies on one-sided linedef %u but names partner %d", i,
                        seg.line, p);
      continue;
    }
    if (!other.valid) continue;
    if (other.partner != static_cast<uint32_t>(i)) {
      std::string back = other.partner == kGlNone ? "none" : std::to_string(other.partner);
      findings->Problem("SSECTORS", i, "GL seg %d names partner %d, whose partner is %s", i, p, back.c_str());
      continue;
    }
    if (p < i) continue;  // the pair was checked from its first seg
    bool sameLine = seg.miniseg ? other.miniseg : !other.miniseg && other.line == seg.line;
    if (!sameLine || (!seg.miniseg && other.side == seg.side)) {
      findings->Problem("SSECTORS", i, "GL seg %d, %s, and its partner %d, %s, are not two sides of one edge",
                        i, GlSegText(seg).c_str(), p, GlSegText(other).c_str());
      continue;
    }
    if (!(gl.vertexes[seg.v1] == gl.vertexes[other.v2] && gl.vertexes[seg.v2] == gl.vertexes[other.v1])) {
      findings->Problem("SSECTORS", i,
                        "GL seg %d %s-%s and its partner %d %s-%s do not cover one stretch in opposite "
                        "directions",
                        i, PointText(gl.vertexes[seg.v1]).c_str(), PointText(gl.vertexes[seg.v2]).c_str(), p,
                        PointText(gl.vertexes[other.v1]).c_str(), PointText(gl.vertexes[other.v2]).c_str());
    }
  }
}

void CheckGlNodes(const MapLevel& level, const LevelCheckOptions& options, Findings* findings,
                  LevelCheckStats* stats) {
  const GlNodes& gl = level.gl;
  stats->glFormat = gl.format;
  stats->glSegs = static_cast<int>(gl.segs.size());
  stats->glSubsectors = static_cast<int>(gl.subsectors.size());
  stats->glNodes = static_cast<int>(gl.nodes.size());
  if (!gl.decoded) return;
  if (gl.subsectors.empty())
    findings->Problem("SSECTORS", -1, "the %s stream has no subsector", gl.format.c_str());
  CheckGlSegs(level, options, findings, stats);
  CheckGlPartners(level, findings);
  CheckGlPolygons(level, options, findings, stats);
  CheckGlTree(level, options, findings, stats);
  CheckGlAreas(level, options, findings, stats);
}
