// SPDX-License-Identifier: GPL-2.0-or-later
#include "check/wad_image.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "check/bytes.h"
#include "check/findings.h"

std::string ParseWad(std::vector<uint8_t> bytes, WadImage* wad) {
  *wad = WadImage();
  if (bytes.size() < static_cast<size_t>(WadHeaderSize))
    return Format("%zu bytes, too short to be a WAD", bytes.size());
  std::string identification(bytes.begin(), bytes.begin() + 4);
  if (identification != "IWAD" && identification != "PWAD")
    return "not a WAD (it does not start with IWAD or PWAD)";
  wad->identification = identification;
  int32_t count = LumpS32(bytes, 4);
  int32_t directory = LumpS32(bytes, 8);
  if (count < 0 || directory < 0 ||
      static_cast<uint64_t>(directory) + 16ull * static_cast<uint64_t>(count) > bytes.size())
    return Format("its directory of %d entries at %d does not fit in its %zu bytes", count, directory,
                  bytes.size());
  wad->directoryOffset = directory;
  wad->entries.reserve(static_cast<size_t>(count));
  for (int32_t i = 0; i < count; i++) {
    size_t at = static_cast<size_t>(directory) + 16u * static_cast<size_t>(i);
    WadEntry entry;
    entry.filePos = LumpS32(bytes, at);
    entry.size = LumpS32(bytes, at + 4);
    char name[9] = {0};
    std::memcpy(name, &bytes[at + 8], 8);
    entry.name = name;
    if (entry.size < 0 ||
        (entry.size > 0 &&
         (entry.filePos < 0 || static_cast<uint64_t>(entry.filePos) + entry.size > bytes.size())))
      return Format("entry %d (%s, %d bytes at %d) lies outside the file", i,
                    PrintableName(entry.name).c_str(), entry.size, entry.filePos);
    wad->entries.push_back(entry);
  }
  wad->bytes = std::move(bytes);
  return "";
}

std::string LoadWad(const std::string& path, WadImage* wad) {
  *wad = WadImage();
  FILE* file = std::fopen(path.c_str(), "rb");
  if (!file) return path + ": " + std::strerror(errno);
  std::vector<uint8_t> bytes;
  uint8_t buffer[65536];
  size_t n;
  // The identification comes first, so that a file that is no WAD (or a
  // device that never ends) is not read any further.
  while ((n = std::fread(buffer, 1, sizeof buffer, file)) > 0) {
    bytes.insert(bytes.end(), buffer, buffer + n);
    if (bytes.size() >= 4 && std::memcmp(bytes.data(), "IWAD", 4) != 0 &&
        std::memcmp(bytes.data(), "PWAD", 4) != 0)
      break;
  }
  bool failed = std::ferror(file) != 0;
  int error = errno;
  std::fclose(file);
  if (failed) return path + ": " + std::strerror(error);
  std::string problem = ParseWad(std::move(bytes), wad);
  return problem.empty() ? problem : path + ": " + problem;
}

std::vector<uint8_t> EntryBytes(const WadImage& wad, size_t index) {
  const WadEntry& entry = wad.entries.at(index);
  if (entry.size <= 0) return {};
  return std::vector<uint8_t>(wad.bytes.begin() + entry.filePos,
                              wad.bytes.begin() + entry.filePos + entry.size);
}

int FindEntry(const WadImage& wad, const std::string& name) {
  for (size_t i = 0; i < wad.entries.size(); i++)
    if (wad.entries[i].name == name) return static_cast<int>(i);
  return -1;
}

std::vector<int> ListLevelMarkers(const WadImage& wad) {
  std::vector<int> markers;
  for (size_t i = 0; i + 1 < wad.entries.size(); i++)
    if (wad.entries[i + 1].name == "THINGS" || wad.entries[i + 1].name == TextMapLumpName)
      markers.push_back(static_cast<int>(i));
  return markers;
}

std::vector<std::string> ListLevels(const WadImage& wad) {
  std::vector<std::string> names;
  for (int marker : ListLevelMarkers(wad)) names.push_back(wad.entries[marker].name);
  return names;
}

int FindLevel(const WadImage& wad, const std::string& name) {
  for (int marker : ListLevelMarkers(wad))
    if (wad.entries[marker].name == name) return marker;
  return -1;
}
