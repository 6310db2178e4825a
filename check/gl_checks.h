// SPDX-License-Identifier: GPL-2.0-or-later
// The checks of GL nodes: every subsector a closed convex polygon that runs
// clockwise, along the linedefs and the partition lines above it, with
// partners on both sides of every inner edge, and together covering what
// the sectors enclose. All exact, in 1/65536 units. Faults of the level's
// own making (sectors that do not close, sector tricks, linedefs laid over
// each other), around which a builder closes the polygons anyway, are
// warnings.
#pragma once

#include "check/findings.h"
#include "check/fixed_geometry.h"
#include "check/level_check.h"
#include "check/map_level.h"

// Every check below, when the stream was decoded.
void CheckGlNodes(const MapLevel& level, const LevelCheckOptions& options, Findings* findings,
                  LevelCheckStats* stats);

// Every real seg lies along its linedef side, within its ends, and runs its
// way; every side with a sidedef is covered by real segs end to end, once.
void CheckGlSegs(const MapLevel& level, const LevelCheckOptions& options, Findings* findings,
                 LevelCheckStats* stats);
// Partners name each other and cover the same stretch the opposite way:
// the two sides of one linedef, or two minisegs; one-sided walls have none.
void CheckGlPartners(const MapLevel& level, Findings* findings);
// Every subsector's segs exist and form a closed convex polygon that runs
// clockwise, with no seg of zero length and no turn back along a seg; its
// real segs name one sector.
void CheckGlPolygons(const MapLevel& level, const LevelCheckOptions& options, Findings* findings,
                     LevelCheckStats* stats);
// The tree from the root (the last node) reaches every node and subsector
// once; every polygon lies on its side of every partition line above it,
// every miniseg along one of them, and the boxes hold what lies under them.
void CheckGlTree(const MapLevel& level, const LevelCheckOptions& options, Findings* findings,
                 LevelCheckStats* stats);
// The polygons cover what the sectors' sides enclose, sector by sector
// (warnings) and in all (a problem), where the sides close.
void CheckGlAreas(const MapLevel& level, const LevelCheckOptions& options, Findings* findings,
                  LevelCheckStats* stats);

// The sectors whose sides do not close (somewhere more of them start than
// end): around those a subsector's polygon may have to be closed by a
// miniseg along no partition line.
std::vector<bool> FindSectorsThatDoNotClose(const MapLevel& level);

// The polygon of a subsector whose segs all exist: its area doubled, in
// 1/65536² units, positive when it runs clockwise.
Wide ClockwiseDoubledArea(const GlNodes& gl, const GlSubsector& sub);
// Whether every seg of the subsector exists and is valid.
bool WholePolygon(const GlNodes& gl, const GlSubsector& sub);
// The sector of the subsector: that of its first real seg; -1 for none.
int GlSubsectorSector(const MapLevel& level, const GlSubsector& sub);
// "the right side of linedef 3" or "a miniseg".
std::string GlSegText(const GlSeg& seg);
