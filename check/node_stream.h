// SPDX-License-Identifier: GPL-2.0-or-later
// The byte streams of ZDoom's node formats, shared by the readers of XNOD
// and of the GL forms: a 4-byte magic, then little-endian records, plain or
// as one zlib stream.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "check/bytes.h"

// Inflates the zlib stream that follows a lump's 4-byte magic into `out`;
// false when zlib refuses it, when it ends early or when bytes follow it.
bool InflateAfterMagic(const std::vector<uint8_t>& lump, std::vector<uint8_t>* out);

// Reads a stream front to back. Callers ask Has() (or ReadCount) before
// every read, so that a short stream is found before it is read past.
class StreamReader {
 public:
  explicit StreamReader(const std::vector<uint8_t>& bytes) : bytes_(bytes) {}
  bool Has(size_t count) const { return count <= bytes_.size() - at_; }
  uint32_t U32() {
    auto value = static_cast<uint32_t>(LumpS32(bytes_, at_));
    at_ += 4;
    return value;
  }
  int32_t S32() {
    int32_t value = LumpS32(bytes_, at_);
    at_ += 4;
    return value;
  }
  int U16() {
    int value = LumpU16(bytes_, at_);
    at_ += 2;
    return value;
  }
  int S16() {
    int value = LumpS16(bytes_, at_);
    at_ += 2;
    return value;
  }
  int U8() { return bytes_[at_++]; }
  size_t Left() const { return bytes_.size() - at_; }

  // A u32 count of records of `size` bytes that all follow it, or -1 when
  // the stream is too short for the count or for its records.
  long ReadCount(size_t size) {
    if (!Has(4)) return -1;
    uint32_t count = U32();
    if (Left() / size < count) return -1;
    return static_cast<long>(count);
  }

 private:
  const std::vector<uint8_t>& bytes_;
  size_t at_ = 0;
};
