// SPDX-License-Identifier: GPL-2.0-or-later
// SEGS against LINEDEFS and SIDEDEFS: each seg along its side, and each
// used side covered once.
#include <algorithm>
#include <cmath>
#include <map>
#include <utility>

#include "check/partition_checks.h"

namespace {

constexpr double kPi = 3.14159265358979323846;

// Binary angle of a direction, as a real number in [0, 65536).
double BinaryAngle(double dx, double dy) {
  double a = std::atan2(dy, dx) * 32768.0 / kPi;
  if (a < 0) a += 65536.0;
  return a;
}

int AngleDifference(int a, double b) {
  double d = std::fabs(a - b);
  d = std::fmod(d, 65536.0);
  if (d > 32768.0) d = 65536.0 - d;
  return static_cast<int>(std::ceil(d - 1e-9));
}

// A linedef side as a directed segment from its start.
struct SideFrame {
  double x0, y0, ux, uy, length;
  // Distance along the side and distance from its line (positive left).
  void Place(const MapPoint& p, double* along, double* across) const {
    double px = p.x - x0, py = p.y - y0;
    if (length == 0) {
      *along = 0;
      *across = std::hypot(px, py);
      return;
    }
    *along = px * ux + py * uy;
    *across = ux * py - uy * px;
  }
};

SideFrame FrameOf(const MapLevel& level, const MapLine& line, int direction) {
  MapPoint a = level.vertexes[direction == 0 ? line.v1 : line.v2];
  MapPoint b = level.vertexes[direction == 0 ? line.v2 : line.v1];
  SideFrame frame{double(a.x), double(a.y), 0, 0, std::hypot(double(b.x - a.x), double(b.y - a.y))};
  if (frame.length > 0) {
    frame.ux = (b.x - a.x) / frame.length;
    frame.uy = (b.y - a.y) / frame.length;
  }
  return frame;
}

const char* SideName(int direction) { return direction ? "left" : "right"; }

struct Piece {
  double start, end;
  int seg;
};
using PieceMap = std::map<std::pair<int, int>, std::vector<Piece>>;

// The geometry of one seg whose references all exist; returns its piece of
// the side.
Piece CheckSegGeometry(const MapLevel& level, int i, const LevelCheckOptions& options, Findings* findings,
                       LevelCheckStats* stats) {
  const MapSeg& seg = level.segs[i];
  const MapLine& line = level.lines[seg.line];
  SideFrame frame = FrameOf(level, line, seg.direction);
  const MapPoint& p1 = level.vertexes[seg.v1];
  const MapPoint& p2 = level.vertexes[seg.v2];
  double along1, across1, along2, across2;
  frame.Place(p1, &along1, &across1);
  frame.Place(p2, &along2, &across2);
  double off = std::max(std::fabs(across1), std::fabs(across2));
  stats->lineDistance = std::max(stats->lineDistance, off);
  if (off > options.lineTolerance) {
    findings->Problem("SEGS", i, "seg %d (%d,%d)-(%d,%d) lies %.2f units off linedef %d", i, p1.x, p1.y, p2.x,
                      p2.y, off, seg.line);
  }
  double beyond = std::max({-along1, -along2, along1 - frame.length, along2 - frame.length, 0.0});
  stats->lineDistance = std::max(stats->lineDistance, beyond);
  if (beyond > options.lineTolerance) {
    findings->Problem("SEGS", i, "seg %d (%d,%d)-(%d,%d) reaches %.2f units beyond the ends of linedef %d", i,
                      p1.x, p1.y, p2.x, p2.y, beyond, seg.line);
  }
  if (p1 == p2) {
    if (frame.length > 0 && !options.allowZeroLengthSegs)
      findings->Problem("SEGS", i, "seg %d of linedef %d has zero length at (%d,%d)", i, seg.line, p1.x,
                        p1.y);
  } else if (frame.length > 0 && along2 <= along1) {
    findings->Problem("SEGS", i, "seg %d (%d,%d)-(%d,%d) runs against the %s side of linedef %d", i, p1.x,
                      p1.y, p2.x, p2.y, SideName(seg.direction), seg.line);
  }
  // Extended segs carry no angle and no offset: the engine works them out.
  if (!level.segAnglesStored) return {along1, along2, i};
  if (frame.length > 0) {
    int error = AngleDifference(seg.angle, BinaryAngle(frame.ux, frame.uy));
    if (options.angleFromSegVertexes && !(p1 == p2))
      error = std::min(error, AngleDifference(seg.angle, BinaryAngle(p2.x - p1.x, p2.y - p1.y)));
    stats->angleError = std::max(stats->angleError, error);
    if (error > options.angleTolerance) {
      findings->Problem("SEGS", i, "seg %d has angle %d, its side of linedef %d runs at %.1f", i, seg.angle,
                        seg.line, BinaryAngle(frame.ux, frame.uy));
    }
  }
  double distance = std::hypot(p1.x - frame.x0, p1.y - frame.y0);
  double offsetError = std::fabs(seg.offset - distance);
  stats->offsetError = std::max(stats->offsetError, offsetError);
  if (offsetError > options.offsetTolerance) {
    findings->Problem("SEGS", i,
                      "seg %d has offset %d, its start lies %.2f from the start of its side of linedef %d", i,
                      seg.offset, distance, seg.line);
  }
  return {along1, along2, i};
}

// The linedefs that have the same two end points as another linedef.
std::vector<bool> OverlappedLinedefs(const MapLevel& level) {
  std::map<std::pair<std::pair<int, int>, std::pair<int, int>>, int> first;
  std::vector<bool> overlapped(level.lines.size(), false);
  for (size_t i = 0; i < level.lines.size(); i++) {
    const MapLine& line = level.lines[i];
    if (!line.valid) continue;
    std::pair<int, int> a(level.vertexes[line.v1].x, level.vertexes[line.v1].y);
    std::pair<int, int> b(level.vertexes[line.v2].x, level.vertexes[line.v2].y);
    auto found = first.insert({{std::min(a, b), std::max(a, b)}, static_cast<int>(i)});
    if (!found.second) overlapped[i] = overlapped[found.first->second] = true;
  }
  return overlapped;
}

// Every side with a sidedef is covered by its segs exactly once.
void CheckCoverage(const MapLevel& level, const PieceMap& pieces, const LevelCheckOptions& options,
                   Findings* findings, LevelCheckStats* stats) {
  const int lineCount = static_cast<int>(level.lines.size());
  std::vector<bool> overlapped;
  if (options.allowOverlappedLinedefs) overlapped = OverlappedLinedefs(level);
  for (int i = 0; i < lineCount; i++) {
    const MapLine& line = level.lines[i];
    if (!line.valid) continue;
    for (int direction = 0; direction < 2; direction++) {
      if (line.side[direction] == kNoSideDef) continue;  // segs there are reported as segs
      SideFrame frame = FrameOf(level, line, direction);
      if (frame.length == 0) continue;  // nothing to cover
      auto found = pieces.find({i, direction});
      if (found == pieces.end()) {
        if (options.allowOverlappedLinedefs && overlapped[i]) continue;
        findings->Problem("LINEDEFS", i, "the %s side of linedef %d has no seg", SideName(direction), i);
        continue;
      }
      std::vector<Piece> list = found->second;
      std::sort(list.begin(), list.end(), [](const Piece& a, const Piece& b) { return a.start < b.start; });
      double reached = 0;
      for (size_t k = 0; k < list.size(); k++) {
        double gap = list[k].start - reached;
        stats->coverageError = std::max(stats->coverageError, std::fabs(gap));
        if (gap > options.coverageTolerance) {
          findings->Problem("LINEDEFS", i,
                            "the %s side of linedef %d is not covered from %.1f to %.1f (length %.1f)",
                            SideName(direction), i, reached, list[k].start, frame.length);
        } else if (gap < -options.coverageTolerance) {
          findings->Problem(
              "LINEDEFS", i, "the %s side of linedef %d is covered twice from %.1f to %.1f (seg %d)",
              SideName(direction), i, list[k].start, std::min(reached, list[k].end), list[k].seg);
        }
        reached = k == 0 ? list[k].end : std::max(reached, list[k].end);
      }
      double tail = frame.length - reached;
      stats->coverageError = std::max(stats->coverageError, std::fabs(tail));
      if (std::fabs(tail) > options.coverageTolerance) {
        findings->Problem("LINEDEFS", i,
                          "the segs of the %s side of linedef %d end at %.1f, the side at %.1f",
                          SideName(direction), i, reached, frame.length);
      }
    }
  }
}

}  // namespace

void CheckSegs(MapLevel& level, const LevelCheckOptions& options, Findings* findings,
               LevelCheckStats* stats) {
  const int vertexCount = static_cast<int>(level.vertexes.size());
  const int lineCount = static_cast<int>(level.lines.size());
  PieceMap pieces;
  for (int i = 0; i < static_cast<int>(level.segs.size()); i++) {
    MapSeg& seg = level.segs[i];
    if (seg.v1 >= vertexCount || seg.v2 >= vertexCount) {
      findings->Problem("SEGS", i, "seg %d names vertexes %d and %d, VERTEXES has %d", i, seg.v1, seg.v2,
                        vertexCount);
      continue;
    }
    if (seg.line >= lineCount) {
      findings->Problem("SEGS", i, "seg %d names linedef %d, LINEDEFS has %d", i, seg.line, lineCount);
      continue;
    }
    if (seg.direction != 0 && seg.direction != 1) {
      findings->Problem("SEGS", i, "seg %d has direction %d", i, seg.direction);
      continue;
    }
    const MapLine& line = level.lines[seg.line];
    if (line.side[seg.direction] == kNoSideDef) {
      findings->Problem("SEGS", i, "seg %d lies on the %s side of linedef %d, which has no sidedef", i,
                        SideName(seg.direction), seg.line);
      continue;
    }
    seg.valid = true;
    if (!line.valid) continue;
    Piece piece = CheckSegGeometry(level, i, options, findings, stats);
    bool zeroLength = level.vertexes[seg.v1] == level.vertexes[seg.v2];
    if (!(zeroLength && options.allowZeroLengthSegs)) pieces[{seg.line, seg.direction}].push_back(piece);
  }
  CheckCoverage(level, pieces, options, findings, stats);
}
