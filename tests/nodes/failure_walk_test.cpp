// SPDX-License-Identifier: GPL-2.0-or-later
// Memory refused anywhere in a large Final 48 build. A fallible block
// refused makes its thread give that work up, and the tree comes out the
// same to the byte; a block the recursion needs ends the run with the
// out-of-memory error. Nothing else may happen: no crash, no other
// message, no hang.
#include <vector>

#include "console/services.h"
#include "nodes/scratch.h"
#include "nodes/settings.h"
#include "nodes/tuning.h"
#include "tests/nodes/wad_level.h"

namespace {

class FailureWalkTest : public NodesTest {
 protected:
  void TearDown() override {
    ResetFallibleAllocations();
    FailNthAllocation(0);
    ResetChoiceTuning();
    NodesTest::TearDown();
  }

  // Four copies of a large level in a grid, the largest that fits.
  std::vector<std::vector<uint8_t>> Build(const WadImage& wad) {
    PutWadLevel(wad, "MAP12", 2, 2);
    ModeNumber = 48;
    FinalMode = true;
    BuildNodes(CreateSegs());
    auto bytesOf = [](const void* data, int32_t count, size_t size) {
      const uint8_t* bytes = static_cast<const uint8_t*>(data);
      return std::vector<uint8_t>(bytes, bytes + count * size);
    };
    std::vector<std::vector<uint8_t>> built = {
        bytesOf(Level.Segs, Level.SegCount, sizeof(SegRecord)),
        bytesOf(Level.Subsectors, Level.SubsectorCount, sizeof(SubsectorRecord)),
        bytesOf(Level.Nodes, Level.NodeCount, sizeof(NodeRecord)),
        bytesOf(Level.Vertexes, Level.VertexCount, sizeof(Vertex))};
    ReleaseTree();
    return built;
  }
};

// The blocks to refuse of `count` asked for: the first few one by one,
// then evenly spread, and the last.
std::vector<int64_t> WalkOver(int64_t count, int64_t spread) {
  std::vector<int64_t> walk;
  for (int64_t nth = 1; nth <= count && nth <= 4; nth++) walk.push_back(nth);
  for (int64_t k = 1; k < spread; k++) {
    int64_t nth = 4 + (count - 4) * k / spread;
    if (nth > walk.back()) walk.push_back(nth);
  }
  if (count > walk.back()) walk.push_back(count);
  return walk;
}

const char* const SiteNames[FallibleSiteCount] = {"scratch", "legacy", "proofs", "outlook"};

// With the lookahead foreseeing on the calling thread and the choice on one
// thread, the blocks are asked for in the same order every run, so the walk
// reaches each one it names; with the helpers and the lookahead thread on,
// the order follows the timing, and the walk samples it.
TEST_F(FailureWalkTest, ARefusedFallibleBlockLeavesTheTreeAlone) {
  WadImage wad;
  if (!LoadWad(FreedoomPath, &wad).empty()) GTEST_SKIP() << "no " << FreedoomPath;
  for (bool threaded : {false, true}) {
    ResetChoiceTuning();
    if (!threaded) {
      Tuning.lookahead = LookaheadInline;
      Tuning.threads = 1;
    }
    ResetFallibleAllocations();
    std::vector<std::vector<uint8_t>> clean = Build(wad);
    ASSERT_GT(clean[2].size(), 1000 * sizeof(NodeRecord));
    int64_t counts[FallibleSiteCount];
    for (int site = 0; site < FallibleSiteCount; site++) {
      counts[site] = CountFallibleAllocations(FallibleSite(site));
    }
    for (int site = 0; site < FallibleSiteCount; site++) {
      EXPECT_GT(counts[site], 0) << SiteNames[site] << " is never reached";
      for (int64_t nth : WalkOver(counts[site], threaded ? 2 : 8)) {
        ResetFallibleAllocations();
        FailFallibleAllocation(FallibleSite(site), nth);
        std::vector<std::vector<uint8_t>> built = Build(wad);
        if (!threaded) EXPECT_TRUE(FallibleAllocationRefused(FallibleSite(site))) << SiteNames[site];
        EXPECT_TRUE(built == clean) << SiteNames[site] << ", block " << nth << " of " << counts[site]
                                    << (threaded ? ", threaded" : "");
      }
    }
  }
}

// Every block the recursion asks for is needed: refused, it ends the run
// with the size asked for, from the first block to the last.
TEST_F(FailureWalkTest, ARefusedBlockOfTheRecursionEndsTheRunWithTheMemoryError) {
  WadImage wad;
  if (!LoadWad(FreedoomPath, &wad).empty()) GTEST_SKIP() << "no " << FreedoomPath;
  // A death test reruns the test binary: no thread of the other tests is
  // then around the dying child.
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  Tuning.lookahead = LookaheadInline;
  Tuning.threads = 1;
  FailNthAllocation(0);
  Build(wad);
  int64_t count = CountAllocations();
  ASSERT_GT(count, 100);
  for (int64_t nth : WalkOver(count, 6)) {
    EXPECT_NODES_FATAL(
        {
          FailNthAllocation(nth);
          Build(wad);
        },
        "cannot (re)?allocate [0-9]+ bytes")
        << "block " << nth << " of " << count;
  }
}

}  // namespace
