// SPDX-License-Identifier: GPL-2.0-or-later
#include <cstdio>
#include <cstdlib>

#include "console/services.h"

void EndProcess(int code) {
  std::fflush(stdout);
  std::exit(code);
}
