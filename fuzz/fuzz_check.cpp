// SPDX-License-Identifier: GPL-2.0-or-later
// Arbitrary bytes as the file of `vortane-check FILE`: the WAD read from
// the bytes and every level checked, with the settings for any builder and
// with this program's own rules (the tests' tests/support/exact_check),
// and the first level compared with itself as a rebuilt level. Every line of the report must be in the
// checker's format; a crash, a sanitizer report or a hang is a finding.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "check/wad_check.h"
#include "tests/support/exact_check.h"

namespace {

[[noreturn]] void Violation(const char* what, const std::string& line) {
  std::fprintf(stderr, "fuzz_check: %s: %s\n", what, line.c_str());
  std::abort();
}

bool IsName(const std::string& word) {
  if (word.empty()) return false;
  for (char c : word)
    if (c <= ' ' || c > '~') return false;
  return true;
}

// "LEVEL LUMP RECORD: text" or "LEVEL: summary".
void CheckLine(const std::string& line) {
  size_t colon = line.find(": ");
  if (colon == std::string::npos || colon + 2 >= line.size()) Violation("no text after a colon", line);
  std::string head = line.substr(0, colon);
  size_t first = head.find(' ');
  if (first == std::string::npos) {
    if (!IsName(head)) Violation("summary of a level name that is not printable", line);
    std::string text = line.substr(colon + 2);
    if (text.compare(0, 7, "sound (") != 0 && text.find(" problem") == std::string::npos)
      Violation("summary neither sound nor problems", line);
    return;
  }
  size_t second = head.find(' ', first + 1);
  if (second == std::string::npos || head.find(' ', second + 1) != std::string::npos)
    Violation("not three words before the colon", line);
  std::string record = head.substr(second + 1);
  if (!IsName(head.substr(0, first)) || !IsName(head.substr(first + 1, second - first - 1)))
    Violation("level or lump not a printable name", line);
  if (record != "-" && record.find_first_not_of("0123456789") != std::string::npos)
    Violation("record neither - nor a number", line);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  WadImage wad;
  if (!ParseWad(std::vector<uint8_t>(data, data + size), &wad).empty()) return 0;
  std::string out, errors;
  CheckWadLevels(wad, {}, SoundnessOptions(), &out, &errors);
  size_t start = 0;
  while (start < out.size()) {
    size_t end = out.find('\n', start);
    if (end == std::string::npos) Violation("report does not end with a line break", out.substr(start));
    CheckLine(out.substr(start, end - start));
    start = end + 1;
  }
  std::vector<int> markers = ListLevelMarkers(wad);
  for (int marker : markers) CheckBuiltLevelAt(wad, marker, BuiltLevelOptions());
  if (!markers.empty()) CheckRebuiltLevel(wad, wad, wad.entries[markers[0]].name, BuiltLevelOptions());
  return 0;
}
