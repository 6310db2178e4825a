// SPDX-License-Identifier: GPL-2.0-or-later
// The title panel drawn at start and the help screen shown when the program
// is called without its arguments. Every row is first built as the 80 code
// page 437 bytes it leaves on the screen; the drawing routines then write
// those rows in their colours, piece by piece.
#include <cstdio>
#include <string>

#include "console/console.h"
#include "version.h"

namespace {

constexpr int Width = 80;

// Code page 437 characters of the panels.
constexpr char DarkShade = '\xB2';
constexpr char Vertical = '\xB3';
constexpr char TopRight = '\xBF';
constexpr char BottomLeft = '\xC0';
constexpr char UpTee = '\xC1';
constexpr char DownTee = '\xC2';
constexpr char Horizontal = '\xC4';
constexpr char BottomRight = '\xD9';
constexpr char TopLeft = '\xDA';
constexpr char FullBlock = '\xDB';
constexpr char DoubleVertical = '\xBA';
constexpr char DoubleTopRight = '\xBB';
constexpr char DoubleBottomRight = '\xBC';
constexpr char DoubleBottomLeft = '\xC8';
constexpr char DoubleTopLeft = '\xC9';
constexpr char DoubleRightTee = '\xCC';
constexpr char DoubleHorizontal = '\xCD';

// Letters of the logo, four cells wide and five rows high; '#' is a cell of
// the dark shade.
const char* const LogoLetters[7][5] = {
    {"#..#", "#..#", "#..#", ".##.", ".##."},  // V
    {".##.", "#..#", "#..#", "#..#", ".##."},  // O
    {"###.", "#..#", "###.", "#.#.", "#..#"},  // R
    {"####", ".##.", ".##.", ".##.", ".##."},  // T
    {".##.", "#..#", "####", "#..#", "#..#"},  // A
    {"#..#", "##.#", "#.##", "#..#", "#..#"},  // N
    {"####", "#...", "###.", "#...", "####"},  // E
};

// The two side boxes, 18 characters on each of rows 3 to 11 once padded; a
// '-' at the start of an item stands for a horizontal line.
const char* const LeftBox[9] = {
    "", "  Rebuilds",        "  - SEGS", "  - SSECTORS", "  - NODES", "  - BLOCKMAP", "  - VERTEXES",
    "", "  Doom/Hexen maps",
};

const char* const RightBox[9] = {
    "",
    "  Partitions",
    "  - Turbo 0..48",
    "  - Final 0..48",
    "",
    "  Axis root",
    "  - A automatic",
    "  - V vertical",
    "  - H horizontal",
};

std::string Repeat(char c, size_t count) { return std::string(count, c); }

// The text in the middle of width cells, the rest filled with fill. Every
// builder below gives exactly its width: a text too long is cut.
std::string Centre(const std::string& text, size_t width, char fill = ' ') {
  if (text.size() >= width) return text.substr(0, width);
  size_t left = (width - text.size()) / 2;
  return Repeat(fill, left) + text + Repeat(fill, width - left - text.size());
}

// The text from column, blanks before and after it, 80 characters in all.
std::string PlaceAt(int column, const std::string& text) {
  std::string row = Repeat(' ', static_cast<size_t>(column - 1)) + text;
  row.resize(Width, ' ');
  return row;
}

// Columns 21 to 60 of rows 3 to 11: the framed logo.
std::string LogoRow(int row) {
  if (row == 0) return DoubleTopLeft + Repeat(DoubleHorizontal, 38) + DoubleTopRight;
  if (row == 8) return DoubleBottomLeft + Repeat(DoubleHorizontal, 38) + DoubleBottomRight;
  std::string inner;
  if (row <= 5) {
    inner = "  ";
    for (int letter = 0; letter < 7; letter++) {
      for (const char* cell = LogoLetters[letter][row - 1]; *cell != '\0'; cell++) {
        inner += *cell == '#' ? DarkShade : ' ';
      }
      if (letter < 6) inner += ' ';
    }
    inner += "  ";
    return DoubleVertical + inner + DoubleVertical;
  }
  if (row == 6) return DoubleVertical + Centre(" level node builder ", 38, Horizontal) + DoubleVertical;
  // The three lumps that the builder makes, on a line that branches off
  // the frame.
  inner = Repeat(DoubleHorizontal, 3) + " segs " + Repeat(Horizontal, 2) + " nodes " + Repeat(Horizontal, 2) +
          " blockmap ";
  inner.resize(38, ' ');
  return DoubleRightTee + inner + DoubleVertical;
}

std::string SideBox(const char* text) {
  std::string box = text;
  if (box.size() > 2 && box[2] == '-') box[2] = Horizontal;
  box.resize(18, ' ');
  return box;
}

std::string Frame(char left, char tee, char right) {
  return left + Repeat(Horizontal, 18) + tee + Repeat(Horizontal, 40) + tee + Repeat(Horizontal, 18) + right;
}

// The 13 rows of the title panel.
std::string TitleRow(int row) {
  switch (row) {
    case 1: return "  DOOM+HEXEN" + Centre("vortane " VORTANE_VERSION, 54) + "HERETIC+STRIFE";
    case 2: return Frame(TopLeft, DownTee, TopRight);
    case 12: return Frame(BottomLeft, UpTee, BottomRight);
    case 13:
      return Centre("One level of a PWAD in, a new PWAD out; every other lump is copied as it is", Width);
    default: {
      int i = row - 3;
      return Vertical + SideBox(LeftBox[i]) + Vertical + LogoRow(i) + Vertical + SideBox(RightBox[i]) +
             Vertical;
    }
  }
}

// The help screen: two lines from column 5, a box on a yellow band, and the
// two warnings about the output file.
const char* const HelpLines[2] = {
    "vortane rebuilds the nodes, segs and blockmap of one level of a PWAD.",
    "Give at least the input PWAD; each argument needs all the ones before it.",
};

const char* const HelpBox[3] = {
    "  vortane  input.wad  [output.wad  [level or *  [mode  [axis  [L]]]]]",
    "  mode   -n builds Turbo n nodes, n Final n nodes (0 to 48, default -8)",
    "  axis   A, V or H places the root partition      L   writes VORTANE.LOG",
};

const char* const OutputWarnings[2] = {
    "        The output.wad file overwrites any file with the same name!",
    "        The file TMP.WAD is created if no name is specified.  ",
};

// The text written from column 2 on the yellow band of rows 16 to 22.
std::string BandText(int row) {
  const size_t inner = 76;
  switch (row) {
    case 17: return TopLeft + Repeat(Horizontal, inner) + TopRight;
    case 21: return BottomLeft + Repeat(Horizontal, inner) + BottomRight;
    case 18:
    case 19:
    case 20: {
      std::string text = HelpBox[row - 18];
      text.resize(inner, ' ');
      return FullBlock + text + FullBlock;
    }
    default: return "";
  }
}

std::string HelpRow(int row) {
  if (row <= 15) return PlaceAt(5, HelpLines[row - 14]);
  if (row <= 22) return PlaceAt(2, BandText(row));
  return PlaceAt(2, OutputWarnings[row - 23]);
}

const std::string& RowText(int row) {
  static std::string rows[25];
  if (rows[row].empty()) rows[row] = row <= 13 ? TitleRow(row) : HelpRow(row);
  return rows[row];
}

void WritePiece(int row, int firstColumn, int lastColumn) {
  const std::string piece = RowText(row).substr(static_cast<size_t>(firstColumn - 1),
                                                static_cast<size_t>(lastColumn - firstColumn + 1));
  PutTextAt(firstColumn, row, piece.c_str());
}

}  // namespace

const char* PanelRowText(int row) {
  if (row < 1 || row > 24) return nullptr;
  return RowText(row).c_str();
}

// Rows 1, 2, 12 and 13 whole in white on black; rows 3 to 11 in five pieces:
// the outer frame white on black, the side boxes white on blue, and the logo
// cell by cell, red for the dark shade and yellow for everything else.
void DrawTitlePanel() {
  if (LogMode) return;
  for (int row = 1; row <= 13; row++) {
    if (row <= 2 || row >= 12) {
      SetColours(15, 0);
      WritePiece(row, 1, Width);
      continue;
    }
    SetColours(15, 0);
    WritePiece(row, 1, 1);
    SetColours(15, 1);
    WritePiece(row, 2, 19);
    const std::string& text = RowText(row);
    for (int column = 20; column <= 61; column++) {
      uint8_t c = static_cast<uint8_t>(text[static_cast<size_t>(column - 1)]);
      SetColours(c == static_cast<uint8_t>(DarkShade) ? 4 : 14, 0);
      MoveCursor(column, row);
      WriteColourChar(c);
    }
    SetColours(15, 1);
    WritePiece(row, 62, 79);
    SetColours(15, 0);
    WritePiece(row, Width, Width);
  }
  SetColours(14, 1);
}

void DrawHelpScreen() {
  if (LogMode) return;
  const std::string blanks(Width, ' ');
  SetColours(15, 0);
  for (int row = 14; row <= 15; row++) PutTextAt(5, row, HelpLines[row - 14]);
  SetColours(14, 1);
  for (int row = 16; row <= 22; row++) {
    PutTextAt(1, row, blanks.c_str());
    PutTextAt(2, row, BandText(row).c_str());
  }
  SetColours(15, 0);
  for (int row = 23; row <= 24; row++) {
    PutTextAt(1, row, blanks.c_str());
    PutTextAt(2, row, OutputWarnings[row - 23]);
  }
}

void PrintHelpText() {
  for (const char* line : HelpLines) std::printf("%s\n", line);
  std::printf("\n");
  for (const char* line : HelpBox) std::printf("%s\n", line);
  std::printf("\n");
  for (const char* line : OutputWarnings) {
    std::string text = line;
    text.erase(text.find_last_not_of(' ') + 1);
    std::printf("%s\n", text.c_str());
  }
  std::fflush(stdout);
}
