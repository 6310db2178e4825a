// SPDX-License-Identifier: GPL-2.0-or-later
// Screen, log and progress output: what reaches the terminal, cell by cell,
// and what reaches the log, byte by byte.
#include "console/console.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <string>

#include "tests/console/terminal_model.h"

namespace {

constexpr char32_t Empty = U'\u2591';   // light shade, code page 437 176
constexpr char32_t Filled = U'\u2593';  // dark shade, code page 437 178

class ConsoleTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ResetConsole();
    logPath_ = ::testing::TempDir() + "console_test_" + std::to_string(getpid()) + "_" +
               ::testing::UnitTest::GetInstance()->current_test_info()->name() + ".log";
  }
  void TearDown() override {
    if (LogFile != nullptr) std::fclose(LogFile);
    ResetConsole();
    std::remove(logPath_.c_str());
  }

  // Runs body and plays what it wrote on the terminal model; returns the bytes.
  std::string Draw(const std::function<void()>& body) {
    std::string bytes = CaptureStdout(body);
    screen_.Feed(bytes);
    return bytes;
  }

  void OpenLog() {
    LogMode = true;
    LogFile = std::fopen(logPath_.c_str(), "w");
    ASSERT_NE(LogFile, nullptr);
  }

  std::string CloseLog() {
    std::fclose(LogFile);
    LogFile = nullptr;
    return ReadWholeFile(logPath_);
  }

  // The columns of a row holding c, as a compact "first-last" list.
  std::string ColumnsOf(int row, char32_t c) const {
    std::string ranges;
    int column = 1;
    while (column <= TerminalModel::Columns) {
      if (screen_.At(column, row).character != c) {
        column++;
        continue;
      }
      int first = column;
      while (column <= TerminalModel::Columns && screen_.At(column, row).character == c) column++;
      if (!ranges.empty()) ranges += ",";
      ranges += std::to_string(first) + "-" + std::to_string(column - 1);
    }
    return ranges;
  }

  size_t Count(const std::string& bytes, const std::string& what) const {
    size_t count = 0;
    for (size_t at = bytes.find(what); at != std::string::npos; at = bytes.find(what, at + 1)) count++;
    return count;
  }

  TerminalModel screen_;
  std::string logPath_;
};

// The sequence of a stage bar: started empty, then advanced.
TEST_F(ConsoleTest, ProgressBarFillsOnlyNewCellsAndNeverGoesBack) {
  Draw([] { ShowStatus(1, 16, "Vertexes    ..."); });
  std::string bytes = Draw([] { ShowProgress(30, 16, -1); });
  EXPECT_EQ(ColumnsOf(16, Empty), "30-79");
  EXPECT_EQ(Count(bytes, "\u2591"), 50u);
  EXPECT_EQ(BarColumn, 30);

  bytes = Draw([] { ShowProgress(30, 16, 10); });
  EXPECT_EQ(ColumnsOf(16, Filled), "30-34");
  EXPECT_EQ(ColumnsOf(16, Empty), "35-79");
  EXPECT_EQ(Count(bytes, "\u2593"), 5u);
  EXPECT_EQ(BarColumn, 35);

  EXPECT_EQ(Draw([] { ShowProgress(30, 16, 9); }), "");
  EXPECT_EQ(Draw([] { ShowProgress(30, 16, 11); }), "");
  EXPECT_EQ(BarColumn, 35);

  bytes = Draw([] { ShowProgress(30, 16, 12); });
  EXPECT_EQ(Count(bytes, "\u2593"), 1u);
  EXPECT_EQ(ColumnsOf(16, Filled), "30-35");
  EXPECT_EQ(BarColumn, 36);

  bytes = Draw([] { ShowProgress(30, 16, 250); });
  EXPECT_EQ(Count(bytes, "\u2593"), 44u);
  EXPECT_EQ(ColumnsOf(16, Filled), "30-79");
  EXPECT_EQ(ColumnsOf(16, Empty), "");
  EXPECT_EQ(BarColumn, 80);
  EXPECT_EQ(Draw([] { ShowProgress(30, 16, 100); }), "");

  // The label and the bar are yellow on blue; nothing spills past column 79.
  EXPECT_EQ(screen_.Text(16, 1, 15), Utf32("Vertexes    ..."));
  for (int column : {1, 15, 30, 79}) {
    EXPECT_EQ(screen_.At(column, 16).foreground, 14) << column;
    EXPECT_EQ(screen_.At(column, 16).background, 1) << column;
  }
  EXPECT_EQ(screen_.At(80, 16).character, U' ');
  EXPECT_EQ(ColumnsOf(17, Filled) + ColumnsOf(15, Filled), "");
  EXPECT_EQ(screen_.Unknown(), "");
}

TEST_F(ConsoleTest, OnePercentAfterTheEmptyBarDrawsNothing) {
  Draw([] { ShowProgress(30, 18, -1); });
  EXPECT_EQ(Draw([] { ShowProgress(30, 18, 1); }), "");
  EXPECT_EQ(Draw([] { ShowProgress(30, 18, 0); }), "");
  EXPECT_EQ(BarColumn, 30);
  // 2 % is the first cell; 99 % stops one cell short of the end.
  Draw([] { ShowProgress(30, 18, 2); });
  EXPECT_EQ(ColumnsOf(18, Filled), "30-30");
  Draw([] { ShowProgress(30, 18, 99); });
  EXPECT_EQ(ColumnsOf(18, Filled), "30-78");
  EXPECT_EQ(ColumnsOf(18, Empty), "79-79");
}

// The overall bar shares the fill position with the stage bars: starting it
// again empties it, and it fills from its own start.
TEST_F(ConsoleTest, RestartedBarIsEmptyAndFillsFromItsStart) {
  Draw([] {
    ShowProgress(30, 23, -1);
    ShowProgress(30, 23, 20);
    ShowProgress(30, 17, -1);
    ShowProgress(30, 17, 100);
    ShowProgress(30, 23, -1);
  });
  EXPECT_EQ(ColumnsOf(23, Empty), "30-79");
  EXPECT_EQ(ColumnsOf(17, Filled), "30-79");
  Draw([] { ShowProgress(30, 23, 90); });
  EXPECT_EQ(ColumnsOf(23, Filled), "30-74");
  EXPECT_EQ(ColumnsOf(23, Empty), "75-79");
}

TEST_F(ConsoleTest, BarIsDrawnInTheColoursOfTheMomentWithTheFillCharacter) {
  ProgressFillChar = 219;  // full block
  Draw([] {
    SetColours(15, 4);
    ShowProgress(10, 5, -1);
    ShowProgress(10, 5, 4);
  });
  EXPECT_EQ(ColumnsOf(5, U'\u2588'), "10-11");
  EXPECT_EQ(ColumnsOf(5, Empty), "12-59");
  EXPECT_EQ(screen_.At(10, 5).foreground, 15);
  EXPECT_EQ(screen_.At(10, 5).background, 4);
  EXPECT_EQ(screen_.At(59, 5).background, 4);
}

TEST_F(ConsoleTest, LogModeDrawsNothingAndKeepsTheBarColumn) {
  BarColumn = 42;
  OpenLog();
  std::string bytes = CaptureStdout([] {
    ClearScreen();
    SetColours(15, 4);
    PutTextAt(1, 14, "text");
    PutTextAt(1, 14, nullptr);
    ShowStatus(1, 23, "       Progress     ");
    ShowProgress(30, 23, -1);
    ShowProgress(30, 23, 100);
    FillCells(178, 10);
    DrawTitlePanel();
    DrawHelpScreen();
    PrintAtCursor("%5d", 12);
    MoveCursor(3, 3);
    WriteColourText("colour");
    WriteColourChar(178);
    WritePlainText("plain");
    ShowMessage(22, 15, ScreenOnly, "Turbo %hd%s", static_cast<short>(8), "");
    ShowMessage(1, 14, Both, "Loading%4ld", 12L);
  });
  EXPECT_EQ(bytes, "");
  EXPECT_EQ(BarColumn, 42);
  EXPECT_EQ(CloseLog(), "Loading  12");
}

TEST_F(ConsoleTest, MessagesGoWhereTheirKindSaysInLogMode) {
  OpenLog();
  std::string bytes = CaptureStdout([] {
    ShowMessage(-1, 0, LogOnly, "Node building mode : ");
    ShowMessage(22, 15, Both, "Final %hd%s", static_cast<short>(8), "Vx");
    ShowMessage(-1, 0, LogOnly, "\n");
    ShowMessage(50, 14, ScreenOnly, "X (%d,%d) Y (%d,%d)", -64, 512, 0, 768);
    ShowMessage(5, 5, LogOnly, "[%s]", "log only with a column");
    ShowMessage(1, 1, Both, nullptr);
    ShowMessage(-1, 0, LogOnly, "\n");
  });
  EXPECT_EQ(bytes, "");
  EXPECT_EQ(CloseLog(), "Node building mode : Final 8Vx\n[log only with a column]\n");
}

TEST_F(ConsoleTest, MessagesGoWhereTheirKindSaysInScreenMode) {
  std::string bytes = Draw([] {
    ShowMessage(-1, 0, LogOnly, "log line\n");
    ShowMessage(-1, 0, Both, "no column");
    ShowMessage(0, 3, Both, "column zero");
    ShowMessage(4, 3, LogOnly, "log only");
    ShowMessage(1, 1, ScreenOnly, nullptr);
  });
  EXPECT_EQ(bytes, "");

  Draw([] {
    SetColours(14, 1);
    ShowMessage(22, 15, Both, "Turbo %hd%s", static_cast<short>(5), "A");
    ShowMessage(50, 14, ScreenOnly, "X (%d,%d) Y (%d,%d)", -64, 512, 0, 768);
  });
  EXPECT_EQ(screen_.Text(15, 22, 30), Utf32("Turbo 5A "));
  EXPECT_EQ(screen_.Text(15, 1, 21), Utf32(std::string(21, ' ')));
  EXPECT_EQ(screen_.Text(14, 50, 71), Utf32("X (-64,512) Y (0,768) "));
  // Plain text keeps the terminal's own attributes, whatever pair is set.
  EXPECT_EQ(screen_.At(22, 15).foreground, -1);
  EXPECT_EQ(screen_.At(22, 15).background, -1);
  EXPECT_EQ(screen_.At(50, 14).background, -1);
  EXPECT_EQ(screen_.Unknown(), "");
}

// A path is a value, never a format: its "%" reaches the log and the screen
// as it stands.
TEST_F(ConsoleTest, PercentInAPathIsShownAndLoggedUnchanged) {
  const char* path = "levels/100%done%s%n.wad";
  OpenLog();
  ShowMessage(1, 14, Both, "Loading%4ld    %s %s : %s", 12L, "MAP01", "PWAD", path);
  EXPECT_EQ(CloseLog(), "Loading  12    MAP01 PWAD : levels/100%done%s%n.wad");

  ResetConsole();
  Draw([path] { ShowMessage(1, 14, Both, "Loading%4ld    %s %s : %s", 12L, "MAP01", "PWAD", path); });
  EXPECT_EQ(screen_.Text(14, 1, 51), Utf32("Loading  12    MAP01 PWAD : levels/100%done%s%n.wad"));
}

TEST_F(ConsoleTest, LongMessagesAreCutTo255Characters) {
  std::string path(300, 'p');
  for (size_t i = 0; i < path.size(); i += 10) path[i] = static_cast<char>('0' + (i / 10) % 10);
  OpenLog();
  ShowMessage(-1, 0, LogOnly, "Saved %s", path.c_str());
  ShowMessage(-1, 0, LogOnly, "|");
  EXPECT_EQ(CloseLog(), "Saved " + path.substr(0, 249) + "|");

  ResetConsole();
  std::string bytes = CaptureStdout([&path] { PrintAtCursor("%s", path.c_str()); });
  EXPECT_NE(bytes.find(path.substr(0, 255)), std::string::npos);
  EXPECT_EQ(bytes.find(path.substr(0, 256)), std::string::npos);
}

TEST_F(ConsoleTest, ClearScreenBlanksEverythingInTheCurrentPairAndGoesHome) {
  Draw([] {
    PutTextAt(10, 10, "left over");
    SetColours(15, 0);
    PutTextAt(1, 1, nullptr);
    ClearScreen();
  });
  for (int row : {1, 10, 25}) {
    EXPECT_EQ(screen_.Text(row), Utf32(std::string(80, ' '))) << row;
    EXPECT_EQ(screen_.At(40, row).background, 0) << row;
  }
  EXPECT_EQ(screen_.CursorColumn(), 1);
  EXPECT_EQ(screen_.CursorRow(), 1);
}

TEST_F(ConsoleTest, TextInColourMovesTheCursorBehindItAndPlainCountsFollow) {
  Draw([] {
    ShowStatus(1, 17, "Making Segs ...");
    PrintAtCursor("%5d", 123);
    SetColours(15, 4);
    PutTextAt(1, 21, "ab\xB0\xB2\xDB");
  });
  EXPECT_EQ(screen_.Text(17, 1, 20), Utf32("Making Segs ...  123"));
  EXPECT_EQ(screen_.At(15, 17).background, 1);
  EXPECT_EQ(screen_.At(16, 17).background, -1);
  EXPECT_EQ(screen_.Text(21, 1, 5), U"ab\u2591\u2593\u2588");
  EXPECT_EQ(screen_.At(3, 21).foreground, 15);
  EXPECT_EQ(screen_.At(3, 21).background, 4);
}

// A position outside the 80x25 window leaves the cursor where it is.
TEST_F(ConsoleTest, CursorPositionsOutsideTheWindowAreIgnored) {
  Draw([] {
    PutTextAt(5, 5, "abc");
    PutTextAt(0, 7, "d");
    PutTextAt(81, 7, "e");
    PutTextAt(3, 26, "f");
    PutTextAt(3, 0, "g");
  });
  EXPECT_EQ(screen_.Text(5, 5, 11), Utf32("abcdefg"));
  EXPECT_EQ(screen_.Text(7), Utf32(std::string(80, ' ')));
}

}  // namespace
