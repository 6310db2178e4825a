// SPDX-License-Identifier: GPL-2.0-or-later
// What the level checker finds: one finding per problem or warning, each
// tied to a lump and a record of it, and the way they are printed.
#pragma once

#include <map>
#include <string>
#include <utility>
#include <vector>

// A problem (the level is not sound) or a warning (it is sound, but an
// engine with the original limits cannot load it as it stands).
struct Finding {
  std::string lump;  // the lump the record is in; "-" for the level or the file as a whole
  long record = -1;  // the record's number in its lump, counted from 0; -1 for none
  std::string text;
  bool warning = false;
};

// Collects the findings of one level. At most kListedPerKind findings of
// one kind (the same lump and message form) are listed; the rest are
// counted and summed up in one more line, so that a badly broken level
// still gives a readable report.
class Findings {
 public:
  static constexpr int kListedPerKind = 25;

  __attribute__((format(printf, 4, 5))) void Problem(const char* lump, long record, const char* format, ...);
  __attribute__((format(printf, 4, 5))) void Warning(const char* lump, long record, const char* format, ...);
  // Lists the findings, the summing-up lines last.
  std::vector<Finding> Finish() const;

  int problems() const { return problems_; }
  int warnings() const { return warnings_; }

 private:
  void Add(bool warning, const char* lump, long record, const char* format, const std::string& text);

  struct Kind {
    int count = 0;
    bool warning = false;
    std::string first;  // the first listed text, quoted in the summing-up line
  };
  std::vector<Finding> listed_;
  std::map<std::pair<std::string, const char*>, Kind> kinds_;
  std::vector<std::pair<std::string, const char*>> kindOrder_;
  int problems_ = 0, warnings_ = 0;
};

__attribute__((format(printf, 1, 2))) std::string Format(const char* format, ...);

// A name as it may appear in a report line: bytes outside printable ASCII,
// blanks and colons become '?', so that the line still reads as
// "LEVEL LUMP RECORD: text" or "LEVEL: summary"; an empty name becomes "?".
std::string PrintableName(const std::string& name);

// "LEVEL LUMP RECORD: text", with "-" for no record and "warning: " before
// the text of a warning.
std::string FormatFinding(const std::string& level, const Finding& finding);
