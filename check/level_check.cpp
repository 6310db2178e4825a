// SPDX-License-Identifier: GPL-2.0-or-later
#include "check/level_check.h"

#include <cstring>

#include "check/gl_checks.h"
#include "check/map_level.h"
#include "check/partition_checks.h"
#include "check/udmf_level.h"

LevelCheckOptions SoundnessOptions() {
  LevelCheckOptions options;
  options.angleFromSegVertexes = true;
  options.angleTolerance = 64;
  options.convexAlongLinedefs = true;
  options.allowZeroLengthSegs = true;
  options.allowOverlappedLinedefs = true;
  // zdbsp cuts pieces of pieces from their rounded ends, and its split
  // points were seen up to 2.03 steps off their lines on Freedoom.
  options.glTolerance = 3;
  return options;
}

namespace {

// The signature of node formats other than the vanilla lumps, at the start
// of NODES or SSECTORS, or "" when there is none.
std::string OtherNodeFormat(const std::vector<uint8_t>& lump) {
  static const char* const kSignatures[] = {"XGLN", "ZGLN", "XGL2", "ZGL2", "XGL3", "ZGL3", "xNd4"};
  if (lump.size() < 4) return "";
  for (const char* signature : kSignatures)
    if (std::memcmp(lump.data(), signature, 4) == 0) return signature;
  return "";
}

// Whether GL nodes (a GL_ marker of the level's name) follow the level.
bool HasGlNodes(const WadImage& wad, const MapLevel& level) {
  std::string marker = "GL_" + level.name;
  int after = level.marker + 1 + LevelLumpCount + (level.hexen ? 1 : 0);
  return after < static_cast<int>(wad.entries.size()) &&
         wad.entries[after].name.compare(0, 8, marker, 0, 8) == 0;
}

// Whether SEGS, SSECTORS and NODES hold nodes in the format checked here;
// when they do not, the one problem that says why.
bool HasStandardNodes(const WadImage& wad, const MapLevel& level, Findings* findings) {
  for (LevelSlot slot : {kNodes, kSubsectors}) {
    if (slot == kSubsectors && !level.gl.format.empty()) continue;  // read and checked on their own
    std::string format = OtherNodeFormat(level.lumps[slot]);
    if (!format.empty()) {
      findings->Problem(
          LevelLumpNames[slot - 1], -1,
          "the nodes are in the extended format %s, which the original engine cannot read; not checked",
          format.c_str());
      return false;
    }
  }
  if (!level.nodeFormat.empty()) return true;
  if (!level.gl.format.empty()) return false;  // GL nodes alone
  if (level.lumps[kSegs].empty() && level.lumps[kSubsectors].empty() && level.lumps[kNodes].empty()) {
    findings->Problem("NODES", -1, "no nodes: SEGS, SSECTORS and NODES are empty%s",
                      HasGlNodes(wad, level) ? " (the GL nodes after the level are not checked)" : "");
    return false;
  }
  return true;
}

}  // namespace

bool CheckPartition(const WadImage& wad, MapLevel& level, const LevelCheckOptions& options,
                    Findings* findings, LevelCheckStats* stats) {
  stats->vertexes = static_cast<int>(level.vertexes.size());
  stats->segs = static_cast<int>(level.segs.size());
  stats->subsectors = static_cast<int>(level.subsectors.size());
  stats->nodes = static_cast<int>(level.nodes.size());
  stats->nodeFormat = level.nodeFormat;
  bool standard = HasStandardNodes(wad, level, findings);
  if (standard) {
    if (level.segs.empty()) findings->Problem("SEGS", -1, "SEGS is empty");
    if (level.subsectors.empty()) findings->Problem("SSECTORS", -1, "SSECTORS is empty");
    CheckSegs(level, options, findings, stats);
    CheckSubsectors(level, options, findings, stats);
    CheckTree(level, options, findings, stats);
  }
  bool gl = !level.gl.format.empty();
  if (gl) CheckGlNodes(level, options, findings, stats);
  return standard || gl;
}

void CheckDecodedLevel(const WadImage& wad, MapLevel& level, const LevelCheckOptions& options,
                       Findings* findings, LevelCheckStats* stats) {
  CheckPartition(wad, level, options, findings, stats);
  CheckBlockmapLump(level, findings);
  CheckLimits(level, findings);
}

LevelReport FinishReport(const Findings& findings, const LevelCheckStats& stats) {
  LevelReport report;
  report.findings = findings.Finish();
  report.problems = findings.problems();
  report.warnings = findings.warnings();
  report.stats = stats;
  return report;
}

namespace {

// A UDMF level has GL nodes in ZNODES and nothing else to check: no
// blockmap, and none of the original engine's limits.
LevelReport CheckUdmfLevelAt(const WadImage& wad, int marker, const LevelCheckOptions& options) {
  Findings findings;
  LevelCheckStats stats;
  MapLevel level;
  if (ReadUdmfLevel(wad, marker, &level, &findings)) {
    stats.vertexes = static_cast<int>(level.vertexes.size());
    if (HasGlNodes(&level)) {
      DecodeGlNodes(&level, &findings);
      CheckGlNodes(level, options, &findings, &stats);
    } else {
      findings.Problem(ZNodesLumpName, -1, "ZNODES holds no GL nodes (XGLN, XGL2, XGL3, ZGLN, ZGL2 or ZGL3)");
    }
  }
  LevelReport report = FinishReport(findings, stats);
  NameZNodesFindings(&report.findings);
  return report;
}

}  // namespace

LevelReport CheckLevelAt(const WadImage& wad, int marker, const LevelCheckOptions& options) {
  if (IsUdmfLevel(wad, marker)) return CheckUdmfLevelAt(wad, marker, options);
  Findings findings;
  LevelCheckStats stats;
  MapLevel level;
  if (ReadLevel(wad, marker, &level, &findings)) {
    DecodeLevel(&level, &findings);
    CheckDecodedLevel(wad, level, options, &findings, &stats);
  }
  return FinishReport(findings, stats);
}

LevelReport CheckLevelPartition(const WadImage& wad, const std::string& name,
                                const LevelCheckOptions& options) {
  int marker = FindLevel(wad, name);
  if (marker >= 0) return CheckLevelAt(wad, marker, options);
  Findings findings;
  findings.Problem("-", -1, "no level named %s (a marker followed by THINGS or TEXTMAP)",
                   PrintableName(name).c_str());
  return FinishReport(findings, LevelCheckStats());
}

namespace {

std::string Count(int n, const char* what) { return Format("%d %s%s", n, what, n == 1 ? "" : "s"); }

// "N segs, M subsectors, K nodes", and the format when it is not vanilla.
std::string Counts(int segs, int subsectors, int nodes, const std::string& format) {
  return Count(segs, "seg") + ", " + Count(subsectors, "subsector") + ", " + Count(nodes, "node") +
         (format.empty() ? "" : ", " + format + " nodes");
}

}  // namespace

std::string FormatSummary(const std::string& level, const LevelReport& report) {
  std::string text = PrintableName(level) + ": ";
  const LevelCheckStats& stats = report.stats;
  if (report.problems == 0) {
    std::string gl = Counts(stats.glSegs, stats.glSubsectors, stats.glNodes, stats.glFormat);
    if (stats.glFormat.empty()) {
      text += "sound (" + Counts(stats.segs, stats.subsectors, stats.nodes, stats.nodeFormat) + ")";
    } else if (stats.nodeFormat.empty()) {
      text += "sound (" + gl + ")";
    } else {
      text +=
          "sound (" + Counts(stats.segs, stats.subsectors, stats.nodes, stats.nodeFormat) + "; " + gl + ")";
    }
  } else {
    text += Count(report.problems, "problem");
  }
  if (report.warnings > 0 || report.problems > 0) text += ", " + Count(report.warnings, "warning");
  return text;
}
