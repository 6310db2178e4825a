// SPDX-License-Identifier: GPL-2.0-or-later
// Output WAD assembly: the lumps before a level copied, the level's ten
// lumps from memory, and so on for every level rebuilt; then the lumps after
// the last one copied, and the directory.
#pragma once

#include "wad/extended_nodes.h"

// Plans the level at LevelMarkerIndex: the entries since the last level
// written (or from the first) keep their sizes and get the positions they
// will be copied to; the marker and the ten level entries get their
// positions and the sizes of Level. The nodes go in the format
// ChooseNodeFormat gives; extended nodes are encoded here. Refuses counts
// that the lump formats cannot hold, and an output past the 32-bit file
// offsets.
void PlanOutputWad();
// The node format of the level planned last.
NodeFormat PlannedNodeFormat();
// Copies the entries before the planned level and writes its ten lumps.
void WriteLevelLumps();
// Copies the entries after the last level written, writes the directory
// and the header, and finishes the file (FinishOutputWad).
void FinishOutputAssembly();
// One level and the rest of the file: WriteLevelLumps, then
// FinishOutputAssembly.
void WriteOutputWad();
// Forgets the plan of a run that did not write its output.
void ReleaseOutputPlan();
