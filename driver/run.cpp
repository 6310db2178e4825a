// SPDX-License-Identifier: GPL-2.0-or-later
// The run driver: reads the command line, draws the title panel or the help
// screen (or writes plain lines where standard output is no terminal), opens
// the files and rebuilds one level or every level of the input. A call with
// an option takes the option path (driver/options.h); the classic call
// below it is the positional one.
#include "driver/run.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "console/console.h"
#include "console/services.h"
#include "driver/level_pass.h"
#include "driver/options.h"
#include "driver/settings.h"
#include "wad/extended_nodes.h"
#include "wad/level.h"
#include "wad/level_runs.h"
#include "wad/output_file.h"
#include "wad/udmf_level.h"
#include "wad/wadfile.h"

namespace {

const char* const LogName = "VORTANE.LOG";

// Log mode writes the title line first; screen mode clears the screen and
// draws the title panel. False when the log cannot be created.
bool StartDisplay(bool log) {
  if (log) {
    if (!StartLog(LogName)) return false;
  } else if (!StandardOutputIsTerminal()) {
    StartPlainOutput();
  }
  if (LogMode) {
    ShowMessage(-1, 0, LogOnly, "%s", TitleLine);
    ShowMessage(-1, 0, LogOnly, "\n");
    ShowMessage(-1, 0, LogOnly, "\n");
  } else {
    SetColours(15, 0);
    PutTextAt(1, 1, nullptr);
    ClearScreen();
    DrawTitlePanel();
  }
  StatusRow = 14;
  return true;
}

void ShowModeLine() {
  ShowMessage(-1, 0, LogOnly, "Node building mode : ");
  ShowMessage(22, StatusRow + 1, Both, FinalMode ? "Final %hd%s" : "Turbo %hd%s", ModeNumber, AxisSuffix);
  ShowMessage(-1, 0, LogOnly, "\n");
  ShowMessage(-1, 0, LogOnly, "\n");
}

int FinishRun() {
  if (LogMode) CloseLog();
  EndScreen();
  return ExitCode;
}

// The positional call, argument by argument as it has always been read.
int RunClassicCall(int argumentCount, char** arguments) {
  bool help = argumentCount < 1 || argumentCount > 6;
  bool log = argumentCount >= 6 && arguments[5][0] == 'L';
  if (!StartDisplay(log)) return 99;
  if (LogMode) {
    if (LogFile != stdout && argumentCount > 6)
      FatalError("Incorrect number of arguments %d", argumentCount + 1);
    if (help) {
      PrintHelpText();
      return 0;
    }
  } else if (help) {
    DrawHelpScreen();
    PutTextAt(1, 25, nullptr);
    WritePlainText("");
    return 0;
  }
  InstallInterruptHandlers();
  StatusRow = 14;

  InputPath = arguments[0];
  if (argumentCount >= 2) OutputPath = arguments[1];
  if (std::strcmp(InputPath, OutputPath) == 0 || IsSameFile(InputPath, OutputPath)) {
    FatalError("filenames are duplicated %s", OutputPath);
  }
  OpenWad(InputPath);
  CreateOutputWad(OutputPath);
  // A level argument of * rebuilds every level of the file.
  bool everyLevel = argumentCount >= 3 && std::strcmp(arguments[2], "*") == 0;
  if (argumentCount >= 3 && !everyLevel) LevelMarkerIndex = FindLump(arguments[2], true);
  if (argumentCount >= 4) ParseModeNumber(arguments[3]);
  if (argumentCount >= 5) ParseAxisMode(arguments[4]);

  ShowModeLine();
  if (everyLevel) {
    RunEveryLevel();
  } else {
    RunOneLevel();
  }
  return FinishRun();
}

// The title line, the help of the classic call and the options, as plain
// lines wherever standard output goes.
void PrintOptionHelp() {
  std::printf("%s\n\n", TitleLine);
  PrintHelpText();
  std::printf("\n");
  for (const char* const* line = OptionHelpLines; *line != nullptr; line++) std::printf("%s\n", *line);
  std::fflush(stdout);
}

// The markers of the named levels, in directory order, each once; empty
// for every level.
std::vector<int32_t> FindNamedLevels(const std::vector<const char*>& names) {
  std::vector<int32_t> markers;
  for (const char* name : names) {
    if (std::strcmp(name, "*") == 0) return {};
    LevelMarkerIndex = 0;
    int32_t marker = FindLump(name, true);
    if (FindAnyLevelMarker(marker) != marker) FatalError("%s is not a level", name);
    markers.push_back(marker);
  }
  std::sort(markers.begin(), markers.end());
  markers.erase(std::unique(markers.begin(), markers.end()), markers.end());
  return markers;
}

int RunOptionCall(int argumentCount, char** arguments) {
  CommandLine line;
  std::string fault;
  if (!ParseCommandLine(argumentCount, arguments, &line, &fault)) {
    std::fprintf(stderr, "vortane: %s\nTry 'vortane --help'\n", fault.c_str());
    return 2;
  }
  if (line.help) {
    PrintOptionHelp();
    return 0;
  }
  if (line.version) {
    std::printf("%s\n", VersionLine);
    return 0;
  }
  const std::vector<const char*>& positional = line.positional;
  if (!StartDisplay(line.log || (positional.size() >= 6 && positional[5][0] == 'L'))) return 99;
  InstallInterruptHandlers();

  // Without an output the input is rebuilt in place: the output is written
  // beside it and renamed onto it once the input has been read to its end.
  InputPath = positional[0];
  OutputPath = line.output != nullptr ? line.output : positional.size() >= 2 ? positional[1] : InputPath;
  // Limit-removing engines read a linedef's numbers unsigned.
  UnsignedLineDefNumbers = true;
  RejectCopiedAtWrite = true;
  if (line.nodes != nullptr) {
    NodeChoice choice;
    ReadNodeChoice(line.nodes, &choice);
    RequestedNodeFormat = choice.normal;
    GlNodesRequested = choice.gl;
    RequestedGlForm = choice.glForm;
    RequestedNodesWord = line.nodes;
  }
  OpenWad(InputPath);
  ArrangeLevelRuns(InputPath);
  CreateOutputWad(OutputPath);

  std::vector<const char*> names = line.maps;
  if (positional.size() >= 3) names.push_back(positional[2]);
  std::vector<int32_t> markers = FindNamedLevels(names);
  if (positional.size() >= 4) ParseModeNumber(positional[3]);
  if (line.mode != nullptr) FinalMode = std::strcmp(line.mode, "final") == 0;
  if (line.weight >= 0) ModeNumber = static_cast<int16_t>(line.weight);
  if (positional.size() >= 5) ParseAxisMode(positional[4]);
  if (line.axis != nullptr) ParseAxisMode(line.axis);

  ShowModeLine();
  if (markers.empty()) {
    RunEveryLevel();
  } else if (markers.size() == 1) {
    RunNamedLevel(markers[0]);
  } else {
    RunLevels(markers);
  }
  return FinishRun();
}

}  // namespace

int RunVortane(int argumentCount, char** arguments) {
  // -h has always asked for the help, as the first argument.
  bool shortHelp = argumentCount >= 1 && std::strcmp(arguments[0], "-h") == 0;
  if (shortHelp || HasOption(argumentCount, arguments)) {
    if (shortHelp) {
      PrintOptionHelp();
      return 0;
    }
    return RunOptionCall(argumentCount, arguments);
  }
  return RunClassicCall(argumentCount, arguments);
}
