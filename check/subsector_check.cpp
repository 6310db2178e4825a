// SPDX-License-Identifier: GPL-2.0-or-later
// SSECTORS: each subsector a run of existing segs of one sector around a
// convex area, and each seg in one subsector.
#include <cmath>

#include "check/partition_checks.h"

namespace {

// The convexity test takes time as the square of a subsector's seg count;
// no convex piece of a real level comes near this many segs.
constexpr int kMostSegsChecked = 4096;

// Convex: no seg end point lies behind the line of another seg of the
// subsector (or of its linedef side). Reports the deepest such point, once
// per subsector.
void CheckConvex(const MapLevel& level, int s, const LevelCheckOptions& options, Findings* findings,
                 LevelCheckStats* stats) {
  const MapSubsector& sub = level.subsectors[s];
  const int vertexCount = static_cast<int>(level.vertexes.size());
  double deepest = options.convexTolerance;
  int worstSeg = -1, worstLine = -1;
  MapPoint worstPoint{0, 0}, lineStart{0, 0}, lineEnd{0, 0};
  for (int a = sub.first; a < sub.first + sub.count; a++) {
    const MapSeg& sa = level.segs[a];
    if (sa.v1 >= vertexCount || sa.v2 >= vertexCount) continue;
    MapPoint p = level.vertexes[sa.v1], q = level.vertexes[sa.v2];
    if (options.convexAlongLinedefs && sa.valid && level.lines[sa.line].valid) {
      const MapLine& line = level.lines[sa.line];
      p = level.vertexes[sa.direction == 0 ? line.v1 : line.v2];
      q = level.vertexes[sa.direction == 0 ? line.v2 : line.v1];
    }
    double length = std::hypot(double(q.x - p.x), double(q.y - p.y));
    if (length == 0) continue;
    for (int b = sub.first; b < sub.first + sub.count; b++) {
      if (b == a) continue;
      const MapSeg& sb = level.segs[b];
      for (int v : {sb.v1, sb.v2}) {
        if (v >= vertexCount) continue;
        const MapPoint& r = level.vertexes[v];
        double behind = (double(q.x - p.x) * (r.y - p.y) - double(q.y - p.y) * (r.x - p.x)) / length;
        stats->convexDepth = std::max(stats->convexDepth, behind);
        if (behind > deepest) {
          deepest = behind;
          worstSeg = b;
          worstLine = a;
          worstPoint = r;
          lineStart = p;
          lineEnd = q;
        }
      }
    }
  }
  if (worstSeg >= 0) {
    findings->Problem("SSECTORS", s,
                      "subsector %d is not convex: seg %d ends at (%d,%d), %.2f behind the line of seg "
                      "%d, (%d,%d)-(%d,%d)",
                      s, worstSeg, worstPoint.x, worstPoint.y, deepest, worstLine, lineStart.x, lineStart.y,
                      lineEnd.x, lineEnd.y);
  }
}

}  // namespace

void CheckSubsectors(const MapLevel& level, const LevelCheckOptions& options, Findings* findings,
                     LevelCheckStats* stats) {
  const int segCount = static_cast<int>(level.segs.size());
  std::vector<int> owner(segCount, -1);
  for (int s = 0; s < static_cast<int>(level.subsectors.size()); s++) {
    const MapSubsector& sub = level.subsectors[s];
    if (sub.count == 0) {
      findings->Problem("SSECTORS", s, "subsector %d has no seg", s);
      continue;
    }
    if (sub.first + sub.count > segCount) {
      findings->Problem("SSECTORS", s, "subsector %d holds segs %d to %d, SEGS has %d", s, sub.first,
                        sub.first + sub.count - 1, segCount);
      continue;
    }
    int sector = 0;
    bool sectorKnown = false, shared = false;
    for (int k = sub.first; k < sub.first + sub.count; k++) {
      if (owner[k] >= 0) {
        findings->Problem("SSECTORS", s, "seg %d belongs to subsectors %d and %d", k, owner[k], s);
        shared = true;
      } else {
        owner[k] = s;
      }
      const MapSeg& seg = level.segs[k];
      if (!seg.valid) continue;
      int own = SideSector(level, level.lines[seg.line].side[seg.direction]);
      if (!sectorKnown) {
        sector = own;
        sectorKnown = true;
      } else if (own != sector) {
        findings->Problem("SSECTORS", s, "subsector %d mixes sectors %d and %d (seg %d)", s, sector, own, k);
      }
    }
    if (sub.count > kMostSegsChecked) {
      findings->Problem("SSECTORS", s,
                        "subsector %d holds %d segs, more than a convex piece of a level can; its "
                        "convexity is not checked",
                        s, sub.count);
    } else if (!shared) {  // segs shared with another subsector are reported above
      CheckConvex(level, s, options, findings, stats);
    }
  }
  for (int k = 0; k < segCount; k++) {
    if (owner[k] < 0) findings->Problem("SEGS", k, "seg %d belongs to no subsector", k);
  }
}
