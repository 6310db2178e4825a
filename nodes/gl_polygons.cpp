// SPDX-License-Identifier: GPL-2.0-or-later
// Regions clipped by lines, and the loops of the leaves.
#include "nodes/gl_polygons.h"

#include <algorithm>

namespace {

using Wide = __int128;

Wide DotOf(const FixedLine& a, const FixedLine& b) {
  return (static_cast<Wide>(a.end.x) - a.start.x) * (static_cast<Wide>(b.end.x) - b.start.x) +
         (static_cast<Wide>(a.end.y) - a.start.y) * (static_cast<Wide>(b.end.y) - b.start.y);
}

// The position of a point along the line, in units of its squared length:
// larger is further the line's way.
Wide PositionAlong(const FixedLine& line, FixedPoint p) {
  return (static_cast<Wide>(p.x) - line.start.x) * (static_cast<Wide>(line.end.x) - line.start.x) +
         (static_cast<Wide>(p.y) - line.start.y) * (static_cast<Wide>(line.end.y) - line.start.y);
}

FixedPoint CrossingOr(const FixedLine& a, const FixedLine& b, FixedPoint otherwise) {
  FixedPoint p;
  return ComputeLineCrossing(a, b, &p) ? p : otherwise;
}

bool RunsOn(const GlEdge& next, const GlEdge& edge) {
  return AreOneLine(edge.line, next.line) && DotOf(edge.line, next.line) > 0;
}

// Drops edges of no length and joins an edge to the one before it along
// the same line, until neither is left; fewer than three edges leave
// nothing.
void TidyRegion(GlRegion* region) {
  GlRegion& edges = *region;
  bool changed = true;
  while (changed && edges.size() >= 3) {
    changed = false;
    for (size_t i = 0; i < edges.size() && edges.size() >= 3; i++) {
      size_t next = (i + 1) % edges.size();
      if (edges[i].corner == edges[next].corner) {
        // The edge has no length; the next one starts where it did.
        edges.erase(edges.begin() + static_cast<std::ptrdiff_t>(i));
        changed = true;
        break;
      }
      if (RunsOn(edges[next], edges[i])) {
        edges.erase(edges.begin() + static_cast<std::ptrdiff_t>(next));
        changed = true;
        break;
      }
    }
  }
  if (edges.size() < 3) edges.clear();
}

}  // namespace

GlRegion MakeBoxRegion(FixedPoint low, FixedPoint high) {
  FixedPoint nw = {low.x, high.y}, ne = high, se = {high.x, low.y}, sw = low;
  // Clockwise from the north-west corner: east along the top, south, west,
  // north.
  return {{nw, {nw, ne}}, {ne, {ne, se}}, {se, {se, sw}}, {sw, {sw, nw}}};
}

GlRegion ClipRegion(const GlRegion& region, const FixedLine& line) {
  GlRegion kept;
  const size_t count = region.size();
  if (count == 0) return kept;
  std::vector<int> sides(count);
  for (size_t i = 0; i < count; i++) sides[i] = FindFixedSide(line, region[i].corner);
  for (size_t i = 0; i < count; i++) {
    const GlEdge& edge = region[i];
    int a = sides[i], b = sides[(i + 1) % count];
    if (a > 0) {
      kept.push_back(edge);
      if (b < 0) kept.push_back({CrossingOr(line, edge.line, edge.corner), line});
    } else if (a == 0) {
      if (b > 0) {
        kept.push_back(edge);
      } else if (b < 0 || DotOf(edge.line, line) > 0) {
        // Leaving the kept side here, or running along the line itself.
        kept.push_back({edge.corner, line});
      }
    } else if (b > 0) {
      kept.push_back({CrossingOr(line, edge.line, edge.corner), edge.line});
    }
  }
  TidyRegion(&kept);
  return kept;
}

std::vector<GlLoopSeg> MakeLeafLoop(const GlRegion& cell, const std::vector<GlBuildSeg>& segs,
                                    int32_t* walls) {
  GlRegion polygon = cell;
  for (const GlBuildSeg& seg : segs) polygon = ClipRegion(polygon, seg.line);
  std::vector<GlLoopSeg> loop;
  *walls = 0;
  const size_t count = polygon.size();
  std::vector<const GlBuildSeg*> along;
  for (size_t e = 0; e < count; e++) {
    const GlEdge& edge = polygon[e];
    FixedPoint from = edge.corner, to = polygon[(e + 1) % count].corner;
    along.clear();
    for (const GlBuildSeg& seg : segs)
      if (seg.start != seg.end && AreOneLine(seg.line, edge.line) && DotOf(seg.line, edge.line) > 0)
        along.push_back(&seg);
    const FixedLine& line = edge.line;
    std::sort(along.begin(), along.end(), [&line](const GlBuildSeg* a, const GlBuildSeg* b) {
      return PositionAlong(line, a->start) < PositionAlong(line, b->start);
    });
    // Walk the edge: walls where there are walls, minisegs between them.
    FixedPoint at = from;
    Wide atPosition = PositionAlong(line, from), toPosition = PositionAlong(line, to);
    for (const GlBuildSeg* seg : along) {
      Wide start = PositionAlong(line, seg->start), end = PositionAlong(line, seg->end);
      if (end <= atPosition || start >= toPosition) continue;
      if (start > atPosition) {
        loop.push_back({at, seg->start, line, -1, 0});
        at = seg->start;
        atPosition = start;
      }
      FixedPoint stop = end < toPosition ? seg->end : to;
      loop.push_back({at, stop, seg->line, seg->lineDef, seg->side});
      ++*walls;
      at = stop;
      atPosition = end < toPosition ? end : toPosition;
    }
    if (atPosition < toPosition) loop.push_back({at, to, line, -1, 0});
  }
  return loop;
}
