// SPDX-License-Identifier: GPL-2.0-or-later
// The run driver: reads the command line, draws the title panel or the help
// screen (or writes plain lines where standard output is no terminal), opens
// the files and rebuilds one level or every level of the input.
#include "driver/run.h"

#include <cstdio>
#include <cstring>

#include "console/console.h"
#include "console/services.h"
#include "driver/level_pass.h"
#include "driver/settings.h"
#include "wad/output_file.h"
#include "wad/wadfile.h"

namespace {

const char* const LogName = "VORTANE.LOG";

bool IsHelpOption(const char* argument) {
  return std::strcmp(argument, "--help") == 0 || std::strcmp(argument, "-h") == 0;
}

}  // namespace

int RunVortane(int argumentCount, char** arguments) {
  const char* first = argumentCount >= 1 ? arguments[0] : "";
  if (std::strcmp(first, "--version") == 0) {
    std::printf("%s\n", VersionLine);
    return 0;
  }
  bool help = argumentCount < 1 || argumentCount > 6 || IsHelpOption(first);
  if (!IsHelpOption(first) && argumentCount >= 6 && arguments[5][0] == 'L') {
    if (!StartLog(LogName)) return 99;
  } else if (!StandardOutputIsTerminal()) {
    StartPlainOutput();
  }

  if (LogMode) {
    ShowMessage(-1, 0, LogOnly, "%s", TitleLine);
    ShowMessage(-1, 0, LogOnly, "\n");
    ShowMessage(-1, 0, LogOnly, "\n");
    if (LogFile != stdout && argumentCount > 6)
      FatalError("Incorrect number of arguments %d", argumentCount + 1);
    if (help) {
      PrintHelpText();
      return 0;
    }
  } else {
    SetColours(15, 0);
    PutTextAt(1, 1, nullptr);
    ClearScreen();
    DrawTitlePanel();
    StatusRow = 14;
    if (help) {
      DrawHelpScreen();
      PutTextAt(1, 25, nullptr);
      WritePlainText("");
      return 0;
    }
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

  ShowMessage(-1, 0, LogOnly, "Node building mode : ");
  ShowMessage(22, StatusRow + 1, Both, FinalMode ? "Final %hd%s" : "Turbo %hd%s", ModeNumber, AxisSuffix);
  ShowMessage(-1, 0, LogOnly, "\n");
  ShowMessage(-1, 0, LogOnly, "\n");

  if (everyLevel) {
    RunEveryLevel();
  } else {
    RunOneLevel();
  }

  if (LogMode) CloseLog();
  EndScreen();
  return ExitCode;
}
