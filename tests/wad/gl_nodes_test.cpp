// SPDX-License-Identifier: GPL-2.0-or-later
// The GL forms decoded back by a reader of their own, written from the
// layouts: every field, the record sizes, the inflated streams, and the
// trees that a form refuses.
#include "wad/gl_nodes.h"

#include <zlib.h>

#include <cstring>
#include <random>

#include "tests/wad/wad_fixture.h"

namespace {

class GlEncodingTest : public WadTest {};

const GlForm AllForms[] = {GlForm::Xgln, GlForm::Xgl2, GlForm::Xgl3,
                           GlForm::Zgln, GlForm::Zgl2, GlForm::Zgl3};
const char* const Magics[] = {"XGLN", "XGL2", "XGL3", "ZGLN", "ZGL2", "ZGL3"};

// The whole of a zlib stream, with nothing after it.
std::vector<uint8_t> Inflate(const std::vector<uint8_t>& packed) {
  std::vector<uint8_t> out(1 << 20);
  z_stream z = {};
  EXPECT_EQ(inflateInit(&z), Z_OK);
  z.next_in = const_cast<uint8_t*>(packed.data());
  z.avail_in = static_cast<uInt>(packed.size());
  z.next_out = out.data();
  z.avail_out = static_cast<uInt>(out.size());
  EXPECT_EQ(inflate(&z, Z_FINISH), Z_STREAM_END);
  EXPECT_EQ(z.avail_in, 0u);
  out.resize(z.total_out);
  inflateEnd(&z);
  return out;
}

struct Reader {
  std::vector<uint8_t> bytes;
  size_t at = 0;
  uint32_t U(int width) {
    uint32_t v = 0;
    for (int k = 0; k < width; k++) v |= uint32_t(bytes.at(at++)) << (8 * k);
    return v;
  }
  int32_t S16() { return int16_t(U(2)); }
};

// The lump read back, of the size that the form's record sizes give.
GlTree Decode(const std::vector<uint8_t>& lump, int form, const GlTree& sizes) {
  EXPECT_EQ(std::string(lump.begin(), lump.begin() + 4), Magics[form]);
  std::vector<uint8_t> stream(lump.begin() + 4, lump.end());
  Reader r{form >= 3 ? Inflate(stream) : stream};
  bool wide = form % 3 != 0, fixedLines = form % 3 == 2;
  EXPECT_EQ(r.bytes.size(), 20 + 8 * sizes.newVertexes.size() + 4 * sizes.subsectorSegCounts.size() +
                                (wide ? 13 : 11) * sizes.segs.size() +
                                (fixedLines ? 40 : 32) * sizes.nodes.size());
  GlTree t = {};
  t.originalVertexes = r.U(4);
  t.newVertexes.resize(r.U(4));
  for (FixedPoint& v : t.newVertexes) v = {int32_t(r.U(4)), int32_t(r.U(4))};
  t.subsectorSegCounts.resize(r.U(4));
  for (uint32_t& c : t.subsectorSegCounts) c = r.U(4);
  t.segs.resize(r.U(4));
  for (GlTreeSeg& s : t.segs) {
    s.start = r.U(4), s.partner = r.U(4), s.linedef = r.U(wide ? 4 : 2);
    if (!wide && s.linedef == 0xFFFF) s.linedef = NoLinedef;
    s.side = uint8_t(r.U(1));
  }
  t.nodes.resize(r.U(4));
  for (GlTreeNode& n : t.nodes) {
    int32_t line[4];
    for (int32_t& v : line) v = fixedLines ? int32_t(r.U(4)) : r.S16() * 65536;
    n.start = {line[0], line[1]}, n.dx = line[2], n.dy = line[3];
    for (auto& box : n.boxes) {
      for (int16_t& v : box) v = int16_t(r.S16());
    }
    n.children[0] = r.U(4), n.children[1] = r.U(4);
  }
  EXPECT_EQ(r.at, r.bytes.size());
  return t;
}

void ExpectSameTree(const GlTree& a, const GlTree& b) {
  EXPECT_EQ(a.originalVertexes, b.originalVertexes);
  ASSERT_EQ(a.newVertexes.size(), b.newVertexes.size());
  for (size_t i = 0; i < a.newVertexes.size(); i++) EXPECT_TRUE(a.newVertexes[i] == b.newVertexes[i]) << i;
  EXPECT_EQ(a.subsectorSegCounts, b.subsectorSegCounts);
  ASSERT_EQ(a.segs.size(), b.segs.size());
  for (size_t i = 0; i < a.segs.size(); i++) {
    const GlTreeSeg &s = a.segs[i], &t = b.segs[i];
    EXPECT_TRUE(s.start == t.start && s.partner == t.partner && s.linedef == t.linedef && s.side == t.side)
        << i;
  }
  ASSERT_EQ(a.nodes.size(), b.nodes.size());
  for (size_t i = 0; i < a.nodes.size(); i++) {
    const GlTreeNode &n = a.nodes[i], &m = b.nodes[i];
    EXPECT_TRUE(n.start == m.start && n.dx == m.dx && n.dy == m.dy) << i;
    EXPECT_EQ(std::memcmp(n.boxes, m.boxes, sizeof n.boxes), 0) << i;
    EXPECT_TRUE(n.children[0] == m.children[0] && n.children[1] == m.children[1]) << i;
  }
}

// A random tree that every form can hold when its lines are whole.
GlTree RandomTree(std::mt19937& random, bool wholeLines) {
  auto any = [&] { return uint32_t(random()); };
  auto fixed = [&] { return int32_t(wholeLines ? any() & 0xFFFF0000u : any()); };
  GlTree t = {any(), 1 + any() % 65534, {}, {}, {}, {}};
  t.newVertexes.resize(random() % 20);
  for (FixedPoint& v : t.newVertexes) v = {int32_t(any()), int32_t(any())};
  t.subsectorSegCounts.resize(random() % 20);
  for (uint32_t& c : t.subsectorSegCounts) c = any();
  t.segs.resize(random() % 40);
  for (GlTreeSeg& s : t.segs)
    s = {any(), random() % 4 ? any() : NoPartner, random() % 4 ? any() % t.linedefs : NoLinedef,
         uint8_t(any() % 2)};
  t.nodes.resize(random() % 20);
  for (GlTreeNode& n : t.nodes) {
    n.start = {fixed(), fixed()}, n.dx = fixed(), n.dy = fixed();
    for (auto& box : n.boxes) {
      for (int16_t& v : box) v = int16_t(any());
    }
    n.children[0] = any(), n.children[1] = any();
  }
  return t;
}

TEST_F(GlEncodingTest, EveryFormDecodesToTheTreeItWasGiven) {
  std::mt19937 random(2026);
  for (int i = 0; i < 300; i++) {
    GlTree tree = RandomTree(random, i % 2 == 0);
    tree.linedefs = i % 3 ? tree.linedefs : 65534;  // the most XGLN numbers
    for (int form = 0; form < 6; form++) {
      if (i % 2 && form % 3 != 2) continue;  // fractional lines: XGL3 alone
      ASSERT_EQ(FindGlRefusal(tree, AllForms[form]), GlRefusal::None);
      std::vector<uint8_t> lump = EncodeGlNodes(tree, AllForms[form]);
      SCOPED_TRACE(Magics[form]);
      ExpectSameTree(Decode(lump, form, tree), tree);
    }
  }
}

TEST_F(GlEncodingTest, FormsRefuseWhatTheyCannotHold) {
  GlTree tree = {4, 65535, {}, {1}, {{0, NoPartner, 7, 0}}, {}};
  GlRefusal many[] = {GlRefusal::TooManyLinedefs, GlRefusal::None, GlRefusal::None};
  for (int form = 0; form < 6; form++) EXPECT_EQ(FindGlRefusal(tree, AllForms[form]), many[form % 3]) << form;
  tree.linedefs = 65534;
  GlTreeNode whole = {{-65536, 3 << 16}, 0x7FFF0000, INT32_MIN, {}, {GlSubsectorFlag, GlSubsectorFlag}};
  tree.nodes = {whole};
  for (int form = 0; form < 6; form++)
    EXPECT_EQ(FindGlRefusal(tree, AllForms[form]), GlRefusal::None) << form;
  for (int field = 0; field < 4; field++) {
    GlTreeNode node = whole;
    int32_t* fields[] = {&node.start.x, &node.start.y, &node.dx, &node.dy};
    *fields[field] += 1 << (field * 5);  // 1/65536 up to 2^15/65536
    tree.nodes = {whole, node};
    GlRefusal fractional[] = {GlRefusal::FractionalNodeLine, GlRefusal::FractionalNodeLine, GlRefusal::None};
    for (int form = 0; form < 6; form++) EXPECT_EQ(FindGlRefusal(tree, AllForms[form]), fractional[form % 3]);
  }
  EXPECT_FATAL(EncodeGlNodes(tree, GlForm::Zgl2), DescribeGlRefusal(GlRefusal::FractionalNodeLine));
  tree.linedefs = 65535;
  EXPECT_FATAL(EncodeGlNodes(tree, GlForm::Xgln), DescribeGlRefusal(GlRefusal::TooManyLinedefs));
  EXPECT_NE(std::string(DescribeGlRefusal(GlRefusal::TooLarge)),
            DescribeGlRefusal(GlRefusal::TooManyLinedefs));
}

}  // namespace
