// SPDX-License-Identifier: GPL-2.0-or-later
// What only this program's own output must be, beyond the soundness that
// vortane-check judges in any builder's levels: the layout it writes the
// tree and the blockmap in, its arithmetic, and a rebuilt level against
// the WAD it was built from. The tests hold the builder to these rules;
// the shipped checker knows none of them, and these add to its findings
// without changing any of its own.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "check/blockmap_check.h"
#include "check/findings.h"
#include "check/level_check.h"
#include "check/map_level.h"
#include "check/wad_image.h"

// The soundness tolerances, tight by default, and the rules of this
// program's own output, all on by default.
struct BuiltLevelOptions : LevelCheckOptions {
  // Also require the BLOCKMAP this program writes: one shared empty list,
  // unshared lists in block order and nothing else in the lump; linedef
  // numbers in ascending order; no linedef listed in a block it does not
  // come near; linedefs the game cannot meet listed too; and the grid
  // placed just around the linedefs.
  bool strictBlockmapLayout = true;
  // Check BLOCKMAP at all.
  bool checkBlockmap = true;
  // Also require every vertex after the linedefs' vertexes to be an end
  // point of some seg (rebuilt levels only).
  bool requireUsedCutPoints = true;
  // Also require the order this program writes the tree in: subsectors
  // whose segs follow each other through SEGS, numbered as a walk of the
  // tree meets them back (left) child first; nodes numbered after both
  // subtrees, the front (right) subtree first; boxes that fit their
  // subtrees' segs exactly; and every partition line running from the
  // start of a seg of its subtree to the end of a seg of the same linedef
  // side (the partition seg and its pieces).
  bool exactTreeLayout = true;
  // The root was placed by an axis mode, where the line may follow the cut
  // rather than a seg.
  bool axisRoot = false;
  // Also require this program's own arithmetic: every seg carries the angle
  // of its whole linedef side, atan2 of the side's direction in x87 extended
  // precision times 10430.378350470453131748627129, truncated (0 for a side
  // of zero length), and the offset is the distance from the side's start
  // to the seg's start, truncated.
  bool exactArithmetic = true;
};

// vortane-check's settings (SoundnessOptions) and none of this program's
// own rules, with BLOCKMAP checked.
BuiltLevelOptions AnyBuilderOptions();

// As CheckLevelAt and CheckLevelPartition, with the rules the options ask for.
LevelReport CheckBuiltLevelAt(const WadImage& wad, int marker, const BuiltLevelOptions& options);
LevelReport CheckBuiltPartition(const WadImage& wad, const std::string& name,
                                const BuiltLevelOptions& options);

// Checks a rebuilt level against the WAD it was built from: the directory
// and every lump outside the level unchanged, the output packed from offset
// 12 in directory order; THINGS, SIDEDEFS and SECTORS as read; REJECT sized
// for the sector count; LINEDEFS unchanged but for the renumbered vertexes;
// VERTEXES the used input vertexes in order, then cut points; and then the
// partition itself as CheckBuiltPartition does.
LevelReport CheckRebuiltLevel(const WadImage& input, const WadImage& output, const std::string& name,
                              const BuiltLevelOptions& options);

// The checks of CheckDecodedLevel on a level read and decoded, each part
// followed by this program's rules for it that the options ask for.
void CheckBuiltDecodedLevel(const WadImage& wad, MapLevel& level, const BuiltLevelOptions& options,
                            Findings* findings, LevelCheckStats* stats);

// The lists of a BLOCKMAP lump in this program's layout, beyond what
// CheckBlockmap requires of any builder's: linedef numbers in strictly
// ascending order; no linedef listed in a block it stays more than one
// unit away from; every linedef listed, required or not; a shared empty
// list (0, 0xFFFF) at word N + 4 that every empty block names, and one
// unshared list per non-empty block, back to back from word N + 6 in block
// order, ending exactly at the end of the lump. What cannot be read at
// all is CheckBlockmap's to report, and not reported again here.
void CheckBlockmapLayout(const std::vector<LineEnds>& lines, const std::vector<uint8_t>& lump,
                         Findings* findings);
