// SPDX-License-Identifier: GPL-2.0-or-later
// Test helpers for the console: capture what a piece of code writes to
// standard output, and play those bytes on a model of an 80x25 ANSI terminal
// to see which character and which colours end up in each cell.
#pragma once

#include <unistd.h>

#include <cctype>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

// Runs body with standard output sent to a temporary file and returns the
// bytes written.
inline std::string CaptureStdout(const std::function<void()>& body) {
  std::fflush(stdout);
  int saved = dup(STDOUT_FILENO);
  FILE* file = std::tmpfile();
  dup2(fileno(file), STDOUT_FILENO);
  body();
  std::fflush(stdout);
  dup2(saved, STDOUT_FILENO);
  close(saved);
  std::string bytes;
  std::rewind(file);
  char buffer[4096];
  size_t got;
  while ((got = std::fread(buffer, 1, sizeof buffer, file)) > 0) bytes.append(buffer, got);
  std::fclose(file);
  return bytes;
}

inline std::string ReadWholeFile(const std::string& path) {
  std::string bytes;
  FILE* file = std::fopen(path.c_str(), "rb");
  if (file == nullptr) return "<missing>";
  char buffer[4096];
  size_t got;
  while ((got = std::fread(buffer, 1, sizeof buffer, file)) > 0) bytes.append(buffer, got);
  std::fclose(file);
  return bytes;
}

// A cell holds a Unicode character and the colour pair it was written in,
// as DOS colour numbers; -1 stands for the terminal's own attributes.
struct TerminalCell {
  char32_t character = U' ';
  int foreground = -1;
  int background = -1;
};

class TerminalModel {
 public:
  static constexpr int Columns = 80;
  static constexpr int Rows = 25;

  // Plays bytes: cursor moves, colours, clear screen, UTF-8 text with the
  // wrap and scroll of a VT100. Anything it does not know fails the test
  // through Unknown().
  void Feed(const std::string& bytes) {
    size_t i = 0;
    while (i < bytes.size()) {
      unsigned char c = static_cast<unsigned char>(bytes[i]);
      if (c == 0x1b) {
        i = Escape(bytes, i);
      } else if (c == '\n') {
        NewLine();
        column_ = 1;
        i++;
      } else if (c == '\r') {
        column_ = 1;
        pendingWrap_ = false;
        i++;
      } else {
        char32_t code = 0;
        int extra = c < 0x80 ? 0 : c >= 0xf0 ? 3 : c >= 0xe0 ? 2 : 1;
        code = extra == 0 ? c : extra == 1 ? (c & 0x1f) : extra == 2 ? (c & 0x0f) : (c & 0x07);
        for (int k = 1; k <= extra && i + k < bytes.size(); k++) {
          code = (code << 6) | (static_cast<unsigned char>(bytes[i + k]) & 0x3f);
        }
        Put(code);
        i += 1 + extra;
      }
    }
  }

  const TerminalCell& At(int column, int row) const { return cells_[row - 1][column - 1]; }
  int CursorColumn() const { return column_; }
  int CursorRow() const { return row_; }
  const std::string& Unknown() const { return unknown_; }

  // The characters of columns first to last of a row.
  std::u32string Text(int row, int first = 1, int last = Columns) const {
    std::u32string text;
    for (int column = first; column <= last; column++) text += At(column, row).character;
    return text;
  }

 private:
  size_t Escape(const std::string& bytes, size_t start) {
    if (start + 1 >= bytes.size() || bytes[start + 1] != '[') {
      unknown_ += "lone ESC;";
      return start + 1;
    }
    size_t i = start + 2;
    std::string parameters;
    while (i < bytes.size() && (std::isdigit(static_cast<unsigned char>(bytes[i])) || bytes[i] == ';')) {
      parameters += bytes[i++];
    }
    if (i >= bytes.size()) {
      unknown_ += "cut sequence;";
      return i;
    }
    char final = bytes[i];
    std::vector<int> values;
    size_t p = 0;
    while (p <= parameters.size()) {
      size_t semicolon = parameters.find(';', p);
      if (semicolon == std::string::npos) semicolon = parameters.size();
      std::string value = parameters.substr(p, semicolon - p);
      values.push_back(value.empty() ? -1 : std::stoi(value));
      p = semicolon + 1;
    }
    switch (final) {
      case 'H': {
        int row = values.size() > 0 && values[0] > 0 ? values[0] : 1;
        int column = values.size() > 1 && values[1] > 0 ? values[1] : 1;
        row_ = row > Rows ? Rows : row;
        column_ = column > Columns ? Columns : column;
        pendingWrap_ = false;
        break;
      }
      case 'J':
        if (values.size() == 1 && values[0] == 2) {
          for (auto& line : cells_) {
            for (auto& cell : line) cell = TerminalCell{U' ', foreground_, background_};
          }
        } else {
          unknown_ += "J" + parameters + ";";
        }
        break;
      case 'm':
        for (int value : values) Attribute(value);
        break;
      default: unknown_ += std::string(1, final) + parameters + ";";
    }
    return i + 1;
  }

  // ANSI colour numbers back to DOS colour numbers.
  static int DosColour(int ansi) {
    static const int dos[8] = {0, 4, 2, 6, 1, 5, 3, 7};
    return dos[ansi];
  }

  void Attribute(int value) {
    if (value <= 0) {
      foreground_ = background_ = -1;
    } else if (value >= 30 && value <= 37) {
      foreground_ = DosColour(value - 30);
    } else if (value >= 90 && value <= 97) {
      foreground_ = DosColour(value - 90) + 8;
    } else if (value >= 40 && value <= 47) {
      background_ = DosColour(value - 40);
    } else if (value == 39) {
      foreground_ = -1;
    } else if (value == 49) {
      background_ = -1;
    } else {
      unknown_ += "m" + std::to_string(value) + ";";
    }
  }

  void NewLine() {
    pendingWrap_ = false;
    if (row_ < Rows) {
      row_++;
      return;
    }
    for (int r = 0; r + 1 < Rows; r++) {
      for (int c = 0; c < Columns; c++) cells_[r][c] = cells_[r + 1][c];
    }
    for (auto& cell : cells_[Rows - 1]) cell = TerminalCell{U' ', foreground_, background_};
  }

  void Put(char32_t code) {
    if (pendingWrap_) {
      NewLine();
      column_ = 1;
    }
    cells_[row_ - 1][column_ - 1] = TerminalCell{code, foreground_, background_};
    if (column_ == Columns) {
      pendingWrap_ = true;
    } else {
      column_++;
    }
  }

  TerminalCell cells_[Rows][Columns];
  int row_ = 1;
  int column_ = 1;
  bool pendingWrap_ = false;
  int foreground_ = -1;
  int background_ = -1;
  std::string unknown_;
};

// The Unicode character a code page 437 byte is shown as, for the bytes
// that the console draws: printable ASCII, the shades, the full block and
// the box-drawing characters. 0 for any other byte.
inline char32_t Cp437ToUnicode(unsigned char c) {
  if (c >= 0x20 && c < 0x7f) return c;
  switch (c) {
    case 0xB0: return U'\u2591';  // light shade
    case 0xB1: return U'\u2592';
    case 0xB2: return U'\u2593';  // dark shade
    case 0xB3: return U'\u2502';
    case 0xBA: return U'\u2551';
    case 0xBB: return U'\u2557';
    case 0xBC: return U'\u255D';
    case 0xBF: return U'\u2510';
    case 0xC0: return U'\u2514';
    case 0xC1: return U'\u2534';
    case 0xC2: return U'\u252C';
    case 0xC4: return U'\u2500';
    case 0xC8: return U'\u255A';
    case 0xC9: return U'\u2554';
    case 0xCC: return U'\u2560';
    case 0xCD: return U'\u2550';
    case 0xD9: return U'\u2518';
    case 0xDA: return U'\u250C';
    case 0xDB: return U'\u2588';
    default: return 0;
  }
}

inline std::u32string Utf32(const std::string& ascii) { return std::u32string(ascii.begin(), ascii.end()); }
