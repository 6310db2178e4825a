// SPDX-License-Identifier: GPL-2.0-or-later
// The BLOCKMAP lump: a grid of 128-unit blocks, each with the linedefs that
// pass through it.
#pragma once

#include <cstdint>

#include "wad/level.h"

// Bounds of the root seg list, each value cut to 16 bits, stored by the run
// driver after segs creation.
extern Bounds LevelBounds;

// Builds Level.BlockmapLump and returns its size in bytes. A level too large
// for a blockmap gets an 8-byte lump of zeros, and *tooLarge says so; the
// run goes on.
int32_t BuildBlockmap(bool* tooLarge);

void ResetBlockmap();
