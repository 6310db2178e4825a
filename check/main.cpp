// SPDX-License-Identifier: GPL-2.0-or-later
// vortane-check: tells whether the nodes of the levels of a WAD are sound,
// whichever program built them.
//
//   vortane-check FILE.wad [LEVEL...]
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "check/wad_check.h"
#include "version.h"

namespace {

const char kUsage[] = "usage: vortane-check FILE.wad [LEVEL...]\n";

const char kHelp[] =
    "\n"
    "Checks that the nodes of Doom-engine levels are sound, whichever program\n"
    "built them: every seg lies along its linedef and points its way, every\n"
    "used side is covered once, subsectors are convex and of one sector, the\n"
    "tree reaches every subsector once, node boxes hold their children, and\n"
    "BLOCKMAP lists every linedef in every block it crosses. Record counts\n"
    "past the original engine's limits are warnings. ZDoom's extended nodes\n"
    "(XNOD, ZNOD) and GL nodes (XGLN, XGL2, XGL3 and their Z forms) are read\n"
    "too; each GL subsector must be a convex polygon that runs clockwise.\n"
    "UDMF levels (an entry followed by TEXTMAP) are read from TEXTMAP, exact\n"
    "to 1/65536, and their GL nodes from ZNODES. With no LEVEL, every level of\n"
    "the file (an entry followed by THINGS or TEXTMAP) is checked. The file is\n"
    "only read.\n"
    "\n"
    "Output: one line per problem, \"LEVEL LUMP RECORD: message\" (RECORD is -\n"
    "when the problem lies in no one record; a warning's message starts with\n"
    "\"warning: \"), then one summary line per level: \"LEVEL: sound (...)\" or\n"
    "\"LEVEL: N problems, W warnings\".\n"
    "\n"
    "Exit status: 0 when every level checked is sound, 1 when a problem was\n"
    "found, 2 when the file cannot be read as a WAD or a named level is\n"
    "missing.\n"
    "\n"
    "  -h, --help     show this help and exit\n"
    "  --version      show the version and exit\n";

}  // namespace

int main(int argc, char** argv) {
  std::vector<std::string> args(argv + 1, argv + argc);
  for (const std::string& arg : args) {
    if (arg == "-h" || arg == "--help") {
      std::printf("%s%s", kUsage, kHelp);
      return 0;
    }
    if (arg == "--version") {
      std::printf("vortane-check %s\n", VORTANE_VERSION);
      return 0;
    }
  }
  if (args.empty() || args[0].empty() || args[0][0] == '-') {
    if (!args.empty()) std::fprintf(stderr, "vortane-check: unknown option %s\n", args[0].c_str());
    std::fprintf(stderr, "%sTry 'vortane-check --help' for more.\n", kUsage);
    return kCheckUnreadable;
  }

  WadImage wad;
  std::string error = LoadWad(args[0], &wad);
  if (!error.empty()) {
    std::fprintf(stderr, "vortane-check: %s\n", error.c_str());
    return kCheckUnreadable;
  }
  std::string out, errors;
  int status = CheckWadLevels(wad, std::vector<std::string>(args.begin() + 1, args.end()), SoundnessOptions(),
                              &out, &errors);
  std::fputs(out.c_str(), stdout);
  std::fflush(stdout);
  size_t start = 0;
  while (start < errors.size()) {
    size_t end = errors.find('\n', start);
    std::fprintf(stderr, "vortane-check: %s: %s\n", args[0].c_str(),
                 errors.substr(start, end - start).c_str());
    start = end + 1;
  }
  return status;
}
