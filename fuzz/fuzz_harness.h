// SPDX-License-Identifier: GPL-2.0-or-later
// Shared by the fuzz targets: one whole vortane run in log mode on bytes
// given as the input file, the checks of its outcome, and the reset of
// every subsystem between inputs.
#pragma once

#include <cstddef>
#include <cstdint>

// Thrown by the fuzz build's EndProcess in place of ending the process.
struct FuzzExit {
  int code;
};

// Records every block the allocation services hand out from now on.
void RecordLiveBlocks();
// Releases every recorded block that nobody freed; returns how many there
// were.
size_t ReleaseLiveBlocks();

// Writes `data` as in.wad into a private scratch folder (made on first use),
// with an earlier output file out.wad beside it, and runs
//   vortane in.wad out.wad LEVEL MODE AXIS L
// Aborts (a finding for the fuzzer) unless the run ends with 0 and a new
// output, 254 and a new output with an 8-byte BLOCKMAP, or a fatal error
// (10) logged in its frame with the earlier output untouched and no
// temporary file left. Everything is reset afterwards. Returns the exit
// code as the process would report it.
int RunFuzzInput(const uint8_t* data, size_t size, const char* level, const char* mode, const char* axis);
