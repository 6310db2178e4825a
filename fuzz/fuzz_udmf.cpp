// SPDX-License-Identifier: GPL-2.0-or-later
// Arbitrary bytes as a TEXTMAP lump for the UDMF reader. A map that is
// read must have a linedef and name only records it holds; a refusal must
// be one line in the reader's form whose line and column lie within the
// text, with the map left empty; and a second read must give the same.
// A crash, a sanitizer report or a hang is a finding too.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "wad/udmf_reader.h"

namespace {

[[noreturn]] void Violation(const char* what, const std::string& error) {
  std::fprintf(stderr, "fuzz_udmf: %s: %s\n", what, error.c_str());
  std::abort();
}

// The number at `at`, moving past it; 0 when there is none.
size_t ReadCount(const std::string& text, size_t* at) {
  size_t value = 0;
  bool any = false;
  while (*at < text.size() && text[*at] >= '0' && text[*at] <= '9') {
    value = value * 10 + static_cast<size_t>(text[(*at)++] - '0');
    any = true;
  }
  return any ? value : 0;
}

void CheckRefusal(const uint8_t* data, size_t size, const UdmfMap& map, const std::string& error) {
  if (!map.vertexes.empty() || !map.lineDefs.empty() || !map.sideDefs.empty() || !map.sectors.empty() ||
      map.thingCount != 0 || !map.nameSpace.empty())
    Violation("map not emptied on a refusal", error);
  const std::string head = "TEXTMAP line ";
  size_t at = head.size();
  if (error.compare(0, head.size(), head) != 0) Violation("message does not start with its place", error);
  const size_t line = ReadCount(error, &at);
  if (error.compare(at, 9, ", column ") != 0) Violation("no column", error);
  at += 9;
  const size_t column = ReadCount(error, &at);
  if (line == 0 || column == 0 || error.compare(at, 2, ": ") != 0 || error.size() == at + 2 ||
      error.find('\n') != std::string::npos)
    Violation("message not in the form", error);
  // The place must be a byte of the text or its end, on the line it names.
  size_t lineStart = 0;
  for (size_t k = 1; k < line; k++) {
    while (lineStart < size && data[lineStart] != '\n') lineStart++;
    if (lineStart >= size) Violation("line past the text", error);
    lineStart++;
  }
  const size_t offset = lineStart + column - 1;
  if (offset > size) Violation("column past the text", error);
  for (size_t k = lineStart; k < offset; k++) {
    if (data[k] == '\n') Violation("column past its line", error);
  }
}

void CheckMap(const UdmfMap& map) {
  if (map.lineDefs.empty()) Violation("map read without a linedef", "");
  for (const UdmfLineDef& l : map.lineDefs) {
    if (l.v1 >= map.vertexes.size() || l.v2 >= map.vertexes.size()) Violation("linedef names no vertex", "");
    if (l.sideFront >= map.sideDefs.size() || l.sideBack < -1 ||
        l.sideBack >= static_cast<int64_t>(map.sideDefs.size()))
      Violation("linedef names no sidedef", "");
  }
  for (const UdmfSideDef& s : map.sideDefs) {
    if (s.sector >= map.sectors.size()) Violation("sidedef names no sector", "");
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  UdmfMap map, again;
  std::string error, againError;
  const bool read = ReadUdmfMap(data, size, &map, &error);
  if (read) {
    if (!error.empty()) Violation("message on a map that is read", error);
    CheckMap(map);
  } else {
    CheckRefusal(data, size, map, error);
  }
  if (ReadUdmfMap(data, size, &again, &againError) != read || againError != error ||
      again.vertexes.size() != map.vertexes.size() || again.lineDefs.size() != map.lineDefs.size() ||
      again.sideDefs.size() != map.sideDefs.size() || again.sectors.size() != map.sectors.size() ||
      again.thingCount != map.thingCount)
    Violation("a second read differs", error);
  return 0;
}
