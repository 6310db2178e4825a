// SPDX-License-Identifier: GPL-2.0-or-later
// The partition choice on real levels: at every node of a few Freedoom
// levels, built as the run builds them, the fast choice picks the plain
// scan's seg under every setting of its layers.
#include <algorithm>
#include <atomic>
#include <cstring>
#include <thread>

#include "check/wad_image.h"
#include "nodes/lookahead.h"
#include "nodes/score.h"
#include "nodes/scratch.h"
#include "nodes/settings.h"
#include "tests/nodes/plain_choice.h"

namespace {

const char* const FreedoomPath = "/usr/share/games/doom/freedoom2.wad";

class ChoiceLevelsTest : public NodesTest {
 protected:
  void TearDown() override {
    ResetFallibleAllocations();
    ResetChoiceTuning();
    ChoiceJoinerStandsBy = false;
    NodesTest::TearDown();
  }

  // Puts a Doom-format level of the WAD into Level.
  void PutWadLevel(const WadImage& wad, const std::string& name) {
    int marker = FindEntry(wad, name);
    ASSERT_GE(marker, 0) << name;
    std::vector<uint8_t> lines = EntryBytes(wad, marker + 2), sides = EntryBytes(wad, marker + 3),
                         points = EntryBytes(wad, marker + 4);
    auto word = [](const std::vector<uint8_t>& bytes, size_t at) {
      return static_cast<int16_t>(bytes[at] | bytes[at + 1] << 8);
    };
    std::vector<std::pair<int, int>> vertexes;
    for (size_t at = 0; at + 4 <= points.size(); at += 4)
      vertexes.push_back({word(points, at), word(points, at + 2)});
    std::vector<TestLine> lineDefs;
    for (size_t at = 0; at + 14 <= lines.size(); at += 14) {
      lineDefs.push_back({static_cast<uint16_t>(word(lines, at)), static_cast<uint16_t>(word(lines, at + 2)),
                          word(lines, at + 10), word(lines, at + 12)});
    }
    std::vector<int> sectors;
    for (size_t at = 0; at + 30 <= sides.size(); at += 30) sectors.push_back(word(sides, at + 28));
    PutLevel(vertexes, lineDefs, sectors);
  }
};

TEST_F(ChoiceLevelsTest, EveryNodeChoosesAsThePlainScan) {
  WadImage wad;
  if (!LoadWad(FreedoomPath, &wad).empty()) GTEST_SKIP() << "no " << FreedoomPath;
  struct Run {
    const char* level;
    int16_t weight;
    bool final;
  } runs[] = {{"MAP30", 8, false}, {"MAP30", 48, true}, {"MAP07", 0, true},
              {"MAP31", 24, true}, {"MAP01", 48, true}, {"MAP02", 8, true}};
  int compared = 0;
  for (const Run& run : runs) {
    PutWadLevel(wad, run.level);
    ModeNumber = run.weight;
    FinalMode = run.final;
    std::vector<SegList> lists = {CreateSegs()};
    while (!lists.empty()) {
      SegList list = lists.back();
      lists.pop_back();
      if (!NeedsPartition(list)) {
        ReleaseSegList(&list);
        continue;
      }
      int32_t expected = PlainChoose(list, {ModeNumber, FinalMode});
      for (const LayerSetting& setting : LayerSettings()) {
        ApplyLayerSetting(setting);
        ASSERT_EQ(ChoosePartition(list), expected)
            << run.level << ", " << list.count << " segs, " << setting.name;
      }
      ResetChoiceTuning();
      compared++;
      // A division foreseen on a copy gives the lists the division gives,
      // in all that a choice reads.
      SegList foreseen[2];
      ASSERT_TRUE(ForeseeDivision(list, expected, &foreseen[0], &foreseen[1]));
      SegList right, left;
      DivideSegs(list, &right, &left);
      const SegList divided[2] = {right, left};
      for (int side = 0; side < 2; side++) {
        ASSERT_EQ(foreseen[side].count, divided[side].count);
        for (int32_t i = 0; i < divided[side].count; i++) {
          const BuildSeg &a = foreseen[side].segs[i], &b = divided[side].segs[i];
          ASSERT_TRUE(a.x1 == b.x1 && a.y1 == b.y1 && a.x2 == b.x2 && a.y2 == b.y2 && a.deltaX == b.deltaX &&
                      a.deltaY == b.deltaY && a.direction == b.direction && a.rightSector == b.rightSector &&
                      a.leftSector == b.leftSector)
              << run.level << ", seg " << i << " of side " << side;
        }
        ReleaseForeseenList(&foreseen[side]);
      }
      lists.push_back(right);
      lists.push_back(left);
    }
  }
  EXPECT_GT(compared, 1000);
}

// The tree built with its choices foreseen on the helper thread, or all
// replayed from lists foreseen at once on the calling thread, under every
// setting of the choice's layers, is the tree the recursion builds alone
// with every layer off: the same segs, subsectors, nodes and cut points, in
// every mode and with the root placed by axis.
TEST_F(ChoiceLevelsTest, ForeseenChoicesBuildTheTreeTheRecursionBuilds) {
  WadImage wad;
  if (!LoadWad(FreedoomPath, &wad).empty()) GTEST_SKIP() << "no " << FreedoomPath;
  struct Run {
    const char* level;
    int16_t weight;
    bool final;
    AxisModes axis;
  } runs[] = {{"MAP12", 48, true, AxisOff},
              {"MAP30", 8, false, AxisOff},
              {"MAP07", 24, true, AxisA},
              {"MAP20", 0, false, AxisH}};
  auto bytesOf = [](const void* data, int32_t count, size_t size) {
    const uint8_t* bytes = static_cast<const uint8_t*>(data);
    return std::vector<uint8_t>(bytes, bytes + count * size);
  };
  for (const Run& run : runs) {
    // The recursion alone with every layer off, then the lookahead on the
    // calling thread and on the helper under every setting of the layers.
    std::vector<LayerSetting> settings = LayerSettings();
    std::vector<std::vector<uint8_t>> alone;
    for (size_t i = 0; i <= 2 * settings.size(); i++) {
      const LayerSetting& setting = i == 0 ? settings.back() : settings[(i - 1) / 2];
      ApplyLayerSetting(setting);
      if (i > 0) Tuning.lookahead = i % 2 ? LookaheadInline : LookaheadAuto;
      PutWadLevel(wad, run.level);
      ModeNumber = run.weight;
      FinalMode = run.final;
      AxisMode = run.axis;
      BuildNodes(CreateSegs());
      std::vector<std::vector<uint8_t>> built = {
          bytesOf(Level.Segs, Level.SegCount, sizeof(SegRecord)),
          bytesOf(Level.Subsectors, Level.SubsectorCount, sizeof(SubsectorRecord)),
          bytesOf(Level.Nodes, Level.NodeCount, sizeof(NodeRecord)),
          bytesOf(Level.Vertexes, Level.VertexCount, sizeof(Vertex))};
      ReleaseTree();
      if (i == 0) {
        ASSERT_GT(Level.NodeCount, 100) << run.level;
        alone = built;
        continue;
      }
      for (size_t lump = 0; lump < built.size(); lump++) {
        EXPECT_TRUE(built[lump] == alone[lump]) << run.level << ", " << setting.name << ", lookahead "
                                                << (i % 2 ? "inline" : "threaded") << ", lump " << lump;
      }
    }
  }
  ResetChoiceTuning();
}

// A choice made ahead on one thread while another joins in whenever it
// finds it under way picks the seg the recursion's own choice picks.
TEST_F(ChoiceLevelsTest, AChoiceMadeAheadWithAJoinerChoosesAsTheRecursion) {
  WadImage wad;
  if (!LoadWad(FreedoomPath, &wad).empty()) GTEST_SKIP() << "no " << FreedoomPath;
  PutWadLevel(wad, "MAP12");
  SegList list = CreateSegs();
  for (int16_t weight : {0, 8, 48}) {
    for (bool final : {false, true}) {
      ModeNumber = weight;
      FinalMode = final;
      int32_t expected = ChoosePartition(list);
      std::atomic<bool> done{false};
      int32_t ahead = -3;
      std::thread maker([&] {
        ahead = ChoosePartitionAhead(list);
        done = true;
      });
      while (!done) JoinChoiceAhead();
      maker.join();
      EXPECT_EQ(ahead, expected) << "weight " << weight << (final ? ", Final" : ", Turbo");
    }
  }
  ReleaseSegList(&list);
}

// The recursion's own choice, opened to a thread standing by that joins in
// whenever it finds it open, picks the seg it picks on one thread.
TEST_F(ChoiceLevelsTest, AChoiceJoinedByAThreadStandingByChoosesAsOnOneThread) {
  WadImage wad;
  if (!LoadWad(FreedoomPath, &wad).empty()) GTEST_SKIP() << "no " << FreedoomPath;
  for (const char* level : {"MAP12", "MAP13", "MAP28"}) {
    PutWadLevel(wad, level);
    SegList list = CreateSegs();
    // The whole list, and its back half, whose choice runs longer.
    for (SegList part : {list, SegList{list.segs + list.count / 2, list.count - list.count / 2}}) {
      for (int16_t weight : {0, 8, 48}) {
        for (bool final : {false, true}) {
          ModeNumber = weight;
          FinalMode = final;
          Tuning.threads = 1;
          int32_t expected = ChoosePartition(part);
          Tuning.threads = 0;
          std::atomic<bool> done{false};
          std::thread joiner([&] {
            while (!done) JoinRecursionChoice();
          });
          ChoiceJoinerStandsBy = true;
          int32_t joined = ChoosePartition(part);
          ChoiceJoinerStandsBy = false;
          done = true;
          joiner.join();
          EXPECT_EQ(joined, expected) << level << " of " << part.count << " segs, weight " << weight
                                      << (final ? ", Final" : ", Turbo");
        }
      }
    }
    ReleaseSegList(&list);
  }
}

// A fallible block refused at any site (the first, a middle and the last
// one a clean build asked for there) makes its thread give that work up,
// and the tree comes out the same: Final 48, with the lookahead thread and
// the helpers on, where every site is reached.
TEST_F(ChoiceLevelsTest, AFallibleBlockRefusedAnywhereLeavesTheTreeAlone) {
  WadImage wad;
  if (!LoadWad(FreedoomPath, &wad).empty()) GTEST_SKIP() << "no " << FreedoomPath;
  Tuning.lookahead = LookaheadAuto;
  auto build = [&]() {
    PutWadLevel(wad, "MAP12");
    ModeNumber = 48;
    FinalMode = true;
    BuildNodes(CreateSegs());
    auto bytesOf = [](const void* data, int32_t count, size_t size) {
      const uint8_t* bytes = static_cast<const uint8_t*>(data);
      return std::vector<uint8_t>(bytes, bytes + count * size);
    };
    std::vector<std::vector<uint8_t>> built = {bytesOf(Level.Segs, Level.SegCount, sizeof(SegRecord)),
                                               bytesOf(Level.Nodes, Level.NodeCount, sizeof(NodeRecord)),
                                               bytesOf(Level.Vertexes, Level.VertexCount, sizeof(Vertex))};
    ReleaseTree();
    return built;
  };
  ResetFallibleAllocations();
  std::vector<std::vector<uint8_t>> clean = build();
  ASSERT_GT(clean[1].size(), 100 * sizeof(NodeRecord));
  int64_t counts[FallibleSiteCount];
  for (int site = 0; site < FallibleSiteCount; site++)
    counts[site] = CountFallibleAllocations(FallibleSite(site));
  for (int site = 0; site < FallibleSiteCount; site++) {
    EXPECT_GT(counts[site], 0) << "site " << site << " is never reached";
    for (int64_t nth : {int64_t{1}, counts[site] / 2, counts[site]}) {
      if (nth < 1) continue;
      ResetFallibleAllocations();
      FailFallibleAllocation(FallibleSite(site), nth);
      std::vector<std::vector<uint8_t>> built = build();
      if (nth == 1) {
        EXPECT_TRUE(FallibleAllocationRefused(FallibleSite(site))) << "site " << site;
      }
      EXPECT_TRUE(built == clean) << "site " << site << ", block " << nth << " of " << counts[site];
    }
  }
}

}  // namespace
