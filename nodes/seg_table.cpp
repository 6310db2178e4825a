// SPDX-License-Identifier: GPL-2.0-or-later
// The seg table of the partition choice: a list's coordinates as doubles
// for the side test, and the boxes and direction counts of its blocks.
#include "nodes/seg_table.h"

#include "nodes/scratch.h"

struct Extent {
  int32_t minX, maxX, minY, maxY;
};

static SegBox BoxOfExtent(const Extent& e) {
  return {e.minX + e.maxX, e.minY + e.maxY, e.maxX - e.minX, e.maxY - e.minY};
}

static Extent ExtentOfBox(const SegBox& box) {
  return {(box.x - box.width) / 2, (box.x + box.width) / 2, (box.y - box.height) / 2,
          (box.y + box.height) / 2};
}

static SegBox BoxOfSegs(const SegTable& table, int32_t from, int32_t to) {
  const BuildSeg* segs = table.segs;
  Extent box = {segs[from].x1, segs[from].x1, segs[from].y1, segs[from].y1};
  for (int32_t i = from; i < to; i++) {
    const int32_t xs[2] = {segs[i].x1, segs[i].x2};
    const int32_t ys[2] = {segs[i].y1, segs[i].y2};
    for (int e = 0; e < 2; e++) {
      if (xs[e] < box.minX) box.minX = xs[e];
      if (xs[e] > box.maxX) box.maxX = xs[e];
      if (ys[e] < box.minY) box.minY = ys[e];
      if (ys[e] > box.maxY) box.maxY = ys[e];
    }
  }
  return BoxOfExtent(box);
}

static SegBox BoxOfBoxes(const SegBox* boxes, int32_t from, int32_t to) {
  Extent box = ExtentOfBox(boxes[from]);
  for (int32_t i = from + 1; i < to; i++) {
    Extent next = ExtentOfBox(boxes[i]);
    if (next.minX < box.minX) box.minX = next.minX;
    if (next.maxX > box.maxX) box.maxX = next.maxX;
    if (next.minY < box.minY) box.minY = next.minY;
    if (next.maxY > box.maxY) box.maxY = next.maxY;
  }
  return BoxOfExtent(box);
}

static int32_t BlocksOfLevel(int32_t count, int32_t span) { return (count + span - 1) / span; }

static bool Fill(SegTable* table, SegList list, bool mayFail) {
  // Levels up to the one whose single block holds the whole list.
  int32_t boxCount = 0;
  table->levelCount = 0;
  for (int32_t shift = ScanLeafShift; table->levelCount < ScanMaxLevels; shift += ScanFanOutShift) {
    int32_t span = 1 << shift;
    table->shift[table->levelCount] = shift;
    table->span[table->levelCount++] = span;
    boxCount += BlocksOfLevel(list.count, span);
    if (span >= list.count) break;
  }
  int32_t leaves = BlocksOfLevel(list.count, table->span[0]);
  int32_t padded = list.count + 1;
  int64_t bytes = static_cast<int64_t>(padded) * 4 * 8 +
                  static_cast<int64_t>(boxCount) * (sizeof(SegBox) + 4) + leaves + list.count + 16;
  table->fromLibrary = mayFail;
  table->block = AllocScratch(static_cast<int32_t>((bytes + 15) / 16), 16, mayFail);
  if (table->block == nullptr) return false;
  double* doubles = static_cast<double*>(table->block);
  table->x1 = doubles;
  table->y1 = doubles + padded;
  table->x2 = doubles + 2 * padded;
  table->y2 = doubles + 3 * padded;
  SegBox* boxes = reinterpret_cast<SegBox*>(doubles + 4 * padded);
  for (int32_t level = 0; level < table->levelCount; level++) {
    table->boxes[level] = boxes;
    boxes += BlocksOfLevel(list.count, table->span[level]);
  }
  int32_t* counts = reinterpret_cast<int32_t*>(boxes);
  for (int32_t level = 0; level < table->levelCount; level++) {
    table->against[level] = counts;
    counts += BlocksOfLevel(list.count, table->span[level]);
  }
  table->leafDirections = reinterpret_cast<uint8_t*>(counts);
  table->twinNext = table->leafDirections + leaves;
  table->segs = list.segs;
  table->count = list.count;

  for (int32_t i = 0; i < list.count; i++) {
    const BuildSeg& seg = list.segs[i];
    table->x1[i] = seg.x1;
    table->y1[i] = seg.y1;
    table->x2[i] = seg.x2;
    table->y2[i] = seg.y2;
    table->twinNext[i] = i + 1 < list.count && AreTwins(seg, list.segs[i + 1]) ? 1 : 0;
  }
  table->x1[list.count] = table->y1[list.count] = table->x2[list.count] = table->y2[list.count] = 0;
  for (int32_t b = 0; b < leaves; b++) {
    uint8_t bits = 0;
    int32_t against = 0;
    for (int32_t i = b * table->span[0]; i < (b + 1) * table->span[0] && i < list.count; i++) {
      if (list.segs[i].direction != 0) {
        bits |= static_cast<uint8_t>(1 << (i - b * table->span[0]));
        against++;
      }
    }
    table->leafDirections[b] = bits;
    table->against[0][b] = against;
  }
  for (int32_t b = 0; b < BlocksOfLevel(list.count, table->span[0]); b++) {
    int32_t from = b * table->span[0];
    int32_t to = from + table->span[0] < list.count ? from + table->span[0] : list.count;
    table->boxes[0][b] = BoxOfSegs(*table, from, to);
  }
  for (int32_t level = 1; level < table->levelCount; level++) {
    int32_t below = BlocksOfLevel(list.count, table->span[level - 1]);
    for (int32_t b = 0; b < BlocksOfLevel(list.count, table->span[level]); b++) {
      int32_t from = b << ScanFanOutShift;
      int32_t to = from + (1 << ScanFanOutShift) < below ? from + (1 << ScanFanOutShift) : below;
      table->boxes[level][b] = BoxOfBoxes(table->boxes[level - 1], from, to);
      table->against[level][b] = 0;
      for (int32_t i = from; i < to; i++) table->against[level][b] += table->against[level - 1][i];
    }
  }
  return true;
}

void FillSegTable(SegTable* table, SegList list) { Fill(table, list, false); }

bool FillSegTableOrFail(SegTable* table, SegList list) { return Fill(table, list, true); }

void ReleaseSegTable(SegTable* table) {
  FreeScratch(table->block, table->fromLibrary);
  table->block = nullptr;
}
