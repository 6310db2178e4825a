// SPDX-License-Identifier: GPL-2.0-or-later
// Run settings and the parsing of the mode number and axis arguments.
#include "driver/settings.h"

#include <cctype>
#include <cstring>

const char* InputPath = nullptr;
const char* OutputPath = "tmp.wad";
char AxisSuffix[8] = "";
int32_t ExitCode = 0;

// A decimal integer as atoi reads it, kept to its low 16 bits however many
// digits it has. A negative number selects Turbo, anything else Final, and
// the weight is the magnitude, at most 48.
void ParseModeNumber(const char* text) {
  const char* p = text;
  while (std::isspace(static_cast<unsigned char>(*p))) p++;
  bool negative = false;
  if (*p == '+' || *p == '-') {
    negative = *p == '-';
    p++;
  }
  uint16_t low = 0;
  for (; std::isdigit(static_cast<unsigned char>(*p)); p++) {
    low = static_cast<uint16_t>(low * 10 + (*p - '0'));
  }
  if (negative) low = static_cast<uint16_t>(0u - low);
  int32_t value = static_cast<int16_t>(low);
  FinalMode = value >= 0;
  if (value < 0) value = -value;
  if (value > 48) value = 48;
  ModeNumber = static_cast<int16_t>(value);
}

// Only the first character picks the mode (capital A, V or H); the whole
// argument, up to seven characters, follows the weight in the mode line.
void ParseAxisMode(const char* text) {
  switch (text[0]) {
    case 'A': AxisMode = AxisA; break;
    case 'V': AxisMode = AxisV; break;
    case 'H': AxisMode = AxisH; break;
    default: AxisMode = AxisOff; break;
  }
  AxisSuffix[0] = '\0';
  if (AxisMode != AxisOff) {
    std::strncpy(AxisSuffix, text, sizeof AxisSuffix - 1);
    AxisSuffix[sizeof AxisSuffix - 1] = '\0';
  }
}

void ResetSettings() {
  InputPath = nullptr;
  OutputPath = "tmp.wad";
  AxisSuffix[0] = '\0';
  ExitCode = 0;
  ResetNodeSettings();
}
