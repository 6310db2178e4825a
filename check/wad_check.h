// SPDX-License-Identifier: GPL-2.0-or-later
// The checker's whole entry on one WAD: the levels asked for, or every
// level, each checked for soundness and reported line by line.
#pragma once

#include <string>
#include <vector>

#include "check/level_check.h"
#include "check/wad_image.h"

// Exit statuses of vortane-check.
enum CheckStatus { kCheckSound = 0, kCheckProblems = 1, kCheckUnreadable = 2 };

// Checks the levels named (every level when `levels` is empty) with the
// given options. Appends to `out` one line per finding (FormatFinding) and
// one summary line per level (FormatSummary), and to `errors` one line per
// named level that is missing or when the file holds no level. Returns
// kCheckUnreadable when a named level is missing, else kCheckProblems when
// any level has a problem, else kCheckSound.
int CheckWadLevels(const WadImage& wad, const std::vector<std::string>& levels,
                   const LevelCheckOptions& options, std::string* out, std::string* errors);
