// SPDX-License-Identifier: GPL-2.0-or-later
#include "tests/support/exact_check.h"

#include <algorithm>
#include <cmath>
#include <utility>

#include "check/bytes.h"
#include "check/partition_checks.h"

namespace {

const char* SideName(int direction) { return direction ? "left" : "right"; }

// The binary angle this program gives a direction: extended precision,
// truncated, the low 16 bits kept.
int ExactAngle(int dx, int dy) {
  if (dx == 0 && dy == 0) return 0;
  const long double k = 10430.378350470453131748627129L;
  long double a = atan2l(static_cast<long double>(dy), static_cast<long double>(dx)) * k;
  if (a < 0) a += 65536.0L;
  return static_cast<int>(static_cast<int64_t>(a) & 0xFFFF);
}

// The whole part of the square root of n.
int64_t WholeRoot(int64_t n) {
  int64_t r = static_cast<int64_t>(std::sqrt(static_cast<double>(n)));
  while (r * r > n) r--;
  while ((r + 1) * (r + 1) <= n) r++;
  return r;
}

// Every seg whose references hold carries its side's angle and its whole
// distance from the side's start, as this program works them out.
void CheckSegArithmetic(const MapLevel& level, Findings* findings) {
  if (!level.segAnglesStored) return;  // extended segs store neither
  for (int i = 0; i < static_cast<int>(level.segs.size()); i++) {
    const MapSeg& seg = level.segs[i];
    if (!seg.valid || !level.lines[seg.line].valid) continue;
    const MapLine& line = level.lines[seg.line];
    const MapPoint& a = level.vertexes[seg.direction == 0 ? line.v1 : line.v2];
    const MapPoint& b = level.vertexes[seg.direction == 0 ? line.v2 : line.v1];
    int angle = ExactAngle(b.x - a.x, b.y - a.y);
    if (seg.angle != angle) {
      findings->Problem("SEGS", i, "seg %d has angle %d, the %s side of linedef %d has %d", i, seg.angle,
                        SideName(seg.direction), seg.line, angle);
    }
    const MapPoint& p1 = level.vertexes[seg.v1];
    int64_t dx = p1.x - a.x, dy = p1.y - a.y;
    int offset = static_cast<int>(WholeRoot(dx * dx + dy * dy) & 0xFFFF);
    if (seg.offset != offset) {
      findings->Problem("SEGS", i,
                        "seg %d has offset %d, its start lies %d whole units from the start of its side of "
                        "linedef %d",
                        i, seg.offset, offset, seg.line);
    }
  }
}

// Each subsector's segs follow the previous subsector's in SEGS.
void CheckSubsectorRuns(const MapLevel& level, Findings* findings) {
  int nextSeg = 0;
  for (int s = 0; s < static_cast<int>(level.subsectors.size()); s++) {
    const MapSubsector& sub = level.subsectors[s];
    if (sub.first != nextSeg) {
      findings->Problem("SSECTORS", s, "subsector %d starts at seg %d, the one before it ends before seg %d",
                        s, sub.first, nextSeg);
    }
    nextSeg = sub.first + sub.count;
  }
}

const char* ChildName(int side) { return side ? "left" : "right"; }

// The tree as this program writes it, walked as the soundness check walks
// it (front subtree first, each node and subsector once), with its own
// stack so that a tree as deep as the lump allows cannot overflow ours.
class TreeLayout {
 public:
  TreeLayout(const MapLevel& level, bool axisRoot, Findings* findings)
      : level_(level),
        axisRoot_(axisRoot),
        findings_(findings),
        nodeSeen_(level.nodes.size(), false),
        subsectorSeen_(level.subsectors.size(), false) {}

  void Run() {
    if (level_.nodes.empty()) return;
    const int root = static_cast<int>(level_.nodes.size()) - 1;
    Walk(root);
    CheckSubsectorOrder(root);
  }

 private:
  struct Frame {
    int node;
    int side = 0;
    MapBox whole;     // of the sides done
    size_t firstSeg;  // where the node's segs start in segsMet_
  };

  void Walk(int root) {
    nodeSeen_[root] = true;
    std::vector<Frame> stack{Enter(root)};
    while (!stack.empty()) {
      Frame& frame = stack.back();
      if (frame.side == 2) {
        Leave(frame);
        MapBox box = frame.whole;
        stack.pop_back();
        if (!stack.empty()) FinishSide(&stack.back(), box);
        continue;
      }
      int child = level_.nodes[frame.node].child[frame.side];
      if (child & kSubsectorChild) {
        int s = child & ~kSubsectorChild;
        bool exists = s >= 0 && s < static_cast<int>(level_.subsectors.size());
        FinishSide(&frame, exists ? VisitSubsector(s) : MapBox());
      } else if (child < 0 || child >= static_cast<int>(level_.nodes.size()) || nodeSeen_[child]) {
        FinishSide(&frame, MapBox());
      } else {
        nodeSeen_[child] = true;
        stack.push_back(Enter(child));  // frame is not used after this
      }
    }
  }

  Frame Enter(int n) const {
    Frame frame;
    frame.node = n;
    frame.firstSeg = segsMet_.size();
    return frame;
  }

  // A box that holds its side's segs (the soundness check reports one that
  // does not) must fit them exactly.
  void FinishSide(Frame* frame, const MapBox& box) {
    const int n = frame->node;
    const NodeBox& b = level_.nodes[n].box[frame->side];
    bool holds = b.top >= box.maxY && b.bottom <= box.minY && b.left <= box.minX && b.right >= box.maxX;
    if (!box.Empty() && holds &&
        (b.top != box.maxY || b.bottom != box.minY || b.left != box.minX || b.right != box.maxX)) {
      findings_->Problem(
          "NODES", n, "node %d %s box x %d..%d y %d..%d is wider than its segs x %d..%d y %d..%d", n,
          ChildName(frame->side), b.left, b.right, b.bottom, b.top, box.minX, box.maxX, box.minY, box.maxY);
    }
    frame->whole.Add(box);
    frame->side++;
  }

  // Both sides are done: the node's line and its number.
  void Leave(const Frame& frame) {
    const int n = frame.node;
    bool axisRoot = axisRoot_ && n == static_cast<int>(level_.nodes.size()) - 1;
    if (!axisRoot) CheckLineFromSeg(n, frame.firstSeg);
    if (n != nodesNumbered_) {
      findings_->Problem("NODES", n,
                         "node %d should be number %d: nodes are numbered after their subtrees, the "
                         "front subtree first",
                         n, nodesNumbered_);
    }
    nodesNumbered_++;
  }

  MapBox VisitSubsector(int s) {
    if (subsectorSeen_[s]) return MapBox();
    subsectorSeen_[s] = true;
    MapBox box;
    const MapSubsector& sub = level_.subsectors[s];
    for (int k = sub.first; k < sub.first + sub.count && k < static_cast<int>(level_.segs.size()); k++) {
      const MapSeg& seg = level_.segs[k];
      segsMet_.push_back(k);
      for (int v : {seg.v1, seg.v2})
        if (v < static_cast<int>(level_.vertexes.size())) box.Add(level_.vertexes[v]);
    }
    return box;
  }

  // The node's direction leads from its start to `end`. A span longer than
  // 16 bits along x or y is written as a shorter direction along the same
  // line: pointing the same way, and passing within a unit of `end`.
  static bool RunsTo(const MapNode& node, MapPoint end) {
    int64_t spanX = int64_t(end.x) - node.x, spanY = int64_t(end.y) - node.y;
    bool fits = spanX >= -32768 && spanX <= 32767 && spanY >= -32768 && spanY <= 32767;
    if (fits) return spanX == node.dx && spanY == node.dy;
    double cross = double(spanX) * node.dy - double(spanY) * node.dx;
    double dot = double(spanX) * node.dx + double(spanY) * node.dy;
    return dot > 0 && std::fabs(cross) <= std::sqrt(double(node.dx) * node.dx + double(node.dy) * node.dy);
  }

  // The partition line of node n runs along its partition seg: from the
  // start of a seg of the subtree to the end of a seg of the same side of
  // the same linedef (the same seg, or the last piece of it).
  void CheckLineFromSeg(int n, size_t firstSeg) {
    const MapNode& node = level_.nodes[n];
    const int vertexCount = static_cast<int>(level_.vertexes.size());
    std::vector<std::pair<int, int>> starts;
    for (size_t i = firstSeg; i < segsMet_.size(); i++) {
      const MapSeg& seg = level_.segs[segsMet_[i]];
      if (seg.v1 < vertexCount && level_.vertexes[seg.v1] == MapPoint{node.x, node.y})
        starts.push_back({seg.line, seg.direction});
    }
    for (size_t i = firstSeg; i < segsMet_.size(); i++) {
      const MapSeg& seg = level_.segs[segsMet_[i]];
      if (seg.v2 < vertexCount && RunsTo(node, level_.vertexes[seg.v2]) &&
          std::find(starts.begin(), starts.end(), std::make_pair(seg.line, seg.direction)) != starts.end())
        return;
    }
    findings_->Problem("NODES", n, "node %d's line (%d,%d)+(%d,%d) is no seg of its subtree%s", n, node.x,
                       node.y, node.dx, node.dy, starts.empty() ? " (none starts there)" : "");
  }

  // Subsectors are made as the tree is built, back (left) subtree first.
  void CheckSubsectorOrder(int root) {
    std::vector<bool> ordered(level_.nodes.size(), false);
    std::vector<int> stack{root};
    int next = 0;
    while (!stack.empty()) {
      int child = stack.back();
      stack.pop_back();
      if (child & kSubsectorChild) {
        int s = child & ~kSubsectorChild;
        if (s < static_cast<int>(level_.subsectors.size()) && s != next) {
          findings_->Problem("SSECTORS", s,
                             "subsector %d should be number %d: subsectors are numbered back subtree "
                             "first",
                             s, next);
        }
        next++;
        continue;
      }
      if (child < 0 || child >= static_cast<int>(level_.nodes.size()) || ordered[child]) continue;
      ordered[child] = true;
      stack.push_back(level_.nodes[child].child[0]);
      stack.push_back(level_.nodes[child].child[1]);  // taken first
    }
  }

  const MapLevel& level_;
  const bool axisRoot_;
  Findings* findings_;
  std::vector<bool> nodeSeen_, subsectorSeen_;
  int nodesNumbered_ = 0;
  std::vector<int> segsMet_;  // segs in the order the walk meets them
};

int WordAt(const std::vector<uint8_t>& lump, size_t index) { return LumpU16(lump, 2 * index); }

// The shared empty list, then the unshared lists in block order, back to
// back to the end of the lump.
void CheckListPlacement(const std::vector<uint8_t>& lump, size_t blocks, const std::vector<bool>& readable,
                        Findings* findings) {
  const size_t words = lump.size() / 2;
  const size_t emptyList = blocks + 4;
  if (words < blocks + 6 || WordAt(lump, emptyList) != 0 || WordAt(lump, emptyList + 1) != 0xFFFF) {
    findings->Problem("BLOCKMAP", -1, "no shared empty list (0, 0xFFFF) at word %zu", emptyList);
    return;
  }
  size_t expected = blocks + 6;
  for (size_t b = 0; b < blocks; b++) {
    if (!readable[b]) continue;
    size_t at = WordAt(lump, 4 + b);
    size_t length = 0;
    while (WordAt(lump, at + 1 + length) != 0xFFFF) length++;
    if (length == 0) {
      if (at != emptyList)
        findings->Problem("BLOCKMAP", b, "block %zu: empty list at word %zu, not the shared one at %zu", b,
                          at, emptyList);
      continue;
    }
    if (at != expected)
      findings->Problem("BLOCKMAP", b,
                        "block %zu: list at word %zu, expected at %zu (lists back to back, unshared)", b, at,
                        expected);
    expected = at + length + 2;
  }
  if (expected != words)
    findings->Problem("BLOCKMAP", -1, "lists end at word %zu but the lump has %zu words", expected, words);
}

// This program's grid: the origin 7 to 14 units below the smallest
// coordinates, on a multiple of 8, and just enough blocks.
void CheckGridPlacement(const MapLevel& level, Findings* findings) {
  const std::vector<uint8_t>& lump = level.lumps[kBlockmap];
  if (lump.size() < 8) return;
  int originX = LumpS16(lump, 0), originY = LumpS16(lump, 2), columns = LumpS16(lump, 4),
      rows = LumpS16(lump, 6);
  MapBox bounds = SidedLinedefBounds(level);
  if (bounds.Empty() || columns <= 0 || rows <= 0) return;
  int wantX = std::max((bounds.minX - 7) & ~7, -32768), wantY = std::max((bounds.minY - 7) & ~7, -32768);
  int wantColumns = (((bounds.maxX + 7) & ~7) - wantX + 128) / 128;
  int wantRows = (((bounds.maxY + 7) & ~7) - wantY + 128) / 128;
  if (originX != wantX || originY != wantY || columns != wantColumns || rows != wantRows) {
    findings->Problem(
        "BLOCKMAP", -1,
        "the grid is at (%d,%d) with %d columns and %d rows; the linedefs x %d..%d y %d..%d give "
        "(%d,%d), %d columns and %d rows",
        originX, originY, columns, rows, bounds.minX, bounds.maxX, bounds.minY, bounds.maxY, wantX, wantY,
        wantColumns, wantRows);
  }
}

}  // namespace

void CheckBlockmapLayout(const std::vector<LineEnds>& lines, const std::vector<uint8_t>& lump,
                         Findings* findings) {
  Findings unreadable;  // already reported by CheckBlockmap
  BlockmapLists grid;
  if (!ReadBlockmapLists(lump, lines.size(), &grid, &unreadable)) return;
  for (size_t b = 0; b < grid.lists.size(); b++) {
    const std::vector<int32_t>& list = grid.lists[b];
    for (size_t k = 1; k < list.size(); k++)
      if (list[k] <= list[k - 1])
        findings->Problem("BLOCKMAP", b, "block %zu: linedef %d follows %d, list not strictly ascending", b,
                          list[k], list[k - 1]);
  }
  CheckListPlacement(lump, grid.lists.size(), grid.readable, findings);

  // A listed linedef must come within one unit of the block.
  for (size_t b = 0; b < grid.lists.size(); b++) {
    int64_t c = static_cast<int64_t>(b) % grid.columns, r = static_cast<int64_t>(b) / grid.columns;
    int64_t left = grid.originX + 128 * c, bottom = grid.originY + 128 * r;
    for (int32_t l : grid.lists[b]) {
      const LineEnds& s = lines[l];
      if (!SegmentMeetsBox(s, left - 1, bottom - 1, left + 129, bottom + 129))
        findings->Problem(
            "BLOCKMAP", b,
            "linedef %d (%d,%d)-(%d,%d) is listed in block %zu (column %lld, row %lld) but does not "
            "come near it",
            l, s.x1, s.y1, s.x2, s.y2, b, static_cast<long long>(c), static_cast<long long>(r));
    }
  }
  // The game never meets these, but this program lists them all the same.
  for (size_t l = 0; l < lines.size(); l++)
    if (!lines[l].required) CheckLineCovered(lines[l], static_cast<int32_t>(l), grid, findings);
}

BuiltLevelOptions AnyBuilderOptions() {
  BuiltLevelOptions options;
  static_cast<LevelCheckOptions&>(options) = SoundnessOptions();
  options.strictBlockmapLayout = false;
  options.requireUsedCutPoints = false;
  options.exactTreeLayout = false;
  options.exactArithmetic = false;
  return options;
}

void CheckBuiltDecodedLevel(const WadImage& wad, MapLevel& level, const BuiltLevelOptions& options,
                            Findings* findings, LevelCheckStats* stats) {
  if (CheckPartition(wad, level, options, findings, stats)) {
    if (options.exactArithmetic) CheckSegArithmetic(level, findings);
    if (options.exactTreeLayout) {
      CheckSubsectorRuns(level, findings);
      TreeLayout(level, options.axisRoot, findings).Run();
    }
  }
  if (options.checkBlockmap) {
    CheckBlockmapLump(level, findings);
    std::vector<LineEnds> ends;
    if (options.strictBlockmapLayout && BlockmapLines(level, &ends)) {
      CheckBlockmapLayout(ends, level.lumps[kBlockmap], findings);
      CheckGridPlacement(level, findings);
    }
  }
  CheckLimits(level, findings);
}

LevelReport CheckBuiltLevelAt(const WadImage& wad, int marker, const BuiltLevelOptions& options) {
  Findings findings;
  LevelCheckStats stats;
  MapLevel level;
  if (ReadLevel(wad, marker, &level, &findings)) {
    DecodeLevel(&level, &findings);
    CheckBuiltDecodedLevel(wad, level, options, &findings, &stats);
  }
  return FinishReport(findings, stats);
}

LevelReport CheckBuiltPartition(const WadImage& wad, const std::string& name,
                                const BuiltLevelOptions& options) {
  int marker = FindLevel(wad, name);
  if (marker >= 0) return CheckBuiltLevelAt(wad, marker, options);
  Findings findings;
  findings.Problem("-", -1, "no level named %s (a marker followed by THINGS)", PrintableName(name).c_str());
  return FinishReport(findings, LevelCheckStats());
}
