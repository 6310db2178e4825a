// SPDX-License-Identifier: GPL-2.0-or-later
#include "check/findings.h"

#include <cstdarg>
#include <cstdio>

namespace {

std::string FormatList(const char* format, va_list args) {
  char buffer[512];
  std::vsnprintf(buffer, sizeof buffer, format, args);
  return buffer;
}

}  // namespace

std::string Format(const char* format, ...) {
  va_list args;
  va_start(args, format);
  std::string text = FormatList(format, args);
  va_end(args);
  return text;
}

std::string PrintableName(const std::string& name) {
  if (name.empty()) return "?";
  std::string out = name;
  for (char& c : out)
    if (c <= ' ' || c > '~' || c == ':') c = '?';
  return out;
}

void Findings::Problem(const char* lump, long record, const char* format, ...) {
  va_list args;
  va_start(args, format);
  std::string text = FormatList(format, args);
  va_end(args);
  Add(false, lump, record, format, text);
}

void Findings::Warning(const char* lump, long record, const char* format, ...) {
  va_list args;
  va_start(args, format);
  std::string text = FormatList(format, args);
  va_end(args);
  Add(true, lump, record, format, text);
}

void Findings::Add(bool warning, const char* lump, long record, const char* format, const std::string& text) {
  (warning ? warnings_ : problems_)++;
  std::pair<std::string, const char*> key(lump, format);
  Kind& kind = kinds_[key];
  if (kind.count++ == 0) kindOrder_.push_back(key);
  if (kind.count > kListedPerKind) return;
  if (kind.count == 1) {
    kind.first = text;
    kind.warning = warning;
  }
  listed_.push_back({lump, record, text, warning});
}

std::vector<Finding> Findings::Finish() const {
  std::vector<Finding> out = listed_;
  for (const auto& key : kindOrder_) {
    const Kind& kind = kinds_.at(key);
    if (kind.count <= kListedPerKind) continue;
    out.push_back(
        {key.first, -1,
         Format("%d more like \"%s\" are not listed", kind.count - kListedPerKind, kind.first.c_str()),
         kind.warning});
  }
  return out;
}

std::string FormatFinding(const std::string& level, const Finding& finding) {
  std::string record = finding.record < 0 ? "-" : std::to_string(finding.record);
  return PrintableName(level) + " " + finding.lump + " " + record + ": " +
         (finding.warning ? "warning: " : "") + finding.text;
}
