// SPDX-License-Identifier: GPL-2.0-or-later
// Choices made ahead of the tree recursion, on a second core.
//
// The partition choice and the test for a convex list read nothing but the
// list, so they can be made before the recursion gets there. While the
// recursion builds the back subtree of a node, a helper thread takes the
// front list waiting on its stack, makes its choice, divides a private copy
// of it the same way and goes on down, front child first, so that the two
// threads start from opposite ends of the recursion's order. A list whose
// verdict is known is only divided when the recursion reaches it; one that
// the helper is working on is waited for; any other the recursion takes on
// itself. Every verdict is the one the recursion would have reached, so the
// tree does not depend on the timing.
#pragma once

#include <cstdint>

#include "nodes/seg.h"
#include "nodes/tuning.h"

// What is known ahead of the recursion about one list of the tree. Null
// stands for a list nobody looks ahead at: every call below accepts it.
struct Outlook;

// Opens the lookahead for one tree and returns the outlook of its root
// list, which the recursion makes itself.
Outlook* BeginLookahead(SegList root);
// Waits until the helper holds nothing of the tree and frees what was
// foreseen. Ends a lookahead left open by a failed run as well.
void EndLookahead();
// Ends the lookahead and waits until its helper thread, which may outlive
// the tree by a little, has ended. For a change of Tuning, which the helper
// reads until then; a run never changes it.
void AwaitHelperEnd();

// The outlooks of a divided list's two children. They are handed out under
// the lookahead's lock, with the verdict, rather than read from the parent
// later: the helper writes the parent's under that lock.
struct ChildOutlooks {
  Outlook* front;
  Outlook* back;
};

// For a list the recursion has reached: true, with the verdict (and, when it
// needs a partition, its children's outlooks) filled in, when it was
// foreseen (waiting for the helper if it is at work on it); false when the
// recursion is to make it itself.
bool TakeVerdict(Outlook* outlook, bool* needsPartition, int32_t* partition, ChildOutlooks* children);
// The recursion's own verdict on a divided list: its children get outlooks.
ChildOutlooks RecordDivision(Outlook* outlook, int32_t partition);
// Offers a list that waits on the recursion's stack to the helper. The
// recursion keeps it; the helper only reads it until its verdict is known.
void OfferList(Outlook* outlook, SegList list);
