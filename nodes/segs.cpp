// SPDX-License-Identifier: GPL-2.0-or-later
// Segs creation: one seg per used side of every linedef, and the binary
// angle of a direction.
#include <emmintrin.h>

#include <cmath>

#include "console/console.h"
#include "console/services.h"
#include "nodes/seg.h"
#include "nodes/x87_guard.h"
#include "wad/level.h"

// 32768 / pi, rounded up in the last place of the extended mantissa. Being a
// hair too large, it makes truncated angles in the lower half-plane land one
// unit low (south is 49151, not 49152); the output depends on exactly this.
static const long double AngleScale = 10430.378350470453131748627129L;

static uint16_t AngleOfDirection(int32_t dx, int32_t dy) {
  long double a = atan2l(static_cast<long double>(dy), static_cast<long double>(dx)) * AngleScale;
  if (a < 0) a += 65536.0L;
  return static_cast<uint16_t>(static_cast<int32_t>(a));
}

// Along an axis the arc tangent is 0, pi/2, pi or -pi/2 whatever the length
// (atan2l(0, x) is +0 or pi for x > 0 or x < 0, atan2l(y, 0) is pi/2 or
// -pi/2 for y > 0 or y < 0), so those angles are worked out once.
static const uint16_t EastAngle = AngleOfDirection(1, 0);
static const uint16_t NorthAngle = AngleOfDirection(0, 1);
static const uint16_t WestAngle = AngleOfDirection(-1, 0);
static const uint16_t SouthAngle = AngleOfDirection(0, -1);

uint16_t ComputeAngle(int32_t dx, int32_t dy) {
  // A seg of zero length has no direction; nothing downstream reads it.
  if (dx == 0 && dy == 0) return 0;
  if (dy == 0) return dx > 0 ? EastAngle : WestAngle;
  if (dx == 0) return dy > 0 ? NorthAngle : SouthAngle;
  return AngleOfDirection(dx, dy);
}

// Fills one seg from the linedef, running from vertex `from` to vertex `to`.
static void FillSeg(BuildSeg* seg, int32_t lineDef, int32_t from, int32_t to, int16_t direction) {
  const LineDef& line = Level.LineDefs[lineDef];
  seg->startVertex = from;
  seg->endVertex = to;
  seg->x1 = Level.Vertexes[from].X;
  seg->y1 = Level.Vertexes[from].Y;
  seg->x2 = Level.Vertexes[to].X;
  seg->y2 = Level.Vertexes[to].Y;
  // Always filled: the partition choice recomputes them anyway, and the
  // root division by axis reads them before any choice has run.
  seg->deltaX = seg->x1 - seg->x2;
  seg->deltaY = seg->y1 - seg->y2;
  seg->angle = ComputeAngle(seg->x2 - seg->x1, seg->y2 - seg->y1);
  seg->lineDef = lineDef;
  seg->rightSideDef = line.RightSideDef;
  seg->leftSideDef = line.LeftSideDef;
  seg->rightSector = SectorOfSideDef(line.RightSideDef);
  seg->leftSector = SectorOfSideDef(line.LeftSideDef);
  seg->direction = direction;
  seg->offset = 0;
}

SegList CreateSegs() {
  if (!LogMode) {
    ShowStatus(1, StatusRow, "Making Segs ...");
    PrintAtCursor("%5d", Level.LineDefCount);
    ShowProgress(30, StatusRow, -1);
  }

  // Count the used sides first so that the whole list is one block.
  int32_t count = 0;
  for (int32_t i = 0; i < Level.LineDefCount; i++) {
    if (Level.LineDefs[i].RightSideDef != -1) count++;
    if (Level.LineDefs[i].LeftSideDef != -1) count++;
  }

  SegList list = {nullptr, 0};
  if (count > 0) {
    list.segs = static_cast<BuildSeg*>(AllocArrayOrDie(count, sizeof(BuildSeg)));
  }
  for (int32_t i = 0; i < Level.LineDefCount; i++) {
    const LineDef& line = Level.LineDefs[i];
    // Vertex numbers were checked and renumbered by the loader; reading
    // them unsigned keeps every number below 65536 intact.
    int32_t start = static_cast<uint16_t>(line.StartVertex);
    int32_t end = static_cast<uint16_t>(line.EndVertex);
    if (line.RightSideDef != -1) FillSeg(&list.segs[list.count++], i, start, end, 0);
    if (line.LeftSideDef != -1) FillSeg(&list.segs[list.count++], i, end, start, 1);
  }

  ShowProgress(30, StatusRow, 100);
  StatusRow += 1;
  return list;
}

// The four end point coordinates of every seg side by side, x1 y1 x2 y2,
// compared four at a time.
static __m128i MinOf(__m128i a, __m128i b) {
  __m128i aLarger = _mm_cmpgt_epi32(a, b);
  return _mm_or_si128(_mm_and_si128(aLarger, b), _mm_andnot_si128(aLarger, a));
}

static __m128i MaxOf(__m128i a, __m128i b) {
  __m128i aLarger = _mm_cmpgt_epi32(a, b);
  return _mm_or_si128(_mm_and_si128(aLarger, a), _mm_andnot_si128(aLarger, b));
}

Bounds ComputeBounds(SegList list) {
  Bounds box = {0, 0, 0, 0};
  if (list.count == 0) return box;
  const BuildSeg& first = list.segs[0];
  __m128i low = _mm_set_epi32(first.y2, first.x2, first.y1, first.x1), high = low;
  for (int32_t i = 1; i < list.count; i++) {
    const BuildSeg& seg = list.segs[i];
    __m128i ends = _mm_set_epi32(seg.y2, seg.x2, seg.y1, seg.x1);
    low = MinOf(low, ends);
    high = MaxOf(high, ends);
  }
  // Start and end points together: lanes 0 and 2 hold x, 1 and 3 hold y.
  low = MinOf(low, _mm_shuffle_epi32(low, _MM_SHUFFLE(1, 0, 3, 2)));
  high = MaxOf(high, _mm_shuffle_epi32(high, _MM_SHUFFLE(1, 0, 3, 2)));
  box.MinX = _mm_cvtsi128_si32(low);
  box.MinY = _mm_cvtsi128_si32(_mm_shuffle_epi32(low, _MM_SHUFFLE(1, 1, 1, 1)));
  box.MaxX = _mm_cvtsi128_si32(high);
  box.MaxY = _mm_cvtsi128_si32(_mm_shuffle_epi32(high, _MM_SHUFFLE(1, 1, 1, 1)));
  return box;
}

void ReleaseSegList(SegList* list) {
  if (list->segs != nullptr) FreeBlock(list->segs);
  list->segs = nullptr;
  list->count = 0;
}
