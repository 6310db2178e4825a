// SPDX-License-Identifier: GPL-2.0-or-later
#include "driver/options.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/support/words.h"

namespace {

// What a good call sets, written back as text so that a table can say it:
// positional arguments joined by '|', then the options.
std::string Describe(const CommandLine& line) {
  std::string text;
  for (const char* argument : line.positional) text += std::string(text.empty() ? "" : "|") + argument;
  if (line.output != nullptr) text += std::string(" out=") + line.output;
  for (const char* map : line.maps) text += std::string(" map=") + map;
  if (line.mode != nullptr) text += std::string(" mode=") + line.mode;
  if (line.weight >= 0) text += " weight=" + std::to_string(line.weight);
  if (line.axis != nullptr) text += std::string(" axis=") + line.axis;
  if (line.log) text += " log";
  if (line.nodes != nullptr) text += std::string(" nodes=") + line.nodes;
  if (line.help) text += " help";
  if (line.version) text += " version";
  return text;
}

struct Parsed {
  bool ok;
  std::string fault;
  std::string sets;  // Describe of the line, read while its words live
};

Parsed Parse(const std::string& text) {
  std::vector<std::string> words = SplitAtBlanks(text);
  std::vector<char*> arguments;
  for (std::string& word : words) arguments.push_back(word.data());
  Parsed parsed;
  CommandLine line;
  parsed.ok = ParseCommandLine(static_cast<int>(arguments.size()), arguments.data(), &line, &parsed.fault);
  parsed.sets = Describe(line);
  return parsed;
}

TEST(OptionsTest, GoodCallsSetWhatTheyName) {
  struct Case {
    const char* call;
    const char* sets;
  };
  const Case cases[] = {
      // SLADE's two calls and UDB's profile form.
      {"FILE --output=FILE", "FILE out=FILE"},
      {"FILE -o FILE", "FILE out=FILE"},
      {"in.wad -o out.wad --mode=final --weight=8", "in.wad out=out.wad mode=final weight=8"},
      // Options before, between and after the positional arguments.
      {"--log in.wad out.wad MAP01", "in.wad|out.wad|MAP01 log"},
      {"in.wad --map=MAP01 --map MAP03 -o x.wad", "in.wad out=x.wad map=MAP01 map=MAP03"},
      {"in.wad out.wad --weight 0 --axis=V", "in.wad|out.wad weight=0 axis=V"},
      {"in.wad --weight=48 --mode turbo", "in.wad mode=turbo weight=48"},
      {"in.wad --map=*", "in.wad map=*"},
      {"in.wad --nodes=znod -o out.wad", "in.wad out=out.wad nodes=znod"},
      {"in.wad out.wad MAP01 -8 - L --nodes auto", "in.wad|out.wad|MAP01|-8|-|L nodes=auto"},
      // All six positional arguments with a seventh thing given as an option.
      {"in.wad out.wad MAP01 -8 A L --map=MAP02", ""},
      // A lone dash and negative mode numbers are positional, as they were.
      {"in.wad out.wad MAP01 -8 - --log", "in.wad|out.wad|MAP01|-8|- log"},
      {"in.wad --help", "in.wad help"},
      {"--version", " version"},
      {"--help --bogus", ""},
  };
  for (const Case& c : cases) {
    Parsed parsed = Parse(c.call);
    if (c.sets[0] == '\0') {
      EXPECT_FALSE(parsed.ok) << c.call;
      continue;
    }
    ASSERT_TRUE(parsed.ok) << c.call << ": " << parsed.fault;
    EXPECT_EQ(parsed.sets, c.sets) << c.call;
  }
}

TEST(OptionsTest, BadUsageNamesItsFault) {
  struct Case {
    const char* call;
    const char* fault;
  };
  const Case cases[] = {
      {"in.wad --bogus", "unknown option '--bogus'"},
      {"in.wad --output", "option '--output' needs a value"},
      {"in.wad -o", "option '-o' needs a value"},
      {"in.wad --output=", "option '--output' needs a value"},
      {"in.wad --map=", "option '--map' needs a value"},
      {"in.wad --weight=49", "--weight must be a whole number from 0 to 48, not '49'"},
      {"in.wad --weight=-1", "--weight must be a whole number from 0 to 48, not '-1'"},
      {"in.wad --weight=8x", "--weight must be a whole number from 0 to 48, not '8x'"},
      {"in.wad --weight=008", "--weight must be a whole number from 0 to 48, not '008'"},
      {"in.wad --mode=fast", "--mode must be turbo or final, not 'fast'"},
      {"in.wad --axis=a", "--axis must be A, V or H, not 'a'"},
      {"in.wad --nodes=gl",
       "--nodes must be vanilla, xnod, znod, auto, a GL form (xgln, xgl2, xgl3, zgln, zgl2, zgl3), or xnod "
       "or "
       "znod and a GL form, as in znod,zgl3; not 'gl'"},
      {"in.wad --nodes=xnod --nodes=xnod", "option '--nodes' is given twice"},
      {"in.wad --log=yes", "option '--log' takes no value"},
      {"in.wad --log --log", "option '--log' is given twice"},
      {"in.wad -o a.wad --output=b.wad", "option '--output' is given twice"},
      {"in.wad --weight=8 --weight=8", "option '--weight' is given twice"},
      // An option and the positional argument that set the same thing, even
      // when they agree.
      {"in.wad out.wad -o out.wad", "-o/--output and argument 2 ('out.wad') set the same thing"},
      {"in.wad out.wad MAP01 --map=MAP01", "--map and argument 3 ('MAP01') set the same thing"},
      {"in.wad out.wad MAP01 -8 --mode=turbo", "--mode and argument 4 ('-8') set the same thing"},
      {"in.wad out.wad MAP01 8 --weight=8", "--weight and argument 4 ('8') set the same thing"},
      {"in.wad out.wad MAP01 8 A --axis=A", "--axis and argument 5 ('A') set the same thing"},
      {"in.wad out.wad MAP01 8 A L --log", "--log and argument 6 ('L') set the same thing"},
      {"in.wad out.wad MAP01 8 A L extra --log",
       "too many arguments: 7 (at most 6: input, output, level, mode, "
       "axis, L)"},
      {"--log", "no input WAD file given"},
  };
  for (const Case& c : cases) {
    Parsed parsed = Parse(c.call);
    EXPECT_FALSE(parsed.ok) << c.call;
    EXPECT_EQ(parsed.fault, c.fault) << c.call;
  }
}

TEST(OptionsTest, NodeValuesNameTheNormalAndTheGlNodes) {
  struct Case {
    const char* value;
    bool good;
    NodeFormat normal;
    bool gl;
    GlForm form;
  };
  const Case cases[] = {
      {"vanilla", true, NodeFormat::Vanilla, false, GlForm::Xgl3},
      {"auto", true, NodeFormat::Auto, false, GlForm::Xgl3},
      {"xgln", true, NodeFormat::None, true, GlForm::Xgln},
      {"zgl2", true, NodeFormat::None, true, GlForm::Zgl2},
      {"xnod,xgl3", true, NodeFormat::Xnod, true, GlForm::Xgl3},
      {"znod,zgln", true, NodeFormat::Znod, true, GlForm::Zgln},
      // Vanilla nodes need SEGS and SSECTORS, auto may choose them, and a
      // pair takes one of each kind, normal first.
      {"vanilla,xgl3", false, NodeFormat::Vanilla, false, GlForm::Xgl3},
      {"auto,xgl3", false, NodeFormat::Vanilla, false, GlForm::Xgl3},
      {"zgl3,znod", false, NodeFormat::Vanilla, false, GlForm::Xgl3},
      {"xgl3,zgl3", false, NodeFormat::Vanilla, false, GlForm::Xgl3},
      {"znod,", false, NodeFormat::Vanilla, false, GlForm::Xgl3},
      {"znod,zgl3,xgl3", false, NodeFormat::Vanilla, false, GlForm::Xgl3},
      {"XGL3", false, NodeFormat::Vanilla, false, GlForm::Xgl3},
  };
  for (const Case& c : cases) {
    NodeChoice choice;
    bool good = ReadNodeChoice(c.value, &choice);
    EXPECT_EQ(good, c.good) << c.value;
    if (!good) continue;
    EXPECT_EQ(choice.normal, c.normal) << c.value;
    EXPECT_EQ(choice.gl, c.gl) << c.value;
    if (c.gl) {
      EXPECT_EQ(choice.glForm, c.form) << c.value;
    }
  }
}

TEST(OptionsTest, OnlyDashOAndDoubleDashWordsAreOptions) {
  struct Case {
    const char* argument;
    bool option;
  };
  const Case cases[] = {{"-o", true},  {"--log", true}, {"--x=1", true}, {"-8", false}, {"-", false},
                        {"--", false}, {"-h", false},   {"-oX", false},  {"L", false},  {"MAP01", false}};
  for (const Case& c : cases) EXPECT_EQ(IsOptionWord(c.argument), c.option) << c.argument;
}

}  // namespace
