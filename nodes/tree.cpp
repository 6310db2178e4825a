// The tree recursion: a seg list is divided until every piece is a convex
// piece of one sector, which is written out as a subsector with its segs;
// the finished tree is then numbered and written as the NODES records.
#include "console/console.h"
#include "console/services.h"
#include "nodes/settings.h"
#include "nodes/axis.h"
#include "nodes/partition.h"
#include "nodes/tree.h"
#include "wad/level.h"

int32_t BuildNodeCount = 0;
int32_t ProgressThreshold = -1;
// Held here, outside any one call, so that the tree stays reachable until
// the process ends (a leak checker does not count it as lost).
BuildNode* TreeRoot = nullptr;

void ResetTree() {
  BuildNodeCount = 0;
  ProgressThreshold = -1;
  TreeRoot = nullptr;
}

// The node bar is redrawn only when the percent has grown by at least 7,
// which keeps the screen output small on levels with many nodes.
static void ShowNodeProgress() {
  if (LogMode) return;
  // Without old nodes to measure against there is nothing to scale by.
  int32_t percent = Level.OldNodeCount == 0 ? 100 : BuildNodeCount * 100 / Level.OldNodeCount;
  if (percent <= ProgressThreshold) return;
  ShowStatus(1, StatusRow, "Making Node ...");
  PrintAtCursor("%5lu ", static_cast<unsigned long>(BuildNodeCount));
  ShowProgress(30, StatusRow, percent);
  ProgressThreshold = percent + 6;
}

static void StoreBox(int32_t box[4], const Bounds& bounds) {
  box[0] = bounds.MaxY;
  box[1] = bounds.MinY;
  box[2] = bounds.MinX;
  box[3] = bounds.MaxX;
}

// Makes one child of a node from its list, which is consumed: either a
// further node, or a subsector whose index is flagged.
static void MakeChild(SegList list, int32_t box[4], uint16_t* child, BuildNode** childNode) {
  StoreBox(box, ComputeBounds(list));
  if (NeedsPartition(list)) {
    *childNode = MakeNode(list);
    *child = 0;
  } else {
    *childNode = nullptr;
    *child = MakeSubsector(list) | SubsectorFlag;
    ReleaseSegList(&list);
  }
}

BuildNode* MakeNode(SegList list) {
  BuildNodeCount++;
  ShowNodeProgress();

  BuildNode* node = static_cast<BuildNode*>(AllocOrDie(sizeof(BuildNode)));
  SegList right, left;
  if (BuildNodeCount == 1 && AxisMode != AxisOff) {
    DivideRootByAxis(list, &right, &left);
  } else {
    DivideSegs(list, &right, &left);
  }
  node->x = static_cast<int16_t>(DivisionLine.x);
  node->y = static_cast<int16_t>(DivisionLine.y);
  node->dx = DivisionLine.dx;
  node->dy = DivisionLine.dy;
  node->number = 0;

  // The back subtree is finished first, so subsectors and their segs come
  // out depth first with back before front at every node.
  MakeChild(left, node->leftBox, &node->leftChild, &node->leftNode);
  MakeChild(right, node->rightBox, &node->rightChild, &node->rightNode);
  return node;
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
    PartitionLine line;
    line.x1 = list.segs[a].x1;
    line.y1 = list.segs[a].y1;
    line.x2 = list.segs[a].x2;
    line.y2 = list.segs[a].y2;
    line.dx = list.segs[a].deltaX;
    line.dy = list.segs[a].deltaY;
    for (int32_t b = 0; b < list.count; b++) {
      if (b != a && (ClassifySeg(line, list.segs[b]) & (StartLeft | EndLeft))) return true;
    }
  }
  return false;
}

uint16_t MakeSubsector(SegList list) {
  void* block = Level.Subsectors;
  MakeRoom(&block, Level.SubsectorCount, &Level.SubsectorCapacity,
           static_cast<int32_t>(sizeof(SubsectorRecord)));
  Level.Subsectors = static_cast<SubsectorRecord*>(block);

  int32_t first = Level.SegCount;
  for (int32_t i = 0; i < list.count; i++) {
    const BuildSeg& seg = list.segs[i];
    block = Level.Segs;
    MakeRoom(&block, Level.SegCount, &Level.SegCapacity, static_cast<int32_t>(sizeof(SegRecord)));
    Level.Segs = static_cast<SegRecord*>(block);
    // Numbers are kept whole while building and written as 16-bit words.
    SegRecord& record = Level.Segs[Level.SegCount];
    record.startVertex = static_cast<uint16_t>(seg.startVertex);
    record.endVertex = static_cast<uint16_t>(seg.endVertex);
    record.angle = seg.angle;
    record.lineDef = static_cast<uint16_t>(seg.lineDef);
    record.direction = static_cast<uint16_t>(seg.direction);
    record.offset = static_cast<uint16_t>(seg.offset);
    Level.SegCount++;
  }

  SubsectorRecord& subsector = Level.Subsectors[Level.SubsectorCount];
  subsector.segCount = static_cast<uint16_t>(Level.SegCount - first);
  subsector.firstSeg = static_cast<uint16_t>(first);
  return static_cast<uint16_t>(Level.SubsectorCount++);
}

// Post-order, front subtree first: a node is numbered after both of its
// subtrees, so the root is the last record.
void FlattenNodes(BuildNode* node) {
  if (!(node->rightChild & SubsectorFlag)) {
    FlattenNodes(node->rightNode);
    node->rightChild = static_cast<uint16_t>(node->rightNode->number);
  }
  if (!(node->leftChild & SubsectorFlag)) {
    FlattenNodes(node->leftNode);
    node->leftChild = static_cast<uint16_t>(node->leftNode->number);
  }

  NodeRecord& record = Level.Nodes[Level.NodeCount];
  record.x = node->x;
  record.y = node->y;
  record.dx = static_cast<int16_t>(node->dx);
  record.dy = static_cast<int16_t>(node->dy);
  for (int i = 0; i < 4; i++) {
    record.rightBox[i] = static_cast<int16_t>(node->rightBox[i]);
    record.leftBox[i] = static_cast<int16_t>(node->leftBox[i]);
  }
  record.rightChild = node->rightChild;
  record.leftChild = node->leftChild;

  node->number = static_cast<int16_t>(Level.NodeCount);
  Level.NodeCount++;
}

void BuildNodes(SegList root) {
  BuildNodeCount = 0;
  Level.NodeCount = 0;
  if (root.count == 1) {
    MakeSubsector(root);
    ReleaseSegList(&root);
    return;
  }
  TreeRoot = MakeNode(root);
  Level.Nodes = static_cast<NodeRecord*>(AllocArrayOrDie(BuildNodeCount, sizeof(NodeRecord)));
  FlattenNodes(TreeRoot);
}
