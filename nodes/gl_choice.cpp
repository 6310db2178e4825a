// SPDX-License-Identifier: GPL-2.0-or-later
// The GL tree's side test, partition choice and division.
#include "nodes/gl_choice.h"

#include <algorithm>
#include <atomic>
#include <climits>
#include <memory>

#include "nodes/gl_lines.h"
#include "nodes/thread_pool.h"
#include "nodes/tuning.h"

namespace {

using Wide = __int128;

Wide AbsoluteOf(Wide v) { return v < 0 ? -v : v; }

Wide DotOf(const FixedLine& a, const FixedLine& b) {
  return (static_cast<Wide>(a.end.x) - a.start.x) * (static_cast<Wide>(b.end.x) - b.start.x) +
         (static_cast<Wide>(a.end.y) - a.start.y) * (static_cast<Wide>(b.end.y) - b.start.y);
}

bool AreWithinOneStep(FixedPoint p, FixedPoint q) {
  int64_t dx = static_cast<int64_t>(p.x) - q.x, dy = static_cast<int64_t>(p.y) - q.y;
  return (dx < 0 ? -dx : dx) + (dy < 0 ? -dy : dy) <= 1;
}

// True when the point lies at `from` or beyond it, seen from `to`.
bool IsAtOrPast(FixedPoint point, FixedPoint from, FixedPoint to) {
  Wide along = (static_cast<Wide>(point.x) - from.x) * (static_cast<Wide>(to.x) - from.x) +
               (static_cast<Wide>(point.y) - from.y) * (static_cast<Wide>(to.y) - from.y);
  return along <= 0;
}

enum class Placement { Right, Left, CutStartRight, CutStartLeft };

// A partition line ready for many side tests. When its direction, divided
// by the common divisor, is short (always in a binary level, whose deltas
// are whole units), a side product takes 63 bits at most and is worked out
// in 64; the sign is the exact product's.
struct PreparedLine {
  const GlBuildSeg* seg;
  bool narrow;
  int64_t x, y, dx, dy;
  // Beyond this |product| a point lies 2 steps or more from the line: the
  // step tolerance then leaves it where it is, and a seg with both ends
  // there on opposite sides crosses without a cut point to decide it.
  int64_t farLimit;
};

PreparedLine PrepareLine(const GlBuildSeg& seg) {
  PreparedLine prepared = {&seg, false, seg.line.start.x, seg.line.start.y, 0, 0, 0};
  const GlLineKey& key = GlLines[static_cast<size_t>(seg.lineId)];
  int64_t dx = seg.forward ? key.dx : -key.dx;
  int64_t dy = seg.forward ? key.dy : -key.dy;
  const int64_t shortDelta = int64_t{1} << 28;
  if (!Tuning.glShortProducts) return prepared;
  if (dx >= shortDelta || dx <= -shortDelta || dy >= shortDelta || dy <= -shortDelta) return prepared;
  prepared.narrow = true;
  prepared.dx = dx;
  prepared.dy = dy;
  prepared.farLimit = 2 * ((dx < 0 ? -dx : dx) + (dy < 0 ? -dy : dy));
  return prepared;
}

int SignOf64(int64_t v) { return v > 0 ? 1 : (v < 0 ? -1 : 0); }

// The exact test, for ends near the line: the crossing of the two lines,
// which the ends were rounded about, decides whether an end is on it.
Placement PlaceNear(const FixedLine& line, const GlBuildSeg& seg, int l, int m, FixedPoint* cut) {
  if (l * m < 0) {
    FixedPoint crossing;
    if (!ComputeLineCrossing(line, seg.line, &crossing)) crossing = seg.start;
    if (AreWithinOneStep(seg.start, crossing) || IsAtOrPast(crossing, seg.start, seg.end)) l = 0;
    if (AreWithinOneStep(seg.end, crossing) || IsAtOrPast(crossing, seg.end, seg.start)) m = 0;
    if (l * m < 0) {
      *cut = crossing;
      return l > 0 ? Placement::CutStartRight : Placement::CutStartLeft;
    }
  }
  if (l == 0 && m == 0) return DotOf(line, seg.line) > 0 ? Placement::Right : Placement::Left;
  return l < 0 || m < 0 ? Placement::Left : Placement::Right;
}

// With `cut` null a crossing seg's cut point is not worked out when the
// side test does not need it.
Placement Place(const PreparedLine& line, const GlBuildSeg& seg, FixedPoint* cut) {
  const GlBuildSeg& partition = *line.seg;
  if (seg.lineId == partition.lineId)
    return seg.forward == partition.forward ? Placement::Right : Placement::Left;
  // A seg with both ends within a step or so of the line lies along it,
  // though on a line of its own: walls that were one line before their ends
  // were rounded to 1/65536 (a UDMF level's fractional vertexes), or pieces
  // cut near the line. It goes as a seg on the line goes, by its way, so
  // that it never faces away from the region it is put in.
  FixedPoint ignored;
  if (!line.narrow) {
    const FixedLine& p = partition.line;
    Wide near = AbsoluteOf(static_cast<Wide>(p.end.x) - p.start.x) +
                AbsoluteOf(static_cast<Wide>(p.end.y) - p.start.y);
    Wide wl = ComputeFixedSideProduct(p, seg.start), wm = ComputeFixedSideProduct(p, seg.end);
    if (AbsoluteOf(wl) <= near && AbsoluteOf(wm) <= near)
      return DotOf(p, seg.line) > 0 ? Placement::Right : Placement::Left;
    return PlaceNear(p, seg, wl > 0 ? 1 : (wl < 0 ? -1 : 0), wm > 0 ? 1 : (wm < 0 ? -1 : 0),
                     cut != nullptr ? cut : &ignored);
  }
  int64_t l = (seg.start.x - line.x) * line.dy - (seg.start.y - line.y) * line.dx;
  int64_t m = (seg.end.x - line.x) * line.dy - (seg.end.y - line.y) * line.dx;
  const int64_t near = line.farLimit / 2;
  if (l <= near && l >= -near && m <= near && m >= -near)
    return DotOf(partition.line, seg.line) > 0 ? Placement::Right : Placement::Left;
  if (l > 0 && m > 0) return Placement::Right;
  if (l < 0 && m < 0) return Placement::Left;
  bool far = (l > line.farLimit || l < -line.farLimit) && (m > line.farLimit || m < -line.farLimit);
  if (far) {
    if (cut != nullptr && !ComputeLineCrossing(partition.line, seg.line, cut)) *cut = seg.start;
    return l > 0 ? Placement::CutStartRight : Placement::CutStartLeft;
  }
  return PlaceNear(partition.line, seg, SignOf64(l), SignOf64(m), cut != nullptr ? cut : &ignored);
}

}  // namespace

GlPlace PlaceGlSeg(const GlBuildSeg& partition, const GlBuildSeg& seg, FixedPoint* cut) {
  switch (Place(PrepareLine(partition), seg, cut)) {
    case Placement::Right: return GlPlace::Right;
    case Placement::Left: return GlPlace::Left;
    default: return GlPlace::Crosses;
  }
}

namespace {

// One candidate's scan: stopped as soon as a running cost reaches the
// bound; otherwise its largest running cost, its last, and whether both
// sides hold something.
struct CandidateRun {
  bool stopped;
  bool bothSides;
  bool stoppedAtNext;  // by the running cost after seg p + 1
  int32_t peak, cost;
};

CandidateRun ScoreGlCandidate(const std::vector<GlBuildSeg>& segs, int32_t p, CostRule rule, int32_t bound) {
  const PreparedLine line = PrepareLine(segs[static_cast<size_t>(p)]);
  const int32_t count = static_cast<int32_t>(segs.size());
  int32_t left = 0, right = 0, splits = 0, k = 0, cost = 0, peak = INT32_MIN;
  for (int32_t q = 0; q < count; q++) {
    if (q == p) {
      right++;
      continue;
    }
    k++;
    switch (Place(line, segs[static_cast<size_t>(q)], nullptr)) {
      case Placement::Right: right++; break;
      case Placement::Left: left++; break;
      default:
        left++;
        right++;
        splits += rule.weight;
    }
    cost = std::max(left, right) + splits - (rule.final ? 2 * k / 3 : k);
    if (cost >= bound) return {true, false, q == p + 1, cost, cost};
    peak = std::max(peak, cost);
  }
  return {false, left > 0 && right > 0, false, peak, cost};
}

// True when seg p + 1 is seg p run back along the same line: the two sides
// of a two-sided wall, or pieces of them, as the lists keep them.
bool IsTwinPair(const std::vector<GlBuildSeg>& segs, size_t p) {
  if (p + 1 >= segs.size()) return false;
  const GlBuildSeg& a = segs[p];
  const GlBuildSeg& b = segs[p + 1];
  return a.lineId == b.lineId && a.forward != b.forward && a.start == b.end && a.end == b.start;
}

// The choice shared out in chunks of candidates, taken in list order. A
// chunk's candidates may be stopped at the smallest peak of any whole,
// two-sided scan before them: the best cost at a candidate's turn is never
// above that (an earlier candidate either became the best, at a cost no
// more than its peak, or was dropped at a best cost no more than its
// peak), so what such a bound stops the plain scan stops too. The plain
// scan's verdicts are then replayed in order over the runs.
struct SharedChoice {
  const std::vector<GlBuildSeg>* segs;
  CostRule rule;
  int32_t chunks;
  std::atomic<int32_t> next{0};
  std::vector<CandidateRun> runs;
  std::unique_ptr<std::atomic<int32_t>[]> chunkPeak;  // smallest two-sided whole peak; INT32_MAX until done
};

constexpr int32_t ChoiceChunk = 64;

void ScoreChunks(void* data) {
  SharedChoice* choice = static_cast<SharedChoice*>(data);
  const int32_t count = static_cast<int32_t>(choice->segs->size());
  for (int32_t c; (c = choice->next.fetch_add(1)) < choice->chunks;) {
    int32_t bound = INT32_MAX;
    for (int32_t d = 0; d < c; d++)
      bound = std::min(bound, choice->chunkPeak[d].load(std::memory_order_acquire));
    for (int32_t p = c * ChoiceChunk; p < std::min(count, (c + 1) * ChoiceChunk); p++) {
      CandidateRun run = ScoreGlCandidate(*choice->segs, p, choice->rule, bound);
      choice->runs[static_cast<size_t>(p)] = run;
      if (!run.stopped && run.bothSides) bound = std::min(bound, run.peak);
    }
    choice->chunkPeak[c].store(bound, std::memory_order_release);
  }
}

}  // namespace

int32_t ChooseGlPartition(const std::vector<GlBuildSeg>& segs, CostRule rule, int32_t threads) {
  const int32_t count = static_cast<int32_t>(segs.size());
  if (count < 2) return -1;
  int32_t best = -1, bestCost = INT32_MAX;
  if (threads <= 1 || count < Tuning.glSharedChoiceSegs) {
    for (int32_t p = 0; p < count; p++) {
      CandidateRun run = ScoreGlCandidate(segs, p, rule, bestCost);
      if (!run.stopped && run.bothSides) {
        bestCost = run.cost;
        best = p;
      }
      // Against the twin's line every other seg lies on the mirror side
      // (the side tests are exact and the rounding symmetric), so its running
      // costs are the seg's own, but for the one after the two segs, which
      // is at most the seg's there. Unless the list ends with the twin, it
      // stops where the seg stops, elsewhere than there; ends at the same
      // cost, which it cannot stay below once the seg became the best; and
      // has both sides non-empty where the seg does. Then it is not the
      // best and needs no scan.
      bool twinDropped = run.stopped ? !run.stoppedAtNext : true;
      if (Tuning.glTwinPairs && p + 2 < count && IsTwinPair(segs, static_cast<size_t>(p)) && twinDropped) p++;
    }
    return best;
  }
  SharedChoice choice;
  choice.segs = &segs;
  choice.rule = rule;
  choice.chunks = (count + ChoiceChunk - 1) / ChoiceChunk;
  choice.runs.resize(static_cast<size_t>(count));
  choice.chunkPeak.reset(new std::atomic<int32_t>[static_cast<size_t>(choice.chunks)]);
  for (int32_t c = 0; c < choice.chunks; c++) choice.chunkPeak[c].store(INT32_MAX);
  RunWithHelpers(ScoreChunks, &choice, threads - 1);
  for (int32_t p = 0; p < count; p++) {
    const CandidateRun& run = choice.runs[static_cast<size_t>(p)];
    if (!run.stopped && run.bothSides && run.peak < bestCost) {
      bestCost = run.cost;
      best = p;
    }
  }
  return best;
}

void DivideGlSegs(const std::vector<GlBuildSeg>& segs, int32_t partition, std::vector<GlBuildSeg>* right,
                  std::vector<GlBuildSeg>* left) {
  const PreparedLine line = PrepareLine(segs[static_cast<size_t>(partition)]);
  // Every seg placed once, and the two lists sized exactly: on a large level
  // the lists near the root are the largest blocks the build holds.
  std::vector<Placement> places(segs.size());
  std::vector<FixedPoint> cuts;
  size_t rightCount = 0, leftCount = 0;
  for (size_t i = 0; i < segs.size(); i++) {
    FixedPoint cut;
    places[i] = static_cast<int32_t>(i) == partition ? Placement::Right : Place(line, segs[i], &cut);
    if (places[i] == Placement::CutStartRight || places[i] == Placement::CutStartLeft) cuts.push_back(cut);
    rightCount += places[i] != Placement::Left;
    leftCount += places[i] != Placement::Right;
  }
  right->clear();
  left->clear();
  right->reserve(rightCount);
  left->reserve(leftCount);
  size_t nextCut = 0;
  for (size_t i = 0; i < segs.size(); i++) {
    const GlBuildSeg& seg = segs[i];
    switch (places[i]) {
      case Placement::Right: right->push_back(seg); break;
      case Placement::Left: left->push_back(seg); break;
      default: {
        GlBuildSeg first = seg, second = seg;
        first.end = second.start = cuts[nextCut++];
        bool startRight = places[i] == Placement::CutStartRight;
        (startRight ? right : left)->push_back(first);
        (startRight ? left : right)->push_back(second);
      }
    }
  }
}

bool GlNeedsPartition(const std::vector<GlBuildSeg>& segs) {
  if (segs.size() < 2) return false;
  for (const GlBuildSeg& seg : segs)
    if (seg.sector != segs[0].sector) return true;
  for (size_t a = 0; a < segs.size(); a++) {
    const PreparedLine line = PrepareLine(segs[a]);
    for (size_t b = 0; b < segs.size(); b++) {
      if (a != b && Place(line, segs[b], nullptr) != Placement::Right) return true;
    }
  }
  return false;
}
