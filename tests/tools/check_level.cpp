// SPDX-License-Identifier: GPL-2.0-or-later
// Checks a rebuilt level against the WAD it was built from and prints every
// problem found, in vortane-check's format; exits 0 when the level is
// sound, 1 when it is not, 2 on a usage or file error.
//
//   check_level [options] input.wad output.wad LEVEL
//   check_level [options] --partition file.wad LEVEL
//
// --partition checks only the partition of a level as it stands in one file
// (SEGS, SSECTORS, NODES, BLOCKMAP), for levels built by other tools, with
// vortane-check's settings; it relaxes the checks that only this program's
// own layout must pass. Options: -v prints the largest deviations seen;
// --no-blockmap skips BLOCKMAP; --axis-root for a level built with an axis
// mode, whose root line may follow the cut rather than a seg; --angle N,
// --side D, --convex D, --line D set tolerances (binary angle units, map
// units), --gl N that of GL nodes (1/65536 units).
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "check/level_check.h"
#include "tests/support/exact_check.h"

namespace {

int Usage() {
  std::fprintf(
      stderr,
      "usage: check_level [-v] [--axis-root] [--no-blockmap] [--angle N] [--side D] [--convex D] [--line D] "
      "[--gl N] input.wad output.wad LEVEL\n"
      "       check_level [-v] [options] --partition file.wad LEVEL\n");
  return 2;
}

struct Tolerances {
  bool axisRoot = false, noBlockmap = false;
  double angle = -1, side = -1, convex = -1, line = -1, gl = -1;

  void Apply(BuiltLevelOptions* options) const {
    if (axisRoot) options->axisRoot = true;
    if (noBlockmap) options->checkBlockmap = false;
    if (angle >= 0) options->angleTolerance = static_cast<int>(angle);
    if (side >= 0) options->sideTolerance = side;
    if (convex >= 0) options->convexTolerance = convex;
    if (line >= 0) options->lineTolerance = line;
    if (gl >= 0) options->glTolerance = static_cast<int>(gl);
  }
};

}  // namespace

int main(int argc, char** argv) {
  Tolerances tolerances;
  bool verbose = false, partitionOnly = false;
  std::vector<std::string> args;
  for (int i = 1; i < argc; i++) {
    std::string arg = argv[i];
    auto value = [&](double* out) {
      if (i + 1 >= argc) return false;
      *out = std::atof(argv[++i]);
      return true;
    };
    if (arg == "-v") {
      verbose = true;
    } else if (arg == "--partition") {
      partitionOnly = true;
    } else if (arg == "--axis-root") {
      tolerances.axisRoot = true;
    } else if (arg == "--no-blockmap") {
      tolerances.noBlockmap = true;
    } else if (arg == "--angle") {
      if (!value(&tolerances.angle)) return Usage();
    } else if (arg == "--side") {
      if (!value(&tolerances.side)) return Usage();
    } else if (arg == "--convex") {
      if (!value(&tolerances.convex)) return Usage();
    } else if (arg == "--line") {
      if (!value(&tolerances.line)) return Usage();
    } else if (arg == "--gl") {
      if (!value(&tolerances.gl) || tolerances.gl > 65536) return Usage();
    } else if (!arg.empty() && arg[0] == '-') {
      return Usage();
    } else {
      args.push_back(arg);
    }
  }
  if (args.size() != (partitionOnly ? 2u : 3u)) return Usage();

  LevelReport report;
  std::string level = args.back();
  BuiltLevelOptions options = partitionOnly ? AnyBuilderOptions() : BuiltLevelOptions();
  tolerances.Apply(&options);
  WadImage input, output;
  std::string error = LoadWad(args[0], &input);
  if (error.empty() && !partitionOnly) error = LoadWad(args[1], &output);
  if (!error.empty()) {
    std::fprintf(stderr, "check_level: %s\n", error.c_str());
    return 2;
  }
  report = partitionOnly ? CheckBuiltPartition(input, level, options)
                         : CheckRebuiltLevel(input, output, level, options);

  const LevelCheckStats& stats = report.stats;
  if (verbose) {
    std::printf("%s: %d vertexes, %d segs, %d subsectors, %d nodes, depth %d\n", level.c_str(),
                stats.vertexes, stats.segs, stats.subsectors, stats.nodes, stats.depth);
    std::printf(
        "largest deviations: line %.2f, offset %.2f, angle %d, coverage %.2f, convexity %.2f, sides %.2f\n",
        stats.lineDistance, stats.offsetError, stats.angleError, stats.coverageError, stats.convexDepth,
        stats.sideDepth);
    if (!stats.glFormat.empty()) {
      std::printf(
          "%s nodes: %d segs, %d subsectors, %d nodes; largest deviations (1/65536 units): line %.2f, "
          "convexity %.2f; area %.4f square units\n",
          stats.glFormat.c_str(), stats.glSegs, stats.glSubsectors, stats.glNodes, stats.glLineDistance,
          stats.glConvexDepth, stats.glAreaError);
    }
  }
  for (const Finding& finding : report.findings) std::printf("%s\n", FormatFinding(level, finding).c_str());
  std::printf("%s\n", FormatSummary(level, report).c_str());
  return report.problems > 0 ? 1 : 0;
}
