// SPDX-License-Identifier: GPL-2.0-or-later
// The title panel and the help screen: the bytes of every row, and what the
// drawing leaves on the terminal, characters and colours.
#include <gtest/gtest.h>

#include <set>
#include <string>

#include "console/console.h"
#include "tests/console/terminal_model.h"

namespace {

std::string Row(int row) {
  const char* text = PanelRowText(row);
  return text == nullptr ? std::string("<none>") : std::string(text);
}

unsigned char At(const std::string& row, int column) { return static_cast<unsigned char>(row[column - 1]); }

bool Printable(unsigned char c) { return c >= 0x20 && c < 0x7f; }

TEST(PanelRowsTest, EveryRowIsEightyCodePage437Bytes) {
  for (int row = 1; row <= 24; row++) {
    std::string text = Row(row);
    EXPECT_EQ(text.size(), 80u) << "row " << row << ": " << text;
    for (int column = 1; column <= static_cast<int>(text.size()); column++) {
      EXPECT_NE(Cp437ToUnicode(At(text, column)), 0u) << "row " << row << " column " << column;
    }
  }
  EXPECT_EQ(PanelRowText(0), nullptr);
  EXPECT_EQ(PanelRowText(25), nullptr);
}

TEST(PanelRowsTest, HeadingNamesTheGameFamiliesAtItsEnds) {
  std::string heading = Row(1);
  size_t left = heading.find("DOOM+HEXEN");
  size_t right = heading.find("HERETIC+STRIFE");
  ASSERT_NE(left, std::string::npos);
  ASSERT_NE(right, std::string::npos);
  EXPECT_LT(left, 5u);
  EXPECT_GT(right + 14, 75u);
  for (unsigned char c : heading) EXPECT_TRUE(Printable(c));
}

// The frame: corners at 1 and 80, tees at 20 and 61, lines in between.
TEST(PanelRowsTest, FrameRowsCarryCornersAndTees) {
  struct FrameRow {
    int row;
    unsigned char left, tee, right;
  };
  for (FrameRow frame : {FrameRow{2, 0xDA, 0xC2, 0xBF}, FrameRow{12, 0xC0, 0xC1, 0xD9}}) {
    std::string text = Row(frame.row);
    for (int column = 1; column <= 80; column++) {
      unsigned char expected = column == 1                    ? frame.left
                               : column == 80                 ? frame.right
                               : column == 20 || column == 61 ? frame.tee
                                                              : 0xC4;
      EXPECT_EQ(At(text, column), expected) << "row " << frame.row << " column " << column;
    }
  }
}

TEST(PanelRowsTest, PanelRowsHaveVerticalsAtTheFourColumnsAndALogoBetween) {
  const std::set<unsigned char> logoCharacters = {0xB2, 0xBA, 0xBB, 0xBC, 0xC8, 0xC9, 0xCC, 0xCD, 0xC4};
  int darkShades = 0;
  for (int row = 3; row <= 11; row++) {
    std::string text = Row(row);
    for (int column = 1; column <= 80; column++) {
      unsigned char c = At(text, column);
      bool frame = column == 1 || column == 20 || column == 61 || column == 80;
      if (frame) {
        EXPECT_EQ(c, 0xB3) << "row " << row << " column " << column;
      } else {
        EXPECT_NE(c, 0xB3) << "row " << row << " column " << column;
      }
      if (column > 20 && column < 61) {
        EXPECT_TRUE(Printable(c) || logoCharacters.count(c) == 1) << "row " << row << " column " << column;
        if (c == 0xB2) darkShades++;
      }
    }
  }
  EXPECT_GT(darkShades, 40);
  // The logo is framed in double lines.
  EXPECT_EQ(At(Row(3), 21), 0xC9);
  EXPECT_EQ(At(Row(3), 60), 0xBB);
  EXPECT_EQ(At(Row(11), 21), 0xC8);
  EXPECT_EQ(At(Row(11), 60), 0xBC);
}

TEST(PanelRowsTest, FooterIsPlainText) {
  std::string footer = Row(13);
  for (unsigned char c : footer) EXPECT_TRUE(Printable(c));
  EXPECT_NE(footer, std::string(80, ' '));
}

TEST(PanelRowsTest, HelpRowsFollowTheirLayout) {
  for (int row : {14, 15}) {
    std::string text = Row(row);
    EXPECT_EQ(text.substr(0, 4), "    ") << row;
    EXPECT_NE(text[4], ' ') << row;
  }
  EXPECT_EQ(Row(16), std::string(80, ' '));
  EXPECT_EQ(Row(22), std::string(80, ' '));

  std::string top = Row(17);
  std::string bottom = Row(21);
  for (int column = 1; column <= 80; column++) {
    unsigned char topExpected = column == 2                 ? 0xDA
                                : column == 79              ? 0xBF
                                : column > 2 && column < 79 ? 0xC4
                                                            : ' ';
    unsigned char bottomExpected = column == 2                 ? 0xC0
                                   : column == 79              ? 0xD9
                                   : column > 2 && column < 79 ? 0xC4
                                                               : ' ';
    EXPECT_EQ(At(top, column), topExpected) << "column " << column;
    EXPECT_EQ(At(bottom, column), bottomExpected) << "column " << column;
  }
  for (int row = 18; row <= 20; row++) {
    std::string text = Row(row);
    EXPECT_EQ(At(text, 1), ' ') << row;
    EXPECT_EQ(At(text, 2), 0xDB) << row;
    EXPECT_EQ(At(text, 79), 0xDB) << row;
    EXPECT_EQ(At(text, 80), ' ') << row;
    for (int column = 3; column <= 78; column++)
      EXPECT_TRUE(Printable(At(text, column))) << row << ":" << column;
  }
  // The box tells how the program is called and which nodes it builds.
  std::string box = Row(18) + Row(19) + Row(20);
  EXPECT_NE(box.find("input.wad"), std::string::npos);
  EXPECT_NE(box.find("output.wad"), std::string::npos);
  EXPECT_NE(box.find("Turbo"), std::string::npos);
  EXPECT_NE(box.find("Final"), std::string::npos);

  EXPECT_EQ(Row(23), " " +
                         std::string("        The output.wad file overwrites any file with the same name!") +
                         std::string(80 - 68, ' '));
  EXPECT_EQ(Row(24), " " + std::string("        The file TMP.WAD is created if no name is specified.  ") +
                         std::string(80 - 63, ' '));
}

class PanelDrawingTest : public ::testing::Test {
 protected:
  void SetUp() override { ResetConsole(); }
  void TearDown() override { ResetConsole(); }

  // Clears the screen in white on black and draws.
  void Draw(void (*draw)(), bool markColours) {
    screen_.Feed(CaptureStdout([draw, markColours] {
      SetColours(15, 0);
      PutTextAt(1, 1, nullptr);
      ClearScreen();
      draw();
      if (markColours) WriteColourText("*");  // shows the colour pair left behind
    }));
    ASSERT_EQ(screen_.Unknown(), "");
  }

  // The row on the screen must show the row's code page 437 bytes.
  void ExpectRowShown(int row) {
    std::string text = Row(row);
    ASSERT_EQ(text.size(), 80u);
    for (int column = 1; column <= 80; column++) {
      EXPECT_EQ(screen_.At(column, row).character, Cp437ToUnicode(At(text, column)))
          << "row " << row << " column " << column;
    }
  }

  void ExpectColours(int column, int row, int foreground, int background) {
    EXPECT_EQ(screen_.At(column, row).foreground, foreground) << "row " << row << " column " << column;
    EXPECT_EQ(screen_.At(column, row).background, background) << "row " << row << " column " << column;
  }

  TerminalModel screen_;
};

TEST_F(PanelDrawingTest, TitlePanelFollowsTheColouringRule) {
  Draw(DrawTitlePanel, true);
  for (int row = 1; row <= 13; row++) ExpectRowShown(row);
  for (int row : {1, 2, 12, 13}) {
    for (int column = 1; column <= 80; column++) ExpectColours(column, row, 15, 0);
  }
  for (int row = 3; row <= 11; row++) {
    ExpectColours(1, row, 15, 0);
    ExpectColours(80, row, 15, 0);
    for (int column = 2; column <= 19; column++) ExpectColours(column, row, 15, 1);
    for (int column = 62; column <= 79; column++) ExpectColours(column, row, 15, 1);
    for (int column = 20; column <= 61; column++) {
      bool shade = screen_.At(column, row).character == U'\u2593';
      ExpectColours(column, row, shade ? 4 : 14, 0);
    }
  }
  // Nothing below the panel, and the pair left behind is yellow on blue.
  EXPECT_EQ(screen_.Text(14, 2, 80), Utf32(std::string(79, ' ')));
  EXPECT_EQ(screen_.At(1, 14).character, U'*');
  ExpectColours(1, 14, 14, 1);
}

TEST_F(PanelDrawingTest, HelpScreenFillsRows14To24) {
  Draw(
      [] {
        DrawTitlePanel();
        DrawHelpScreen();
      },
      false);
  for (int row = 1; row <= 24; row++) ExpectRowShown(row);
  for (int row = 14; row <= 15; row++) {
    for (int column = 5; column <= 80; column++) {
      if (screen_.At(column, row).character != U' ') ExpectColours(column, row, 15, 0);
    }
  }
  for (int row = 16; row <= 22; row++) {
    for (int column = 1; column <= 80; column++) ExpectColours(column, row, 14, 1);
  }
  for (int row = 23; row <= 24; row++) {
    for (int column = 1; column <= 80; column++) ExpectColours(column, row, 15, 0);
  }
  EXPECT_EQ(screen_.Text(25), Utf32(std::string(80, ' ')));
}

}  // namespace
