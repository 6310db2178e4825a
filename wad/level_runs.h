// SPDX-License-Identifier: GPL-2.0-or-later
// Levels as map editors write them: a marker followed by a run of level
// lumps in any order, the ones a node builder writes perhaps missing. An
// option call lays every such level out as the ten standard lumps in their
// order, then the rest of its run, before anything reads the directory.
#pragma once

#include <cstdint>

#include "format/wad_format.h"

// Position of a directory entry that stands for a lump missing from the
// input: it is empty and never read.
constexpr int32_t AbsentLumpPosition = -1;

// True once ArrangeLevelRuns has run: the loaders then find a level's
// format anywhere in its run and size the output arrays without the old
// nodes.
extern bool LevelRunsArranged;

// True for the names that a level's run may hold: the ten, BEHAVIOR,
// SCRIPTS and DIALOGUE.
bool IsLevelRunName(const char* name);

// Rewrites Directory (and InputHeader.LumpCount) of the input at `path` so
// that every level, a
// marker followed by a run of level lumps that holds THINGS, has its ten
// lumps in the standard order, an absent one as an empty entry, followed
// by BEHAVIOR and then the other lumps of its run in the order they came. A run ends at the
// first name that is no level lump or that it already holds. A level laid
// out as standard is left as it is.
void ArrangeLevelRuns(const char* path);

// Refuses the level at LevelMarkerIndex when its run lacked one of THINGS,
// LINEDEFS, SIDEDEFS, VERTEXES and SECTORS: "Level %s has no %s lump".
void CheckArrangedLevel();

// True when the level at `marker` has BEHAVIOR in its run.
bool RunHoldsBehavior(int32_t marker);

void ResetLevelRuns();
