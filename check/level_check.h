// SPDX-License-Identifier: GPL-2.0-or-later
// The level checker: reads the stored lumps of a level and tells whether
// its BSP (SEGS, SSECTORS, NODES), VERTEXES and BLOCKMAP are sound, whatever
// program built them. What only this program's own output must also be
// (its layout, its arithmetic, a rebuilt level against its input) is the
// tests' business, in tests/support/exact_check.h, and not in here.
#pragma once

#include <string>
#include <vector>

#include "check/findings.h"
#include "check/wad_image.h"

struct LevelCheckOptions {
  // Greatest distance, in map units, of a seg end point from its linedef's
  // line and beyond its linedef's ends. Cut points are rounded to whole
  // units, and later cuts of a cut piece drift further from the line.
  double lineTolerance = 3.0;
  // Greatest difference between a seg's offset and the distance of its
  // start from the start of its linedef side.
  double offsetTolerance = 3.0;
  // Greatest gap or overlap between the pieces of one linedef side.
  double coverageTolerance = 3.0;
  // Greatest difference, in binary angle units (65536 to the circle),
  // between a seg's angle and its linedef side's direction.
  int angleTolerance = 2;
  // Also accept an angle close to the direction of the seg's own end points
  // (other node builders take it from there; this program copies the angle
  // of the whole linedef side to every piece).
  bool angleFromSegVertexes = false;
  // Greatest distance a seg end point of a subsector may lie behind the
  // line of another seg of that subsector.
  double convexTolerance = 2.0;
  // Take the line of a seg, for convexity, from its linedef side rather
  // than from its own end points. A short piece between rounded cut points
  // can point well away from its linedef, and the line through it then
  // passes far from the subsector's true edge.
  bool convexAlongLinedefs = false;
  // Accept segs of zero length (two cuts rounded to one point): they cover
  // nothing and are never drawn.
  bool allowZeroLengthSegs = false;
  // Accept a linedef side without segs when another linedef has the same
  // two end points: builders drop such overlapping copies, whose wall the
  // other linedef's segs already draw.
  bool allowOverlappedLinedefs = false;
  // Greatest distance a seg end point may lie on the wrong side of the
  // partition line of a node above it.
  double sideTolerance = 3.0;
  // GL nodes: greatest distance, in 1/65536 units, of a GL vertex from a
  // line it should lie on: its linedef's, the partition lines above it (on
  // them for a miniseg's ends, or on the side taken). Split points are
  // rounded to the fixed-point grid, and a point rounded in both
  // coordinates lies up to 0.71 of a step off its line. A corner may lie
  // twice this behind the line between its neighbours, which are rounded
  // too, before its polygon counts as not convex.
  int glTolerance = 1;
};

// The settings for levels built by any program, vortane-check's: angles
// within 64 binary units of either the side's or the seg's own direction,
// convexity along the linedef sides, zero-length segs and overlapped
// linedefs accepted. The defaults above are the tighter tolerances this
// program's own output keeps.
LevelCheckOptions SoundnessOptions();

// The largest deviations seen, to tune the tolerances and to report.
struct LevelCheckStats {
  double lineDistance = 0;
  double offsetError = 0;
  int angleError = 0;
  double coverageError = 0;
  double convexDepth = 0;
  double sideDepth = 0;
  int vertexes = 0, segs = 0, subsectors = 0, nodes = 0, depth = 0;
  std::string nodeFormat;  // "" for the vanilla lumps, "XNOD" or "ZNOD"
  // GL nodes, when SSECTORS holds them: their counts; the largest distance
  // of a vertex off a line it should lie on or on the wrong side of a
  // partition line, and of a corner behind the line between its
  // neighbours (1/65536 units); and the difference between the polygons'
  // area and the sectors' (square units).
  std::string glFormat;
  int glSegs = 0, glSubsectors = 0, glNodes = 0;
  double glLineDistance = 0, glConvexDepth = 0, glAreaError = 0;
};

struct LevelReport {
  std::vector<Finding> findings;  // as listed: problems and warnings in the order found
  int problems = 0;               // every problem found, listed or not
  int warnings = 0;
  LevelCheckStats stats;
};

// Checks the partition of the level whose marker is entry `marker` of the
// WAD: SEGS against LINEDEFS and SIDEDEFS, SSECTORS, the NODES tree and
// BLOCKMAP, and the record counts against the original engine's limits
// (warnings); GL nodes in SSECTORS as closed polygons (check/gl_checks.h).
LevelReport CheckLevelAt(const WadImage& wad, int marker, const LevelCheckOptions& options);
// The same for the first level named `name`; a missing level is a problem.
LevelReport CheckLevelPartition(const WadImage& wad, const std::string& name,
                                const LevelCheckOptions& options);

// The summary line of a level: "LEVEL: sound (N segs, M subsectors, K
// nodes)", with ", W warnings" when there are any, or "LEVEL: P problems,
// W warnings". The counts name a format other than the vanilla lumps
// ("..., K nodes, XNOD nodes"); GL nodes beside extended ones follow after
// a semicolon ("...; N segs, M subsectors, K nodes, XGLN nodes").
std::string FormatSummary(const std::string& level, const LevelReport& report);
