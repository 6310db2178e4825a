// SPDX-License-Identifier: GPL-2.0-or-later
// Memory for the node builder's own lists and tables. The lookahead thread
// may not end the run: its blocks come from the C library, and a null block
// gives its work up. The recursion's blocks come from the run's services,
// which end the run when memory runs out.
#pragma once

#include <cstddef>
#include <cstdint>

// A block of count entries of entrySize bytes, 16-byte aligned; null for
// no entries, and for a fallible block when memory runs out.
void* AllocScratch(int32_t count, int32_t entrySize, bool fallible);
void FreeScratch(void* block, bool fallible);

// Where a fallible block is asked for. Each gives up its work when the
// block does not come; the tree must not change.
enum FallibleSite {
  FallibleScratch,  // AllocScratch(..., true): lists and tables made ahead or by helpers
  FallibleLegacy,   // the proofs kept from one choice for the next
  FallibleProofs,   // the proofs handed on, worked out from the legacy
  FallibleOutlook,  // a block of the lookahead's outlooks
  FallibleSiteCount
};

// A fallible block from the C library (free it with std::free), 16-byte
// aligned when `aligned`; null when memory runs out, or when the tests'
// failure hook says so.
void* AllocFallible(FallibleSite site, size_t bytes, bool aligned);

// The failure hook, for tests: the nth fallible block asked for at `site`
// from now on (1 for the next) comes back null; 0 turns it off. The count
// of blocks asked for at each site since the last reset, for the tests to
// know what to walk over.
void FailFallibleAllocation(FallibleSite site, int64_t nth);
int64_t CountFallibleAllocations(FallibleSite site);
// True once the hook has refused a block at `site` since the last reset.
bool FallibleAllocationRefused(FallibleSite site);
void ResetFallibleAllocations();
