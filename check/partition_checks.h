// SPDX-License-Identifier: GPL-2.0-or-later
// The checks of one decoded level, each on its own lumps; every problem
// goes to the findings with its lump and record.
#pragma once

#include <vector>

#include "check/blockmap_check.h"
#include "check/findings.h"
#include "check/level_check.h"
#include "check/map_level.h"

// Every seg lies along its linedef side and points its way; every side
// with a sidedef is covered by its segs once. Marks the segs whose
// vertexes, linedef and side exist as valid.
void CheckSegs(MapLevel& level, const LevelCheckOptions& options, Findings* findings, LevelCheckStats* stats);
// Subsectors hold segs that exist, each seg in one subsector, all of one
// sector, around a convex area.
void CheckSubsectors(const MapLevel& level, const LevelCheckOptions& options, Findings* findings,
                     LevelCheckStats* stats);
// The tree from the root (the last node) reaches every node and subsector
// once, every seg lies on its side of every partition line above it, and
// every node's boxes hold its children's segs.
void CheckTree(const MapLevel& level, const LevelCheckOptions& options, Findings* findings,
               LevelCheckStats* stats);
// BLOCKMAP lists every linedef in every block it crosses, in a grid that
// covers the linedefs.
void CheckBlockmapLump(const MapLevel& level, Findings* findings);
// The end points of every linedef, each marked required when the game can
// meet it through BLOCKMAP; false when a linedef names a vertex that does
// not exist, so that the blockmap cannot be judged.
bool BlockmapLines(const MapLevel& level, std::vector<LineEnds>* ends);
// The box of the end points of the linedefs that have a sidedef: what a
// blockmap grid must cover.
MapBox SidedLinedefBounds(const MapLevel& level);
// Record counts and block list positions past what the original engine
// reads (it takes these numbers as signed 16-bit): warnings.
void CheckLimits(const MapLevel& level, Findings* findings);

// CheckSegs, CheckSubsectors and CheckTree on a level read and decoded,
// when SEGS, SSECTORS and NODES hold nodes in the format checked here, and
// the GL checks when SSECTORS holds GL nodes; false, with the one problem
// that says why, when there are neither.
bool CheckPartition(const WadImage& wad, MapLevel& level, const LevelCheckOptions& options,
                    Findings* findings, LevelCheckStats* stats);
// Every check above on a level read and decoded, in their order.
void CheckDecodedLevel(const WadImage& wad, MapLevel& level, const LevelCheckOptions& options,
                       Findings* findings, LevelCheckStats* stats);
LevelReport FinishReport(const Findings& findings, const LevelCheckStats& stats);
