// SPDX-License-Identifier: GPL-2.0-or-later
// Reading ZDoom's extended nodes for the checker: an XNOD stream in NODES
// (ZNOD: deflated), decoded into the same records as the vanilla lumps, so
// that every check reads them alike.
#pragma once

#include "check/findings.h"
#include "check/map_level.h"

// True when NODES starts with XNOD or ZNOD; level->nodeFormat then names it.
bool HasExtendedNodes(MapLevel* level);
// Decodes the stream into the level's segs, subsectors and nodes and adds
// its cut points to the vertexes (rounded down to whole units). A stream that
// does not inflate or ends early is a problem.
void DecodeExtendedNodes(MapLevel* level, Findings* findings);
