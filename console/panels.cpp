// The title panel drawn at start and the help screen shown when the program
// is called without its arguments. Texts are code page 437 bytes.
#include <cstring>
#include <string>

#include "console/console.h"

namespace {

constexpr char Shade = '\xB2';  // dark shade, the logo's letters

// Letters of the logo, four cells wide and five rows high; '#' is a cell of
// the dark shade.
const char* const LogoLetters[7][5] = {
    {"#..#", "#..#", "#..#", "#..#", ".##."},  // V
    {".##.", "#..#", "#..#", "#..#", ".##."},  // O
    {"###.", "#..#", "###.", "#.#.", "#..#"},  // R
    {"####", ".##.", ".##.", ".##.", ".##."},  // T
    {".##.", "#..#", "####", "#..#", "#..#"},  // A
    {"#..#", "##.#", "#.##", "#..#", "#..#"},  // N
    {"####", "#...", "###.", "#...", "####"},  // E
};

const char* const LeftBox[9] = {
    " Rebuilds         ", "   SEGS           ", "   SSECTORS       ",
    "   NODES          ", "   BLOCKMAP       ", "   VERTEXES       ",
    "                  ", " Doom and Hexen   ", " level formats    ",
};

const char* const RightBox[9] = {
    " Partitions       ", "   Turbo 0 - 48   ", "   Final 0 - 48   ",
    "                  ", " Axis roots       ", "   A  automatic   ",
    "   V  vertical    ", "   H  horizontal  ", "                  ",
};

std::string Repeat(char c, size_t count) { return std::string(count, c); }

std::string Centre(const std::string& text, size_t width, char fill = ' ') {
  size_t left = (width - text.size()) / 2;
  return Repeat(fill, left) + text + Repeat(fill, width - left - text.size());
}

// Columns 21 to 60 of rows 3 to 11: the framed logo.
std::string LogoRow(int row) {
  const std::string bar = Repeat('\xCD', 38);
  if (row == 0) return "\xC9" + bar + "\xBB";
  if (row == 8) return "\xC8" + bar + "\xBC";
  std::string inner;
  if (row <= 5) {
    inner = "  ";
    for (int letter = 0; letter < 7; letter++) {
      for (const char* cell = LogoLetters[letter][row - 1]; *cell != '\0'; cell++) {
        inner += *cell == '#' ? Shade : ' ';
      }
      if (letter < 6) inner += ' ';
    }
    inner += "  ";
  } else if (row == 6) {
    inner = Centre(" node builder ", 38, '\xC4');
  } else {
    inner = Centre("segs  nodes  blockmap", 38);
  }
  return "\xBA" + inner + "\xBA";
}

void WriteRow(int row, const std::string& text) {
  SetColours(15, 0);
  PutTextAt(1, row, text.c_str());
}

void WritePanelRow(int row, int logoRow) {
  const std::string logo = "\xB3" + LogoRow(logoRow) + "\xB3";  // columns 20 to 61
  SetColours(15, 0);
  PutTextAt(1, row, "\xB3");
  SetColours(15, 1);
  PutTextAt(2, row, LeftBox[logoRow]);
  for (size_t i = 0; i < logo.size(); i++) {
    uint8_t c = static_cast<uint8_t>(logo[i]);
    SetColours(c == 0xB2 ? 4 : 14, 0);
    MoveCursor(20 + static_cast<int>(i), row);
    WriteColourChar(c);
  }
  SetColours(15, 1);
  PutTextAt(62, row, RightBox[logoRow]);
  SetColours(15, 0);
  PutTextAt(80, row, "\xB3");
}

std::string Frame(char left, char tee, char right) {
  const std::string line = Repeat('\xC4', 18);
  return left + line + tee + Repeat('\xC4', 40) + tee + line + right;
}

}  // namespace

void DrawTitlePanel() {
  const std::string heading = "  DOOM+HEXEN" + Centre("vortane 1.0  -  level node builder", 54) + "HERETIC+STRIFE";
  WriteRow(1, heading);
  WriteRow(2, Frame('\xDA', '\xC2', '\xBF'));
  for (int i = 0; i < 9; i++) WritePanelRow(3 + i, i);
  WriteRow(12, Frame('\xC0', '\xC1', '\xD9'));
  WriteRow(13, Centre("Rebuilds one level of a PWAD into a new PWAD; all other lumps are copied", 80));
  SetColours(14, 1);
}

void DrawHelpScreen() {
  SetColours(15, 0);
  PutTextAt(5, 14, "Give at least the input PWAD. Arguments are positional: each one needs");
  PutTextAt(5, 15, "all the ones before it.");

  // The box spans columns 2 to 79; its sides are full blocks.
  const char* const usage[3] = {
      " vortane input.wad [output.wad [level [mode [axis [L]]]]]",
      "   mode: -n builds Turbo n nodes, n builds Final n nodes (0 to 48)",
      "   axis: A, V or H places the root partition; L writes VORTANE.LOG",
  };
  std::string box[7];
  box[1] = "\xDA" + Repeat('\xC4', 76) + "\xBF";
  for (int i = 0; i < 3; i++) {
    std::string text = usage[i];
    box[2 + i] = "\xDB" + text + Repeat(' ', 76 - text.size()) + "\xDB";
  }
  box[5] = "\xC0" + Repeat('\xC4', 76) + "\xD9";
  const std::string blanks(80, ' ');
  for (int i = 0; i < 7; i++) {
    SetColours(14, 1);
    PutTextAt(1, 16 + i, blanks.c_str());
    PutTextAt(2, 16 + i, box[i].c_str());
  }
  SetColours(15, 0);
  PutTextAt(1, 23, blanks.c_str());
  PutTextAt(2, 23, "        The output.wad file overwrites any file with the same name!");
  PutTextAt(1, 24, blanks.c_str());
  PutTextAt(2, 24, "        The file TMP.WAD is created if no name is specified.  ");
}
