// Tree recursion, subsectors and the flattened node tree.
#pragma once

#include <cstdint>

#include "nodes/seg.h"

struct BuildNode {
  int16_t x, y;
  int32_t dx, dy;
  int32_t rightBox[4];  // top, bottom, left, right
  int32_t leftBox[4];
  uint16_t rightChild;  // subsector | SubsectorFlag, or node number once flattened
  uint16_t leftChild;
  BuildNode* rightNode;
  BuildNode* leftNode;
  int16_t number;
};

struct Bounds {
  int32_t minX, maxX, minY, maxY;
};

extern int32_t BuildNodeCount;
extern int32_t ProgressThreshold;
extern int32_t FlattenIndex;

BuildNode* MakeNode(SegList list);
bool NeedsPartition(SegList list);
uint16_t MakeSubsector(SegList list);
Bounds ComputeBounds(SegList list);
void FlattenNodes(BuildNode* node);

void ResetTree();
