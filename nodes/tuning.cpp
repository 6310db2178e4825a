// SPDX-License-Identifier: GPL-2.0-or-later
// The partition choice's speed-ups, at their run values.
#include "nodes/tuning.h"

#include "nodes/lookahead.h"

ChoiceTuning Tuning;

void ResetChoiceTuning() {
  AwaitHelperEnd();
  Tuning = ChoiceTuning();
}
