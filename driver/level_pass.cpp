// SPDX-License-Identifier: GPL-2.0-or-later
// The pass over one level: loading, segs, tree and blockmap, each timed,
// then the level's place in the output, with the screen and log lines in
// their fixed order. A whole-file run makes this pass for every level.
#include "driver/level_pass.h"

#include <cstring>
#include <vector>

#include "blockmap/blockmap.h"
#include "console/console.h"
#include "console/services.h"
#include "driver/settings.h"
#include "nodes/gl_tree.h"
#include "nodes/seg.h"
#include "nodes/settings.h"
#include "nodes/tree.h"
#include "wad/assembly.h"
#include "wad/extended_nodes.h"
#include "wad/gl_nodes.h"
#include "wad/level.h"
#include "wad/udmf_level.h"
#include "wad/wadfile.h"

namespace {

// Where the run stands in the file: level LevelIndex (from 0) of
// LevelTotal. A one-level run is level 0 of 1.
int LevelIndex = 0;
int LevelTotal = 1;
// The level of the pass is a UDMF one: the marker alone does not tell
// when it is 0, which for a binary level means "settled by the loaders".
bool LevelIsUdmf = false;

// The overall bar covers the whole file, each level filling its share. It
// shares its fill position with the stage bars, so it is redrawn empty and
// filled again every time.
void SetOverallBar(int percent) {
  ShowProgress(30, 23, -1);
  ShowProgress(30, 23, (LevelIndex * 100 + percent) / LevelTotal);
}

// The first five characters of the marker's name and the identification,
// as the loading and saved lines show them.
struct Labels {
  char level[6];
  char ident[5];
};

Labels FillLabels() {
  Labels labels;
  std::memset(labels.level, 0, sizeof labels.level);
  const char* name = Directory[LevelMarkerIndex].Name;
  for (int i = 0; i < 5 && name[i] != '\0'; i++) labels.level[i] = name[i];
  std::memcpy(labels.ident, InputHeader.Identification, 4);
  labels.ident[4] = '\0';
  return labels;
}

unsigned long Seconds(uint32_t hundredths) { return hundredths / 100; }
unsigned long Hundredths(uint32_t hundredths) { return hundredths % 100; }

// The GL tree, built apart from the whole-unit one, and its lump.
static void BuildGlNodes() {
  // A form that cannot number the level's linedefs is refused before the
  // build, which would be spent for nothing.
  GlTree counted = {};
  counted.linedefs = static_cast<uint32_t>(Level.LineDefCount);
  if (FindGlRefusal(counted, RequestedGlForm) == GlRefusal::TooManyLinedefs)
    FatalError("%s", DescribeGlRefusal(GlRefusal::TooManyLinedefs));
  GlTree tree;
  BuildGlTree(ReadGlInputFromLevel(), CostRule{ModeNumber, FinalMode}, &tree);
  if (!LogMode) {
    ShowStatus(1, StatusRow, "GL Nodes    ...");
    PrintAtCursor("%5lu", static_cast<unsigned long>(tree.nodes.size()));
  }
  std::vector<uint8_t> lump = EncodeGlNodes(tree, RequestedGlForm);
  Level.GlNodes = static_cast<uint8_t*>(AllocOrDie(static_cast<int32_t>(lump.size())));
  std::memcpy(Level.GlNodes, lump.data(), lump.size());
  Level.GlNodesSize = static_cast<int32_t>(lump.size());
}

const char* GlFormName(GlForm form) {
  switch (form) {
    case GlForm::Xgln: return "XGLN";
    case GlForm::Xgl2: return "XGL2";
    case GlForm::Xgl3: return "XGL3";
    case GlForm::Zgln: return "ZGLN";
    case GlForm::Zgl2: return "ZGL2";
    default: return "ZGL3";
  }
}

// A UDMF level, after its loading line: TEXTMAP read, the GL tree built
// and encoded for ZNODES. It has no blockmap to build.
void BuildUdmfLevel(PhaseTimes* times) {
  TimerStart();
  UdmfMap map;
  LoadUdmfMap(&map);
  Level.Format = LevelFormat::Udmf;
  times->read += static_cast<uint32_t>(TimerStop());

  ShowStatus(1, 23, "       Progress     ");
  SetOverallBar(20);
  Bounds box = {INT32_MAX, INT32_MIN, INT32_MAX, INT32_MIN};
  for (const UdmfVertex& vertex : map.vertexes) {
    // Whole units, rounded down, as the node boxes hold them.
    int32_t x = vertex.x >> 16, y = vertex.y >> 16;
    box = Bounds{x < box.MinX ? x : box.MinX, x > box.MaxX ? x : box.MaxX, y < box.MinY ? y : box.MinY,
                 y > box.MaxY ? y : box.MaxY};
  }
  ShowMessage(50, StatusRow - 4, ScreenOnly, "X (%d,%d) Y (%d,%d)", static_cast<int>(box.MinX),
              static_cast<int>(box.MaxX), static_cast<int>(box.MinY), static_cast<int>(box.MaxY));

  ShowProgress(30, StatusRow, -1);
  TimerStart();
  GlTree tree;
  BuildGlTree(ReadGlInputFromUdmf(map), CostRule{ModeNumber, FinalMode}, &tree);
  std::vector<uint8_t> lump = EncodeGlNodes(tree, UdmfGlForm());
  Level.GlNodes = static_cast<uint8_t*>(AllocOrDie(static_cast<int32_t>(lump.size())));
  std::memcpy(Level.GlNodes, lump.data(), lump.size());
  Level.GlNodesSize = static_cast<int32_t>(lump.size());
  times->nodes = static_cast<uint32_t>(TimerStop());
  ShowProgress(30, StatusRow, 100);
  StatusRow += 1;
  times->blockmap = 0;
  ShowStatus(1, 23, "       Progress     ");
  SetOverallBar(100);
}

// From the loading line to the blockmap: the level's lumps are built in
// Level, and the read, nodes and blockmap times are added to `times`.
Labels BuildLevel(PhaseTimes* times) {
  SetColours(15, 4);
  PutTextAt(1, StatusRow, BlankRow);
  Labels labels = FillLabels();
  ShowMessage(1, StatusRow, Both, "Loading%4ld    %s %s : %s", static_cast<long>(InputHeader.LumpCount),
              labels.level, labels.ident, InputPath);
  ShowMessage(-1, 0, LogOnly, "\n");
  StatusRow += 2;
  ProgressFillChar = 178;
  SetColours(14, 1);
  if (LevelIsUdmf) {
    BuildUdmfLevel(times);
    return labels;
  }

  TimerStart();
  LoadLevel();
  times->read += static_cast<uint32_t>(TimerStop());

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
  if (RequestedNodeFormat != NodeFormat::None) {
    // With GL nodes too, their row then takes the place of this one: a
    // row more would run into the overall bar.
    BuildNodes(root);
  } else {
    ReleaseSegList(&root);
  }
  if (GlNodesRequested) BuildGlNodes();
  times->nodes = static_cast<uint32_t>(TimerStop());
  ShowProgress(30, StatusRow, 100);
  StatusRow += 1;

  SetOverallBar(90);
  TimerStart();
  bool blockmapTooLarge;
  Level.BlockmapSize = BuildBlockmap(&blockmapTooLarge);
  if (blockmapTooLarge) ExitCode = -2;
  times->blockmap = static_cast<uint32_t>(TimerStop());
  ShowStatus(1, 23, "       Progress     ");
  SetOverallBar(100);
  return labels;
}

// The level's place in the output is planned; the elapsed and saved lines
// follow, before any of its bytes is written.
void PlanLevel(const PhaseTimes& times, const Labels& labels) {
  PlanOutputWad();
  // Auto writes vanilla nodes where they fit and says when they do not; the
  // row is the blockmap's warning row, unless that warning stands there.
  if (RequestedNodeFormat == NodeFormat::Auto && PlannedNodeFormat() != NodeFormat::Vanilla) {
    const char* text = "Nodes written as XNOD: the level passes the vanilla limits";
    if (LogMode || ExitCode != -2) ShowMessage(1, 24, Both, "%s", text);
    ShowMessage(-1, 0, LogOnly, "\n");
  }
  // A UDMF level says where its nodes went, in the same row, and that it
  // has no blockmap (its elapsed line counts none).
  if (Level.Format == LevelFormat::Udmf) {
    ShowMessage(1, 24, Both, "Level %s is a UDMF level: nodes written to ZNODES as %s, no blockmap built",
                labels.level, GlFormName(UdmfGlForm()));
    ShowMessage(-1, 0, LogOnly, "\n");
  }
  uint32_t elapsed = times.nodes + times.blockmap;
  ShowMessage(1, StatusRow, Both, "Elapsed Time...     %3lu.%02lu   (%01lu.%02lu nodes+%01lu.%02lu blockmap)",
              Seconds(elapsed), Hundredths(elapsed), Seconds(times.nodes), Hundredths(times.nodes),
              Seconds(times.blockmap), Hundredths(times.blockmap));
  StatusRow += 1;
  ShowMessage(-1, 0, LogOnly, "\n");
  SetColours(15, 4);
  PutTextAt(1, StatusRow, BlankRow);
  ShowMessage(1, StatusRow, Both, "Saved          %s %s : %s", labels.level, labels.ident, OutputPath);
  StatusRow += 1;
  ShowMessage(-1, 0, LogOnly, "\n");
  SetColours(15, 0);
}

void ShowDiskTime(const PhaseTimes& times) {
  uint32_t disk = times.read + times.write;
  ShowMessage(1, StatusRow, Both, "Disk I/O    ...     %3lu.%02lu   (%01lu.%02lu read +%01lu.%02lu write)",
              Seconds(disk), Hundredths(disk), Seconds(times.read), Hundredths(times.read),
              Seconds(times.write), Hundredths(times.write));
  ShowMessage(-1, 0, LogOnly, "\n");
}

// The screen rows a level's pass writes below the mode line, cleared for
// the next level of a whole-file run (the too-large message included).
void ClearLevelRows() {
  SetColours(15, 0);
  for (int row = 16; row <= 24; row++) {
    if (row != 23) PutTextAt(1, row, BlankRow);
  }
}

}  // namespace

namespace {

// One level and the rest of the file into the output.
void RunLevelPass(int32_t marker, bool udmf) {
  LevelIndex = 0;
  LevelTotal = 1;
  LevelIsUdmf = udmf;
  LevelMarkerIndex = static_cast<int16_t>(udmf ? PrepareUdmfLevels({marker})[0] : marker);
  PhaseTimes times = {0, 0, 0, 0};
  Labels labels = BuildLevel(&times);
  TimerStart();
  PlanLevel(times, labels);
  WriteOutputWad();
  times.write = static_cast<uint32_t>(TimerStop());
  ShowDiskTime(times);
}

}  // namespace

void RunOneLevel() {
  if (LevelMarkerIndex != 0) {
    RunNamedLevel(LevelMarkerIndex);
    return;
  }
  // With no level named, a file without a binary level has its first UDMF
  // level rebuilt; otherwise the loaders settle the marker, as they always
  // have.
  int32_t udmf = FindFirstUdmfLevel();
  if (FindLevelMarker(0) < 0 && udmf >= 0) {
    RunNamedLevel(udmf);
    return;
  }
  RunLevelPass(0, false);
}

void RunNamedLevel(int32_t marker) { RunLevelPass(marker, IsUdmfMarker(marker)); }

void RunEveryLevel() {
  // A level is a marker and its ten lumps, or a UDMF level up to its
  // ENDMAP; the next one starts after them.
  std::vector<int32_t> markers;
  for (int32_t at = FindAnyLevelMarker(0); at >= 0; at = FindAnyLevelMarker(NextLevelSearchStart(at)))
    markers.push_back(at);
  if (markers.empty()) FatalError("File %s holds no level", InputPath);
  RunLevels(markers);
}

void RunLevels(const std::vector<int32_t>& levels) {
  const std::vector<int32_t> markers = PrepareUdmfLevels(levels);
  LevelTotal = static_cast<int>(markers.size());
  const AxisModes axisMode = AxisMode;
  PhaseTimes total = {0, 0, 0, 0};
  for (LevelIndex = 0; LevelIndex < LevelTotal; LevelIndex++) {
    LevelMarkerIndex = static_cast<int16_t>(markers[static_cast<size_t>(LevelIndex)]);
    LevelIsUdmf = IsUdmfMarker(LevelMarkerIndex);
    char name[9];
    CopyLumpName(name, &Directory[LevelMarkerIndex]);
    SetFatalContext(name);
    // Each level starts from the same settings: a one-sector level turns
    // the axis mode off for itself only.
    AxisMode = axisMode;
    StatusRow = 14;
    if (LevelIndex > 0) ClearLevelRows();
    ShowMessage(50, StatusRow + 1, ScreenOnly, "%-8s (%d of %d)     ", name, LevelIndex + 1, LevelTotal);

    PhaseTimes times = {0, 0, 0, 0};
    Labels labels = BuildLevel(&times);
    TimerStart();
    PlanLevel(times, labels);
    WriteLevelLumps();
    times.write = static_cast<uint32_t>(TimerStop());
    total.read += times.read;
    total.write += times.write;

    // Nothing of the level is needed once its lumps are written.
    ReleaseTree();
    ResetTree();
    ReleaseLevel();
  }
  LevelIndex = LevelTotal - 1;
  LevelIsUdmf = false;
  SetFatalContext(nullptr);

  TimerStart();
  FinishOutputAssembly();
  total.write += static_cast<uint32_t>(TimerStop());
  ShowDiskTime(total);
}
