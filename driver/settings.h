// Run settings, fixed from the command line before the first stage runs.
#pragma once

#include <cstdint>

enum AxisModes { AxisOff = 0, AxisA = 1, AxisV = 2, AxisH = 3 };

extern const char* InputPath;
extern const char* OutputPath;
extern int16_t ModeNumber;  // split weight, 0 to 48
extern int FinalMode;       // 1 Final, 0 Turbo
extern int AxisMode;        // AxisModes
extern char AxisSuffix[8];
extern int32_t ExitCode;

// Reads argument 4 into ModeNumber and FinalMode.
void ParseModeNumber(const char* text);
// Reads argument 5 into AxisMode and AxisSuffix.
void ParseAxisMode(const char* text);

void ResetSettings();
