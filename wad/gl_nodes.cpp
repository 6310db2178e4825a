// SPDX-License-Identifier: GPL-2.0-or-later
// Encoding the GL tree in the ZDoom GL forms.
#include "wad/gl_nodes.h"

#include <zlib.h>

#include <cassert>
#include <cstdint>

#include "console/services.h"
#include "wad/field_writer.h"

bool GlNodesRequested = false;
GlForm RequestedGlForm = GlForm::Xgl3;

void ResetGlNodes() {
  GlNodesRequested = false;
  RequestedGlForm = GlForm::Xgl3;
}

namespace {

// XGLN numbers linedefs in 16 bits, where 0xFFFF marks a miniseg. It is
// held to one linedef fewer than the numbers allow, where other builders
// turn to XGL2 as well, so that a level gets the same form from either.
constexpr uint32_t XglnMaxLinedefs = 65534;
constexpr uint16_t XglnMiniseg = 0xFFFF;

// The lump sizes the directory can hold.
constexpr int64_t MaxLumpBytes = INT32_MAX;

// What tells the forms apart.
struct Layout {
  const char* magic;
  bool deflated;
  bool wideLinedefs;  // u32 linedef numbers (XGL2, XGL3), else u16
  bool fixedLines;    // node lines as fixed (XGL3), else whole s16
};

Layout LayoutOf(GlForm form) {
  switch (form) {
    case GlForm::Xgln: return {"XGLN", false, false, false};
    case GlForm::Xgl2: return {"XGL2", false, true, false};
    case GlForm::Xgl3: return {"XGL3", false, true, true};
    case GlForm::Zgln: return {"ZGLN", true, false, false};
    case GlForm::Zgl2: return {"ZGL2", true, true, false};
    case GlForm::Zgl3: return {"ZGL3", true, true, true};
  }
  return {"XGLN", false, false, false};
}

// Bytes of the stream after the magic: four counts and the records.
int64_t StreamSizeOf(const GlTree& tree, const Layout& layout) {
  int64_t segBytes = layout.wideLinedefs ? 13 : 11;
  int64_t nodeBytes = layout.fixedLines ? 40 : 32;
  return 20 + static_cast<int64_t>(tree.newVertexes.size()) * 8 +
         static_cast<int64_t>(tree.subsectorSegCounts.size()) * 4 +
         static_cast<int64_t>(tree.segs.size()) * segBytes +
         static_cast<int64_t>(tree.nodes.size()) * nodeBytes;
}

// A fixed value that XGLN and XGL2 can write: whole units, whose s16 is
// then the value divided by 65536 (an int32 always gives 16 bits there).
bool IsWhole(int32_t fixed) { return (fixed & 0xFFFF) == 0; }

void WriteStream(const GlTree& tree, const Layout& layout, uint8_t* block) {
  FieldWriter out(block);
  out.U32(tree.originalVertexes);
  out.U32(static_cast<uint32_t>(tree.newVertexes.size()));
  for (FixedPoint v : tree.newVertexes) {
    out.U32(static_cast<uint32_t>(v.x));
    out.U32(static_cast<uint32_t>(v.y));
  }
  out.U32(static_cast<uint32_t>(tree.subsectorSegCounts.size()));
  for (uint32_t count : tree.subsectorSegCounts) out.U32(count);
  out.U32(static_cast<uint32_t>(tree.segs.size()));
  for (const GlTreeSeg& seg : tree.segs) {
    assert(seg.linedef == NoLinedef || seg.linedef < tree.linedefs);
    out.U32(seg.start);
    out.U32(seg.partner);
    if (layout.wideLinedefs) {
      out.U32(seg.linedef);
    } else {
      out.U16(seg.linedef == NoLinedef ? XglnMiniseg : seg.linedef);
    }
    out.U8(seg.side);
  }
  out.U32(static_cast<uint32_t>(tree.nodes.size()));
  for (const GlTreeNode& node : tree.nodes) {
    for (int32_t value : {node.start.x, node.start.y, node.dx, node.dy}) {
      if (layout.fixedLines) {
        out.U32(static_cast<uint32_t>(value));
      } else {
        out.U16(static_cast<uint16_t>(value / 65536));
      }
    }
    for (const auto& box : node.boxes) {
      for (int16_t value : box) out.U16(static_cast<uint16_t>(value));
    }
    out.U32(node.children[0]);
    out.U32(node.children[1]);
  }
  assert(out.at() == block + StreamSizeOf(tree, layout));
}

}  // namespace

GlRefusal FindGlRefusal(const GlTree& tree, GlForm form) {
  Layout layout = LayoutOf(form);
  if (!layout.wideLinedefs && tree.linedefs > XglnMaxLinedefs) return GlRefusal::TooManyLinedefs;
  if (!layout.fixedLines) {
    for (const GlTreeNode& node : tree.nodes) {
      if (!IsWhole(node.start.x) || !IsWhole(node.start.y) || !IsWhole(node.dx) || !IsWhole(node.dy)) {
        return GlRefusal::FractionalNodeLine;
      }
    }
  }
  // The bound also keeps every count within 32 bits.
  if (4 + StreamSizeOf(tree, layout) > MaxLumpBytes) return GlRefusal::TooLarge;
  return GlRefusal::None;
}

const char* DescribeGlRefusal(GlRefusal refusal) {
  switch (refusal) {
    case GlRefusal::None: return "The GL nodes fit the form";
    case GlRefusal::TooManyLinedefs:
      return "More than 65,534 linedefs: XGLN and ZGLN number them in 16 bits, where 0xFFFF marks a "
             "miniseg (XGL2 and XGL3 hold them)";
    case GlRefusal::FractionalNodeLine:
      return "A partition line cannot be written in whole units: XGLN and XGL2 (and ZGLN, ZGL2) write node "
             "lines in 16-bit whole units (XGL3 holds them)";
    case GlRefusal::TooLarge: return "The GL nodes take more bytes than a lump can hold";
  }
  return "";
}

std::vector<uint8_t> EncodeGlNodes(const GlTree& tree, GlForm form) {
  GlRefusal refusal = FindGlRefusal(tree, form);
  if (refusal != GlRefusal::None) FatalError("%s", DescribeGlRefusal(refusal));
  Layout layout = LayoutOf(form);
  int64_t streamSize = StreamSizeOf(tree, layout);
  if (!layout.deflated) {
    std::vector<uint8_t> lump(static_cast<size_t>(4 + streamSize));
    WriteMagic(lump.data(), layout.magic);
    WriteStream(tree, layout, lump.data() + 4);
    return lump;
  }
  std::vector<uint8_t> stream(static_cast<size_t>(streamSize));
  WriteStream(tree, layout, stream.data());
  uLongf packed = compressBound(static_cast<uLong>(streamSize));
  std::vector<uint8_t> lump(4 + static_cast<size_t>(packed));
  int status = compress2(lump.data() + 4, &packed, stream.data(), static_cast<uLong>(streamSize),
                         Z_DEFAULT_COMPRESSION);
  if (status != Z_OK) FatalError("Could not compress the GL nodes: zlib error %d", status);
  if (4 + static_cast<int64_t>(packed) > MaxLumpBytes)
    FatalError("%s", DescribeGlRefusal(GlRefusal::TooLarge));
  WriteMagic(lump.data(), layout.magic);
  lump.resize(4 + static_cast<size_t>(packed));
  return lump;
}
