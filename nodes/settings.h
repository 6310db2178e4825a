// SPDX-License-Identifier: GPL-2.0-or-later
// How the node builder chooses its partition lines. The run driver sets
// these from the command line before the first stage runs; the node builder
// only reads them.
#pragma once

#include <cstdint>

// Root partition placed from the level's shape: A chooses the orientation,
// V forces a vertical line, H a horizontal one.
enum AxisModes { AxisOff = 0, AxisA = 1, AxisV = 2, AxisH = 3 };

extern int16_t ModeNumber;  // split weight, 0 to 48
extern bool FinalMode;      // Final scoring; Turbo when false
extern AxisModes AxisMode;

// Back to the start-up values: Turbo 8 without an axis mode.
void ResetNodeSettings();
