// SPDX-License-Identifier: GPL-2.0-or-later
#include "console/services.h"
#include "driver/run.h"

int main(int argc, char** argv) { EndProcess(RunVortane(argc - 1, argv + 1)); }
