// SPDX-License-Identifier: GPL-2.0-or-later
// The input WAD: opening it, checking its header and directory against the
// file's real size, and finding lumps by name.
#include <sys/stat.h>

#include <cstring>

#include "console/services.h"
#include "format/wad_format.h"
#include "wad/extended_nodes.h"
#include "wad/gl_nodes.h"
#include "wad/level.h"
#include "wad/level_runs.h"
#include "wad/stream.h"
#include "wad/udmf_level.h"
#include "wad/wadfile.h"

WadHeader InputHeader;
LumpEntry* Directory = nullptr;
FILE* InputWad = nullptr;
int16_t LevelMarkerIndex = 0;

void CopyLumpName(char out[9], const LumpEntry* entry) {
  std::strncpy(out, entry->Name, 8);
  out[8] = '\0';
}

// Reads `size` bytes at the current position of the input as one block.
static void ReadInputBlock(void* data, int32_t size) {
  size_t items = std::fread(data, static_cast<size_t>(size), 1, InputWad);
  CheckTransfer("read", InputWad, static_cast<int16_t>(items), size);
}

// Checks the directory against the file before anything trusts it: every
// later seek and read stays inside the file, except for empty lumps, which
// are never sought.
static void CheckDirectory(const char* path, int64_t fileSize) {
  int32_t count = InputHeader.LumpCount;
  int64_t start = InputHeader.DirectoryOffset;
  if (start < 0 || start + static_cast<int64_t>(count) * LumpEntrySize > fileSize)
    FatalError("File %s has its directory outside the file", path);
}

static void CheckEntries(const char* path, int64_t fileSize) {
  for (int32_t i = 0; i < InputHeader.LumpCount; i++) {
    const LumpEntry* entry = &Directory[i];
    char name[9];
    CopyLumpName(name, entry);
    if (entry->Size < 0) FatalError("File %s: entry %d (%s) has a negative size", path, i, name);
    if (entry->Size > 0 &&
        (entry->FilePos < 0 || static_cast<int64_t>(entry->FilePos) + entry->Size > fileSize))
      FatalError("File %s: entry %d (%s) lies outside the file", path, i, name);
  }
}

void OpenWad(const char* path) {
  InputWad = std::fopen(path, "rb");
  struct stat info;
  // A folder opens for reading on some systems but holds no WAD.
  if (InputWad == nullptr || fstat(fileno(InputWad), &info) != 0 || !S_ISREG(info.st_mode))
    FatalError("WAD file %s not found", path);
  NameStream(InputWad, path);
  int64_t fileSize = info.st_size;

  if (fileSize < WadHeaderSize) FatalError("File %s is too short to be a WAD", path);
  uint8_t header[WadHeaderSize];
  SeekTo(InputWad, 0);
  ReadInputBlock(header, WadHeaderSize);
  std::memcpy(InputHeader.Identification, header, 4);
  InputHeader.LumpCount = ReadInt32(header + 4);
  InputHeader.DirectoryOffset = ReadInt32(header + 8);

  if (std::memcmp(InputHeader.Identification, "PWAD", 4) != 0) FatalError("File %s is not a PWAD", path);
  if (InputHeader.LumpCount <= 0) FatalError("File %s has no entries?", path);
  if (InputHeader.LumpCount > MaxLumpCount) FatalError("File %s has too many entries", path);
  CheckDirectory(path, fileSize);

  int32_t count = InputHeader.LumpCount;
  uint8_t* raw = static_cast<uint8_t*>(AllocOrDie(count * LumpEntrySize));
  SeekTo(InputWad, InputHeader.DirectoryOffset);
  ReadInputBlock(raw, count * LumpEntrySize);
  Directory = static_cast<LumpEntry*>(AllocArrayOrDie(count, sizeof(LumpEntry)));
  for (int32_t i = 0; i < count; i++) {
    const uint8_t* record = raw + i * LumpEntrySize;
    Directory[i].FilePos = ReadInt32(record);
    Directory[i].Size = ReadInt32(record + 4);
    std::memcpy(Directory[i].Name, record + 8, 8);
  }
  FreeBlock(raw);
  CheckEntries(path, fileSize);
}

int16_t FindLump(const char* name, bool required) {
  for (int32_t i = 0; i < InputHeader.LumpCount; i++) {
    if (i < LevelMarkerIndex) continue;
    char entryName[9];
    CopyLumpName(entryName, &Directory[i]);
    if (std::strcmp(entryName, name) == 0) return static_cast<int16_t>(i);
  }
  if (required) FatalError("Cannot find %s", name);
  return 0;
}

int32_t FindLevelMarker(int32_t from) {
  char name[9];
  for (int32_t i = from; i + 1 < InputHeader.LumpCount; i++) {
    CopyLumpName(name, &Directory[i + 1]);
    if (std::strcmp(name, "THINGS") == 0) return i;
  }
  return -1;
}

uint8_t* ReadLump(int16_t index) {
  const LumpEntry* entry = &Directory[index];
  uint8_t* data = static_cast<uint8_t*>(AllocOrDie(entry->Size));
  SeekTo(InputWad, entry->FilePos);
  size_t items = std::fread(data, static_cast<size_t>(entry->Size), 1, InputWad);
  // A short read ends the run in CheckTransfer; the block is given back
  // first, so that a fatal error leaves nothing held.
  if (items != 1) FreeBlock(data);
  CheckTransfer("read", InputWad, static_cast<int16_t>(items), entry->Size);
  return data;
}

bool IsSameFile(const char* a, const char* b) {
  struct stat first, second;
  if (stat(a, &first) != 0 || stat(b, &second) != 0) return false;
  return first.st_dev == second.st_dev && first.st_ino == second.st_ino;
}

// The directory is the block OpenWad allocated (or ArrangeLevelRuns
// rewrote); it is released here, and the arrangement forgotten.
void ResetWadFile() {
  if (InputWad != nullptr) {
    NameStream(InputWad, nullptr);
    std::fclose(InputWad);
  }
  InputWad = nullptr;
  if (Directory != nullptr) FreeBlock(Directory);
  Directory = nullptr;
  std::memset(&InputHeader, 0, sizeof InputHeader);
  LevelMarkerIndex = 0;
  ResetLevelRuns();
  UnsignedLineDefNumbers = false;
  RejectCopiedAtWrite = false;
  ResetExtendedNodes();
  ResetGlNodes();
  ResetUdmfLevels();
}
