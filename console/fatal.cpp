// The one way the program fails: report the message in its error frame and
// end the process with exit code 10.
#include <cstdarg>
#include <cstdio>

#include "console/console.h"
#include "console/services.h"

namespace {
void (*FatalCleanup)() = nullptr;
}

void SetFatalCleanup(void (*cleanup)()) { FatalCleanup = cleanup; }

void FatalError(const char* format, ...) {
  char message[256];
  va_list args;
  va_start(args, format);
  std::vsnprintf(message, sizeof message, format, args);
  va_end(args);

  if (LogMode) {
    ShowMessage(-1, 0, LogOnly, "%s", "Error : ** ");
    ShowMessage(-1, 0, LogOnly, "%s", message);
    ShowMessage(-1, 0, LogOnly, "%s", " **\n");
    if (LogFile != nullptr) {
      std::fclose(LogFile);
      LogFile = nullptr;
    }
  } else {
    MoveCursor(1, 20);
    WritePlainText("Error : ** ");
    WritePlainText(message);
    WritePlainText(" **\n");
    WaitForKey();
  }
  if (FatalCleanup != nullptr) FatalCleanup();
  EndProcess(10);
}
