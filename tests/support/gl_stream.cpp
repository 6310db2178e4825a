// SPDX-License-Identifier: GPL-2.0-or-later
#include "tests/support/gl_stream.h"

#include <zlib.h>

#include <stdexcept>

namespace {

void Put8(std::vector<uint8_t>& out, int value) { out.push_back(static_cast<uint8_t>(value)); }

void Put16(std::vector<uint8_t>& out, int value) {
  out.push_back(static_cast<uint8_t>(value));
  out.push_back(static_cast<uint8_t>(value >> 8));
}

void Put32(std::vector<uint8_t>& out, uint32_t value) {
  for (int i = 0; i < 4; i++) out.push_back(static_cast<uint8_t>(value >> (8 * i)));
}

void PutVertexes(std::vector<uint8_t>& out, const GlStream& stream) {
  Put32(out, stream.originalVertexes);
  Put32(out, static_cast<uint32_t>(stream.vertexes.size()));
  for (const auto& v : stream.vertexes) {
    Put32(out, static_cast<uint32_t>(v.first));
    Put32(out, static_cast<uint32_t>(v.second));
  }
}

void PutNodes(std::vector<uint8_t>& out, const GlStream& stream, bool fixedLines) {
  Put32(out, static_cast<uint32_t>(stream.nodes.size()));
  for (const StreamNode& node : stream.nodes) {
    for (int32_t value : {node.x, node.y, node.dx, node.dy}) {
      if (fixedLines) {
        Put32(out, static_cast<uint32_t>(value));
      } else {
        Put16(out, value >> 16);
      }
    }
    for (const auto& box : node.box)
      for (int edge : box) Put16(out, edge);
    Put32(out, node.child[0]);
    Put32(out, node.child[1]);
  }
}

// The magic, then the body as it is or deflated.
std::vector<uint8_t> Wrap(const std::string& magic, const std::vector<uint8_t>& body) {
  std::vector<uint8_t> out(magic.begin(), magic.end());
  if (magic[0] != 'Z') {
    out.insert(out.end(), body.begin(), body.end());
    return out;
  }
  uLongf size = compressBound(static_cast<uLong>(body.size()));
  std::vector<uint8_t> packed(size);
  if (compress(packed.data(), &size, body.data(), static_cast<uLong>(body.size())) != Z_OK)
    throw std::runtime_error("zlib refused a test stream");
  out.insert(out.end(), packed.begin(), packed.begin() + static_cast<long>(size));
  return out;
}

}  // namespace

std::vector<uint8_t> EncodeGlStream(const GlStream& stream, const std::string& format) {
  const bool wideLines = format[3] != 'N';
  std::vector<uint8_t> body;
  PutVertexes(body, stream);
  Put32(body, static_cast<uint32_t>(stream.subsectors.size()));
  for (uint32_t count : stream.subsectors) Put32(body, count);
  Put32(body, static_cast<uint32_t>(stream.segs.size()));
  for (const StreamSeg& seg : stream.segs) {
    Put32(body, seg.v1);
    Put32(body, seg.partner);
    if (wideLines) {
      Put32(body, seg.line);
    } else {
      Put16(body, static_cast<int>(seg.line & 0xFFFF));
    }
    Put8(body, seg.side);
  }
  PutNodes(body, stream, format[3] == '3');
  return Wrap(format, body);
}

std::vector<uint8_t> EncodeExtendedFromGl(const GlStream& stream, const std::string& format) {
  std::vector<uint8_t> body;
  PutVertexes(body, stream);
  std::vector<uint32_t> counts;
  std::vector<uint8_t> segs;
  uint32_t segCount = 0;
  size_t first = 0;
  for (uint32_t count : stream.subsectors) {
    uint32_t real = 0;
    for (size_t k = first; k < first + count; k++) {
      const StreamSeg& seg = stream.segs[k];
      if (seg.line == kStreamMiniseg) continue;
      Put32(segs, seg.v1);
      Put32(segs, stream.segs[k + 1 < first + count ? k + 1 : first].v1);
      Put16(segs, static_cast<int>(seg.line));
      Put8(segs, seg.side);
      real++;
    }
    counts.push_back(real);
    segCount += real;
    first += count;
  }
  Put32(body, static_cast<uint32_t>(counts.size()));
  for (uint32_t count : counts) Put32(body, count);
  Put32(body, segCount);
  body.insert(body.end(), segs.begin(), segs.end());
  PutNodes(body, stream, false);
  return Wrap(format, body);
}
