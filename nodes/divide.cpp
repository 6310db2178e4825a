// SPDX-License-Identifier: GPL-2.0-or-later
// The division of a seg list at a partition line: every seg goes to the
// right (front) or the left (back) list, and a seg that crosses the line is
// cut in two at the cut point, which becomes a new vertex of the level.

#include "console/services.h"
#include "nodes/choose.h"
#include "nodes/partition.h"
#include "nodes/scratch.h"
#include "wad/level.h"

// Where a seg of the list goes.
enum Destination : uint8_t { GoRight, GoLeft, CutStartRight, CutStartLeft };

// The line as the division tests it: the side products of a seg's end
// points decide where it goes, and only a seg crossing near the line needs
// the full side test, whose cut-point tolerance may move an end point onto
// the line. The far limit holds for a line whose deltas are its own.
struct DivisionTest {
  PartitionLine line;
  bool ownDeltas;
  int64_t farLimit;
};

static DivisionTest MakeDivisionTest(const PartitionLine& line) {
  bool ownDeltas = line.dx == line.x1 - line.x2 && line.dy == line.y1 - line.y2;
  return {line, ownDeltas, ownDeltas ? ComputeFarLimit(line) : 0};
}

static Destination DestinationOf(const DivisionTest& test, const BuildSeg* partitionSeg,
                                 const BuildSeg& seg) {
  const PartitionLine& line = test.line;
  int64_t l = SideProduct(line, seg.x1, seg.y1);
  int64_t m = SideProduct(line, seg.x2, seg.y2);
  if ((l < 0 && m > 0) || (l > 0 && m < 0)) {
    if (test.ownDeltas && IsFarFromLine(l, m, test.farLimit)) return l > 0 ? CutStartRight : CutStartLeft;
    SideCode code = ClassifySeg(line, seg);
    if (ClassOfCode(code) == ClassCrosses) return (code & StartRight) ? CutStartRight : CutStartLeft;
    l = (code & (StartLeft | EndLeft)) ? -1 : (code & (StartRight | EndRight)) ? 1 : 0;
    m = l;
  }
  if (l == 0 && m == 0) {
    // A seg along the line: with a partition seg, only the direction flags
    // are compared; otherwise the seg goes right when it points the way the
    // line does.
    if (partitionSeg != nullptr) return seg.direction == partitionSeg->direction ? GoRight : GoLeft;
    int64_t dot = static_cast<int64_t>(seg.x2 - seg.x1) * (line.x2 - line.x1) +
                  static_cast<int64_t>(seg.y2 - seg.y1) * (line.y2 - line.y1);
    return dot > 0 ? GoRight : GoLeft;
  }
  return l < 0 || m < 0 ? GoLeft : GoRight;
}

// Cuts `seg` at its crossing with the line: `seg` keeps the first piece and
// `piece` receives the second, which starts at the cut point. The cut point
// becomes a new vertex of the level, unless the division is one foreseen
// ahead of the recursion: its pieces then take the point as the level would
// store it, in 16 bits, with no vertex number and no offset.
static void CutSeg(const PartitionLine& line, BuildSeg* seg, BuildSeg* piece, bool foreseen) {
  int32_t ix, iy;
  ComputeSplitPoint(line, *seg, &ix, &iy);
  int32_t cut = -1;
  *piece = *seg;
  if (foreseen) {
    piece->x1 = static_cast<int16_t>(ix);
    piece->y1 = static_cast<int16_t>(iy);
  } else {
    cut = AppendVertex(ix, iy);
    piece->x1 = Level.Vertexes[cut].X;
    piece->y1 = Level.Vertexes[cut].Y;
  }
  piece->startVertex = cut;
  piece->deltaX = piece->x1 - piece->x2;
  piece->deltaY = piece->y1 - piece->y2;

  seg->endVertex = cut;
  seg->x2 = piece->x1;
  seg->y2 = piece->y1;
  seg->deltaX = seg->x1 - seg->x2;
  seg->deltaY = seg->y1 - seg->y2;

  if (!foreseen) piece->offset = ComputeSegOffset(*piece);
}

// The division itself; a foreseen one leaves the list as it is and returns
// false when memory runs out.
static bool Divide(SegList list, const PartitionLine& line, int32_t partition, SegList* right, SegList* left,
                   bool foreseen) {
  const BuildSeg* partitionSeg = partition >= 0 ? &list.segs[partition] : nullptr;
  const DivisionTest test = MakeDivisionTest(line);

  // First pass: decide every seg once and size the two lists exactly.
  Destination* where = static_cast<Destination*>(AllocScratch(list.count, 1, foreseen));
  if (list.count > 0 && where == nullptr) return false;
  int32_t rightCount = 0, leftCount = 0;
  for (int32_t i = 0; i < list.count; i++) {
    where[i] = i == partition ? GoRight : DestinationOf(test, partitionSeg, list.segs[i]);
    if (where[i] != GoLeft) rightCount++;
    if (where[i] != GoRight) leftCount++;
  }
  if (partitionSeg == nullptr && (rightCount == 0 || leftCount == 0)) {
    FreeScratch(where, foreseen);
    return false;
  }
  // A division that leaves nothing behind the partition seg puts that seg
  // alone on the left, so that both children hold something.
  bool movePartition = partitionSeg != nullptr && leftCount == 0;
  if (movePartition) {
    rightCount--;
    leftCount = 1;
  }

  right->segs = static_cast<BuildSeg*>(AllocScratch(rightCount, sizeof(BuildSeg), foreseen));
  right->count = 0;
  left->segs = static_cast<BuildSeg*>(AllocScratch(leftCount, sizeof(BuildSeg), foreseen));
  left->count = 0;
  if ((rightCount > 0 && right->segs == nullptr) || (leftCount > 0 && left->segs == nullptr)) {
    FreeScratch(right->segs, foreseen);
    FreeScratch(left->segs, foreseen);
    FreeScratch(where, foreseen);
    return false;
  }

  // Second pass, in list order: a cut seg's two pieces take its place in
  // their lists.
  for (int32_t i = 0; i < list.count; i++) {
    BuildSeg seg = list.segs[i];
    if (i == partition) {
      if (movePartition) {
        left->segs[left->count++] = seg;
      } else {
        right->segs[right->count++] = seg;
      }
      continue;
    }
    switch (where[i]) {
      case GoRight: right->segs[right->count++] = seg; break;
      case GoLeft: left->segs[left->count++] = seg; break;
      case CutStartRight:
      case CutStartLeft: {
        BuildSeg piece;
        CutSeg(line, &seg, &piece, foreseen);
        if (where[i] == CutStartRight) {
          right->segs[right->count++] = seg;
          left->segs[left->count++] = piece;
        } else {
          left->segs[left->count++] = seg;
          right->segs[right->count++] = piece;
        }
        break;
      }
    }
  }

  FreeScratch(where, foreseen);
  return true;
}

bool DivideAlongPartition(SegList list, int32_t partition, SegList* right, SegList* left) {
  if (!Divide(list, Partition, partition, right, left, false)) return false;
  ReleaseSegList(&list);
  return true;
}

bool ForeseeDivision(SegList list, int32_t partition, SegList* right, SegList* left) {
  return Divide(list, LineOfSeg(list.segs[partition]), partition, right, left, true);
}

void ReleaseForeseenList(SegList* list) {
  FreeScratch(list->segs, true);
  list->segs = nullptr;
  list->count = 0;
}

void DivideSegs(SegList list, SegList* right, SegList* left) {
  DivideSegsAt(list, ChoosePartition(list), right, left);
}

void DivideSegsAt(SegList list, int32_t p, SegList* right, SegList* left) {
  if (p < 0) FatalError("No valid Nodeline ?");
  const BuildSeg& seg = list.segs[p];
  DivisionLine.x = seg.x1;
  DivisionLine.y = seg.y1;
  DivisionLine.dx = seg.x2 - seg.x1;
  DivisionLine.dy = seg.y2 - seg.y1;
  LoadPartition(seg);
  DivideAlongPartition(list, p, right, left);
}

static int16_t OwnSector(const BuildSeg& seg) {
  return seg.direction == 0 ? seg.rightSector : seg.leftSector;
}

bool NeedsPartition(SegList list) {
  // A single seg is convex by itself, and an empty list has nothing to
  // divide.
  if (list.count < 2) return false;
  int16_t sector = OwnSector(list.segs[0]);
  for (int32_t i = 1; i < list.count; i++) {
    if (OwnSector(list.segs[i]) != sector) return true;
  }
  // Convex when no end point lies strictly behind any seg's line; the
  // stored deltas are used as they stand.
  for (int32_t a = 0; a < list.count; a++) {
    PartitionLine line = LineOfSeg(list.segs[a]);
    for (int32_t b = 0; b < list.count; b++) {
      if (b != a && (ClassifySeg(line, list.segs[b]) & (StartLeft | EndLeft))) return true;
    }
  }
  return false;
}
