// SPDX-License-Identifier: GPL-2.0-or-later
// Loading VERTEXES: only the vertexes that some linedef uses are kept, in
// their input order, and the linedefs are renumbered to match.
#include "console/console.h"
#include "console/services.h"
#include "format/wad_format.h"
#include "wad/level.h"
#include "wad/wadfile.h"

// A linedef naming a vertex outside the lump is fatal, since nothing later
// could place that wall. Checked before the temporary arrays exist, so that
// the fatal error leaves nothing held.
static void CheckVertexNumbers(int32_t vertexCount) {
  for (int32_t i = 0; i < Level.LineDefCount; i++) {
    const LineDef* line = &Level.LineDefs[i];
    if (line->StartVertex < 0 || line->StartVertex >= vertexCount || line->EndVertex < 0 ||
        line->EndVertex >= vertexCount) {
      if (UnsignedLineDefNumbers)
        FatalError("vertex in linedef %d not valid %d,%d ?", i, line->StartVertex, line->EndVertex);
      FatalError("vertex in linedef %hd not valid %hd,%hd ?", static_cast<short>(i),
                 static_cast<short>(line->StartVertex), static_cast<short>(line->EndVertex));
    }
  }
}

void LoadVertexes() {
  int16_t index = FindLump("VERTEXES", true);
  if (Directory[index].Size <= 0) FatalError("No Vertexes found");
  int32_t count = Directory[index].Size / VertexRecordSize;
  // A third of slack for the vertexes that splits add.
  Level.VertexCapacity = count + count / 3;
  Level.Vertexes = static_cast<Vertex*>(AllocArrayOrDie(Level.VertexCapacity, sizeof(Vertex)));

  if (!LogMode) {
    ShowStatus(1, StatusRow, "Vertexes    ...");
    PrintAtCursor("%5d", count);
    ShowProgress(30, StatusRow, -1);
  }
  CheckVertexNumbers(count);

  uint8_t* input = ReadLump(index);
  int32_t* marks = static_cast<int32_t*>(AllocArrayOrDie(count, sizeof(int32_t)));
  for (int32_t i = 0; i < count; i++) marks[i] = 0;
  for (int32_t i = 0; i < Level.LineDefCount; i++) {
    marks[Level.LineDefs[i].StartVertex] = 1;
    marks[Level.LineDefs[i].EndVertex] = 1;
  }
  int32_t used = 0;
  for (int32_t i = 0; i < count; i++)
    if (marks[i] != 0) used++;

  int32_t copies = 0;
  for (int32_t i = 0; i < count; i++) {
    if (marks[i] == 0) continue;
    const uint8_t* record = input + i * VertexRecordSize;
    Level.Vertexes[copies].X = static_cast<int16_t>(ReadInt16(record));
    Level.Vertexes[copies].Y = static_cast<int16_t>(ReadInt16(record + 2));
    copies++;
  }
  if (copies != used) FatalError("Vertex Error");

  // The new number of a kept vertex is the count of kept vertexes before it.
  int32_t next = 0;
  for (int32_t i = 0; i < count; i++)
    if (marks[i] != 0) marks[i] = next++;
  for (int32_t i = 0; i < Level.LineDefCount; i++) {
    LineDef* line = &Level.LineDefs[i];
    line->StartVertex = marks[line->StartVertex];
    line->EndVertex = marks[line->EndVertex];
  }

  FreeBlock(marks);
  FreeBlock(input);
  ShowProgress(30, StatusRow, 100);
  StatusRow += 1;
  Level.VertexCount = used;
  Level.LineDefVertexCount = used;
}
