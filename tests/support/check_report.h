// SPDX-License-Identifier: GPL-2.0-or-later
// The checker's findings as text lines, for tests that look for a message:
// each line as vortane-check prints it.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "check/blockmap_check.h"
#include "check/level_check.h"
#include "tests/support/exact_check.h"

// Every problem and warning listed in the report, as "LEVEL LUMP RECORD: text".
std::vector<std::string> ReportLines(const std::string& level, const LevelReport& report);

// The findings of CheckBlockmap alone, as lines of a level named MAP01;
// with strictLayout, those of CheckBlockmapLayout after them.
std::vector<std::string> BlockmapProblems(const std::vector<LineEnds>& lines,
                                          const std::vector<uint8_t>& lump, bool strictLayout = true);
