// SPDX-License-Identifier: GPL-2.0-or-later
// The input WAD: header, directory, lump lookup, and the checked stream
// primitives that loading and output assembly use.
#pragma once

#include <cstdint>
#include <cstdio>

#include "format/wad_format.h"

struct WadHeader {
  char Identification[4];  // "PWAD", no terminator
  int32_t LumpCount;
  int32_t DirectoryOffset;
};

struct LumpEntry {
  int32_t FilePos;
  int32_t Size;
  char Name[8];  // NUL-padded; an 8-character name has no terminator
};

// Lump indexes are signed 16-bit throughout the program.
constexpr int32_t MaxLumpCount = 32767;

extern WadHeader InputHeader;
extern LumpEntry* Directory;      // InputHeader.LumpCount entries, file order
extern FILE* InputWad;            // open until the process ends
extern int16_t LevelMarkerIndex;  // 0 until the level's marker is settled

void OpenWad(const char* path);
// First entry at or after LevelMarkerIndex named `name`. A miss is fatal when
// required, else 0 (so an optional match at index 0 reads as absent).
int16_t FindLump(const char* name, bool required);

// The first level marker at or after entry `from`: an entry followed by a
// THINGS entry. -1 when there is none.
int32_t FindLevelMarker(int32_t from);

// Reads `size` bytes of lump `index` into a new block; a lump of size 0 is
// never sought or read.
uint8_t* ReadLump(int16_t index);

// The entry's name as FindLump compares it: at most 8 characters, stopped
// at the first NUL, always terminated.
void CopyLumpName(char out[9], const LumpEntry* entry);

// True when both paths name the same existing file (same device and inode);
// a path that does not exist never matches.
bool IsSameFile(const char* a, const char* b);

void ResetWadFile();
