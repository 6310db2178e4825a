// SPDX-License-Identifier: GPL-2.0-or-later
// The GL tree against plain references: the choice against a plain scan
// that scores every candidate to its end in 128-bit products, under every
// switch of its speed-ups; real levels built the same bytes under every
// switch, with mutual partners and closed loops; node directions fitted
// exactly where they can be.
#include "nodes/gl_tree.h"

#include <gtest/gtest.h>

#include <climits>
#include <random>
#include <vector>

#include "nodes/gl_choice.h"
#include "nodes/gl_lines.h"
#include "nodes/tuning.h"
#include "tests/nodes/plain_choice.h"
#include "tests/nodes/wad_level.h"

namespace {

class GlTreeTest : public NodesTest {
 protected:
  void TearDown() override {
    ResetChoiceTuning();
    ResetGlLines();
    NodesTest::TearDown();
  }
};

// The walls as GL segs, their lines numbered; the sector of no account.
std::vector<GlBuildSeg> GlSegsOf(const std::vector<BuildSeg>& walls) {
  std::vector<GlBuildSeg> segs;
  std::vector<FixedLine> lines;
  for (const BuildSeg& wall : walls) {
    FixedPoint a = {wall.x1 * 65536, wall.y1 * 65536}, b = {wall.x2 * 65536, wall.y2 * 65536};
    if (a == b) continue;
    segs.push_back({a, b, {a, b}, 0, 0, 0, static_cast<uint8_t>(wall.direction), false});
    lines.push_back({a, b});
  }
  std::vector<int32_t> ids = NumberGlLines(lines);
  for (size_t i = 0; i < segs.size(); i++) {
    segs[i].lineId = ids[i];
    FindGlLineKey(segs[i].line, &segs[i].forward);
  }
  return segs;
}

// Every candidate scored to its end; the first whose largest running cost
// stays below the best cost so far, with both sides non-empty, is the best.
int32_t PlainGlChoice(const std::vector<GlBuildSeg>& segs, CostRule rule) {
  int32_t best = -1, bestCost = INT32_MAX;
  for (size_t p = 0; p < segs.size() && segs.size() > 1; p++) {
    int32_t left = 0, right = 0, splits = 0, k = 0, cost = 0, peak = INT32_MIN;
    for (size_t q = 0; q < segs.size(); q++) {
      if (q == p) {
        right++;
        continue;
      }
      k++;
      FixedPoint cut;
      GlPlace place = PlaceGlSeg(segs[p], segs[q], &cut);
      if (place == GlPlace::Crosses) {
        left++, right++, splits += rule.weight;
      } else {
        (place == GlPlace::Left ? left : right)++;
      }
      cost = std::max(left, right) + splits - (rule.final ? 2 * k / 3 : k);
      peak = std::max(peak, cost);
    }
    if (peak < bestCost && left > 0 && right > 0) {
      bestCost = cost;
      best = static_cast<int32_t>(p);
    }
  }
  return best;
}

TEST_F(GlTreeTest, ChoiceAgreesWithThePlainScanUnderEverySwitch) {
  std::mt19937 random(20261209);
  const CostRule rules[] = {{8, false}, {8, true}, {48, false}, {0, true}};
  for (int round = 0; round < 40; round++) {
    std::vector<BuildSeg> walls = RandomLevel(random, 1 + round % 12, 300 + 400 * (round % 5));
    const CostRule rule = rules[round % 4];
    // The lines are numbered once for all the runs below.
    std::vector<GlBuildSeg> segs = GlSegsOf(walls);
    Tuning.glShortProducts = false;
    const int32_t want = PlainGlChoice(segs, rule);
    for (int setting = 0; setting < 8; setting++) {
      Tuning.glShortProducts = setting & 1;
      Tuning.glTwinPairs = setting & 2;
      const int32_t threads = setting & 4 ? 2 : 1;
      Tuning.glSharedChoiceSegs = 2;  // even short lists shared out
      EXPECT_EQ(ChooseGlPartition(segs, rule, threads), want) << "round " << round << ", setting " << setting;
    }
    ResetChoiceTuning();
  }
}

// What is true of any GL tree, checked on the built one: every subsector a
// loop of at least three segs, each partner's partner the seg itself, over
// the same stretch the other way, and every child named once.
void ExpectSoundShape(const GlTree& tree, const char* level) {
  std::vector<uint32_t> subsectorOf, startOf;
  std::vector<uint32_t> endOf(tree.segs.size());
  uint32_t first = 0;
  for (size_t s = 0; s < tree.subsectorSegCounts.size(); s++) {
    uint32_t count = tree.subsectorSegCounts[s];
    ASSERT_GE(count, 3u) << level << " subsector " << s;
    for (uint32_t k = 0; k < count; k++) endOf[first + k] = tree.segs[first + (k + 1) % count].start;
    first += count;
  }
  ASSERT_EQ(first, tree.segs.size()) << level;
  for (size_t k = 0; k < tree.segs.size(); k++) {
    uint32_t partner = tree.segs[k].partner;
    if (partner == NoPartner) continue;
    ASSERT_LT(partner, tree.segs.size()) << level << " seg " << k;
    EXPECT_EQ(tree.segs[partner].partner, k) << level << " seg " << k;
    EXPECT_EQ(tree.segs[partner].start, endOf[k]) << level << " seg " << k;
    EXPECT_EQ(endOf[partner], tree.segs[k].start) << level << " seg " << k;
  }
  std::vector<int> named(tree.nodes.size() + tree.subsectorSegCounts.size(), 0);
  for (const GlTreeNode& node : tree.nodes)
    for (uint32_t child : node.children)
      named[child & GlSubsectorFlag ? tree.nodes.size() + (child & ~GlSubsectorFlag) : child]++;
  if (!tree.nodes.empty()) named[tree.nodes.size() - 1]++;  // the root
  for (size_t i = 0; i < named.size(); i++) EXPECT_EQ(named[i], 1) << level << " child " << i;
}

TEST_F(GlTreeTest, RealLevelsBuildTheSameTreeUnderEverySwitch) {
  WadImage wad;
  if (!LoadWad(FreedoomPath, &wad).empty()) GTEST_SKIP() << "no " << FreedoomPath;
  // Each switch off in turn, and the threads made to share out far more.
  const auto settings = {+[] {}, +[] { Tuning.glThreads = 1; }, +[] { Tuning.glShortProducts = false; },
                         +[] { Tuning.glTwinPairs = false; },
                         +[] {
                           Tuning.glThreads = 2;
                           Tuning.glSubtreeTasks = 64;
                           Tuning.glSubtreeSegs = 8;
                           Tuning.glSharedChoiceSegs = 64;
                         }};
  for (const char* level : {"MAP01", "MAP07", "MAP15"}) {
    PutWadLevel(wad, level);
    Level.LineDefVertexCount = Level.VertexCount;
    GlLevelInput input = ReadGlInputFromLevel();
    std::vector<uint8_t> want;
    for (auto apply : settings) {
      ResetChoiceTuning();
      apply();
      GlTree tree;
      BuildGlTree(input, CostRule{8, false}, &tree);
      std::vector<uint8_t> bytes = EncodeGlNodes(tree, GlForm::Xgl3);
      if (want.empty()) {
        want = bytes;
        EXPECT_GT(tree.nodes.size(), 100u) << level;
        ExpectSoundShape(tree, level);
      }
      EXPECT_EQ(bytes, want) << level;
    }
  }
}

TEST(GlDirectionTest, DirectionsFitSixteenBitsExactlyWhereHalvingAllows) {
  struct Case {
    int32_t dx, dy;          // whole units, from a corner of the 16-bit range
    int64_t wantDx, wantDy;  // fixed
  } cases[] = {
      {32767, -32767, 32767LL * 65536, -32767LL * 65536},  // fits as it is
      {65534, 2, 32767LL * 65536, 1LL * 65536},            // halved once, still whole
      {65535, 0, 65536, 0},                                // along an axis: one unit
      {-64001, 64001, -65536, 65536},                      // at 45 degrees
      {65535, 3, 21845LL * 65536, 65536},                  // divided by their common divisor
      {65533, 2, 65533LL * 32768, 65536},                  // halved in 16.16: no longer whole
      {-60000, 20000, -30000LL * 65536, 10000LL * 65536},
  };
  for (const Case& c : cases) {
    int64_t x = c.dx > 0 ? -32768 : 32767, y = c.dy > 0 ? -32768 : 32767;
    FixedLine line = {{static_cast<int32_t>(x * 65536), static_cast<int32_t>(y * 65536)},
                      {static_cast<int32_t>((x + c.dx) * 65536), static_cast<int32_t>((y + c.dy) * 65536)}};
    int32_t dx, dy;
    FitGlDirection(line, &dx, &dy);
    EXPECT_EQ(dx, c.wantDx) << c.dx << "," << c.dy;
    EXPECT_EQ(dy, c.wantDy) << c.dx << "," << c.dy;
  }
  // An odd direction too long to halve is scaled to the longest that fits,
  // and keeps its way.
  FixedLine odd = {{INT32_MIN, 0},
                   {static_cast<int32_t>(int64_t{INT32_MIN} + int64_t{65535} * 65536 - 1), 3}};
  int32_t dx, dy;
  FitGlDirection(odd, &dx, &dy);
  EXPECT_EQ(dx, 32767 * 65536);
  EXPECT_EQ(dy, 1);
}

}  // namespace
