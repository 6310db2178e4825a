// SPDX-License-Identifier: GPL-2.0-or-later
#include "driver/settings.h"

#include <gtest/gtest.h>

#include <string>

namespace {

struct ModeCase {
  const char* argument;
  int finalMode;
  int modeNumber;
};

class ModeNumberTest : public ::testing::TestWithParam<ModeCase> {};

TEST_P(ModeNumberTest, ReadsWeightAndMode) {
  ResetSettings();
  ParseModeNumber(GetParam().argument);
  EXPECT_EQ(FinalMode, GetParam().finalMode) << GetParam().argument;
  EXPECT_EQ(ModeNumber, GetParam().modeNumber) << GetParam().argument;
}

INSTANTIATE_TEST_SUITE_P(Arguments, ModeNumberTest,
                         ::testing::Values(ModeCase{"-5", 0, 5}, ModeCase{"5", 1, 5}, ModeCase{"0", 1, 0},
                                           ModeCase{"-0", 1, 0}, ModeCase{"100", 1, 48},
                                           ModeCase{"-100", 0, 48}, ModeCase{"65531", 0, 5},
                                           ModeCase{"abc", 1, 0}, ModeCase{"32768", 0, 48},
                                           ModeCase{"-32768", 0, 48}, ModeCase{"  12xyz", 1, 12},
                                           ModeCase{"+7", 1, 7}, ModeCase{"48", 1, 48},
                                           ModeCase{"-48", 0, 48}, ModeCase{"49", 1, 48},
                                           // Low 16 bits of the exact value, however many digits.
                                           ModeCase{"65536000000000000005", 1, 5}, ModeCase{"131077", 1, 5},
                                           ModeCase{"-65541", 0, 5}));

TEST(AxisModeTest, OnlyTheFirstCapitalLetterCounts) {
  struct Case {
    const char* argument;
    int axisMode;
    std::string suffix;
  } cases[] = {
      {"A", AxisA, "A"},   {"V", AxisV, "V"},  {"H", AxisH, "H"},
      {"Vx", AxisV, "Vx"}, {"a", AxisOff, ""}, {"X", AxisOff, ""},
      {"v", AxisOff, ""},  {"", AxisOff, ""},  {"Hello world", AxisH, "Hello w"},  // cut to seven characters
  };
  for (const Case& c : cases) {
    ResetSettings();
    ParseAxisMode(c.argument);
    EXPECT_EQ(AxisMode, c.axisMode) << c.argument;
    EXPECT_EQ(std::string(AxisSuffix), c.suffix) << c.argument;
  }
}

// The settings as the process starts, read before any test has run:
// constant initialisation fills them before main.
struct StartUpSettings {
  const char* outputPath;
  int16_t modeNumber;
  int finalMode;
  int axisMode;
  std::string axisSuffix;
  int32_t exitCode;
};
const StartUpSettings StartUp = {OutputPath, ModeNumber, FinalMode, AxisMode, AxisSuffix, ExitCode};

// A run given no mode builds Turbo 8 without an axis mode into tmp.wad, and
// the reset that tests use between runs brings back exactly that state.
TEST(SettingsTest, StartUpDefaultsAreTurboEightWithoutAxisAndResetRestoresThem) {
  EXPECT_STREQ(StartUp.outputPath, "tmp.wad");
  EXPECT_EQ(StartUp.modeNumber, 8);
  EXPECT_EQ(StartUp.finalMode, 0);
  EXPECT_EQ(StartUp.axisMode, AxisOff);
  EXPECT_EQ(StartUp.axisSuffix, "");
  EXPECT_EQ(StartUp.exitCode, 0);

  ParseModeNumber("24");
  ParseAxisMode("Hx");
  OutputPath = "elsewhere.wad";
  ExitCode = -2;
  ResetSettings();
  EXPECT_STREQ(OutputPath, StartUp.outputPath);
  EXPECT_EQ(ModeNumber, StartUp.modeNumber);
  EXPECT_EQ(FinalMode, StartUp.finalMode);
  EXPECT_EQ(AxisMode, StartUp.axisMode);
  EXPECT_EQ(std::string(AxisSuffix), StartUp.axisSuffix);
  EXPECT_EQ(ExitCode, StartUp.exitCode);
}

}  // namespace
