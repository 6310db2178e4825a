// SPDX-License-Identifier: GPL-2.0-or-later
// Line keys and line numbers for the GL tree.
#include "nodes/gl_lines.h"

#include <algorithm>
#include <numeric>
#include <tuple>

#include "nodes/partition.h"

GlLineKey FindGlLineKey(const FixedLine& line, bool* forward) {
  int64_t dx = static_cast<int64_t>(line.end.x) - line.start.x;
  int64_t dy = static_cast<int64_t>(line.end.y) - line.start.y;
  int64_t divisor = GreatestCommonDivisor(dx < 0 ? -dx : dx, dy < 0 ? -dy : dy);
  if (divisor == 0) divisor = 1;
  dx /= divisor;
  dy /= divisor;
  *forward = dx > 0 || (dx == 0 && dy > 0);
  if (!*forward) {
    dx = -dx;
    dy = -dy;
  }
  return {dx, dy, static_cast<__int128>(dx) * line.start.y - static_cast<__int128>(dy) * line.start.x};
}

bool operator<(const GlLineKey& a, const GlLineKey& b) {
  return std::tie(a.dx, a.dy, a.offset) < std::tie(b.dx, b.dy, b.offset);
}

bool operator==(const GlLineKey& a, const GlLineKey& b) {
  return a.dx == b.dx && a.dy == b.dy && a.offset == b.offset;
}

std::vector<GlLineKey> GlLines;

void ResetGlLines() { std::vector<GlLineKey>().swap(GlLines); }

std::vector<int32_t> NumberGlLines(const std::vector<FixedLine>& lines) {
  std::vector<GlLineKey> keys(lines.size());
  for (size_t i = 0; i < lines.size(); i++) {
    bool forward;
    keys[i] = FindGlLineKey(lines[i], &forward);
  }
  std::vector<int32_t> order(lines.size());
  std::iota(order.begin(), order.end(), 0);
  std::sort(order.begin(), order.end(), [&keys](int32_t a, int32_t b) { return keys[a] < keys[b]; });
  std::vector<int32_t> ids(lines.size());
  GlLines.clear();
  for (size_t i = 0; i < order.size(); i++) {
    if (i == 0 || !(keys[order[i - 1]] == keys[order[i]])) GlLines.push_back(keys[order[i]]);
    ids[order[i]] = static_cast<int32_t>(GlLines.size()) - 1;
  }
  return ids;
}
