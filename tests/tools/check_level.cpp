// Checks a rebuilt level against the WAD it was built from and prints every
// problem found; exits 0 when the level is sound, 1 when it is not, 2 on a
// usage or file error.
//
//   check_level [options] input.wad output.wad LEVEL
//   check_level [options] --partition file.wad LEVEL
//
// --partition checks only the partition of a level as it stands in one file
// (SEGS, SSECTORS, NODES, BLOCKMAP), for levels built by other tools; it
// relaxes the checks that only this program's own layout must pass.
// Options: -v prints the largest deviations seen; --no-blockmap skips BLOCKMAP;
// --axis-root for a level built with an axis mode, whose root line may follow
// the cut rather than a seg; --angle N, --side D,
// --convex D, --line D set tolerances (binary angle units, map units).
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "tests/support/level_check.h"

namespace {

int Usage() {
  std::fprintf(stderr,
               "usage: check_level [-v] [--axis-root] [--no-blockmap] [--angle N] [--side D] [--convex D] [--line D] input.wad output.wad LEVEL\n"
               "       check_level [-v] [options] --partition file.wad LEVEL\n");
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  LevelCheckOptions options;
  bool verbose = false, partitionOnly = false, angleGiven = false;
  std::vector<std::string> args;
  for (int i = 1; i < argc; i++) {
    std::string arg = argv[i];
    auto value = [&](double* out) {
      if (i + 1 >= argc) return false;
      *out = std::atof(argv[++i]);
      return true;
    };
    double number = 0;
    if (arg == "-v") {
      verbose = true;
    } else if (arg == "--partition") {
      partitionOnly = true;
    } else if (arg == "--axis-root") {
      options.axisRoot = true;
    } else if (arg == "--no-blockmap") {
      options.checkBlockmap = false;
    } else if (arg == "--angle") {
      if (!value(&number)) return Usage();
      options.angleTolerance = static_cast<int>(number);
      angleGiven = true;
    } else if (arg == "--side") {
      if (!value(&options.sideTolerance)) return Usage();
    } else if (arg == "--convex") {
      if (!value(&options.convexTolerance)) return Usage();
    } else if (arg == "--line") {
      if (!value(&options.lineTolerance)) return Usage();
    } else if (!arg.empty() && arg[0] == '-') {
      return Usage();
    } else {
      args.push_back(arg);
    }
  }
  if (args.size() != (partitionOnly ? 2u : 3u)) return Usage();

  std::vector<std::string> problems;
  LevelCheckStats stats;
  std::string level = args.back();
  if (partitionOnly) {
    options.strictBlockmapLayout = false;
    options.requireUsedCutPoints = false;
    options.exactTreeLayout = false;
    options.exactArithmetic = false;
    options.angleFromSegVertexes = true;
    if (!angleGiven) options.angleTolerance = 64;
    WadImage wad;
    std::string error = LoadWad(args[0], &wad);
    if (!error.empty()) {
      std::fprintf(stderr, "check_level: %s\n", error.c_str());
      return 2;
    }
    problems = CheckLevelPartition(wad, level, options, &stats);
  } else {
    WadImage input, output;
    std::string error = LoadWad(args[0], &input);
    if (error.empty()) error = LoadWad(args[1], &output);
    if (!error.empty()) {
      std::fprintf(stderr, "check_level: %s\n", error.c_str());
      return 2;
    }
    problems = CheckRebuiltLevel(input, output, level, options, &stats);
  }

  if (verbose) {
    std::printf("%s: %d vertexes, %d segs, %d subsectors, %d nodes, depth %d\n", level.c_str(), stats.vertexes,
                stats.segs, stats.subsectors, stats.nodes, stats.depth);
    std::printf("largest deviations: line %.2f, offset %.2f, angle %d, coverage %.2f, convexity %.2f, sides %.2f\n",
                stats.lineDistance, stats.offsetError, stats.angleError, stats.coverageError, stats.convexDepth,
                stats.sideDepth);
  }
  for (const std::string& problem : problems) std::printf("%s %s\n", level.c_str(), problem.c_str());
  if (!problems.empty()) {
    std::printf("%s: %zu problem lines\n", level.c_str(), problems.size());
    return 1;
  }
  return 0;
}
