// SPDX-License-Identifier: GPL-2.0-or-later
// ZDoom's extended nodes for levels past the vanilla limits: the tree that
// was built, written as one XNOD stream in the NODES lump (ZNOD: the same,
// deflated with zlib), with 32-bit numbers. SEGS and SSECTORS are then
// empty, and VERTEXES holds only the linedefs' vertexes: the cut points go
// into the stream as 16.16 fixed-point values of the same whole units.
#pragma once

#include <cstdint>
#include <vector>

// None: no normal nodes at all, for GL nodes alone (NODES is then empty).
enum class NodeFormat { Vanilla, Xnod, Znod, Auto, None };

// The format asked for, the same for every level of a run (an option call
// may change it from Vanilla).
extern NodeFormat RequestedNodeFormat;

// True when the built level fits the vanilla lumps' limits.
bool FitsVanillaNodes();
// The format the level at hand is written in: Auto resolved by its size.
NodeFormat ChooseNodeFormat();

// Everything that follows the XNOD magic, for the level in Level.
std::vector<uint8_t> EncodeXnodStream();
// Makes Level.ExtendedNodes for the format (Xnod or Znod): the magic and
// the stream, deflated for Znod; a zlib failure is fatal.
void EncodeExtendedNodes(NodeFormat format);

void ResetExtendedNodes();
