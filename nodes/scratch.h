// SPDX-License-Identifier: GPL-2.0-or-later
// Memory for the node builder's own lists and tables. The lookahead thread
// may not end the run: its blocks come from the C library, and a null block
// gives its work up. The recursion's blocks come from the run's services,
// which end the run when memory runs out.
#pragma once

#include <cstdint>

// A block of count entries of entrySize bytes, 16-byte aligned; null for
// no entries, and for a fallible block when memory runs out.
void* AllocScratch(int32_t count, int32_t entrySize, bool fallible);
void FreeScratch(void* block, bool fallible);
