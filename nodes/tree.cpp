// SPDX-License-Identifier: GPL-2.0-or-later
// The tree recursion: a seg list is divided until every piece is a convex
// piece of one sector, which is written out as a subsector with its segs;
// the finished tree is then numbered and written as the NODES records.
#include "nodes/tree.h"

#include "console/console.h"
#include "console/services.h"
#include "nodes/axis.h"
#include "nodes/choose.h"
#include "nodes/lookahead.h"
#include "nodes/partition.h"
#include "nodes/settings.h"
#include "wad/level.h"

int32_t BuildNodeCount = 0;
int32_t ProgressThreshold = -1;
// Held here, outside any one call, so that the tree stays reachable until
// the process ends (a leak checker does not count it as lost).
BuildNode* TreeRoot = nullptr;

void ResetTree() {
  EndLookahead();
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

static NodeBox BoxOf(const Bounds& bounds) {
  return NodeBox{bounds.MaxY, bounds.MinY, bounds.MinX, bounds.MaxX};
}

namespace {

// A child still to be made: its list, which it consumes, and the fields of
// its parent that receive its box, its index and its node.
struct PendingChild {
  SegList list;
  NodeBox* box;
  uint32_t* child;
  BuildNode** childNode;
  Outlook* outlook;
};

// The children that wait while the subtree of a sibling is built: a stack
// of its own rather than the process stack, since a degenerate level (walls
// that each split off one seg) makes the tree as deep as it has segs.
struct PendingStack {
  PendingChild* entries;
  int32_t count;
  int32_t capacity;
};

void PushChild(PendingStack* stack, const PendingChild& child) {
  if (stack->count == stack->capacity) {
    stack->capacity = stack->capacity * 2 + 16;
    stack->entries = static_cast<PendingChild*>(
        ReallocArrayOrDie(stack->entries, stack->capacity, static_cast<int32_t>(sizeof(PendingChild))));
  }
  stack->entries[stack->count++] = child;
}

// Divides the list (consumed) into a new node, at `partition` when its
// choice is `known` (its children's outlooks are then `children`); its two
// children wait on the stack with the back child on top, so that the back
// subtree is finished first and subsectors and their segs come out depth
// first with back before front at every node. The front list is offered to
// the lookahead meanwhile.
BuildNode* DivideIntoNode(SegList list, PendingStack* pending, Outlook* outlook, bool known,
                          int32_t partition, ChildOutlooks children) {
  BuildNodeCount++;
  ShowNodeProgress();

  BuildNode* node = static_cast<BuildNode*>(AllocOrDie(sizeof(BuildNode)));
  SegList right, left;
  if (BuildNodeCount == 1 && AxisMode != AxisOff) {
    DivideRootByAxis(list, &right, &left);
    children = RecordDivision(outlook, -1);
  } else {
    if (!known) {
      partition = ChoosePartition(list);
      children = RecordDivision(outlook, partition);
    }
    DivideSegsAt(list, partition, &right, &left);
  }
  node->x = static_cast<int16_t>(DivisionLine.x);
  node->y = static_cast<int16_t>(DivisionLine.y);
  node->dx = DivisionLine.dx;
  node->dy = DivisionLine.dy;
  node->number = 0;
  PushChild(pending,
            PendingChild{right, &node->rightBox, &node->rightChild, &node->rightNode, children.front});
  PushChild(pending, PendingChild{left, &node->leftBox, &node->leftChild, &node->leftNode, children.back});
  OfferList(children.front, right);
  return node;
}

}  // namespace

// Each child becomes either a further node or a subsector whose index is
// flagged.
BuildNode* MakeNode(SegList list) {
  PendingStack pending = {nullptr, 0, 0};
  BuildNode* root =
      DivideIntoNode(list, &pending, BeginLookahead(list), false, 0, ChildOutlooks{nullptr, nullptr});
  while (pending.count > 0) {
    PendingChild next = pending.entries[--pending.count];
    bool needsPartition;
    int32_t partition = 0;
    ChildOutlooks children = {nullptr, nullptr};
    bool known = TakeVerdict(next.outlook, &needsPartition, &partition, &children);
    *next.box = BoxOf(ComputeBounds(next.list));
    if (!known) needsPartition = NeedsPartition(next.list);
    if (needsPartition) {
      *next.childNode = DivideIntoNode(next.list, &pending, next.outlook, known, partition, children);
      *next.child = 0;
    } else {
      *next.childNode = nullptr;
      *next.child = MakeSubsector(next.list) | SubsectorFlag;
      ReleaseSegList(&next.list);
    }
  }
  FreeBlock(pending.entries);
  EndLookahead();
  return root;
}

uint32_t MakeSubsector(SegList list) {
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
    // Numbers are kept whole; the vanilla SEGS lump writes 16-bit words.
    SegRecord& record = Level.Segs[Level.SegCount];
    record.startVertex = static_cast<uint32_t>(seg.startVertex);
    record.endVertex = static_cast<uint32_t>(seg.endVertex);
    record.angle = seg.angle;
    record.lineDef = static_cast<uint16_t>(seg.lineDef);
    record.direction = static_cast<uint16_t>(seg.direction);
    record.offset = static_cast<uint16_t>(seg.offset);
    Level.SegCount++;
  }

  SubsectorRecord& subsector = Level.Subsectors[Level.SubsectorCount];
  subsector.segCount = static_cast<uint32_t>(Level.SegCount - first);
  subsector.firstSeg = static_cast<uint32_t>(first);
  return static_cast<uint32_t>(Level.SubsectorCount++);
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

void ReleaseTree() {
  ReleaseNodes(TreeRoot);
  TreeRoot = nullptr;
}
