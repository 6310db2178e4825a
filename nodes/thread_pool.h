// SPDX-License-Identifier: GPL-2.0-or-later
// Helper threads for the partition choice, started once and kept waiting
// between choices, since a choice of a few hundred segs takes less time
// than starting a thread.
#pragma once

#include <cstdint>

// Calls job(data) on the calling thread and on up to `helpers` helper
// threads at once, and returns when every call has returned. Fewer helpers
// run when the system refuses to start more. The job must not end the
// process.
void RunWithHelpers(void (*job)(void*), void* data, int32_t helpers);

// The processors of the machine, counted once: the count reads a file of
// the system every time it is asked, and the choice asks it at every long
// list.
int32_t CountCores();
