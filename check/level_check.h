// SPDX-License-Identifier: GPL-2.0-or-later
// The level checker: reads the stored lumps of a level and tells whether
// its BSP (SEGS, SSECTORS, NODES), VERTEXES and BLOCKMAP are sound, whatever
// program built them; and, for this program's tests, whether a rebuilt
// level is exactly what this node builder writes.
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
  // Also require the BLOCKMAP this program writes: one shared empty list,
  // unshared lists in block order and nothing else in the lump; linedef
  // numbers in ascending order; no linedef listed in a block it does not
  // come near; linedefs without sidedefs listed too; and the grid placed
  // just around the linedefs. Without it, only what the game relies on is
  // required: every linedef with a sidedef listed in every block it
  // crosses, inside a grid that covers it.
  bool strictBlockmapLayout = true;
  // Check BLOCKMAP at all.
  bool checkBlockmap = true;
  // Also require every vertex after the linedefs' vertexes to be an end
  // point of some seg (rebuilt levels only).
  bool requireUsedCutPoints = true;
  // Also require the order this program writes the tree in: subsectors
  // whose segs follow each other through SEGS, numbered as a walk of the
  // tree meets them back (left) child first; nodes numbered after both
  // subtrees, the front (right) subtree first; and boxes that fit their
  // subtrees' segs exactly; and every partition line runs from the start of
  // a seg of its subtree to the end of a seg of the same linedef side (the
  // partition seg and its pieces).
  bool exactTreeLayout = true;
  // The root was placed by an axis mode, where the line may follow the cut
  // rather than a seg.
  bool axisRoot = false;
  // Also require this program's own arithmetic: every seg carries the angle
  // of its whole linedef side, atan2 of the side's direction in x87 extended
  // precision times 10430.378350470453131748627129, truncated (0 for a side
  // of zero length), and the offset is the distance from the side's start
  // to the seg's start, truncated.
  bool exactArithmetic = true;
  // GL nodes: greatest distance, in 1/65536 units, of a GL vertex from a
  // line it should lie on: its linedef's, the partition lines above it (on
  // them for a miniseg's ends, or on the side taken). Split points are
  // rounded to the fixed-point grid, and a point rounded in both
  // coordinates lies up to 0.71 of a step off its line. A corner may lie
  // twice this behind the line between its neighbours, which are rounded
  // too, before its polygon counts as not convex.
  int glTolerance = 1;
};

// The settings for levels built by any program: soundness only, none of
// this program's own layout or arithmetic, and angles within 64 binary
// units of either the side's or the seg's own direction.
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

// Checks a rebuilt level against the WAD it was built from: the directory
// and every lump outside the level unchanged, the output packed from offset
// 12 in directory order; THINGS, SIDEDEFS and SECTORS as read; REJECT sized
// for the sector count; LINEDEFS unchanged but for the renumbered vertexes;
// VERTEXES the used input vertexes in order, then cut points; and then the
// partition itself as CheckLevelPartition does.
LevelReport CheckRebuiltLevel(const WadImage& input, const WadImage& output, const std::string& name,
                              const LevelCheckOptions& options);

// The summary line of a level: "LEVEL: sound (N segs, M subsectors, K
// nodes)", with ", W warnings" when there are any, or "LEVEL: P problems,
// W warnings". The counts name a format other than the vanilla lumps
// ("..., K nodes, XNOD nodes"); GL nodes beside extended ones follow after
// a semicolon ("...; N segs, M subsectors, K nodes, XGLN nodes").
std::string FormatSummary(const std::string& level, const LevelReport& report);
