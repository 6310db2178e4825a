// SPDX-License-Identifier: GPL-2.0-or-later
// The GL polygons' area against the sectors'. A sector's area is the
// shoelace sum over the linedef sides that face it, each run the way that
// keeps the sector on its right; inner loops (pillars, holes) then count
// negative, and any number of loops add up. The sum means something only
// where the sides close: at every point, as many of them start as end.
#include <algorithm>
#include <cmath>
#include <utility>

#include "check/gl_checks.h"

namespace {

// A sector side's end at a point: +1 where it starts, -1 where it ends.
struct Crossing {
  int sector;
  int32_t x, y;  // fixed point
  int change;
  bool operator<(const Crossing& o) const {
    return sector != o.sector ? sector < o.sector : x != o.x ? x < o.x : y < o.y;
  }
};

// The first point of each sector where its sides do not close, and how
// many more of them start there than end; whether all sides together close.
struct Closure {
  std::vector<bool> open;
  bool levelCloses = true;
};

// Without findings, nothing is reported.
Closure FindOpenSectors(const MapLevel& level, const std::vector<Crossing>& ends, Findings* findings) {
  Closure closure;
  closure.open.assign(level.sectors.size(), false);
  std::vector<Crossing> sorted = ends;
  std::sort(sorted.begin(), sorted.end());
  for (size_t i = 0; i < sorted.size();) {
    size_t j = i;
    int balance = 0;
    while (j < sorted.size() && !(sorted[i] < sorted[j])) balance += sorted[j++].change;
    const Crossing& at = sorted[i];
    if (balance != 0 && !closure.open[at.sector]) {
      closure.open[at.sector] = true;
      if (findings != nullptr)
        findings->Warning("SECTORS", at.sector,
                          "sector %d does not close: %d more of its sides %s at %s than %s there", at.sector,
                          std::abs(balance), balance > 0 ? "start" : "end",
                          PointText(GlPoint{at.x, at.y}).c_str(), balance > 0 ? "end" : "start");
    }
    i = j;
  }
  // Across all sectors, a two-sided linedef's two sides cancel.
  for (Crossing& end : sorted) end.sector = 0;
  std::sort(sorted.begin(), sorted.end());
  for (size_t i = 0; i < sorted.size();) {
    size_t j = i;
    int balance = 0;
    while (j < sorted.size() && !(sorted[i] < sorted[j])) balance += sorted[j++].change;
    if (balance != 0) closure.levelCloses = false;
    i = j;
  }
  return closure;
}

}  // namespace

std::vector<bool> FindSectorsThatDoNotClose(const MapLevel& level) {
  std::vector<Crossing> ends;
  for (const MapLine& line : level.lines) {
    if (!line.valid) continue;
    for (int side = 0; side < 2; side++) {
      if (line.side[side] == kNoSideDef) continue;
      int sector = SideSector(level, line.side[side]);
      if (sector < 0 || sector >= static_cast<int>(level.sectors.size())) continue;
      const GlPoint& a = level.gl.vertexes[side == 0 ? line.v1 : line.v2];
      const GlPoint& b = level.gl.vertexes[side == 0 ? line.v2 : line.v1];
      ends.push_back({sector, a.x, a.y, 1});
      ends.push_back({sector, b.x, b.y, -1});
    }
  }
  return FindOpenSectors(level, ends, nullptr).open;
}

void CheckGlAreas(const MapLevel& level, const LevelCheckOptions& options, Findings* findings,
                  LevelCheckStats* stats) {
  const GlNodes& gl = level.gl;
  const size_t sectorCount = level.sectors.size();
  // Doubled areas, clockwise positive, in 1/65536² units (the linedefs'
  // ends are the stream's first vertexes, exact), and what rounding may
  // take from the polygons: a real seg may lie the tolerance off its
  // linedef.
  std::vector<Wide> sides(sectorCount, 0);
  std::vector<Wide> polygons(sectorCount, 0), slack(sectorCount, 0);
  std::vector<Crossing> ends;
  bool everySideCounted = true;
  for (const MapLine& line : level.lines) {
    if (!line.valid) continue;
    for (int side = 0; side < 2; side++) {
      if (line.side[side] == kNoSideDef) continue;
      int sector = SideSector(level, line.side[side]);
      if (sector < 0 || sector >= static_cast<int>(sectorCount)) {
        everySideCounted = false;
        continue;
      }
      const GlPoint& a = gl.vertexes[side == 0 ? line.v1 : line.v2];
      const GlPoint& b = gl.vertexes[side == 0 ? line.v2 : line.v1];
      sides[sector] += Wide{a.y} * b.x - Wide{a.x} * b.y;
      ends.push_back({sector, a.x, a.y, 1});
      ends.push_back({sector, b.x, b.y, -1});
    }
  }
  bool everyPolygonCounted = true;
  for (const GlSubsector& sub : gl.subsectors) {
    int sector = GlSubsectorSector(level, sub);
    if (!WholePolygon(gl, sub) || sector < 0 || sector >= static_cast<int>(sectorCount)) {
      everyPolygonCounted = false;
      continue;
    }
    polygons[sector] += ClockwiseDoubledArea(gl, sub);
    for (uint64_t k = sub.first; k < sub.first + sub.count; k++) {
      const GlSeg& seg = gl.segs[k];
      if (seg.miniseg) continue;
      GlVector along = Between(gl.vertexes[seg.v1], gl.vertexes[seg.v2]);
      slack[sector] += 2 * Wide{options.glTolerance} * static_cast<Wide>(FixedLength(along));
    }
  }
  Closure closure = FindOpenSectors(level, ends, findings);
  Wide totalSides = 0, totalPolygons = 0, totalSlack = 0;
  for (size_t s = 0; s < sectorCount; s++) {
    Wide enclosed = sides[s];
    totalSides += enclosed;
    totalPolygons += polygons[s];
    totalSlack += slack[s];
    Wide difference = polygons[s] - enclosed;
    if (!closure.open[s] && (difference > slack[s] || -difference > slack[s])) {
      findings->Warning("SECTORS", s,
                        "the GL subsectors of sector %zu cover %.4f square units, its sides enclose %.4f", s,
                        SquareUnits(polygons[s]), SquareUnits(enclosed));
    }
  }
  if (!closure.levelCloses || !everySideCounted || !everyPolygonCounted) return;
  Wide difference = totalPolygons - totalSides;
  stats->glAreaError = std::fabs(SquareUnits(difference));
  if (difference > totalSlack || -difference > totalSlack) {
    findings->Problem("SSECTORS", -1,
                      "the GL subsectors cover %.4f square units, the sectors' sides enclose %.4f",
                      SquareUnits(totalPolygons), SquareUnits(totalSides));
  }
}
