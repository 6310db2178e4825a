// SPDX-License-Identifier: GPL-2.0-or-later
// The finished tree written as the NODES records: numbered in post-order,
// front subtree first, so that every node comes after both of its subtrees
// and the root is the last record.
#include <algorithm>
#include <cstdlib>

#include "console/services.h"
#include "nodes/partition.h"
#include "nodes/tree.h"
#include "wad/level.h"

namespace {

// A node on the walk, and whether its children are on the walk already.
struct Visit {
  BuildNode* node;
  bool childrenPushed;
};

// Walks the tree in the order FlattenNodes numbers it, without recursion:
// a degenerate level makes the tree as deep as it has segs.
template <typename Action>
void WalkPostOrder(BuildNode* root, Action action) {
  Visit* stack = nullptr;
  int32_t count = 0, capacity = 0;
  auto push = [&](BuildNode* node) {
    if (count == capacity) {
      capacity = capacity * 2 + 16;
      stack = static_cast<Visit*>(ReallocArrayOrDie(stack, capacity, static_cast<int32_t>(sizeof(Visit))));
    }
    stack[count++] = Visit{node, false};
  };
  push(root);
  while (count > 0) {
    Visit& top = stack[count - 1];
    if (!top.childrenPushed) {
      top.childrenPushed = true;
      BuildNode* node = top.node;
      // The front child goes on top: its subtree is numbered first.
      if (node->leftNode != nullptr) push(node->leftNode);
      if (node->rightNode != nullptr) push(node->rightNode);
      continue;
    }
    BuildNode* node = top.node;
    count--;
    action(node);
  }
  FreeBlock(stack);
}

// Rounds n / d to the nearest integer, halves away from zero; d > 0.
int32_t DivideRounded(int64_t n, int64_t d) {
  return static_cast<int32_t>(n >= 0 ? (2 * n + d) / (2 * d) : -((-2 * n + d) / (2 * d)));
}

}  // namespace

void FitDirection(int32_t* dx, int32_t* dy) {
  auto fits = [](int64_t v) { return v >= -32768 && v <= 32767; };
  if (fits(*dx) && fits(*dy)) return;
  int64_t x = *dx, y = *dy;
  int64_t divisor = GreatestCommonDivisor(std::llabs(x), std::llabs(y));
  x /= divisor;
  y /= divisor;
  if (!fits(x) || !fits(y)) {
    int64_t longer = std::max(std::llabs(x), std::llabs(y));
    x = DivideRounded(x * 32767, longer);
    y = DivideRounded(y * 32767, longer);
  }
  *dx = static_cast<int32_t>(x);
  *dy = static_cast<int32_t>(y);
}

// The box as the record holds it: each side cut to its low 16 bits, as
// the lump stores it.
static NodeBox CutToWords(const NodeBox& box) {
  return NodeBox{static_cast<int16_t>(box.top), static_cast<int16_t>(box.bottom),
                 static_cast<int16_t>(box.left), static_cast<int16_t>(box.right)};
}

void FlattenNodes(BuildNode* root) {
  WalkPostOrder(root, [](BuildNode* node) {
    if (node->rightNode != nullptr) node->rightChild = static_cast<uint32_t>(node->rightNode->number);
    if (node->leftNode != nullptr) node->leftChild = static_cast<uint32_t>(node->leftNode->number);

    NodeRecord& record = Level.Nodes[Level.NodeCount];
    int32_t dx = node->dx, dy = node->dy;
    FitDirection(&dx, &dy);
    record.x = node->x;
    record.y = node->y;
    record.dx = static_cast<int16_t>(dx);
    record.dy = static_cast<int16_t>(dy);
    record.rightBox = CutToWords(node->rightBox);
    record.leftBox = CutToWords(node->leftBox);
    record.rightChild = node->rightChild;
    record.leftChild = node->leftChild;

    node->number = Level.NodeCount;
    Level.NodeCount++;
  });
}

void ReleaseNodes(BuildNode* root) {
  if (root != nullptr) WalkPostOrder(root, [](BuildNode* node) { FreeBlock(node); });
}
