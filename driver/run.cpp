// The run driver: reads the command line, draws the title panel or the help
// screen, and calls every stage once in a fixed order, timing four phases.
#include "driver/run.h"

#include <cstdio>
#include <cstring>

#include "blockmap/blockmap.h"
#include "console/console.h"
#include "console/services.h"
#include "driver/settings.h"
#include "nodes/seg.h"
#include "nodes/tree.h"
#include "wad/level.h"
#include "wad/assembly.h"
#include "wad/output_file.h"
#include "wad/wadfile.h"

namespace {

const char* const LogName = "VORTANE.LOG";

// The overall bar shares its fill position with the stage bars, so it is
// redrawn empty and filled again every time.
void SetOverallBar(int percent) {
  ShowProgress(30, 23, -1);
  ShowProgress(30, 23, percent);
}

// The first five characters of the marker's name and the identification,
// as the loading and saved lines show them.
void FillLabels(char levelLabel[6], char identLabel[5]) {
  std::memset(levelLabel, 0, 6);
  const char* name = Directory[LevelMarkerIndex].Name;
  for (int i = 0; i < 5 && name[i] != '\0'; i++) levelLabel[i] = name[i];
  std::memcpy(identLabel, InputHeader.Identification, 4);
  identLabel[4] = '\0';
}

}  // namespace

int RunVortane(int argumentCount, char** arguments) {
  if (argumentCount >= 6 && arguments[5][0] == 'L') LogMode = true;

  if (LogMode) {
    LogFile = std::fopen(LogName, "w");
    if (LogFile == nullptr) return 99;
    ShowMessage(-1, 0, LogOnly, "%s", TitleLine);
    ShowMessage(-1, 0, LogOnly, "\n");
    ShowMessage(-1, 0, LogOnly, "\n");
    if (argumentCount > 6) FatalError("Incorrect number of arguments %d", argumentCount + 1);
  } else {
    SetColours(15, 0);
    PutTextAt(1, 1, nullptr);
    ClearScreen();
    DrawTitlePanel();
    StatusRow = 14;
    if (argumentCount < 1 || argumentCount > 6) {
      DrawHelpScreen();
      PutTextAt(1, 25, nullptr);
      WritePlainText("");
      return 0;
    }
  }
  StatusRow = 14;

  InputPath = arguments[0];
  if (argumentCount >= 2) OutputPath = arguments[1];
  if (std::strcmp(InputPath, OutputPath) == 0 || IsSameFile(InputPath, OutputPath)) {
    FatalError("filenames are duplicated %s", OutputPath);
  }
  OpenWad(InputPath);
  CreateOutputWad(OutputPath);
  if (argumentCount >= 3) LevelMarkerIndex = FindLump(arguments[2], true);
  if (argumentCount >= 4) ParseModeNumber(arguments[3]);
  if (argumentCount >= 5) ParseAxisMode(arguments[4]);

  ShowMessage(-1, 0, LogOnly, "Node building mode : ");
  ShowMessage(22, StatusRow + 1, Both, FinalMode ? "Final %hd%s" : "Turbo %hd%s", ModeNumber, AxisSuffix);
  ShowMessage(-1, 0, LogOnly, "\n");
  ShowMessage(-1, 0, LogOnly, "\n");

  char levelLabel[6];
  char identLabel[5];
  SetColours(15, 4);
  PutTextAt(1, StatusRow, BlankRow);
  FillLabels(levelLabel, identLabel);
  ShowMessage(1, StatusRow, Both, "Loading%4ld    %s %s : %s", static_cast<long>(InputHeader.LumpCount), levelLabel,
              identLabel, InputPath);
  ShowMessage(-1, 0, LogOnly, "\n");
  StatusRow += 2;
  ProgressFillChar = 178;
  SetColours(14, 1);

  TimerStart();
  LoadLevel();
  uint32_t readTime = static_cast<uint32_t>(TimerStop());

  ShowStatus(1, 23, "       Progress     ");
  SetOverallBar(10);
  SegList root = CreateSegs();
  if (root.count == 0) FatalError("No Segs found");
  if (Level.SectorCount <= 1) AxisMode = AxisOff;
  SetOverallBar(20);

  Bounds box = ComputeBounds(root);
  LevelBounds = Bounds{static_cast<int16_t>(box.MinX), static_cast<int16_t>(box.MaxX),
                       static_cast<int16_t>(box.MinY), static_cast<int16_t>(box.MaxY)};
  ShowMessage(50, StatusRow - 4, ScreenOnly, "X (%d,%d) Y (%d,%d)", LevelBounds.MinX, LevelBounds.MaxX,
              LevelBounds.MinY, LevelBounds.MaxY);

  if (Level.OldNodeCount <= 100) Level.OldNodeCount = Level.LineDefCount / 2;

  ShowProgress(30, StatusRow, -1);
  TimerStart();
  BuildNodes(root);
  uint32_t nodesTime = static_cast<uint32_t>(TimerStop());
  ShowProgress(30, StatusRow, 100);
  StatusRow += 1;

  SetOverallBar(90);
  TimerStart();
  bool blockmapTooLarge;
  Level.BlockmapSize = BuildBlockmap(&blockmapTooLarge);
  if (blockmapTooLarge) ExitCode = -2;
  uint32_t blockmapTime = static_cast<uint32_t>(TimerStop());
  ShowStatus(1, 23, "       Progress     ");
  SetOverallBar(100);

  TimerStart();
  PlanOutputWad();
  uint32_t elapsed = nodesTime + blockmapTime;
  ShowMessage(1, StatusRow, Both, "Elapsed Time...     %3lu.%02lu   (%01lu.%02lu nodes+%01lu.%02lu blockmap)",
              static_cast<unsigned long>(elapsed / 100), static_cast<unsigned long>(elapsed % 100),
              static_cast<unsigned long>(nodesTime / 100), static_cast<unsigned long>(nodesTime % 100),
              static_cast<unsigned long>(blockmapTime / 100), static_cast<unsigned long>(blockmapTime % 100));
  StatusRow += 1;
  ShowMessage(-1, 0, LogOnly, "\n");
  SetColours(15, 4);
  PutTextAt(1, StatusRow, BlankRow);
  ShowMessage(1, StatusRow, Both, "Saved          %s %s : %s", levelLabel, identLabel, OutputPath);
  StatusRow += 1;
  ShowMessage(-1, 0, LogOnly, "\n");
  SetColours(15, 0);
  WriteOutputWad();
  uint32_t writeTime = static_cast<uint32_t>(TimerStop());

  uint32_t disk = readTime + writeTime;
  ShowMessage(1, StatusRow, Both, "Disk I/O    ...     %3lu.%02lu   (%01lu.%02lu read +%01lu.%02lu write)",
              static_cast<unsigned long>(disk / 100), static_cast<unsigned long>(disk % 100),
              static_cast<unsigned long>(readTime / 100), static_cast<unsigned long>(readTime % 100),
              static_cast<unsigned long>(writeTime / 100), static_cast<unsigned long>(writeTime % 100));
  ShowMessage(-1, 0, LogOnly, "\n");

  if (LogMode && LogFile != nullptr) {
    std::fclose(LogFile);
    LogFile = nullptr;
  }
  PutTextAt(1, 23, nullptr);
  return ExitCode;
}
