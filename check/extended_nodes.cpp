// SPDX-License-Identifier: GPL-2.0-or-later
#include "check/extended_nodes.h"

#include <zlib.h>

#include <cstring>

#include "check/bytes.h"

namespace {

// Inflates a ZNOD stream; false when zlib refuses it.
bool Inflate(const std::vector<uint8_t>& lump, std::vector<uint8_t>* out) {
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

class Reader {
 public:
  explicit Reader(const std::vector<uint8_t>& bytes) : bytes_(bytes) {}
  bool Has(size_t count) const { return at_ + count <= bytes_.size(); }
  uint32_t U32() {
    uint32_t value = static_cast<uint32_t>(LumpS32(bytes_, at_));
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

 private:
  const std::vector<uint8_t>& bytes_;
  size_t at_ = 0;
};

// A count of records of `size` bytes, or -1 when the stream is too short.
long ReadCount(Reader* reader, size_t size) {
  if (!reader->Has(XnodCountSize)) return -1;
  uint32_t count = reader->U32();
  if (reader->Left() / size < count) return -1;
  return static_cast<long>(count);
}

// A stream child: bit 31 marks a subsector. A number too large for the
// records' child field becomes the largest it holds, which no level
// reaches, so that the tree check reports it out of range.
int Child(uint32_t value) {
  const uint32_t most = static_cast<uint32_t>(kSubsectorChild) - 1;
  if ((value & 0x80000000u) == 0) return static_cast<int>(value < most ? value : most);
  uint32_t subsector = value & 0x7FFFFFFFu;
  return kSubsectorChild | static_cast<int>(subsector < most ? subsector : most);
}

// The whole units of a 16.16 value, rounded down as the engine takes a
// box's edges.
int WholeUnits(uint32_t fixed) { return static_cast<int32_t>(fixed) >> 16; }

}  // namespace

bool HasExtendedNodes(MapLevel* level) {
  const std::vector<uint8_t>& nodes = level->lumps[kNodes];
  if (nodes.size() < 4) return false;
  for (const char* magic : {"XNOD", "ZNOD"}) {
    if (std::memcmp(nodes.data(), magic, 4) == 0) {
      level->nodeFormat = magic;
      return true;
    }
  }
  return false;
}

void DecodeExtendedNodes(MapLevel* level, Findings* findings) {
  const std::vector<uint8_t>& lump = level->lumps[kNodes];
  std::vector<uint8_t> stream;
  if (level->nodeFormat == "ZNOD") {
    if (!Inflate(lump, &stream)) {
      findings->Problem("NODES", -1, "the ZNOD stream does not inflate");
      return;
    }
  } else {
    stream.assign(lump.begin() + 4, lump.end());
  }
  level->segAnglesStored = false;
  Reader reader(stream);
  const char* const shortStream = "the %s stream ends inside its %s";
  if (!reader.Has(2 * XnodCountSize)) {
    findings->Problem("NODES", -1, shortStream, level->nodeFormat.c_str(), "vertex counts");
    return;
  }
  uint32_t original = reader.U32();
  if (original != level->vertexes.size()) {
    findings->Problem("NODES", -1, "the %s stream counts %u vertexes before its own, VERTEXES has %zu",
                      level->nodeFormat.c_str(), original, level->vertexes.size());
  }
  long added = static_cast<long>(reader.U32());
  if (reader.Left() / XnodVertexSize < static_cast<size_t>(added)) {
    findings->Problem("NODES", -1, shortStream, level->nodeFormat.c_str(), "vertexes");
    return;
  }
  for (long i = 0; i < added; i++) {
    int x = WholeUnits(reader.U32());
    int y = WholeUnits(reader.U32());
    level->vertexes.push_back({x, y});
  }

  long subsectors = ReadCount(&reader, XnodSubsectorSize);
  if (subsectors < 0)
    return findings->Problem("NODES", -1, shortStream, level->nodeFormat.c_str(), "subsectors");
  int first = 0;
  for (long i = 0; i < subsectors; i++) {
    int count = static_cast<int>(reader.U32() & 0x3FFFFFFFu);
    level->subsectors.push_back({count, first});
    first += count;
  }
  long segs = ReadCount(&reader, XnodSegSize);
  if (segs < 0) return findings->Problem("NODES", -1, shortStream, level->nodeFormat.c_str(), "segs");
  for (long i = 0; i < segs; i++) {
    MapSeg seg;
    seg.v1 = static_cast<int>(reader.U32() & 0x3FFFFFFFu);
    seg.v2 = static_cast<int>(reader.U32() & 0x3FFFFFFFu);
    seg.line = reader.U16();
    seg.direction = reader.U8();
    seg.angle = 0;
    seg.offset = 0;
    seg.valid = false;
    level->segs.push_back(seg);
  }
  long nodes = ReadCount(&reader, XnodNodeSize);
  if (nodes < 0) return findings->Problem("NODES", -1, shortStream, level->nodeFormat.c_str(), "nodes");
  for (long i = 0; i < nodes; i++) {
    MapNode node;
    node.x = reader.S16();
    node.y = reader.S16();
    node.dx = reader.S16();
    node.dy = reader.S16();
    for (NodeBox& box : node.box) {
      box.top = reader.S16();
      box.bottom = reader.S16();
      box.left = reader.S16();
      box.right = reader.S16();
    }
    node.child[0] = Child(reader.U32());
    node.child[1] = Child(reader.U32());
    level->nodes.push_back(node);
  }
  if (reader.Left() != 0)
    findings->Problem("NODES", -1, "the %s stream has %zu bytes after its nodes", level->nodeFormat.c_str(),
                      reader.Left());
}
