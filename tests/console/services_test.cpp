// SPDX-License-Identifier: GPL-2.0-or-later
// Fatal errors, memory and timing services.
#include "console/services.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <fstream>
#include <string>

#include "console/console.h"
#include "tests/console/terminal_model.h"

namespace {

using ::testing::ExitedWithCode;

// A block kept where a leak checker at exit still sees it.
void* volatile KeptBlock = nullptr;

class FatalErrorTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string base = ::testing::TempDir() + "fatal_test_" + std::to_string(getpid()) + "_" +
                       ::testing::UnitTest::GetInstance()->current_test_info()->name();
    logPath_ = base + ".log";
    screenPath_ = base + ".screen";
    std::remove(logPath_.c_str());
    std::remove(screenPath_.c_str());
  }
  void TearDown() override {
    std::remove(logPath_.c_str());
    std::remove(screenPath_.c_str());
  }

  // In the child process: standard input from /dev/null (so no key is
  // awaited), standard output into a file, the console as at start, and in
  // log mode the log opened with one line in it already.
  static void PrepareChild(bool logMode, const std::string& logPath, const std::string& screenPath) {
    int input = open("/dev/null", O_RDONLY);
    dup2(input, STDIN_FILENO);
    std::fflush(stdout);
    int output = open(screenPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    dup2(output, STDOUT_FILENO);
    ResetConsole();
    SetFatalCleanup(nullptr);
    if (logMode) {
      LogMode = true;
      LogFile = std::fopen(logPath.c_str(), "w");
      ShowMessage(-1, 0, LogOnly, "   title\n\n");
    }
  }

  std::string logPath_;
  std::string screenPath_;
};

TEST_F(FatalErrorTest, LogModeAddsTheFramedMessageAndExitsWithoutWaiting) {
  EXPECT_EXIT(
      {
        PrepareChild(true, logPath_, screenPath_);
        FatalError("WAD file %s not found", "in.wad");
      },
      ExitedWithCode(10), "");
  EXPECT_EQ(ReadWholeFile(logPath_), "   title\n\nError : ** WAD file in.wad not found **\n");
  EXPECT_EQ(ReadWholeFile(screenPath_), "");
}

TEST_F(FatalErrorTest, LogModeWritesPercentAndCutsLongMessages) {
  EXPECT_EXIT(
      {
        PrepareChild(true, logPath_, screenPath_);
        FatalError("Could not open output PWAD file %s", "out/50%s%d.wad");
      },
      ExitedWithCode(10), "");
  EXPECT_EQ(ReadWholeFile(logPath_),
            "   title\n\nError : ** Could not open output PWAD file out/50%s%d.wad **\n");

  std::string longPath(400, 'x');
  longPath[0] = '%';
  EXPECT_EXIT(
      {
        PrepareChild(true, logPath_, screenPath_);
        FatalError("WAD file %s not found", longPath.c_str());
      },
      ExitedWithCode(10), "");
  std::string message = ("WAD file " + longPath).substr(0, 255);
  EXPECT_EQ(ReadWholeFile(logPath_), "   title\n\nError : ** " + message + " **\n");
}

// The frame stands at column 1 of row 20, in the terminal's own attributes,
// whatever colour pair was current.
TEST_F(FatalErrorTest, ScreenModeShowsTheFramedMessageOnRow20) {
  EXPECT_EXIT(
      {
        PrepareChild(false, logPath_, screenPath_);
        SetColours(14, 1);
        PutTextAt(1, 5, "before");
        FatalError("WAD file %s not found", "x%d.wad");
      },
      ExitedWithCode(10), "");
  TerminalModel screen;
  screen.Feed(ReadWholeFile(screenPath_));
  const std::string frame = "Error : ** WAD file x%d.wad not found **";
  EXPECT_EQ(screen.Text(20, 1, static_cast<int>(frame.size()) + 1), Utf32(frame + " "));
  EXPECT_EQ(screen.At(1, 20).foreground, -1);
  EXPECT_EQ(screen.At(1, 20).background, -1);
  EXPECT_EQ(screen.At(12, 20).background, -1);
  // The closing line break moves the cursor to the next row.
  EXPECT_EQ(screen.CursorRow(), 21);
  EXPECT_EQ(screen.CursorColumn(), 1);
  EXPECT_EQ(screen.Unknown(), "");
  EXPECT_FALSE(std::ifstream(logPath_).good());
}

TEST_F(FatalErrorTest, CleanupRunsBeforeTheProcessEnds) {
  static std::string marker;
  marker = screenPath_ + ".cleanup";
  std::remove(marker.c_str());
  EXPECT_EXIT(
      {
        PrepareChild(true, logPath_, screenPath_);
        SetFatalCleanup([] { std::fclose(std::fopen(marker.c_str(), "w")); });
        FatalError("No Segs found");
      },
      ExitedWithCode(10), "");
  EXPECT_EQ(ReadWholeFile(marker), "");
  EXPECT_EQ(ReadWholeFile(logPath_), "   title\n\nError : ** No Segs found **\n");
  std::remove(marker.c_str());
}

TEST_F(FatalErrorTest, ZeroByteRequestsEndTheRun) {
  EXPECT_EXIT(
      {
        PrepareChild(true, logPath_, screenPath_);
        AllocOrDie(0);
      },
      ExitedWithCode(10), "");
  EXPECT_EQ(ReadWholeFile(logPath_), "   title\n\nError : ** cannot allocate 0 bytes **\n");

  EXPECT_EXIT(
      {
        PrepareChild(true, logPath_, screenPath_);
        KeptBlock = AllocOrDie(16);
        ReallocOrDie(KeptBlock, 0);
      },
      ExitedWithCode(10), "");
  EXPECT_EQ(ReadWholeFile(logPath_), "   title\n\nError : ** cannot reallocate 0 bytes **\n");
}

TEST_F(FatalErrorTest, ImpossibleRequestsNameTheirSize) {
  EXPECT_EXIT(
      {
        PrepareChild(true, logPath_, screenPath_);
        AllocOrDie(-2);
      },
      ExitedWithCode(10), "");
  EXPECT_EQ(ReadWholeFile(logPath_), "   title\n\nError : ** cannot allocate 4294967294 bytes **\n");
}

// Entry counts read from a huge lump must not wrap the byte count.
TEST_F(FatalErrorTest, ArraysTooLargeForByteCountsAreRefused) {
  EXPECT_EXIT(
      {
        PrepareChild(true, logPath_, screenPath_);
        AllocArrayOrDie(1000000000, 52);
      },
      ExitedWithCode(10), "");
  EXPECT_EQ(ReadWholeFile(logPath_), "   title\n\nError : ** cannot allocate 52000000000 bytes **\n");

  EXPECT_EXIT(
      {
        PrepareChild(true, logPath_, screenPath_);
        KeptBlock = AllocArrayOrDie(4, 12);
        ReallocArrayOrDie(KeptBlock, 400000000, 12);
      },
      ExitedWithCode(10), "");
  EXPECT_EQ(ReadWholeFile(logPath_), "   title\n\nError : ** cannot reallocate 4800000000 bytes **\n");
}

TEST(MemoryTest, AvailableMemoryIsCappedForTheCopyBuffer) {
  int32_t available = AvailableMemory();
  EXPECT_GT(available, 1000);
  EXPECT_LE(available, 129000);
}

// A clock the test sets by hand, in nanoseconds.
int64_t FakeNow = 0;
int64_t ReadFakeClock() { return FakeNow; }

constexpr int64_t Second = 1000000000;
constexpr int64_t Hundredth = 10000000;

int64_t TimeOfDay(int hours, int minutes, int seconds, int hundredths) {
  return ((hours * 3600LL + minutes * 60 + seconds) * 100 + hundredths) * Hundredth;
}

class TimerTest : public ::testing::Test {
 protected:
  void SetUp() override { SetTimerClock(ReadFakeClock); }
  void TearDown() override { SetTimerClock(nullptr); }
};

TEST_F(TimerTest, CountsHundredthsOfASecond) {
  FakeNow = TimeOfDay(10, 0, 0, 0);
  TimerStart();
  FakeNow = TimeOfDay(10, 0, 1, 50);
  EXPECT_EQ(TimerStop(), 150);

  FakeNow = TimeOfDay(10, 59, 59, 99);
  TimerStart();
  FakeNow = TimeOfDay(11, 0, 0, 0);
  EXPECT_EQ(TimerStop(), 1);
}

// Each reading is cut to whole hundredths before the difference is taken.
TEST_F(TimerTest, ReadingsAreCutToWholeHundredths) {
  FakeNow = 5 * Second + 9999999;  // 5.0099 s
  TimerStart();
  FakeNow = 5 * Second + Hundredth;  // 5.0100 s
  EXPECT_EQ(TimerStop(), 1);

  FakeNow = 5 * Second + Hundredth;
  TimerStart();
  FakeNow = 5 * Second + 2 * Hundredth - 1;
  EXPECT_EQ(TimerStop(), 0);
}

// One timer: a new start replaces the mark, and a stop does not reset it.
TEST_F(TimerTest, NewStartReplacesTheMark) {
  FakeNow = 100 * Second;
  TimerStart();
  FakeNow = 103 * Second;
  TimerStart();
  FakeNow = 104 * Second;
  EXPECT_EQ(TimerStop(), 100);
  FakeNow = 106 * Second;
  EXPECT_EQ(TimerStop(), 300);
}

TEST(RealTimerTest, MeasuresASleep) {
  TimerStart();
  usleep(60000);
  int32_t elapsed = TimerStop();
  EXPECT_GE(elapsed, 5);
  EXPECT_LT(elapsed, 1000);
}

}  // namespace
