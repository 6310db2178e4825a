// The partition choice on real levels: at every node of a few Freedoom
// levels, built as the run builds them, the fast choice on one thread and
// on several picks the plain scan's seg.
#include <algorithm>

#include "check/wad_image.h"
#include "nodes/score.h"
#include "tests/nodes/node_fixture.h"

namespace {

const char* const FreedoomPath = "/usr/share/games/doom/freedoom2.wad";

class ChoiceLevelsTest : public NodesTest {
 protected:
  void TearDown() override {
    ChoiceThreads = 0;
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
      int32_t expected = PlainChoosePartition(list.segs, list.count);
      for (int32_t threads : {1, 2, 5}) {
        ChoiceThreads = threads;
        ASSERT_EQ(ChoosePartition(list), expected)
            << run.level << ", " << list.count << " segs, " << threads << " threads";
      }
      compared++;
      SegList right, left;
      DivideSegs(list, &right, &left);
      lists.push_back(right);
      lists.push_back(left);
    }
  }
  EXPECT_GT(compared, 1000);
}

}  // namespace
