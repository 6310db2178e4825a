// SPDX-License-Identifier: GPL-2.0-or-later
// A WAD file read whole into memory, for the level checker: the header, the
// directory and the bytes, with every entry's data known to lie inside the
// file. Nothing here ever writes.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "format/wad_format.h"

struct WadEntry {
  std::string name;  // up to 8 characters, without trailing NULs
  int32_t filePos = 0;
  int32_t size = 0;
};

struct WadImage {
  std::string identification;  // "IWAD" or "PWAD"
  int32_t directoryOffset = 0;
  std::vector<WadEntry> entries;
  std::vector<uint8_t> bytes;  // the whole file
};

// Parses a WAD held in memory. Returns "" when the header and directory are
// readable and every entry's data lies inside the file, else what is wrong.
std::string ParseWad(std::vector<uint8_t> bytes, WadImage* wad);
// Reads and parses a file; the error names the path.
std::string LoadWad(const std::string& path, WadImage* wad);
std::vector<uint8_t> EntryBytes(const WadImage& wad, size_t index);

// The index of the first entry named exactly `name`, or -1.
int FindEntry(const WadImage& wad, const std::string& name);

// The levels of a WAD: the entries followed by a THINGS (or a TEXTMAP) entry, by index and
// by name.
std::vector<int> ListLevelMarkers(const WadImage& wad);
std::vector<std::string> ListLevels(const WadImage& wad);
// The first level marker named exactly `name`, or -1.
int FindLevel(const WadImage& wad, const std::string& name);
