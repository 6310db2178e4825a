// SPDX-License-Identifier: GPL-2.0-or-later
// One level from its loading line to its saved line: the stages in their
// fixed order, their screen and log lines, and the phase times. A run
// rebuilds one level, or every level of the file in directory order.
#pragma once

#include <cstdint>
#include <vector>

// Hundredths of a second spent in each phase.
struct PhaseTimes {
  uint32_t read;
  uint32_t nodes;
  uint32_t blockmap;
  uint32_t write;
};

// Rebuilds the level at LevelMarkerIndex (0 when no level was named: the
// loaders settle it, or the first UDMF level is taken in a file without a
// binary one) and writes the whole output file.
void RunOneLevel();
// Rebuilds the level at `marker`, binary or UDMF, as RunOneLevel does.
void RunNamedLevel(int32_t marker);

// Rebuilds every level of the input, in directory order, into one output;
// the level's memory is released before the next one is loaded. "File %s
// has no level" when there is none.
void RunEveryLevel();

// Rebuilds the levels whose markers are `levels`, in directory order, into
// one output, as RunEveryLevel does for all of them (UDMF levels among
// them); every other entry is copied unchanged.
void RunLevels(const std::vector<int32_t>& levels);
