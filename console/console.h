// SPDX-License-Identifier: GPL-2.0-or-later
// Screen, log and progress output. In screen mode the program owns an
// 80x25 text screen; in log mode nothing is drawn and the messages meant for
// the log go to VORTANE.LOG. Nothing outside console/ writes an escape
// sequence: every visible output goes through the routines below.
#pragma once

#include <signal.h>

#include <cstdint>
#include <cstdio>

enum MessageKind { LogOnly = 1, ScreenOnly = 2, Both = 3 };

// Process-wide output state.
extern bool LogMode;   // fixed by the run driver before any output
extern FILE* LogFile;  // open in log mode
// The log's file descriptor (-1 without a log), and whether its last line
// is still open, for the line an interruption adds.
extern volatile sig_atomic_t LogDescriptor;
extern volatile sig_atomic_t LogLineOpen;
extern int16_t StatusRow;         // row of the next stage line
extern int16_t BarColumn;         // first column of the bar not yet filled
extern uint8_t ProgressFillChar;  // code page 437 character of filled cells

// Log mode into the file at `path`, replacing an earlier one; false when it
// cannot be created. Every message is written through at once.
bool StartLog(const char* path);
// Screen mode on a standard output that is no terminal (a file, a pipe):
// the lines log mode would write go there as plain text, and nothing is
// drawn.
bool StandardOutputIsTerminal();
void StartPlainOutput();
// Closes the log, or finishes the lines on standard output.
void CloseLog();

// Formats the message (cut to 255 characters) and sends it to the log, the
// screen or both. Column <= 0 never reaches the screen. A null format does
// nothing. The formatted text is written as it stands, never formatted again.
void ShowMessage(int column, int row, MessageKind kind, const char* format, ...)
    __attribute__((format(printf, 4, 5)));

// Screen mode only: moves the cursor and, when a text is given, writes it in
// the current colour pair. The text is code page 437.
void PutTextAt(int column, int row, const char* text);
void ClearScreen();
void ShowStatus(int column, int row, const char* text);
void SetColours(int foreground, int background);
void ShowProgress(int column, int row, int percent);
void FillCells(uint8_t character, int count);

// Low-level console operations, screen mode only.
void MoveCursor(int column, int row);
void WriteColourText(const char* text);   // code page 437, current colours
void WriteColourChar(uint8_t character);  // code page 437, current colours
void WritePlainText(const char* text);    // terminal's own attributes
// Screen mode only: formats and writes plain text at the cursor (the counts
// that the stages print after their status labels).
void PrintAtCursor(const char* format, ...) __attribute__((format(printf, 1, 2)));

// Title panel (rows 1 to 13) and help screen (rows 14 to 24).
void DrawTitlePanel();
void DrawHelpScreen();
// The help screen's words as plain lines, for a standard output that is no
// terminal.
void PrintHelpText();
// The end of a completed run on the screen: the cursor at column 1 of row
// 23, then one line down, so that the shell's prompt leaves the last frame
// whole.
void EndScreen();
// Gives the terminal back the settings a key wait changed (safe inside a
// signal handler).
void RestoreTerminalMode();
// The text that the title panel (rows 1 to 13) or the help screen (rows 14
// to 24) leaves on a row of the cleared screen: 80 code page 437 bytes,
// terminated. Null for any other row.
const char* PanelRowText(int row);
// The program's name and version, used at the head of the log.
extern const char* const TitleLine;
// The program's name and version on one line, for --version.
extern const char* const VersionLine;
// A whole screen row of blanks, to clear a row or lay a coloured bar.
extern const char* const BlankRow;

// Back to the state at process start (tests).
void ResetConsole();
