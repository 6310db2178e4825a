// The division of a seg list at a partition line: every seg goes to the
// right (front) or the left (back) list, and a seg that crosses the line is
// cut in two at the cut point, which becomes a new vertex of the level.
#include "console/services.h"
#include "nodes/partition.h"
#include "wad/level.h"

// Where a seg of the list goes.
enum Destination : uint8_t { GoRight, GoLeft, CutStartRight, CutStartLeft };

static Destination DestinationOf(const PartitionLine& line, const BuildSeg* partitionSeg,
                                 const BuildSeg& seg) {
  SideCode code = ClassifySeg(line, seg);
  switch (ClassOfCode(code)) {
    case ClassCrosses: return (code & StartRight) ? CutStartRight : CutStartLeft;
    case ClassCollinear: {
      // A seg along the line: with a partition seg, only the direction
      // flags are compared; otherwise the seg goes right when it points the
      // way the line does.
      if (partitionSeg != nullptr) return seg.direction == partitionSeg->direction ? GoRight : GoLeft;
      int64_t dot = static_cast<int64_t>(seg.x2 - seg.x1) * (line.x2 - line.x1) +
                    static_cast<int64_t>(seg.y2 - seg.y1) * (line.y2 - line.y1);
      return dot > 0 ? GoRight : GoLeft;
    }
    case ClassLeft: return GoLeft;
    case ClassRight: break;
  }
  return GoRight;
}

static BuildSeg* AllocSegs(int32_t count) {
  if (count == 0) return nullptr;
  return static_cast<BuildSeg*>(AllocArrayOrDie(count, sizeof(BuildSeg)));
}

// Cuts `seg` at its crossing with the line: `seg` keeps the first piece and
// `piece` receives the second, which starts at the new vertex.
static void CutSeg(const PartitionLine& line, BuildSeg* seg, BuildSeg* piece) {
  int32_t ix, iy;
  ComputeSplitPoint(line, *seg, &ix, &iy);
  int32_t cut = AppendVertex(ix, iy);

  *piece = *seg;
  piece->startVertex = cut;
  piece->x1 = Level.Vertexes[cut].X;
  piece->y1 = Level.Vertexes[cut].Y;
  piece->deltaX = piece->x1 - piece->x2;
  piece->deltaY = piece->y1 - piece->y2;

  seg->endVertex = cut;
  seg->x2 = piece->x1;
  seg->y2 = piece->y1;
  seg->deltaX = seg->x1 - seg->x2;
  seg->deltaY = seg->y1 - seg->y2;

  piece->offset = ComputeSegOffset(*piece);
}

bool DivideAlongPartition(SegList list, int32_t partition, SegList* right, SegList* left) {
  const PartitionLine line = Partition;
  const BuildSeg* partitionSeg = partition >= 0 ? &list.segs[partition] : nullptr;

  // First pass: decide every seg once and size the two lists exactly.
  Destination* where = nullptr;
  if (list.count > 0) where = static_cast<Destination*>(AllocOrDie(list.count));
  int32_t rightCount = 0, leftCount = 0;
  for (int32_t i = 0; i < list.count; i++) {
    where[i] = i == partition ? GoRight : DestinationOf(line, partitionSeg, list.segs[i]);
    if (where[i] != GoLeft) rightCount++;
    if (where[i] != GoRight) leftCount++;
  }
  if (partitionSeg == nullptr && (rightCount == 0 || leftCount == 0)) {
    if (where != nullptr) FreeBlock(where);
    return false;
  }
  // A division that leaves nothing behind the partition seg puts that seg
  // alone on the left, so that both children hold something.
  bool movePartition = partitionSeg != nullptr && leftCount == 0;
  if (movePartition) {
    rightCount--;
    leftCount = 1;
  }

  right->segs = AllocSegs(rightCount);
  right->count = 0;
  left->segs = AllocSegs(leftCount);
  left->count = 0;

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
        CutSeg(line, &seg, &piece);
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

  if (where != nullptr) FreeBlock(where);
  ReleaseSegList(&list);
  return true;
}

void DivideSegs(SegList list, SegList* right, SegList* left) {
  int32_t p = ChoosePartition(list);
  if (p < 0) FatalError("No valid Nodeline ?");
  const BuildSeg& seg = list.segs[p];
  DivisionLine.x = seg.x1;
  DivisionLine.y = seg.y1;
  DivisionLine.dx = seg.x2 - seg.x1;
  DivisionLine.dy = seg.y2 - seg.y1;
  LoadPartition(seg);
  DivideAlongPartition(list, p, right, left);
}
