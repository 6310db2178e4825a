// SPDX-License-Identifier: GPL-2.0-or-later
// The screen: an ANSI/VT100 terminal driven by escape sequences on standard
// output, with code page 437 characters written as UTF-8. This file and the
// panels are the only places that know about the terminal.
#include "console/console.h"

#include <fcntl.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <cstdarg>
#include <cstring>

#include "version.h"

bool LogMode = false;
FILE* LogFile = nullptr;
volatile sig_atomic_t LogDescriptor = -1;
volatile sig_atomic_t LogLineOpen = 0;
int16_t StatusRow = 0;
int16_t BarColumn = 0;
uint8_t ProgressFillChar = 178;

namespace {

int Foreground = 15;
int Background = 0;

// Upper half of code page 437 as UTF-8.
const char* const Cp437High[128] = {
    "Ç", "ü", "é", "â", "ä", "à", "å", "ç", "ê", "ë", "è", "ï", "î", "ì", "Ä", "Å", "É", "æ", "Æ",
    "ô", "ö", "ò", "û", "ù", "ÿ", "Ö", "Ü", "¢", "£", "¥", "₧", "ƒ", "á", "í", "ó", "ú", "ñ", "Ñ",
    "ª", "º", "¿", "⌐", "¬", "½", "¼", "¡", "«", "»", "░", "▒", "▓", "│", "┤", "╡", "╢", "╖", "╕",
    "╣", "║", "╗", "╝", "╜", "╛", "┐", "└", "┴", "┬", "├", "─", "┼", "╞", "╟", "╚", "╔", "╩", "╦",
    "╠", "═", "╬", "╧", "╨", "╤", "╥", "╙", "╘", "╒", "╓", "╫", "╪", "┘", "┌", "█", "▄", "▌", "▐",
    "▀", "α", "ß", "Γ", "π", "Σ", "σ", "µ", "τ", "Φ", "Θ", "Ω", "δ", "∞", "φ", "ε", "∩", "≡", "±",
    "≥", "≤", "⌠", "⌡", "÷", "≈", "°", "∙", "·", "√", "ⁿ", "²", "■", " ",
};

// DOS colour numbers to ANSI colour numbers (the low three bits).
const int AnsiColour[8] = {0, 4, 2, 6, 1, 5, 3, 7};

void WriteCp437(uint8_t character) {
  if (character < 128) {
    std::fputc(character, stdout);
  } else {
    std::fputs(Cp437High[character - 128], stdout);
  }
}

void ApplyColours() {
  int fg = (Foreground & 8 ? 90 : 30) + AnsiColour[Foreground & 7];
  int bg = 40 + AnsiColour[Background & 7];
  std::printf("\x1b[0;%d;%dm", fg, bg);
}

void WindowSize(int* columns, int* rows) {
  winsize size{};
  if (ioctl(STDOUT_FILENO, TIOCGWINSZ, &size) == 0 && size.ws_col > 0 && size.ws_row > 0) {
    *columns = size.ws_col;
    *rows = size.ws_row;
  } else {
    *columns = 80;
    *rows = 25;
  }
}

}  // namespace

bool StartLog(const char* path) {
  LogMode = true;
  // An earlier log is cut to one byte, which the first line overwrites,
  // rather than emptied: a file emptied and written again is flushed to
  // disk when it is closed (ext4 does so, to keep the new contents across
  // a crash), which cost about 0.2 ms a run here.
  int fd = open(path, O_WRONLY | O_CREAT, 0666);
  if (fd < 0) return false;
  if (ftruncate(fd, 1) != 0) {
    // Not a regular file (a pipe, a terminal): nothing to cut.
  }
  LogFile = fdopen(fd, "w");
  if (LogFile == nullptr) {
    close(fd);
    return false;
  }
  std::setvbuf(LogFile, nullptr, _IONBF, 0);
  LogDescriptor = fileno(LogFile);
  return true;
}

bool StandardOutputIsTerminal() { return isatty(STDOUT_FILENO) != 0; }

void StartPlainOutput() {
  LogMode = true;
  LogFile = stdout;
  std::setvbuf(stdout, nullptr, _IONBF, 0);
  LogDescriptor = STDOUT_FILENO;
}

void CloseLog() {
  LogDescriptor = -1;
  if (LogFile == stdout) {
    std::fflush(stdout);
  } else if (LogFile != nullptr) {
    std::fclose(LogFile);
  }
  LogFile = nullptr;
}

void EndScreen() {
  if (LogMode) return;
  MoveCursor(1, 23);
  WritePlainText("\n");
}

const char* const TitleLine =
    "   vortane " VORTANE_VERSION " - node builder for DOOM, HERETIC, HEXEN and STRIFE";
const char* const VersionLine = "vortane " VORTANE_VERSION;
const char* const BlankRow =
    "                                                                                ";

void MoveCursor(int column, int row) {
  if (LogMode) return;
  int columns, rows;
  WindowSize(&columns, &rows);
  if (column < 1 || row < 1 || column > columns || row > rows) return;
  std::printf("\x1b[%d;%dH", row, column);
}

void WriteColourText(const char* text) {
  if (LogMode) return;
  ApplyColours();
  for (const char* p = text; *p != '\0'; p++) WriteCp437(static_cast<uint8_t>(*p));
}

void WriteColourChar(uint8_t character) {
  if (LogMode) return;
  ApplyColours();
  WriteCp437(character);
}

void WritePlainText(const char* text) {
  if (LogMode) return;
  std::fputs("\x1b[0m", stdout);
  std::fputs(text, stdout);
  std::fflush(stdout);
}

void PrintAtCursor(const char* format, ...) {
  if (LogMode) return;
  char text[256];
  va_list args;
  va_start(args, format);
  std::vsnprintf(text, sizeof text, format, args);
  va_end(args);
  WritePlainText(text);
}

void ShowMessage(int column, int row, MessageKind kind, const char* format, ...) {
  if (format == nullptr) return;
  char text[256];
  va_list args;
  va_start(args, format);
  std::vsnprintf(text, sizeof text, format, args);
  va_end(args);
  if (LogMode) {
    if ((kind == LogOnly || kind == Both) && LogFile != nullptr && text[0] != '\0') {
      std::fputs(text, LogFile);
      LogLineOpen = text[std::strlen(text) - 1] != '\n';
    }
    return;
  }
  if ((kind == ScreenOnly || kind == Both) && column > 0) {
    MoveCursor(column, row);
    WritePlainText(text);
  }
}

void PutTextAt(int column, int row, const char* text) {
  if (LogMode) return;
  MoveCursor(column, row);
  if (text != nullptr) WriteColourText(text);
}

void ClearScreen() {
  if (LogMode) return;
  ApplyColours();
  std::fputs("\x1b[2J\x1b[H", stdout);
}

void SetColours(int foreground, int background) {
  if (LogMode) return;
  Foreground = foreground & 15;
  Background = background & 7;
}

void ShowStatus(int column, int row, const char* text) {
  if (LogMode) return;
  SetColours(14, 1);
  MoveCursor(column, row);
  WriteColourText(text);
}

void FillCells(uint8_t character, int count) {
  if (LogMode) return;
  ApplyColours();
  for (int i = 0; i < count; i++) WriteCp437(character);
}

// A bar never moves backwards and never redraws the cells it has filled, so
// a stage may report progress as often as it likes.
void ShowProgress(int column, int row, int percent) {
  if (LogMode) return;
  if (percent < 0) {
    MoveCursor(column, row);
    FillCells(176, 50);
    BarColumn = static_cast<int16_t>(column);
  } else {
    int p = percent > 100 ? 100 : percent;
    int end = column + p / 2;
    if (end > BarColumn) {
      MoveCursor(BarColumn, row);
      FillCells(ProgressFillChar, end - BarColumn);
      BarColumn = static_cast<int16_t>(end);
    }
  }
  std::fflush(stdout);
}

void ResetConsole() {
  LogMode = false;
  LogFile = nullptr;
  LogDescriptor = -1;
  LogLineOpen = 0;
  StatusRow = 0;
  BarColumn = 0;
  ProgressFillChar = 178;
  Foreground = 15;
  Background = 0;
}
