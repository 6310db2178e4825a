// SPDX-License-Identifier: GPL-2.0-or-later
// One key press, without echo. Nothing is awaited when standard input is
// not a terminal (a pipe, a file, a map editor calling the program).
#include <signal.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>

#include "console/console.h"
#include "console/services.h"

namespace {
// The terminal's own settings while a key is awaited, so that an
// interrupted wait can give them back.
termios SavedTerminal;
volatile sig_atomic_t TerminalChanged = 0;
}  // namespace

void RestoreTerminalMode() {
  if (TerminalChanged) tcsetattr(STDIN_FILENO, TCSAFLUSH, &SavedTerminal);
  TerminalChanged = 0;
}

void WaitForKey() {
  std::fflush(stdout);
  if (!isatty(STDIN_FILENO)) return;
  termios saved{};
  if (tcgetattr(STDIN_FILENO, &saved) != 0) return;
  termios raw = saved;
  raw.c_lflag &= ~static_cast<tcflag_t>(ICANON | ECHO);
  raw.c_cc[VMIN] = 1;
  raw.c_cc[VTIME] = 0;
  SavedTerminal = saved;
  TerminalChanged = 1;
  tcsetattr(STDIN_FILENO, TCSANOW, &raw);
  char key;
  ssize_t got;
  do {
    got = read(STDIN_FILENO, &key, 1);
  } while (got < 0 && errno == EINTR);
  // A key such as an arrow sends several bytes; the ones not read yet are
  // part of the same press and are dropped with the old settings restored,
  // so they do not reach the shell afterwards.
  RestoreTerminalMode();
}
