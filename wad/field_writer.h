// SPDX-License-Identifier: GPL-2.0-or-later
// Little-endian fields written one after another into a block sized
// beforehand, for the node streams (XNOD and the GL forms), and the four
// letters that open such a lump.
#pragma once

#include <cstdint>

#include "format/wad_format.h"

class FieldWriter {
 public:
  explicit FieldWriter(uint8_t* at) : at_(at) {}
  void U8(uint32_t value) { *at_++ = static_cast<uint8_t>(value); }
  void U16(uint32_t value) {
    WriteInt16(at_, static_cast<int32_t>(value));
    at_ += 2;
  }
  void U32(uint32_t value) {
    WriteInt32(at_, static_cast<int32_t>(value));
    at_ += 4;
  }
  uint8_t* at() const { return at_; }

 private:
  uint8_t* at_;
};

// The four letters of the magic, without a terminator.
void WriteMagic(uint8_t* lump, const char* magic);
