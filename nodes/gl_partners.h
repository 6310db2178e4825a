// SPDX-License-Identifier: GPL-2.0-or-later
// Partners across the lines of the GL polygons. The two sides of a line
// are cut at different points (each side's own nodes cross it elsewhere),
// so every seg is first cut at the other side's corners within it; then
// each stretch has one seg on either side, or one alone. Partners are the
// two sides of a two-sided wall and the two minisegs over one stretch.
#pragma once

#include <cstdint>
#include <vector>

#include "nodes/gl_polygons.h"

// The loops one after the other, cut where the other side has a corner:
// loop l is segs[loopStart[l] ...loopStart[l + 1]), and partners[k] the
// partner of segs[k], or NoPartnerIndex for none.
constexpr uint32_t NoPartnerIndex = 0xFFFFFFFFu;
struct GlPairedLoops {
  std::vector<GlLoopSeg> segs;
  std::vector<uint32_t> loopStart;
  std::vector<uint32_t> partners;
};

// Consumes the loops.
GlPairedLoops PairGlPartners(std::vector<std::vector<GlLoopSeg>>* loops);
