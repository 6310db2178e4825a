// SPDX-License-Identifier: GPL-2.0-or-later
// The magic that opens a node lump.
#include "wad/field_writer.h"

void WriteMagic(uint8_t* lump, const char* magic) {
  for (int i = 0; i < 4; i++) lump[i] = static_cast<uint8_t>(magic[i]);
}
