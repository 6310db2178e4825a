#include <gtest/gtest.h>

#include <string>

#include "driver/settings.h"

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

INSTANTIATE_TEST_SUITE_P(
    Arguments, ModeNumberTest,
    ::testing::Values(ModeCase{"-5", 0, 5}, ModeCase{"5", 1, 5}, ModeCase{"0", 1, 0}, ModeCase{"-0", 1, 0},
                      ModeCase{"100", 1, 48}, ModeCase{"-100", 0, 48}, ModeCase{"65531", 0, 5},
                      ModeCase{"abc", 1, 0}, ModeCase{"32768", 0, 48}, ModeCase{"-32768", 0, 48},
                      ModeCase{"  12xyz", 1, 12}, ModeCase{"+7", 1, 7}, ModeCase{"48", 1, 48},
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
      {"A", AxisA, "A"},  {"V", AxisV, "V"},      {"H", AxisH, "H"},     {"Vx", AxisV, "Vx"},
      {"a", AxisOff, ""}, {"X", AxisOff, ""},     {"v", AxisOff, ""},    {"", AxisOff, ""},
      {"Hello world", AxisH, "Hello w"},  // cut to seven characters
  };
  for (const Case& c : cases) {
    ResetSettings();
    ParseAxisMode(c.argument);
    EXPECT_EQ(AxisMode, c.axisMode) << c.argument;
    EXPECT_EQ(std::string(AxisSuffix), c.suffix) << c.argument;
  }
}

TEST(SettingsTest, DefaultsAreTurboEightWithoutAxis) {
  ResetSettings();
  EXPECT_EQ(ModeNumber, 8);
  EXPECT_EQ(FinalMode, 0);
  EXPECT_EQ(AxisMode, AxisOff);
  EXPECT_STREQ(OutputPath, "tmp.wad");
  EXPECT_EQ(ExitCode, 0);
}

}  // namespace
