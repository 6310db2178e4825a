// SPDX-License-Identifier: GPL-2.0-or-later
// Little-endian access to the records of stored lumps held as byte
// vectors, for the level checker, through the format's own readers.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "format/wad_format.h"

inline int LumpU16(const std::vector<uint8_t>& bytes, size_t at) { return ReadUint16(&bytes[at]); }
inline int LumpS16(const std::vector<uint8_t>& bytes, size_t at) { return ReadInt16(&bytes[at]); }
inline int32_t LumpS32(const std::vector<uint8_t>& bytes, size_t at) { return ReadInt32(&bytes[at]); }
