// SPDX-License-Identifier: GPL-2.0-or-later
#include "check/wad_check.h"

namespace {

// Checks one level and reports it; true when it is sound.
bool ReportLevel(const WadImage& wad, int marker, const LevelCheckOptions& options, std::string* out) {
  const std::string& name = wad.entries[marker].name;
  LevelReport report = CheckLevelAt(wad, marker, options);
  for (const Finding& finding : report.findings) *out += FormatFinding(name, finding) + "\n";
  *out += FormatSummary(name, report) + "\n";
  return report.problems == 0;
}

}  // namespace

int CheckWadLevels(const WadImage& wad, const std::vector<std::string>& levels,
                   const LevelCheckOptions& options, std::string* out, std::string* errors) {
  bool sound = true, missing = false;
  if (levels.empty()) {
    std::vector<int> markers = ListLevelMarkers(wad);
    if (markers.empty()) *errors += "no level in the file (no entry is followed by THINGS or TEXTMAP)\n";
    for (int marker : markers) sound = ReportLevel(wad, marker, options, out) && sound;
  } else {
    for (const std::string& name : levels) {
      int marker = FindLevel(wad, name);
      if (marker < 0) {
        *errors += "no level named " + PrintableName(name) + " (an entry followed by THINGS or TEXTMAP)\n";
        missing = true;
        continue;
      }
      sound = ReportLevel(wad, marker, options, out) && sound;
    }
  }
  if (missing) return kCheckUnreadable;
  return sound ? kCheckSound : kCheckProblems;
}
