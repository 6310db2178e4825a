// SPDX-License-Identifier: GPL-2.0-or-later
// Arbitrary bytes as the input WAD of a whole run:
//   vortane in.wad out.wad MAP01 -8 - L
// A finding reproduces with exactly that command on the crash file.
#include <cstddef>
#include <cstdint>

#include "fuzz/fuzz_harness.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  RunFuzzInput(data, size, "MAP01", "-8", "-");
  return 0;
}
