// SPDX-License-Identifier: GPL-2.0-or-later
// Tree recursion, subsectors and the flattened node tree: the seg list is
// divided until every piece is a convex piece of one sector, each piece is
// written out as a subsector with its segs, and the finished tree becomes
// the NODES records.
#pragma once

#include <cstdint>

#include "nodes/seg.h"

// One node of the tree while it is built.
struct BuildNode {
  int16_t x, y;         // start of the partition line
  int32_t dx, dy;       // end minus start; written as their low 16 bits
  NodeBox rightBox;     // of the front child's segs, whole
  NodeBox leftBox;      // the same for the back child
  uint32_t rightChild;  // subsector | SubsectorFlag, or node number once flattened
  uint32_t leftChild;
  BuildNode* rightNode;  // null when that child is a subsector
  BuildNode* leftNode;
  int32_t number;  // index in Level.Nodes, given by FlattenNodes
};

// Nodes made so far; the last run's total once the tree is built.
extern int32_t BuildNodeCount;
// The node bar is redrawn once the percent passes this.
extern int32_t ProgressThreshold;
// The finished tree, kept until the process ends.
extern BuildNode* TreeRoot;

// Builds the whole tree from the root list, which is consumed: segs and
// subsectors go into Level as leaves are reached, and the tree is written
// into Level.Nodes, root last. A level of a single seg is one subsector and
// needs no node at all.
void BuildNodes(SegList root);

// Divides a list (consumed) into a node and its two subtrees; the root uses
// the axis mode when one is set.
BuildNode* MakeNode(SegList list);
// Writes the list as the next subsector and its segs; returns its index.
uint32_t MakeSubsector(SegList list);
// Numbers the tree in post-order, front subtree first, and appends one
// NODES record per node to Level.Nodes, which has room for all of them.
void FlattenNodes(BuildNode* root);
// A node's direction as it is written: unchanged when both components fit
// 16 bits; otherwise the same line in 16-bit components, divided by their
// greatest common divisor (exact, as for the axis lines and any wall along
// an axis) and, if still too long, scaled so that the longer one is 32767.
void FitDirection(int32_t* dx, int32_t* dy);
// Frees every node of a tree.
void ReleaseNodes(BuildNode* root);
// Frees the tree TreeRoot holds.
void ReleaseTree();

void ResetTree();
