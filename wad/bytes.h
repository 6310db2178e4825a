// SPDX-License-Identifier: GPL-2.0-or-later
// Little-endian record access. Every lump record is read and written
// through these, never through pointer casts.
#pragma once

#include <cstdint>

inline int32_t ReadInt16(const uint8_t* p) {
  return static_cast<int16_t>(static_cast<uint16_t>(p[0] | (p[1] << 8)));
}

inline int32_t ReadUint16(const uint8_t* p) { return p[0] | (p[1] << 8); }

inline int32_t ReadInt32(const uint8_t* p) {
  return static_cast<int32_t>(static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) |
                              (static_cast<uint32_t>(p[2]) << 16) | (static_cast<uint32_t>(p[3]) << 24));
}

// Stores the low 16 bits of the value.
inline void WriteInt16(uint8_t* p, int32_t value) {
  p[0] = static_cast<uint8_t>(value);
  p[1] = static_cast<uint8_t>(value >> 8);
}

inline void WriteInt32(uint8_t* p, int32_t value) {
  p[0] = static_cast<uint8_t>(value);
  p[1] = static_cast<uint8_t>(value >> 8);
  p[2] = static_cast<uint8_t>(value >> 16);
  p[3] = static_cast<uint8_t>(value >> 24);
}
