// SPDX-License-Identifier: GPL-2.0-or-later
// A valid directory around fuzzed LINEDEFS, SIDEDEFS, VERTEXES and SECTORS
// (format in fuzz/level_input.h), so that inputs get past the WAD checks
// into loading, the node builder and the blockmap. The first byte also
// picks the mode and axis of the run. `fuzz_level --wad FILE INPUT` writes
// the PWAD of an input (to turn a finding into a regression test) and
// prints the run's mode and axis arguments.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "fuzz/fuzz_harness.h"
#include "fuzz/level_input.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  LevelInput input = LevelInput::Decode(data, size);
  std::vector<uint8_t> wad = input.Wad();
  RunFuzzInput(wad.data(), wad.size(), "MAP01", input.Mode().c_str(), input.Axis().c_str());
  return 0;
}

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
  if (*argc == 4 && std::strcmp((*argv)[1], "--wad") == 0) {
    FILE* in = std::fopen((*argv)[3], "rb");
    if (in == nullptr) {
      std::perror((*argv)[3]);
      std::exit(2);
    }
    std::vector<uint8_t> bytes;
    int c;
    while ((c = std::fgetc(in)) != EOF) bytes.push_back(static_cast<uint8_t>(c));
    std::fclose(in);
    LevelInput input = LevelInput::Decode(bytes.data(), bytes.size());
    std::vector<uint8_t> wad = input.Wad();
    FILE* out = std::fopen((*argv)[2], "wb");
    if (out == nullptr) {
      std::perror((*argv)[2]);
      std::exit(2);
    }
    std::fwrite(wad.data(), 1, wad.size(), out);
    std::fclose(out);
    std::printf("%s %s\n", input.Mode().c_str(), input.Axis().c_str());
    std::exit(0);
  }
  return 0;
}
