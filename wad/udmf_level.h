// SPDX-License-Identifier: GPL-2.0-or-later
// UDMF levels in the input: a marker, TEXTMAP, any other lumps and ENDMAP.
// Their geometry comes from TEXTMAP, their GL nodes go to ZNODES right
// after it, and every other lump of the level is copied as it was.
#pragma once

#include <cstdint>
#include <vector>

#include "nodes/gl_tree.h"
#include "wad/gl_nodes.h"
#include "wad/udmf_reader.h"

// The --nodes word of an option call, as given; null when none was given
// (a UDMF level then gets XGL3). Set before the first level is planned.
extern const char* RequestedNodesWord;
void ResetUdmfLevels();

// True when the entry at `marker` is followed by TEXTMAP.
bool IsUdmfMarker(int32_t marker);

// The first level marker at or after `from`, binary (followed by THINGS)
// or UDMF (followed by TEXTMAP); -1 when there is none.
int32_t FindAnyLevelMarker(int32_t from);
// Where the search for the level after the one at `marker` starts: past
// its ten lumps, or past its ENDMAP.
int32_t NextLevelSearchStart(int32_t marker);
// The first UDMF level of the file, for a classic call that names no level
// in a file without a binary one; -1 when there is none.
int32_t FindFirstUdmfLevel();

// Readies the UDMF levels among `markers` (the levels about to be rebuilt,
// in directory order) for the output: refuses one without ENDMAP, and a
// --nodes word that is not a GL form, then moves the level's ZNODES entry
// (or an empty one where it has none) right after TEXTMAP, so that the
// directory may grow. Returns the markers where they now stand.
std::vector<int32_t> PrepareUdmfLevels(const std::vector<int32_t>& markers);

// The GL form of the UDMF levels of this run.
GlForm UdmfGlForm();

// Reads the TEXTMAP of the level at LevelMarkerIndex; a parse error is
// fatal with the reader's message.
void LoadUdmfMap(UdmfMap* map);

// The tree's input: the map's vertexes, and each linedef's sides where it
// names sidedefs, with their sectors.
GlLevelInput ReadGlInputFromUdmf(const UdmfMap& map);
