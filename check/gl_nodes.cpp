// SPDX-License-Identifier: GPL-2.0-or-later
#include "check/gl_nodes.h"

#include <cstring>

#include "check/map_level.h"
#include "check/node_stream.h"

namespace {

const char* const kGlMagics[] = {"XGLN", "XGL2", "XGL3", "ZGLN", "ZGL2", "ZGL3"};

// One unit in 16.16 fixed point.
constexpr int32_t kUnit = 65536;

class GlStreamDecoder {
 public:
  GlStreamDecoder(MapLevel* level, Findings* findings, const std::vector<uint8_t>& stream)
      : level_(level), gl_(level->gl), findings_(findings), reader_(stream) {
    const std::string& magic = gl_.format;
    wideLines_ = magic[3] != 'N';  // XGL2 and XGL3 number linedefs in 32 bits
    fixedNodes_ = magic[3] == '3';
  }

  bool Decode() { return ReadVertexes() && ReadSubsectors() && ReadSegs() && ReadNodes() && AtEnd(); }

  // The ends of the segs, and the numbers that name nothing.
  void Link() {
    const uint64_t segCount = gl_.segs.size();
    uint64_t held = 0;
    for (const GlSubsector& sub : gl_.subsectors) held += sub.count;
    if (held != segCount) {
      findings_->Problem("SSECTORS", -1, "the %s subsectors hold %llu segs, the stream has %llu",
                         gl_.format.c_str(), static_cast<unsigned long long>(held),
                         static_cast<unsigned long long>(segCount));
    }
    for (const GlSubsector& sub : gl_.subsectors) {
      if (sub.count == 0 || sub.first + sub.count > segCount) continue;
      for (uint64_t k = sub.first; k + 1 < sub.first + sub.count; k++) gl_.segs[k].v2 = gl_.segs[k + 1].v1;
      gl_.segs[sub.first + sub.count - 1].v2 = gl_.segs[sub.first].v1;
    }
    for (size_t i = 0; i < gl_.segs.size(); i++) CheckNumbers(static_cast<long>(i), &gl_.segs[i]);
  }

 private:
  bool Short(const char* part) {
    findings_->Problem("SSECTORS", -1, "the %s stream ends inside its %s", gl_.format.c_str(), part);
    return false;
  }

  bool ReadVertexes() {
    if (!reader_.Has(8)) return Short("vertex counts");
    uint32_t original = reader_.U32();
    if (original != level_->vertexes.size()) {
      findings_->Problem("SSECTORS", -1,
                         "the %s stream counts %u vertexes before its own, VERTEXES has %zu; its vertex "
                         "numbers cannot be read",
                         gl_.format.c_str(), original, level_->vertexes.size());
      return false;
    }
    if (level_->udmf) {
      gl_.vertexes = level_->fixedVertexes;
    } else {
      for (const MapPoint& p : level_->vertexes) gl_.vertexes.push_back({p.x * kUnit, p.y * kUnit});
    }
    long added = reader_.ReadCount(8);
    if (added < 0) return Short("vertexes");
    for (long i = 0; i < added; i++) {
      int32_t x = reader_.S32();
      int32_t y = reader_.S32();
      gl_.vertexes.push_back({x, y});
    }
    return true;
  }

  bool ReadSubsectors() {
    long count = reader_.ReadCount(4);
    if (count < 0) return Short("subsectors");
    uint64_t first = 0;
    for (long i = 0; i < count; i++) {
      uint32_t segs = reader_.U32();
      gl_.subsectors.push_back({segs, first});
      first += segs;
    }
    return true;
  }

  bool ReadSegs() {
    long count = reader_.ReadCount(wideLines_ ? 13 : 11);
    if (count < 0) return Short("segs");
    for (long i = 0; i < count; i++) {
      GlSeg seg;
      seg.v1 = reader_.U32();
      seg.v2 = kGlNone;
      seg.partner = reader_.U32();
      if (wideLines_) {
        seg.line = reader_.U32();
        seg.miniseg = seg.line == 0xFFFFFFFFu;
      } else {
        seg.line = static_cast<uint32_t>(reader_.U16());
        seg.miniseg = seg.line == 0xFFFFu;
      }
      seg.side = reader_.U8();
      seg.valid = false;
      gl_.segs.push_back(seg);
    }
    return true;
  }

  bool ReadNodes() {
    long count = reader_.ReadCount(fixedNodes_ ? 40 : 32);
    if (count < 0) return Short("nodes");
    for (long i = 0; i < count; i++) {
      GlNode node;
      int32_t* line[4] = {&node.x, &node.y, &node.dx, &node.dy};
      for (int32_t* field : line) *field = fixedNodes_ ? reader_.S32() : reader_.S16() * kUnit;
      for (int side = 0; side < 2; side++)
        for (int k = 0; k < 4; k++) node.box[side][k] = reader_.S16();
      node.child[0] = reader_.U32();
      node.child[1] = reader_.U32();
      gl_.nodes.push_back(node);
    }
    return true;
  }

  bool AtEnd() {
    if (reader_.Left() == 0) return true;
    findings_->Problem("SSECTORS", -1, "the %s stream has %zu bytes after its nodes", gl_.format.c_str(),
                       reader_.Left());
    return false;
  }

  void CheckNumbers(long i, GlSeg* seg) {
    const size_t vertexCount = gl_.vertexes.size();
    bool valid = true;
    if (seg->v1 >= vertexCount) {
      findings_->Problem("SSECTORS", i, "GL seg %ld names vertex %u, there are %zu", i, seg->v1, vertexCount);
      valid = false;
    }
    // The end is the next seg's start, reported there when it names
    // nothing; none for a seg in no subsector, reported with the counts.
    if (seg->v2 >= vertexCount) valid = false;
    if (seg->partner != kGlNone && seg->partner >= gl_.segs.size()) {
      findings_->Problem("SSECTORS", i, "GL seg %ld names partner %u, there are %zu GL segs", i, seg->partner,
                         gl_.segs.size());
      valid = false;
    }
    if (!seg->miniseg) {
      if (seg->line >= level_->lines.size()) {
        findings_->Problem("SSECTORS", i, "GL seg %ld names linedef %u, LINEDEFS has %zu", i, seg->line,
                           level_->lines.size());
        valid = false;
      } else if (seg->side != 0 && seg->side != 1) {
        findings_->Problem("SSECTORS", i, "GL seg %ld has side %d", i, seg->side);
        valid = false;
      } else if (!level_->lines[seg->line].valid) {
        valid = false;  // the linedef's own problem is reported
      }
    }
    seg->valid = valid;
  }

  MapLevel* level_;
  GlNodes& gl_;
  Findings* findings_;
  StreamReader reader_;
  bool wideLines_ = false, fixedNodes_ = false;
};

}  // namespace

bool HasGlNodes(MapLevel* level) {
  const std::vector<uint8_t>& lump = level->lumps[kSubsectors];
  if (lump.size() < 4) return false;
  for (const char* magic : kGlMagics) {
    if (std::memcmp(lump.data(), magic, 4) == 0) {
      level->gl.format = magic;
      return true;
    }
  }
  return false;
}

void DecodeGlNodes(MapLevel* level, Findings* findings) {
  const std::vector<uint8_t>& lump = level->lumps[kSubsectors];
  std::vector<uint8_t> stream;
  if (level->gl.format[0] == 'Z') {
    if (!InflateAfterMagic(lump, &stream)) {
      findings->Problem("SSECTORS", -1, "the %s stream does not inflate", level->gl.format.c_str());
      return;
    }
  } else {
    stream.assign(lump.begin() + 4, lump.end());
  }
  GlStreamDecoder decoder(level, findings, stream);
  if (!decoder.Decode()) return;
  decoder.Link();
  level->gl.decoded = true;
}
