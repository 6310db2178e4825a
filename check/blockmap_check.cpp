// SPDX-License-Identifier: GPL-2.0-or-later
// BLOCKMAP soundness: format first, then coverage of every linedef with
// exact integer geometry and a one-unit margin at block edges.
#include "check/blockmap_check.h"

#include <algorithm>
#include <cmath>

#include "check/bytes.h"

namespace {

int WordAt(const std::vector<uint8_t>& lump, size_t index) { return LumpU16(lump, 2 * index); }

int64_t FloorDiv128(int64_t v) { return v >= 0 ? v / 128 : -((-v + 127) / 128); }

}  // namespace

// The bounding boxes overlap and the box's corners are not all strictly on
// one side of the segment's line. Exact in 64-bit integers.
bool SegmentMeetsBox(const LineEnds& s, int64_t left, int64_t bottom, int64_t right, int64_t top) {
  if (std::max(s.x1, s.x2) < left || std::min(s.x1, s.x2) > right) return false;
  if (std::max(s.y1, s.y2) < bottom || std::min(s.y1, s.y2) > top) return false;
  int64_t dx = s.x2 - s.x1, dy = s.y2 - s.y1;
  const int64_t cornerX[4] = {left, right, right, left};
  const int64_t cornerY[4] = {bottom, bottom, top, top};
  bool above = false, below = false;
  for (int k = 0; k < 4; k++) {
    int64_t side = dx * (cornerY[k] - s.y1) - dy * (cornerX[k] - s.x1);
    if (side >= 0) above = true;
    if (side <= 0) below = true;
  }
  return above && below;
}

bool ReadBlockmapLists(const std::vector<uint8_t>& lump, size_t lineCount, BlockmapLists* grid,
                       Findings* findings) {
  if (lump.size() % 2 != 0) findings->Problem("BLOCKMAP", -1, "lump size %zu is odd", lump.size());
  if (lump.size() < 8) {
    findings->Problem("BLOCKMAP", -1, "lump of %zu bytes is shorter than its 8-byte header", lump.size());
    return false;
  }
  size_t words = lump.size() / 2;
  grid->originX = static_cast<int16_t>(WordAt(lump, 0));
  grid->originY = static_cast<int16_t>(WordAt(lump, 1));
  grid->columns = static_cast<int16_t>(WordAt(lump, 2));
  grid->rows = static_cast<int16_t>(WordAt(lump, 3));
  if (grid->columns <= 0 || grid->rows <= 0) {
    findings->Problem("BLOCKMAP", -1, "header gives %d columns and %d rows", grid->columns, grid->rows);
    return false;
  }
  size_t blocks = static_cast<size_t>(grid->columns) * grid->rows;
  if (words < blocks + 4) {
    findings->Problem("BLOCKMAP", -1, "lump of %zu words is too short for the offsets of %zu blocks", words,
                      blocks);
    return false;
  }

  grid->lists.assign(blocks, {});
  grid->readable.assign(blocks, false);
  for (size_t b = 0; b < blocks; b++) {
    size_t at = WordAt(lump, 4 + b);
    if (at >= words) {
      findings->Problem("BLOCKMAP", b, "block %zu: offset %zu lies past the end of the lump (%zu words)", b,
                        at, words);
      continue;
    }
    if (WordAt(lump, at) != 0) {
      findings->Problem("BLOCKMAP", b, "block %zu: list at word %zu does not start with 0", b, at);
      continue;
    }
    size_t w = at + 1;
    while (w < words && WordAt(lump, w) != 0xFFFF) w++;
    if (w >= words) {
      findings->Problem("BLOCKMAP", b, "block %zu: list at word %zu has no 0xFFFF terminator", b, at);
      continue;
    }
    grid->readable[b] = true;
    for (size_t e = at + 1; e < w; e++) {
      int32_t line = WordAt(lump, e);
      if (static_cast<size_t>(line) >= lineCount) {
        findings->Problem("BLOCKMAP", b, "block %zu: linedef %d does not exist (%zu linedefs)", b, line,
                          lineCount);
        continue;
      }
      grid->lists[b].push_back(line);
    }
  }
  return true;
}

void CheckLineCovered(const LineEnds& s, int32_t l, const BlockmapLists& g, Findings* findings) {
  int64_t yMin = std::min(s.y1, s.y2), yMax = std::max(s.y1, s.y2);
  int64_t rowFirst = std::max<int64_t>(0, FloorDiv128(yMin - g.originY - 1));
  int64_t rowLast = std::min<int64_t>(g.rows - 1, FloorDiv128(yMax - g.originY + 1));
  for (int64_t r = rowFirst; r <= rowLast; r++) {
    // Columns the segment can reach within this row, generously widened;
    // the exact test below decides.
    double lowY = std::max<double>(static_cast<double>(yMin), g.originY + 128.0 * r - 1);
    double highY = std::min<double>(static_cast<double>(yMax), g.originY + 128.0 * r + 129);
    double xa, xb;
    if (s.y1 == s.y2) {
      xa = std::min(s.x1, s.x2);
      xb = std::max(s.x1, s.x2);
    } else {
      double slope = static_cast<double>(s.x2 - s.x1) / (s.y2 - s.y1);
      xa = s.x1 + slope * (lowY - s.y1);
      xb = s.x1 + slope * (highY - s.y1);
      if (xa > xb) std::swap(xa, xb);
    }
    int64_t colFirst =
        std::max<int64_t>(0, FloorDiv128(static_cast<int64_t>(std::floor(xa)) - g.originX - 2));
    int64_t colLast =
        std::min<int64_t>(g.columns - 1, FloorDiv128(static_cast<int64_t>(std::ceil(xb)) - g.originX + 2));
    for (int64_t c = colFirst; c <= colLast; c++) {
      int64_t left = g.originX + 128 * c, bottom = g.originY + 128 * r;
      if (!SegmentMeetsBox(s, left + 1, bottom + 1, left + 127, bottom + 127)) continue;
      int64_t b = r * g.columns + c;
      const std::vector<int32_t>& list = g.lists[b];
      if (std::find(list.begin(), list.end(), l) == list.end())
        findings->Problem(
            "BLOCKMAP", static_cast<long>(b),
            "linedef %d (%d,%d)-(%d,%d) passes through block %lld (column %lld, row %lld) but is not "
            "listed there",
            l, s.x1, s.y1, s.x2, s.y2, static_cast<long long>(b), static_cast<long long>(c),
            static_cast<long long>(r));
    }
  }
}

void CheckBlockmap(const std::vector<LineEnds>& lines, const std::vector<uint8_t>& lump, Findings* findings) {
  BlockmapLists grid;
  if (!ReadBlockmapLists(lump, lines.size(), &grid, findings)) return;
  for (size_t l = 0; l < lines.size(); l++)
    if (lines[l].required) CheckLineCovered(lines[l], static_cast<int32_t>(l), grid, findings);
}
