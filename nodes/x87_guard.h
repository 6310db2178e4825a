// SPDX-License-Identifier: GPL-2.0-or-later
// Seg angles, cut points and offsets go into the output lumps, and they are
// computed in the x87 80-bit extended format: a 64-bit mantissa, rounded to
// nearest. A long double of any other width (a plain double, or a 113-bit
// quad) gives other bytes, so a build without it stops here rather than
// write them.
#pragma once

#include <limits>

static_assert(std::numeric_limits<long double>::digits == 64,
              "vortane needs the x87 80-bit long double (64-bit mantissa) for its angles and cut points");
