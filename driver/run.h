// SPDX-License-Identifier: GPL-2.0-or-later
// The run sequence: one pass from the command line to the output WAD.
#pragma once

// Arguments without the program's own name. Returns the exit code of a run
// that was not ended by a fatal error.
int RunVortane(int argumentCount, char** arguments);
