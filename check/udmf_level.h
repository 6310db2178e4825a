// SPDX-License-Identifier: GPL-2.0-or-later
// A UDMF level for the checker: its marker, TEXTMAP, the other lumps and
// ENDMAP. The geometry is read from TEXTMAP, exact in 1/65536 units, and
// the GL nodes from ZNODES; they are then checked as any GL nodes are.
#pragma once

#include "check/findings.h"
#include "check/map_level.h"
#include "check/wad_image.h"

// True when the entry at `marker` is followed by TEXTMAP.
bool IsUdmfLevel(const WadImage& wad, int marker);

// Reads TEXTMAP into the level's records and ZNODES into
// lumps[kSubsectors], where the GL decoder reads it. False (with the
// problem noted) when the level has no ENDMAP, TEXTMAP does not read, or
// there is no ZNODES.
bool ReadUdmfLevel(const WadImage& wad, int marker, MapLevel* level, Findings* findings);

// The findings the GL checks make under SSECTORS, where a binary level
// keeps its GL nodes, named for ZNODES.
void NameZNodesFindings(std::vector<Finding>* findings);
