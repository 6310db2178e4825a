// SPDX-License-Identifier: GPL-2.0-or-later
// SIGINT, SIGTERM and SIGHUP end the run cleanly: the unfinished output is
// removed (an earlier output stays), the terminal gets its mode, colours
// and cursor back, a log ends with an error line, and the process then
// ends by the same signal, with the status a shell expects for it.
//
// Everything here runs inside the signal handler, so it uses only calls
// that are safe there: write, unlink, tcsetattr, sigaction and raise.
#include <signal.h>
#include <unistd.h>

#include <cstring>
#include <initializer_list>

#include "console/console.h"
#include "console/services.h"

namespace {

void (*InterruptCleanup)() = nullptr;

void WriteAll(int descriptor, const char* text) {
  size_t length = std::strlen(text);
  while (length > 0) {
    ssize_t written = write(descriptor, text, length);
    if (written <= 0) return;
    text += written;
    length -= static_cast<size_t>(written);
  }
}

const char* SignalName(int signal) {
  switch (signal) {
    case SIGINT: return "SIGINT";
    case SIGTERM: return "SIGTERM";
    default: return "SIGHUP";
  }
}

extern "C" void OnInterrupt(int signal) {
  if (InterruptCleanup != nullptr) InterruptCleanup();
  int log = LogDescriptor;
  if (log >= 0) {
    if (LogLineOpen) WriteAll(log, "\n");
    WriteAll(log, "Error : ** Interrupted by ");
    WriteAll(log, SignalName(signal));
    WriteAll(log, " **\n");
  } else if (!LogMode) {
    RestoreTerminalMode();
    // CAN ends an escape sequence that the signal may have cut in two; then
    // the terminal's own colours, and the cursor below the last frame.
    WriteAll(STDOUT_FILENO, "\x18\x1b[0m\x1b[23;1H\n");
  }
  // The handler was reset to the default on entry (SA_RESETHAND), and the
  // signal is not blocked inside it (SA_NODEFER): raising it again ends the
  // process by it.
  raise(signal);
}

}  // namespace

void SetInterruptCleanup(void (*cleanup)()) { InterruptCleanup = cleanup; }

// A signal that the process was started with ignored (a background job's
// SIGINT, nohup's SIGHUP) stays ignored.
void InstallInterruptHandlers() {
  struct sigaction action;
  std::memset(&action, 0, sizeof action);
  action.sa_handler = OnInterrupt;
  action.sa_flags = SA_RESETHAND | SA_NODEFER;
  // One interruption at a time: the others wait while it is handled.
  sigemptyset(&action.sa_mask);
  for (int signal : {SIGINT, SIGTERM, SIGHUP}) sigaddset(&action.sa_mask, signal);
  for (int signal : {SIGINT, SIGTERM, SIGHUP}) {
    struct sigaction current;
    if (sigaction(signal, nullptr, &current) != 0 || current.sa_handler == SIG_IGN) continue;
    sigdelset(&action.sa_mask, signal);
    sigaction(signal, &action, nullptr);
    sigaddset(&action.sa_mask, signal);
  }
}
