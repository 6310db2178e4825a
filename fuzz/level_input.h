// SPDX-License-Identifier: GPL-2.0-or-later
// The input format of the fuzz_level target: a fixed directory around four
// level lumps, so that every mutation lands in level data.
//
//   byte 0        run options: bits 0-1 axis (none, A, V, H), bit 2 Final
//                 (else Turbo), bits 3-7 the split weight
//   byte 1        bit 0: Hexen format (16-byte linedefs, BEHAVIOR after BLOCKMAP)
//   bytes 2-7     sizes of LINEDEFS, SIDEDEFS, VERTEXES (16-bit little-endian)
//   the rest      those three lumps back to back, then SECTORS
//
// A size larger than what is left is cut to what is left.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "format/wad_format.h"
#include "tests/support/wadbuilder.h"

struct LevelInput {
  uint8_t options = 0x40;  // Turbo 8, no axis
  bool hexen = false;
  std::vector<uint8_t> lineDefs, sideDefs, vertexes, sectors;

  std::string Mode() const {
    int weight = options >> 3;
    return (options & 4) ? std::to_string(weight) : "-" + std::to_string(weight);
  }
  std::string Axis() const {
    static const char* const letters[4] = {"-", "A", "V", "H"};
    return letters[options & 3];
  }

  static LevelInput Decode(const uint8_t* data, size_t size) {
    LevelInput in;
    size_t at = 0;
    auto byte = [&]() -> uint8_t { return at < size ? data[at++] : 0; };
    in.options = byte();
    in.hexen = (byte() & 1) != 0;
    size_t sizes[3];
    for (size_t& s : sizes) {
      s = byte();
      s |= static_cast<size_t>(byte()) << 8;
    }
    std::vector<uint8_t>* lumps[3] = {&in.lineDefs, &in.sideDefs, &in.vertexes};
    for (int k = 0; k < 3; k++) {
      size_t take = sizes[k] < size - at ? sizes[k] : size - at;
      lumps[k]->assign(data + at, data + at + take);
      at += take;
    }
    in.sectors.assign(data + at, data + size);
    return in;
  }

  std::vector<uint8_t> Encode() const {
    std::vector<uint8_t> out = {options, static_cast<uint8_t>(hexen ? 1 : 0)};
    for (const auto* lump : {&lineDefs, &sideDefs, &vertexes}) {
      out.push_back(static_cast<uint8_t>(lump->size()));
      out.push_back(static_cast<uint8_t>(lump->size() >> 8));
    }
    for (const auto* lump : {&lineDefs, &sideDefs, &vertexes, &sectors})
      out.insert(out.end(), lump->begin(), lump->end());
    return out;
  }

  // The PWAD the run reads: MAP01 and its ten lumps (THINGS of one thing,
  // empty SEGS, SSECTORS, NODES, REJECT and BLOCKMAP), BEHAVIOR for Hexen.
  std::vector<uint8_t> Wad() const {
    WadBuilder wad;
    wad.Add("MAP01");
    wad.Add("THINGS", std::vector<uint8_t>(hexen ? HexenThingSize : DoomThingSize, 0));
    wad.Add("LINEDEFS", lineDefs);
    wad.Add("SIDEDEFS", sideDefs);
    wad.Add("VERTEXES", vertexes);
    wad.Add("SEGS");
    wad.Add("SSECTORS");
    wad.Add("NODES");
    wad.Add("SECTORS", sectors);
    wad.Add("REJECT");
    wad.Add("BLOCKMAP");
    if (hexen) wad.Add(BehaviorLumpName, std::vector<uint8_t>(16, 0));
    return wad.Build();
  }
};
