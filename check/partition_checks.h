// SPDX-License-Identifier: GPL-2.0-or-later
// The checks of one decoded level, each on its own lumps; every problem
// goes to the findings with its lump and record.
#pragma once

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
void CheckBlockmapLump(const MapLevel& level, const LevelCheckOptions& options, Findings* findings);
// Record counts and block list positions past what the original engine
// reads (it takes these numbers as signed 16-bit): warnings.
void CheckLimits(const MapLevel& level, Findings* findings);

// Every check above on a level read and decoded, in their order; SEGS,
// SSECTORS and NODES only when they hold nodes in the format checked here;
// then the GL nodes, when SSECTORS holds them.
void CheckDecodedLevel(const WadImage& wad, MapLevel& level, const LevelCheckOptions& options,
                       Findings* findings, LevelCheckStats* stats);
LevelReport FinishReport(const Findings& findings, const LevelCheckStats& stats);
