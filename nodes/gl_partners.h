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

// The loops, cut where the other side has a corner; `partners[leaf][k]` is
// the partner of seg k of that leaf as (leaf, index), or -1.
struct GlPartner {
  int32_t leaf;
  int32_t index;
};

void PairGlPartners(std::vector<std::vector<GlLoopSeg>>* loops,
                    std::vector<std::vector<GlPartner>>* partners);
