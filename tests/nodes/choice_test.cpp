// SPDX-License-Identifier: GPL-2.0-or-later
// The fast scan of the partition choice against the plain one: block
// counting, twin pairs and the early exits must not change a single choice.
#include <algorithm>
#include <climits>
#include <random>

#include "nodes/inherited_proofs.h"
#include "nodes/score.h"
#include "tests/nodes/plain_choice.h"

namespace {

class ChoiceTest : public NodesTest {
 protected:
  void TearDown() override {
    ResetChoiceTuning();
    NodesTest::TearDown();
  }
};

// Every candidate of many lists, scored against bounds below, at and above
// its plain peak and against none: stopped exactly when the plain peak
// reaches the bound, with a reached cost from the bound up to the plain
// peak; otherwise a ceiling from the plain peak up to the bound, and the
// plain final cost and counts.
// List lengths cross every block size, and twin pairs are scored together.
TEST_F(ChoiceTest, ScoresAgreeWithThePlainRun) {
  std::mt19937 random(1208);
  int twins = 0, stopped = 0, whole = 0;
  for (int round = 0; round < 120; round++) {
    std::vector<BuildSeg> segs = RandomLevel(random, 1 + round % 23, round % 3 ? 3000 : 300);
    if (segs.size() < 2) continue;
    CostRule rule = {static_cast<int32_t>(random() % 49), round % 2 == 0};
    SegList list = ListOf(segs);
    SegTable table;
    FillSegTable(&table, list);
    for (int32_t p = 0; p < list.count; p++) {
      bool twin = IsTwinPair(table, p);
      PlainRun plain[2] = {PlainScore(segs, p, rule), twin ? PlainScore(segs, p + 1, rule) : PlainRun{}};
      const int32_t offsets[] = {-1, 0, 1, 40};
      for (int32_t offset : offsets) {
        int32_t bound = offset == 40 ? INT32_MAX : plain[twin ? 1 : 0].peak + offset;
        CandidateScore scores[2];
        ScoreCandidates(table, p, twin, bound, rule, scores);
        for (int j = 0; j <= twin; j++) {
          const PlainRun& expected = plain[j];
          const CandidateScore& got = scores[j];
          ASSERT_EQ(got.stopped, expected.peak >= bound) << "round " << round << " seg " << p + j;
          if (got.stopped) {
            ASSERT_GE(got.reached, bound) << "round " << round << " seg " << p + j;
            ASSERT_LE(got.reached, expected.peak) << "round " << round << " seg " << p + j;
            stopped++;
            continue;
          }
          whole++;
          ASSERT_GE(got.ceiling, expected.peak) << "round " << round << " seg " << p + j;
          ASSERT_LT(got.ceiling, bound) << "round " << round << " seg " << p + j;
          ASSERT_EQ(got.cost, expected.cost) << "round " << round << " seg " << p + j;
          ASSERT_EQ(got.left, expected.left) << "round " << round << " seg " << p + j;
          ASSERT_EQ(got.right, expected.right) << "round " << round << " seg " << p + j;
        }
      }
      if (twin) {
        twins++;
        p++;
      }
    }
    ReleaseSegTable(&table);
    ReleaseSegList(&list);
  }
  EXPECT_GT(twins, 500);
  EXPECT_GT(stopped, 10000);
  EXPECT_GT(whole, 10000);
}

// How far the running costs of the segs on the line of a stopped scan's
// proof lie above its least, plainly: each seg's cost after the proof's
// seg, that seg itself left out. The smallest margin, and how many segs.
struct ProofMargin {
  int64_t smallest = INT64_MAX;
  int32_t segs = 0;
};

ProofMargin LineProofMargin(const std::vector<BuildSeg>& segs, size_t candidate, const LineProof& proof,
                            CostRule rule) {
  ProofMargin margin;
  const BuildSeg& p = segs[candidate];
  PartitionLine line = LineBetween(p.x1, p.y1, p.x2, p.y2);
  auto side = [&](int64_t x, int64_t y) { return (line.x1 - x) * line.dy - (line.y1 - y) * line.dx; };
  for (size_t r = 0; r < segs.size(); r++) {
    const BuildSeg& seg = segs[r];
    bool onLine =
        (seg.x1 != seg.x2 || seg.y1 != seg.y2) && side(seg.x1, seg.y1) == 0 && side(seg.x2, seg.y2) == 0;
    if (!onLine || static_cast<int32_t>(r) == proof.position) continue;
    int64_t cost = PlainCostAfter(segs, r, static_cast<size_t>(proof.position), rule);
    margin.smallest = std::min(margin.smallest, cost - proof.least);
    margin.segs++;
  }
  return margin;
}

// What a stopped scan proves of the other segs on its line holds for each
// of them, plainly: their running cost after the proof's seg is at least
// its least. Lists with runs of walls along one line, both ways round.
TEST_F(ChoiceTest, LineProofsHoldForEverySegOnTheLine) {
  std::mt19937 random(2026);
  int checked = 0;
  for (int round = 0; round < 60; round++) {
    std::vector<BuildSeg> segs = RandomLevel(random, 1 + round % 7, round % 2 ? 2000 : 200);
    if (segs.size() < 2) continue;
    CostRule rule = {static_cast<int32_t>(random() % 49), round % 3 != 0};
    SegList list = ListOf(segs);
    SegTable table;
    FillSegTable(&table, list);
    for (int32_t p = 0; p < list.count; p++) {
      bool twin = IsTwinPair(table, p) && !(p > 0 && IsTwinPair(table, p - 1));
      int32_t peak = PlainScore(segs, static_cast<size_t>(p + twin), rule).peak;
      for (int32_t bound : {peak, peak - 30}) {
        CandidateScore scores[2];
        LineProof proof = {INT32_MIN, -1};
        ScoreCandidates(table, p, twin, bound, rule, scores, &proof);
        // A seg of no length lies on no line.
        if (!scores[0].stopped || (segs[p].x1 == segs[p].x2 && segs[p].y1 == segs[p].y2)) continue;
        ProofMargin margin = LineProofMargin(segs, static_cast<size_t>(p), proof, rule);
        if (margin.segs > 0) ASSERT_GE(margin.smallest, 0) << "round " << round << ", candidate " << p;
        checked += margin.segs;
      }
      p += twin;
    }
    ReleaseSegTable(&table);
    ReleaseSegList(&list);
  }
  EXPECT_GT(checked, 5000);
}

// Walls below the line y = 0, away from it: on the right of a seg along
// that line from left to right.
std::vector<BuildSeg> WallsBelow(int32_t count) {
  std::vector<BuildSeg> walls;
  for (int32_t k = 0; k < count; k++) walls.push_back(Wall(10 * k, -20, 10 * k + 5, -20));
  return walls;
}

std::vector<BuildSeg> Joined(std::vector<std::vector<BuildSeg>> parts) {
  std::vector<BuildSeg> segs;
  for (const std::vector<BuildSeg>& part : parts) segs.insert(segs.end(), part.begin(), part.end());
  return segs;
}

// Lists where the proof of a stopped scan is exactly the running cost of
// another seg on the candidate's line: each holds a seg that this other
// seg sees otherwise than the candidate (or none), on the candidate's
// larger side, so that every term of the proof is needed, and none may be
// less either. The scans stop after the first leaf block of eight segs.
TEST_F(ChoiceTest, LineProofsAreReachedByTheWorstSegOnTheLine) {
  struct Case {
    const char* name;
    std::vector<BuildSeg> segs;
    int32_t candidate, bound;
    CostRule rule;
  } cases[] = {
      // The cut point of the first wall rounds to (1, 0) against a line
      // five long, and to (2, 0), a step from the wall's end, against a
      // line one long: a cut for the candidate, not for the other seg.
      {"a wall crossing near the line",
       Joined({{Wall(0, 3, 2, -1)}, WallsBelow(7), {Wall(100, 0, 105, 0), Wall(200, 0, 201, 0)}}),
       8,
       10,
       {10, false}},
      {"a wall along the line, of the other seg's other direction",
       Joined({{Wall(-50, 0, -40, 0, 0)}, WallsBelow(7), {Wall(100, 0, 105, 0, 0), Wall(200, 0, 210, 0, 1)}}),
       8,
       3,
       {0, true}},
      {"the candidate itself, of the other seg's other direction",
       Joined({{Wall(100, 0, 105, 0, 0)}, WallsBelow(7), {Wall(200, 0, 210, 0, 1)}}),
       0,
       1,
       {0, false}},
      {"nothing seen otherwise: a cut far from the line, a reversed seg beyond",
       Joined({{Wall(50, 20, 50, -20)}, WallsBelow(7), {Wall(100, 0, 105, 0), Wall(203, 0, 200, 0)}}),
       8,
       10,
       {10, false}},
  };
  for (const Case& c : cases) {
    SegList list = ListOf(c.segs);
    SegTable table;
    FillSegTable(&table, list);
    CandidateScore scores[2];
    LineProof proof = {INT32_MIN, -1};
    ScoreCandidates(table, c.candidate, false, c.bound, c.rule, scores, &proof);
    ASSERT_TRUE(scores[0].stopped) << c.name;
    ProofMargin margin = LineProofMargin(c.segs, static_cast<size_t>(c.candidate), proof, c.rule);
    ASSERT_GT(margin.segs, 0) << c.name;
    EXPECT_GE(margin.smallest, 0) << c.name << ": the proof claims more than a seg's cost";
    EXPECT_LE(margin.smallest, 0) << c.name << ": the proof falls short of the worst seg";
    ReleaseSegTable(&table);
    ReleaseSegList(&list);
  }
}

// Whole choices on level-like lists of up to two thousand segs, in both
// modes and across the weights, including lists that end in a twin pair,
// under every setting of the layers.
TEST_F(ChoiceTest, ChoiceAgreesWithThePlainScanOnLevelLikeLists) {
  std::mt19937 random(31);
  int differentFromHead = 0;
  for (int round = 0; round < 40; round++) {
    std::vector<BuildSeg> segs = RandomLevel(random, 1 + round * 3 / 2, 4000);
    if (round % 4 == 1) {
      segs.push_back(Wall(-5, -5, 5, 5, 0));
      segs.push_back(Wall(5, 5, -5, -5, 1));
    }
    FinalMode = round % 3 != 0;
    ModeNumber = static_cast<int16_t>(round % 5 == 0 ? 0 : random() % 49);
    int32_t expected = PlainChoose(segs, {ModeNumber, FinalMode});
    for (const LayerSetting& setting : LayerSettings()) {
      ApplyLayerSetting(setting);
      ASSERT_EQ(Choose(segs), expected)
          << "round " << round << ", " << segs.size() << " segs, " << setting.name;
    }
    if (expected != 0) differentFromHead++;
  }
  EXPECT_GT(differentFromHead, 20);
}

// A list made from another one as divisions make them: segs taken away one
// by one and in runs (a room peeled off), segs cut in two with either piece
// kept, and walls from elsewhere put in, the order kept.
std::vector<BuildSeg> DeriveList(std::mt19937& random, const std::vector<BuildSeg>& earlier) {
  std::vector<BuildSeg> later;
  std::uniform_int_distribution<int32_t> roll(0, 99);
  for (size_t i = 0; i < earlier.size(); i++) {
    BuildSeg seg = earlier[i];
    int32_t r = roll(random);
    if (r < 3) {
      i += static_cast<size_t>(random() % 12);  // a run taken away
    } else if (r < 8) {
      continue;
    } else if (r < 11 && (seg.x1 != seg.x2 || seg.y1 != seg.y2)) {
      int32_t mx = (seg.x1 + seg.x2 + 1) / 2, my = (seg.y1 + seg.y2) / 2;
      if (random() % 2) {
        seg.x2 = mx;
        seg.y2 = my;
      } else {
        seg.x1 = mx;
        seg.y1 = my;
      }
      later.push_back(seg);
    } else if (r < 13) {
      later.push_back(
          Wall(seg.x1 + 7, seg.y2 - 5, seg.x2 - 3, seg.y1 + 9, static_cast<int16_t>(random() % 2)));
      later.push_back(seg);
    } else {
      later.push_back(seg);
    }
  }
  return later;
}

// The running cost of candidate p after each seg of the list, plainly;
// INT32_MIN at the candidate's own place, where none is taken.
std::vector<int32_t> PlainCosts(const std::vector<BuildSeg>& segs, size_t p, CostRule rule) {
  std::vector<int32_t> costs;
  for (size_t last = 0; last < segs.size(); last++) {
    costs.push_back(last == p ? INT32_MIN : PlainCostAfter(segs, p, last, rule));
  }
  return costs;
}

// What the earlier list proves for candidate c of the later one, against
// its plain running costs: the least (INT32_MIN for nothing), whether the
// segs the proof names lie in the list, and how far the highest running
// cost after one of them lies above the least.
struct InheritedCheck {
  int32_t least = INT32_MIN;
  bool namesSegsOfTheList = false;
  int64_t margin = 0;
};

InheritedCheck CheckInherited(const InheritedProofs& proofs, const SegTable& table,
                              const std::vector<BuildSeg>& segs, int32_t c, CostRule rule) {
  InheritedCheck check;
  if (proofs.block == nullptr) return check;
  check.least = InheritedLeast(proofs, table, c, INT32_MIN + 1, rule);
  if (check.least == INT32_MIN) return check;
  int32_t from = proofs.reachedFrom[c], to = proofs.reachedTo[c];
  check.namesSegsOfTheList = 0 <= from && from <= to && to < table.count;
  if (!check.namesSegsOfTheList) return check;
  std::vector<int32_t> costs = PlainCosts(segs, static_cast<size_t>(c), rule);
  check.margin =
      static_cast<int64_t>(*std::max_element(costs.begin() + from, costs.begin() + to + 1)) - check.least;
  return check;
}

// What stopped scans of one list prove for a list derived from it holds
// for every candidate, plainly: its running cost after one of the segs the
// proof names is at least the inherited least. Scans stopped against bounds
// below their peaks, twin pairs scored together as the choice scores them;
// then the derived list's own scores, proven or scanned, handed on to a
// list derived from it in turn.
TEST_F(ChoiceTest, InheritedProofsHoldOnDerivedLists) {
  std::mt19937 random(4242);
  int checked = 0, handedOn = 0;
  for (int round = 0; round < 160; round++) {
    std::vector<BuildSeg> segs = RandomLevel(random, 2 + round % 9, round % 2 ? 600 : 300);
    if (segs.size() < 8 || segs.size() > 300) continue;
    CostRule rule = {static_cast<int32_t>(random() % 49), round % 4 != 0};
    std::vector<CandidateScore> scores(segs.size());
    SegList list = ListOf(segs);
    SegTable table;
    FillSegTable(&table, list);
    for (int32_t p = 0; p < list.count; p++) {
      bool twin = IsTwinPair(table, p) && !(p > 0 && IsTwinPair(table, p - 1));
      int32_t peak = PlainScore(segs, static_cast<size_t>(p + twin), rule).peak;
      CandidateScore pair[2];
      ScoreCandidates(table, p, twin, peak - static_cast<int32_t>(random() % 60), rule, pair);
      scores[p] = pair[0];
      if (twin) scores[++p] = pair[1];
    }
    for (int generation = 0; generation < 2; generation++) {
      KeepChoiceLegacy(table, scores.data(), list.count, rule);
      ReleaseSegTable(&table);
      ReleaseSegList(&list);
      segs = DeriveList(random, segs);
      scores.assign(segs.size(), CandidateScore{});
      list = ListOf(segs);
      FillSegTable(&table, list);
      InheritedProofs proofs;
      InheritProofs(&proofs, table, rule);
      for (int32_t c = 0; c < list.count; c++) {
        InheritedCheck check = CheckInherited(proofs, table, segs, c, rule);
        if (check.least != INT32_MIN) {
          ASSERT_TRUE(check.namesSegsOfTheList)
              << "round " << round << " generation " << generation << " seg " << c;
          ASSERT_GE(check.margin, 0) << "round " << round << " generation " << generation << " seg " << c;
          checked++;
          handedOn += generation;
          if (random() % 2) {
            scores[c] = StoppedScore(check.least, proofs.reachedFrom[c], proofs.reachedTo[c]);
            continue;
          }
        }
        CandidateScore single[2];
        int32_t peak = PlainScore(segs, static_cast<size_t>(c), rule).peak;
        ScoreCandidates(table, c, false, peak - static_cast<int32_t>(random() % 60), rule, single);
        scores[c] = single[0];
      }
      ReleaseInheritedProofs(&proofs);
    }
    ReleaseSegTable(&table);
    ReleaseSegList(&list);
  }
  DropChoiceLegacy();
  EXPECT_GT(checked, 10000);
  EXPECT_GT(handedOn, 3000);

  // Cuts taken away: a wall stopped by the walls it cuts, which the later
  // list no longer holds, proves nothing there.
  std::vector<BuildSeg> earlier;
  for (int32_t x = 20; x <= 60; x += 10) earlier.push_back(Wall(x, -50, x, 50));
  earlier.push_back(Wall(0, 0, 10, 0));
  for (int32_t k = 0; k < 80; k++) earlier.push_back(Wall(k * 8, 100 + k, k * 8 + 5, 100 + k));
  CostRule rule = {48, true};
  SegList list = ListOf(earlier);
  SegTable table;
  FillSegTable(&table, list);
  std::vector<CandidateScore> scores(earlier.size());
  CandidateScore pair[2];
  ScoreCandidates(table, 5, false, 100, rule, pair);
  ASSERT_TRUE(pair[0].stopped);
  scores[5] = pair[0];
  KeepChoiceLegacy(table, scores.data(), 6, rule);
  ReleaseSegTable(&table);
  ReleaseSegList(&list);
  std::vector<BuildSeg> later(earlier.begin() + 5, earlier.end());
  list = ListOf(later);
  FillSegTable(&table, list);
  InheritedProofs proofs;
  InheritProofs(&proofs, table, rule);
  ASSERT_NE(proofs.block, nullptr);
  EXPECT_LE(InheritedLeast(proofs, table, 0, INT32_MIN + 1, rule), PlainScore(later, 0, rule).peak);
  ReleaseInheritedProofs(&proofs);
  // Costs kept under one rule are not handed on under another.
  InheritProofs(&proofs, table, CostRule{8, true});
  EXPECT_EQ(proofs.block, nullptr);
  ReleaseSegTable(&table);
  ReleaseSegList(&list);
  DropChoiceLegacy();
}

// Derived lists where the least a candidate inherits is exactly its
// highest running cost after the segs the proof names, each built for the
// worst case of one term of the least: without the term the least would
// exceed that cost, and it may not be less either. Segs taken away from
// the candidate's larger side and put in on the smaller one, from an
// earlier scan said to have stopped after one seg. The candidate stands on
// the line x = 0; walls right of it count on its right.
TEST_F(ChoiceTest, InheritedProofsAreReachedInTheWorstDerivedList) {
  const BuildSeg c = Wall(0, 0, 0, 10);
  auto right = [](int32_t k) { return Wall(20 + 10 * k, 0, 20 + 10 * k, 5); };
  auto left = [](int32_t k) { return Wall(-20 - 10 * k, 0, -20 - 10 * k, 5); };
  const BuildSeg cut = Wall(-20, 5, 20, 5), touching = Wall(0, 3, 20, 3);
  struct Case {
    const char* name;
    std::vector<BuildSeg> earlier;
    int32_t candidate, stop;  // the earlier scan stopped after seg `stop`
    std::vector<BuildSeg> later;
    int32_t inheritor;
    CostRule rule;
    bool worst;       // the least is the later list's cost
    bool keptLowest;  // the earlier scan kept the lowest cost it can name
  } cases[] = {
      // The seg the cost was reached at is gone and the candidate's own
      // place adds no cost: the cost is taken one seg on, which may add to
      // the smaller side and to the penalty.
      {"Turbo: the stop seg taken away after the candidate",
       {c, right(0), left(0)},
       0,
       1,
       {c, left(0)},
       0,
       {0, false},
       true,
       false},
      {"Final: two taken away after the candidate, the penalty kept",
       {right(0), right(1), c, right(2), right(3), left(0)},
       2,
       4,
       {right(0), right(1), c, left(0)},
       2,
       {0, true},
       true,
       false},
      {"Turbo: one put in before the candidate",
       {right(0), right(1), c, right(2), left(0)},
       2,
       3,
       {right(0), right(1), left(1), c, left(0)},
       3,
       {0, false},
       true,
       false},
      {"Final: three taken away, one put in",
       {right(0), c, right(1), right(2), right(3), left(0)},
       1,
       4,
       {right(0), left(1), c, left(0)},
       2,
       {0, true},
       true,
       false},
      // A wall ending on the line is no cut.
      {"Turbo: a cut taken away, and a wall touching the line",
       {c, cut, touching, left(0)},
       0,
       2,
       {c, left(0)},
       0,
       {10, false},
       true,
       false},
      // No seg of the later list comes at or before the stop seg.
      {"every seg up to the stop seg taken away",
       {right(0), c, right(1), left(0)},
       1,
       0,
       {c, right(1), left(0)},
       0,
       {0, false},
       false,
       false},
      {"the lowest cost kept",
       {right(0), right(1), c, right(2), left(0)},
       2,
       3,
       {right(0), right(1), left(1), c, left(0)},
       3,
       {0, false},
       false,
       true},
  };
  for (const Case& k : cases) {
    SegList list = ListOf(k.earlier);
    SegTable table;
    FillSegTable(&table, list);
    std::vector<CandidateScore> scores(k.earlier.size());
    int32_t reached = k.keptLowest ? INT32_MIN + 1
                                   : PlainCostAfter(k.earlier, static_cast<size_t>(k.candidate),
                                                    static_cast<size_t>(k.stop), k.rule);
    scores[k.candidate] = StoppedScore(reached, k.stop, k.stop);
    KeepChoiceLegacy(table, scores.data(), list.count, k.rule);
    ReleaseSegTable(&table);
    ReleaseSegList(&list);
    list = ListOf(k.later);
    FillSegTable(&table, list);
    InheritedProofs proofs;
    InheritProofs(&proofs, table, k.rule);
    ASSERT_NE(proofs.block, nullptr) << k.name;
    InheritedCheck check = CheckInherited(proofs, table, k.later, k.inheritor, k.rule);
    if (k.worst) ASSERT_NE(check.least, INT32_MIN) << k.name;
    if (check.least != INT32_MIN) {
      ASSERT_TRUE(check.namesSegsOfTheList) << k.name;
      EXPECT_GE(check.margin, 0) << k.name << ": the least exceeds the cost";
      if (k.worst) EXPECT_LE(check.margin, 0) << k.name << ": the least falls short of the worst case";
      // Proven for a bound up to the least, and for none above it.
      EXPECT_EQ(InheritedLeast(proofs, table, k.inheritor, check.least, k.rule), check.least) << k.name;
      EXPECT_EQ(InheritedLeast(proofs, table, k.inheritor, check.least + 1, k.rule), INT32_MIN) << k.name;
    }
    ReleaseInheritedProofs(&proofs);
    ReleaseSegTable(&table);
    ReleaseSegList(&list);
  }
  DropChoiceLegacy();
}

// Choices down a chain of lists, each the last with a few segs peeled
// off, in both modes at the weights that hand proofs on: the plain scan's
// choice every time.
TEST_F(ChoiceTest, PeeledListsChooseAsThePlainScan) {
  std::mt19937 random(1509);
  int steps = 0;
  for (int round = 0; round < 8; round++) {
    FinalMode = round % 2 == 0;
    ModeNumber = static_cast<int16_t>(24 + random() % 25);
    std::vector<BuildSeg> segs = RandomLevel(random, 3 + round, 2000);
    for (int step = 0; step < 10 && segs.size() > 70; step++) {
      ASSERT_EQ(Choose(segs), PlainChoose(segs, {ModeNumber, FinalMode}))
          << "round " << round << " step " << step;
      std::vector<BuildSeg> peeled;
      for (const BuildSeg& seg : segs) {
        if (random() % 40 != 0) peeled.push_back(seg);
      }
      segs = peeled;
      steps++;
    }
  }
  EXPECT_GT(steps, 40);
}

// Lists of up to 64 segs are scored seg by seg without the seg table: the
// plain scan's choice on thousands of them, small rooms close together so
// that walls often cross another wall's line near its end points.
TEST_F(ChoiceTest, ShortListsChooseAsThePlainScan) {
  std::mt19937 random(77);
  int shortLists = 0;
  for (int round = 0; round < 3000; round++) {
    std::vector<BuildSeg> segs = RandomLevel(random, 1 + round % 3, 40 + round % 200);
    if (segs.size() < 2 || segs.size() > 64) continue;
    shortLists++;
    FinalMode = round % 2 != 0;
    ModeNumber = static_cast<int16_t>(round % 7 == 0 ? 0 : random() % 49);
    ASSERT_EQ(Choose(segs), PlainChoose(segs, {ModeNumber, FinalMode}))
        << "round " << round << ", " << segs.size() << " segs";
  }
  EXPECT_GT(shortLists, 800);
}

// A seg followed by its twin decides the twin too, unless it stops at the
// pair or the pair ends the list: tiny lists of walls on a small grid,
// mostly two-sided, where those cases come up often.
TEST_F(ChoiceTest, TwinsChooseAsThePlainScanInShortLists) {
  std::mt19937 random(5);
  std::uniform_int_distribution<int32_t> coordinate(0, 6);
  for (int round = 0; round < 20000; round++) {
    std::vector<BuildSeg> segs;
    for (int32_t walls = 2 + static_cast<int32_t>(random() % 6); walls > 0; walls--) {
      int32_t x1 = coordinate(random), y1 = coordinate(random), x2 = coordinate(random),
              y2 = coordinate(random);
      if (x1 == x2 && y1 == y2) continue;
      int16_t direction = static_cast<int16_t>(random() % 2);
      segs.push_back(Wall(x1, y1, x2, y2, direction));
      if (random() % 4 != 0) segs.push_back(Wall(x2, y2, x1, y1, static_cast<int16_t>(1 - direction)));
    }
    if (segs.size() < 2) continue;
    FinalMode = round % 2 != 0;
    ModeNumber = static_cast<int16_t>(random() % 3 == 0 ? 0 : random() % 49);
    ASSERT_EQ(Choose(segs), PlainChoose(segs, {ModeNumber, FinalMode}))
        << "round " << round << ", " << segs.size() << " segs";
  }
}

// Many chunks scored on several threads against stale bounds, settled in
// order: the plain scan's choice on every thread count.
TEST_F(ChoiceTest, ChoiceIsTheSameOnAnyThreadCount) {
  std::mt19937 random(4242);
  for (int round = 0; round < 16; round++) {
    std::vector<BuildSeg> segs = RandomLevel(random, 4 + round * 3, round % 2 ? 4000 : 800);
    FinalMode = round % 4 != 0;
    ModeNumber = static_cast<int16_t>(round % 5 == 0 ? 0 : random() % 49);
    int32_t expected = PlainChoose(segs, {ModeNumber, FinalMode});
    for (int32_t threads : {1, 2, 3, 8}) {
      Tuning.threads = threads;
      ASSERT_EQ(Choose(segs), expected) << "round " << round << ", " << threads << " threads";
    }
  }
}

TEST_F(ChoiceTest, TwinPairsAreReversedSegsOfOtherDirections) {
  struct Case {
    BuildSeg a, b;
    bool twin;
  } cases[] = {
      {Wall(0, 0, 10, 5, 0), Wall(10, 5, 0, 0, 1), true},
      {Wall(0, 0, 10, 5, 1), Wall(10, 5, 0, 0, 0), true},
      {Wall(0, 0, 10, 5, 0), Wall(10, 5, 0, 0, 0), false},  // the same direction flag
      {Wall(0, 0, 10, 5, 0), Wall(0, 0, 10, 5, 1), false},  // not reversed
      {Wall(0, 0, 10, 5, 0), Wall(10, 5, 0, 1, 1), false},
      {Wall(3, 3, 3, 3, 0), Wall(3, 3, 3, 3, 1), true},  // zero length: its own reverse
  };
  for (const Case& c : cases) {
    SegList list = ListOf({c.a, c.b});
    SegTable table;
    FillSegTable(&table, list);
    EXPECT_EQ(IsTwinPair(table, 0), c.twin) << c.a.x2 << "," << c.a.y2 << " " << c.b.x1 << "," << c.b.y1;
    EXPECT_FALSE(IsTwinPair(table, 1));  // the last seg has no next
    ReleaseSegTable(&table);
    ReleaseSegList(&list);
  }
}

}  // namespace
