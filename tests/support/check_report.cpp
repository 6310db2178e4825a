// SPDX-License-Identifier: GPL-2.0-or-later
#include "tests/support/check_report.h"

std::vector<std::string> ReportLines(const std::string& level, const LevelReport& report) {
  std::vector<std::string> lines;
  for (const Finding& finding : report.findings) lines.push_back(FormatFinding(level, finding));
  return lines;
}

std::vector<std::string> BlockmapProblems(const std::vector<LineEnds>& lines,
                                          const std::vector<uint8_t>& lump, bool strictLayout) {
  Findings findings;
  CheckBlockmap(lines, lump, &findings);
  if (strictLayout) CheckBlockmapLayout(lines, lump, &findings);
  std::vector<std::string> out;
  for (const Finding& finding : findings.Finish()) out.push_back(FormatFinding("MAP01", finding));
  return out;
}
