// SPDX-License-Identifier: GPL-2.0-or-later
// The one way the program fails: report the message in its error frame and
// end the process with exit code 10.
#include <cstdarg>
#include <cstdio>

#include "console/console.h"
#include "console/services.h"

namespace {
void (*FatalCleanup)() = nullptr;
char FatalContext[16] = "";
}  // namespace

void SetFatalCleanup(void (*cleanup)()) { FatalCleanup = cleanup; }

void SetFatalContext(const char* context) {
  std::snprintf(FatalContext, sizeof FatalContext, "%s", context != nullptr ? context : "");
}

void FatalError(const char* format, ...) {
  char message[256];
  int length = FatalContext[0] != '\0' ? std::snprintf(message, sizeof message, "%s: ", FatalContext) : 0;
  va_list args;
  va_start(args, format);
  std::vsnprintf(message + length, sizeof message - length, format, args);
  va_end(args);

  if (LogMode) {
    ShowMessage(-1, 0, LogOnly, "%s", "Error : ** ");
    ShowMessage(-1, 0, LogOnly, "%s", message);
    ShowMessage(-1, 0, LogOnly, "%s", " **\n");
    CloseLog();
    if (FatalCleanup != nullptr) FatalCleanup();
  } else {
    MoveCursor(1, 20);
    WritePlainText("Error : ** ");
    WritePlainText(message);
    WritePlainText(" **\n");
    // Nothing is left behind while the message waits for its key.
    if (FatalCleanup != nullptr) FatalCleanup();
    WaitForKey();
  }
  EndProcess(10);
}
