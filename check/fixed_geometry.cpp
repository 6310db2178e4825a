// SPDX-License-Identifier: GPL-2.0-or-later
#include "check/fixed_geometry.h"

#include <cmath>
#include <cstdio>

namespace {

Wide Magnitude(Wide value) { return value < 0 ? -value : value; }

// Fixed coordinate as text: whole units without decimals, fractions with
// up to six, the trailing zeros dropped.
std::string CoordinateText(int32_t fixed) {
  char text[32];
  if (fixed % 65536 == 0) {
    std::snprintf(text, sizeof text, "%d", fixed / 65536);
    return text;
  }
  std::snprintf(text, sizeof text, "%.6f", fixed / 65536.0);
  std::string out = text;
  while (out.back() == '0') out.pop_back();
  return out;
}

}  // namespace

bool WithinTolerance(Wide value, const GlVector& u, int tolerance) {
  // |u| < 2^33, so beyond tolerance * 2^33 the answer is no; below it the
  // squares stay under 2^100.
  Wide limit = Wide{tolerance} << 33;
  Wide magnitude = Magnitude(value);
  if (magnitude > limit) return false;
  Wide lengthSquared = Dot(u, u);
  return magnitude * magnitude <= Wide{tolerance} * tolerance * lengthSquared;
}

double FixedDistance(Wide value, const GlVector& u) {
  double length = std::hypot(static_cast<double>(u.x), static_cast<double>(u.y));
  if (length == 0) return 0;
  return static_cast<double>(Magnitude(value)) / length;
}

uint64_t WholeSquareRoot(unsigned __int128 n) {
  auto root = static_cast<uint64_t>(std::sqrt(static_cast<double>(n)));
  while (static_cast<unsigned __int128>(root) * root > n) root--;
  while (static_cast<unsigned __int128>(root + 1) * (root + 1) <= n) root++;
  return root;
}

uint64_t FixedLength(const GlVector& u) {
  auto squared = static_cast<unsigned __int128>(Dot(u, u));
  uint64_t root = WholeSquareRoot(squared);
  return static_cast<unsigned __int128>(root) * root == squared ? root : root + 1;
}

std::string PointText(const GlPoint& p) {
  return "(" + CoordinateText(p.x) + "," + CoordinateText(p.y) + ")";
}

double Units(Wide fixed) { return static_cast<double>(fixed) / 65536.0; }

double SquareUnits(Wide doubledArea) { return static_cast<double>(doubledArea) / 2.0 / 65536.0 / 65536.0; }
