// SPDX-License-Identifier: GPL-2.0-or-later
// Creating the output file: a temporary file beside the output path, so
// that a run that fails never destroys an earlier output there.
#include "wad/output_file.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <initializer_list>
#include <string>

#include "console/services.h"
#include "wad/stream.h"

FILE* OutputWad = nullptr;
const char* OutputWadPath = nullptr;

// The unfinished file, removed on a fatal error or an interruption (so it
// is held where a signal handler can read it), and the file it replaces at
// the end (the target of a symbolic link, written through as a plain file
// would be).
static char TemporaryPath[PATH_MAX + 16] = "";
static std::string FinalPath;

// Safe inside a signal handler: one unlink of a name already in memory.
static void RemoveTemporaryFile() {
  if (TemporaryPath[0] != '\0') unlink(TemporaryPath);
}

// The interruptions that would remove the file, held back while it is made
// and named, so that no file is made without its name being known.
static void HoldInterruptions(int how) {
  sigset_t signals;
  sigemptyset(&signals);
  for (int signal : {SIGINT, SIGTERM, SIGHUP}) sigaddset(&signals, signal);
  sigprocmask(how, &signals, nullptr);
}

[[noreturn]] static void RefuseOutput(const char* path) {
  FatalError("Could not open output PWAD file %s", path);
}

// Folder part of a path, "." when it has none.
static std::string FolderOf(const std::string& path) {
  size_t slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  if (slash == 0) return "/";
  return path.substr(0, slash);
}

// Where the finished file goes: through a symbolic link to its target, as
// writing the path directly would.
static std::string ResolveFinalPath(const char* path) {
  struct stat link;
  if (lstat(path, &link) == 0 && S_ISLNK(link.st_mode)) {
    char resolved[PATH_MAX];
    if (realpath(path, resolved) != nullptr) return resolved;
  }
  return path;
}

void CreateOutputWad(const char* path) {
  OutputWadPath = path;
  FinalPath = ResolveFinalPath(path);
  size_t slash = FinalPath.rfind('/');
  std::string name = slash == std::string::npos ? FinalPath : FinalPath.substr(slash + 1);
  if (name.empty()) RefuseOutput(path);

  // The new file takes the permissions of the one it replaces, or those a
  // newly created file would get.
  mode_t oldMask = umask(0);
  umask(oldMask);
  mode_t mode = 0666 & ~oldMask;
  struct stat existing;
  if (stat(FinalPath.c_str(), &existing) == 0) {
    // A file without any write permission is refused even where the user
    // could replace it (as the superuser can): read-only means keep it. A
    // folder, device or pipe is never replaced by a plain file.
    if (!S_ISREG(existing.st_mode) || access(FinalPath.c_str(), W_OK) != 0 || (existing.st_mode & 0222) == 0)
      RefuseOutput(path);
    mode = existing.st_mode & 07777;
  } else if (errno != ENOENT) {
    RefuseOutput(path);
  }

  std::string folder = FolderOf(FinalPath);
  struct stat folderInfo;
  if (stat(folder.c_str(), &folderInfo) != 0 || !S_ISDIR(folderInfo.st_mode)) RefuseOutput(path);

  std::string pattern = folder + "/." + name + ".XXXXXX";
  if (pattern.size() >= sizeof TemporaryPath) RefuseOutput(path);
  SetInterruptCleanup(RemoveTemporaryFile);
  HoldInterruptions(SIG_BLOCK);
  int fd = mkstemp(pattern.data());
  if (fd >= 0) std::memcpy(TemporaryPath, pattern.c_str(), pattern.size() + 1);
  HoldInterruptions(SIG_UNBLOCK);
  if (fd < 0) RefuseOutput(path);
  fchmod(fd, mode);
  OutputWad = fdopen(fd, "wb");
  if (OutputWad == nullptr) {
    close(fd);
    DiscardOutputWad();
    RefuseOutput(path);
  }
  // Unbuffered, so that every block is written when WriteBlock or CopyBytes
  // checks it and a full disk is reported at the block that did not fit.
  std::setvbuf(OutputWad, nullptr, _IONBF, 0);
  NameStream(OutputWad, path);
  SetFatalCleanup(DiscardOutputWad);
}

// Closes the finished file and puts it in place of the output path in one
// step, so the path holds either the earlier file or the complete new one.
void FinishOutputWad() {
  NameStream(OutputWad, nullptr);
  bool written = fsync(fileno(OutputWad)) == 0;
  written = std::fclose(OutputWad) == 0 && written;
  OutputWad = nullptr;
  // An interruption either comes before the rename, and the file is
  // removed, or after it, and the run completes.
  HoldInterruptions(SIG_BLOCK);
  bool renamed = written && std::rename(TemporaryPath, FinalPath.c_str()) == 0;
  if (renamed) TemporaryPath[0] = '\0';
  HoldInterruptions(SIG_UNBLOCK);
  if (!renamed) FatalError("Could not write output PWAD file %s", OutputWadPath);
}

void DiscardOutputWad() {
  if (OutputWad != nullptr) {
    NameStream(OutputWad, nullptr);
    std::fclose(OutputWad);
  }
  OutputWad = nullptr;
  RemoveTemporaryFile();
  TemporaryPath[0] = '\0';
}

void ResetOutputWad() {
  DiscardOutputWad();
  OutputWadPath = nullptr;
  FinalPath.clear();
}
