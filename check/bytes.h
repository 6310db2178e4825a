// SPDX-License-Identifier: GPL-2.0-or-later
// Little-endian access to the records of stored lumps, for the level
// checker: every field is read through these, never through pointer casts.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

inline int LumpU16(const std::vector<uint8_t>& bytes, size_t at) { return bytes[at] | (bytes[at + 1] << 8); }

inline int LumpS16(const std::vector<uint8_t>& bytes, size_t at) {
  return static_cast<int16_t>(static_cast<uint16_t>(LumpU16(bytes, at)));
}

inline int32_t LumpS32(const std::vector<uint8_t>& bytes, size_t at) {
  return static_cast<int32_t>(static_cast<uint32_t>(bytes[at]) | (static_cast<uint32_t>(bytes[at + 1]) << 8) |
                              (static_cast<uint32_t>(bytes[at + 2]) << 16) |
                              (static_cast<uint32_t>(bytes[at + 3]) << 24));
}
