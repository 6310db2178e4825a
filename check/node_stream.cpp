// SPDX-License-Identifier: GPL-2.0-or-later
#include "check/node_stream.h"

#include <zlib.h>

#include <cstring>

bool InflateAfterMagic(const std::vector<uint8_t>& lump, std::vector<uint8_t>* out) {
  if (lump.size() < 4) return false;
  z_stream stream;
  std::memset(&stream, 0, sizeof stream);
  if (inflateInit(&stream) != Z_OK) return false;
  stream.next_in = const_cast<Bytef*>(lump.data() + 4);
  stream.avail_in = static_cast<uInt>(lump.size() - 4);
  int status = Z_OK;
  uint8_t chunk[1 << 16];
  while (status == Z_OK) {
    stream.next_out = chunk;
    stream.avail_out = sizeof chunk;
    status = inflate(&stream, Z_NO_FLUSH);
    out->insert(out->end(), chunk, chunk + (sizeof chunk - stream.avail_out));
  }
  bool whole = status == Z_STREAM_END && stream.avail_in == 0;
  inflateEnd(&stream);
  return whole;
}
