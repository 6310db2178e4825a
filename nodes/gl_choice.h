// SPDX-License-Identifier: GPL-2.0-or-later
// The GL tree's segs, their side test against a partition line, the choice
// of the partition seg and the division of a list, all in 16.16 fixed
// point. The choice scores as the whole-unit builder's does (running cost
// max(left, right) + cuts * weight - penalty, a candidate dropped once that
// reaches the best complete cost so far, the first of equal ones kept);
// what differs is the geometry: exact side tests in fixed units, and the
// lines of the segs taken from their linedefs, so that every piece of a
// linedef lies on one line however often it was cut.
#pragma once

#include <cstdint>
#include <vector>

#include "nodes/fixed_geometry.h"
#include "nodes/score.h"

struct GlBuildSeg {
  FixedPoint start, end;
  // The linedef's line, between its two vertexes, in the seg's direction;
  // a piece of a cut seg keeps it. Every side test of and against the seg
  // uses it, never the rounded ends.
  FixedLine line;
  int32_t lineDef;
  int32_t sector;  // on the seg's right
  int32_t lineId;  // the number of its line (nodes/gl_lines.h)
  uint8_t side;    // 0 along the linedef, 1 against it
  bool forward;    // the line runs the canonical way
};

// Where a seg goes at a division.
enum class GlPlace { Right, Left, Crosses };

// The side of the seg against the line of seg `partition`. A seg on that
// line goes right when it runs the line's way. The ends' sides decide the
// rest; an end within one 1/65536 step of the crossing, or past it, counts
// as on the line, so that no piece is shorter than a step. For Crosses,
// `cut` is the crossing.
GlPlace PlaceGlSeg(const GlBuildSeg& partition, const GlBuildSeg& seg, FixedPoint* cut);

// The index of the partition seg, or -1 when no seg leaves both sides
// non-empty. A long list's candidates are scored on up to `threads`
// threads (Tuning.glSharedChoiceSegs); the choice is the same.
int32_t ChooseGlPartition(const std::vector<GlBuildSeg>& segs, CostRule rule, int32_t threads);

// Divides the segs at the line of seg `partition` (which goes right); a seg
// that crosses it is cut at the crossing into a piece on either side.
void DivideGlSegs(const std::vector<GlBuildSeg>& segs, int32_t partition, std::vector<GlBuildSeg>* right,
                  std::vector<GlBuildSeg>* left);

// True while the list holds more than one sector, some seg has an end
// strictly behind another seg's line, or two segs lie on one line facing
// each other (a region of no width between them).
bool GlNeedsPartition(const std::vector<GlBuildSeg>& segs);
