// SPDX-License-Identifier: GPL-2.0-or-later
// UDMF levels in the input: finding them, laying out their ZNODES entry,
// and reading their TEXTMAP into the GL tree's input.
#include "wad/udmf_level.h"

#include <cstring>
#include <string>

#include "console/services.h"
#include "format/wad_format.h"
#include "wad/extended_nodes.h"
#include "wad/level_runs.h"
#include "wad/wadfile.h"

const char* RequestedNodesWord = nullptr;

void ResetUdmfLevels() { RequestedNodesWord = nullptr; }

namespace {

bool EntryIs(int32_t index, const char* name) {
  if (index < 0 || index >= InputHeader.LumpCount) return false;
  char entry[9];
  CopyLumpName(entry, &Directory[index]);
  return std::strcmp(entry, name) == 0;
}

// The ENDMAP of the UDMF level at `marker`, or -1 when the level ends
// (another level's TEXTMAP or THINGS, or the end of the file) without one.
int32_t FindEndMap(int32_t marker) {
  for (int32_t i = marker + 2; i < InputHeader.LumpCount; i++) {
    if (EntryIs(i, EndMapLumpName)) return i;
    if (EntryIs(i, TextMapLumpName) || EntryIs(i, "THINGS")) return -1;
  }
  return -1;
}

std::string MarkerName(int32_t marker) {
  char name[9];
  CopyLumpName(name, &Directory[marker]);
  return name;
}

// A UDMF level has GL nodes only: --nodes may name a GL form alone.
void CheckNodesWord(int32_t marker) {
  if (RequestedNodesWord == nullptr || (GlNodesRequested && RequestedNodeFormat == NodeFormat::None)) return;
  FatalError(
      "Level %s is a UDMF level: its nodes are GL nodes in ZNODES (xgln, xgl2, xgl3, zgln, zgl2 or zgl3), "
      "not %s",
      MarkerName(marker).c_str(), RequestedNodesWord);
}

LumpEntry EmptyZNodesEntry() {
  LumpEntry entry;
  entry.FilePos = AbsentLumpPosition;
  entry.Size = 0;
  std::memset(entry.Name, 0, sizeof entry.Name);
  std::memcpy(entry.Name, ZNodesLumpName, std::strlen(ZNodesLumpName));
  return entry;
}

}  // namespace

bool IsUdmfMarker(int32_t marker) { return EntryIs(marker + 1, TextMapLumpName); }

int32_t FindAnyLevelMarker(int32_t from) {
  for (int32_t i = from < 0 ? 0 : from; i + 1 < InputHeader.LumpCount; i++)
    if (EntryIs(i + 1, "THINGS") || EntryIs(i + 1, TextMapLumpName)) return i;
  return -1;
}

int32_t NextLevelSearchStart(int32_t marker) {
  if (!IsUdmfMarker(marker)) return marker + 1 + LevelLumpCount;
  int32_t end = FindEndMap(marker);
  return end >= 0 ? end + 1 : marker + 2;
}

int32_t FindFirstUdmfLevel() {
  for (int32_t i = 0; i + 1 < InputHeader.LumpCount; i++)
    if (IsUdmfMarker(i)) return i;
  return -1;
}

std::vector<int32_t> PrepareUdmfLevels(const std::vector<int32_t>& markers) {
  // Every level is judged before any entry moves, so that a refusal comes
  // before the first level is built.
  int32_t added = 0;
  bool anyUdmf = false;
  for (int32_t marker : markers) {
    if (!IsUdmfMarker(marker)) continue;
    anyUdmf = true;
    if (FindEndMap(marker) < 0) FatalError("Level %s has no ENDMAP lump", MarkerName(marker).c_str());
    CheckNodesWord(marker);
    bool hasZNodes = false;
    for (int32_t i = marker + 2; i < FindEndMap(marker) && !hasZNodes; i++)
      hasZNodes = EntryIs(i, ZNodesLumpName);
    if (!hasZNodes) added++;
  }
  // A run of binary levels leaves the directory as it is.
  if (!anyUdmf) return markers;
  int32_t count = InputHeader.LumpCount + added;
  if (count > MaxLumpCount)
    FatalError("Too many %s: %ld, the limit is %ld", "entries", static_cast<long>(count),
               static_cast<long>(MaxLumpCount));
  LumpEntry* entries = static_cast<LumpEntry*>(AllocArrayOrDie(count, sizeof(LumpEntry)));
  std::vector<int32_t> moved;
  int32_t out = 0;
  size_t next = 0;
  for (int32_t i = 0; i < InputHeader.LumpCount; i++) {
    bool rebuilt = next < markers.size() && markers[next] == i;
    if (rebuilt) {
      moved.push_back(out);
      next++;
    }
    if (!rebuilt || !IsUdmfMarker(i)) {
      entries[out++] = Directory[i];
      continue;
    }
    // The marker and TEXTMAP, then ZNODES, then the rest in their order.
    int32_t end = FindEndMap(i);
    int32_t zNodes = -1;
    for (int32_t k = i + 2; k < end && zNodes < 0; k++)
      if (EntryIs(k, ZNodesLumpName)) zNodes = k;
    entries[out++] = Directory[i];
    entries[out++] = Directory[i + 1];
    entries[out++] = zNodes >= 0 ? Directory[zNodes] : EmptyZNodesEntry();
    for (int32_t k = i + 2; k <= end; k++)
      if (k != zNodes) entries[out++] = Directory[k];
    i = end;
  }
  FreeBlock(Directory);
  Directory = entries;
  InputHeader.LumpCount = out;
  return moved;
}

GlForm UdmfGlForm() { return GlNodesRequested ? RequestedGlForm : GlForm::Xgl3; }

void LoadUdmfMap(UdmfMap* map) {
  const LumpEntry& entry = Directory[LevelMarkerIndex + 1];
  // An empty lump is never read; the reader words its fault.
  static const uint8_t nothing = 0;
  uint8_t* text = entry.Size > 0 ? ReadLump(static_cast<int16_t>(LevelMarkerIndex + 1)) : nullptr;
  std::string error;
  bool read = ReadUdmfMap(text != nullptr ? text : &nothing, static_cast<size_t>(entry.Size), map, &error);
  if (text != nullptr) FreeBlock(text);
  if (!read) FatalError("%s", error.c_str());
}

GlLevelInput ReadGlInputFromUdmf(const UdmfMap& map) {
  GlLevelInput input;
  input.vertexes.reserve(map.vertexes.size());
  for (const UdmfVertex& vertex : map.vertexes) input.vertexes.push_back({vertex.x, vertex.y});
  input.lineDefs.reserve(map.lineDefs.size());
  for (const UdmfLineDef& line : map.lineDefs) {
    GlLineDefInput in;
    in.start = line.v1;
    in.end = line.v2;
    in.hasRight = true;
    in.rightSector = static_cast<int32_t>(map.sideDefs[line.sideFront].sector);
    in.hasLeft = line.sideBack >= 0;
    in.leftSector =
        in.hasLeft ? static_cast<int32_t>(map.sideDefs[static_cast<size_t>(line.sideBack)].sector) : -1;
    input.lineDefs.push_back(in);
  }
  return input;
}
