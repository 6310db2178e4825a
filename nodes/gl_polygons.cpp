// SPDX-License-Identifier: GPL-2.0-or-later
// Regions clipped by lines, and the loops of the leaves.
#include "nodes/gl_polygons.h"

#include <algorithm>

#include "nodes/gl_lines.h"
#include "nodes/tuning.h"

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

// The side of p against the line, as FindFixedSide gives it: in 64 bits
// from the line's canonical direction when that is short (always in a
// binary level), where the product takes 63 bits at most.
int FindSideOf(const GlEdgeLine& line, FixedPoint p) {
  if (line.lineId >= 0 && Tuning.glShortProducts) {
    const GlLineKey& key = GlLines[static_cast<size_t>(line.lineId)];
    const int64_t shortDelta = int64_t{1} << 28;
    if (key.dx < shortDelta && key.dx > -shortDelta && key.dy < shortDelta && key.dy > -shortDelta) {
      int64_t dx = line.forward ? key.dx : -key.dx, dy = line.forward ? key.dy : -key.dy;
      int64_t product = (static_cast<int64_t>(p.x) - line.line.start.x) * dy -
                        (static_cast<int64_t>(p.y) - line.line.start.y) * dx;
      return product > 0 ? 1 : (product < 0 ? -1 : 0);
    }
  }
  return FindFixedSide(line.line, p);
}

bool IsSameWay(const GlEdgeLine& a, const GlEdgeLine& b) {
  return a.lineId == b.lineId && a.forward == b.forward;
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
      if (IsSameWay(edges[next].along, edges[i].along)) {
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
  // north. The box's sides are numbered -1 to -4: no seg lies on them.
  return {{nw, {{nw, ne}, -1, true}},
          {ne, {{ne, se}, -2, true}},
          {se, {{se, sw}, -3, true}},
          {sw, {{sw, nw}, -4, true}}};
}

GlRegion ClipRegion(const GlRegion& region, const GlEdgeLine& clip) {
  GlRegion kept;
  const size_t count = region.size();
  if (count == 0) return kept;
  const FixedLine& line = clip.line;
  int sideBuffer[64];
  std::vector<int> sideVector;
  int* sides = sideBuffer;
  if (count > 64) {
    sideVector.resize(count);
    sides = sideVector.data();
  }
  bool anyDropped = false;
  for (size_t i = 0; i < count; i++) {
    sides[i] = FindSideOf(clip, region[i].corner);
    anyDropped = anyDropped || sides[i] < 0;
  }
  if (!anyDropped) {
    // All of it is kept; an edge along the line takes the line's number.
    kept = region;
    for (size_t i = 0; i < count; i++)
      if (sides[i] == 0 && sides[(i + 1) % count] == 0 && DotOf(region[i].along.line, line) > 0)
        kept[i].along = clip;
    TidyRegion(&kept);
    return kept;
  }
  for (size_t i = 0; i < count; i++) {
    const GlEdge& edge = region[i];
    int a = sides[i], b = sides[(i + 1) % count];
    if (a > 0) {
      kept.push_back(edge);
      if (b < 0) kept.push_back({CrossingOr(line, edge.along.line, edge.corner), clip});
    } else if (a == 0) {
      if (b > 0) {
        kept.push_back(edge);
      } else if (b < 0 || DotOf(edge.along.line, line) > 0) {
        // Leaving the kept side here, or running along the line itself.
        kept.push_back({edge.corner, clip});
      }
    } else if (b > 0) {
      kept.push_back({CrossingOr(line, edge.along.line, edge.corner), edge.along});
    }
  }
  TidyRegion(&kept);
  return kept;
}

// True when both ends of the seg lie within a step or so of the line (the
// side product is the distance times the line's length, which |dx| + |dy|
// bounds from above).
bool LiesNearlyOn(const FixedLine& line, const GlBuildSeg& seg) {
  Wide near =
      (line.end.x > line.start.x ? Wide{line.end.x} - line.start.x : Wide{line.start.x} - line.end.x) +
      (line.end.y > line.start.y ? Wide{line.end.y} - line.start.y : Wide{line.start.y} - line.end.y);
  Wide l = ComputeFixedSideProduct(line, seg.start), m = ComputeFixedSideProduct(line, seg.end);
  return l <= near && l >= -near && m <= near && m >= -near;
}

std::vector<GlLoopSeg> MakeLeafLoop(const GlRegion& cell, const std::vector<GlBuildSeg>& segs,
                                    int32_t* walls) {
  // Each wall clips the region, except one lying along an edge already
  // there, on a line of its own within a step of the edge's: it is that
  // edge's wall (clipped by its own line it would leave a sliver of no
  // width, or nothing).
  GlRegion polygon = cell;
  std::vector<GlEdgeLine> edgeOf(segs.size());
  for (size_t i = 0; i < segs.size(); i++) {
    const GlBuildSeg& seg = segs[i];
    edgeOf[i] = GlEdgeLine{seg.line, seg.lineId, seg.forward};
    for (const GlEdge& edge : polygon) {
      if (edge.along.lineId != seg.lineId && DotOf(edge.along.line, seg.line) > 0 &&
          LiesNearlyOn(edge.along.line, seg)) {
        edgeOf[i] = edge.along;
        break;
      }
    }
    if (edgeOf[i].lineId == seg.lineId) polygon = ClipRegion(polygon, edgeOf[i]);
  }
  std::vector<GlLoopSeg> loop;
  *walls = 0;
  const size_t count = polygon.size();
  std::vector<const GlBuildSeg*> along;
  for (size_t e = 0; e < count; e++) {
    const GlEdge& edge = polygon[e];
    FixedPoint from = edge.corner, to = polygon[(e + 1) % count].corner;
    along.clear();
    for (size_t i = 0; i < segs.size(); i++)
      if (segs[i].start != segs[i].end && IsSameWay(edgeOf[i], edge.along)) along.push_back(&segs[i]);
    const FixedLine& line = edge.along.line;
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
        loop.push_back({at, seg->start, edge.along.lineId, -1, edge.along.forward, 0});
        at = seg->start;
        atPosition = start;
      }
      FixedPoint stop = end < toPosition ? seg->end : to;
      loop.push_back({at, stop, edge.along.lineId, seg->lineDef, edge.along.forward, seg->side});
      ++*walls;
      at = stop;
      atPosition = end < toPosition ? end : toPosition;
    }
    if (atPosition < toPosition) loop.push_back({at, to, edge.along.lineId, -1, edge.along.forward, 0});
  }
  return loop;
}
