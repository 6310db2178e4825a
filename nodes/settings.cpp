// SPDX-License-Identifier: GPL-2.0-or-later
// The node builder's settings, at their start-up values.
#include "nodes/settings.h"

#include "nodes/tuning.h"

int16_t ModeNumber = 8;
bool FinalMode = false;
AxisModes AxisMode = AxisOff;

void ResetNodeSettings() {
  ModeNumber = 8;
  FinalMode = false;
  AxisMode = AxisOff;
  ResetChoiceTuning();
}
