// SPDX-License-Identifier: GPL-2.0-or-later
// Run settings, fixed from the command line before the first stage runs.
// The node builder's own settings (mode number, Turbo or Final, axis mode)
// live with the node builder; the driver writes them from here.
#pragma once

#include <cstdint>

#include "nodes/settings.h"

extern const char* InputPath;
extern const char* OutputPath;
extern char AxisSuffix[8];  // argument 5, shown after the mode number
extern int32_t ExitCode;    // of a run that completes

// Reads argument 4 into ModeNumber and FinalMode.
void ParseModeNumber(const char* text);
// Reads argument 5 into AxisMode and AxisSuffix.
void ParseAxisMode(const char* text);

// Every run setting, the node builder's included, back to its start-up value.
void ResetSettings();
