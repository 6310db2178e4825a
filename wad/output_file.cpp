// Creating the output file: a temporary file beside the output path, so
// that a run that fails never destroys an earlier output there.
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <string>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "console/services.h"
#include "wad/output_file.h"
#include "wad/stream.h"

FILE* OutputWad = nullptr;
const char* OutputWadPath = nullptr;

// The unfinished file, removed on a fatal error, and the file it replaces
// at the end (the target of a symbolic link, written through as a plain
// file would be).
static std::string TemporaryPath;
static std::string FinalPath;

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
    if (!S_ISREG(existing.st_mode) || access(FinalPath.c_str(), W_OK) != 0 ||
        (existing.st_mode & 0222) == 0)
      RefuseOutput(path);
    mode = existing.st_mode & 07777;
  } else if (errno != ENOENT) {
    RefuseOutput(path);
  }

  std::string folder = FolderOf(FinalPath);
  struct stat folderInfo;
  if (stat(folder.c_str(), &folderInfo) != 0 || !S_ISDIR(folderInfo.st_mode)) RefuseOutput(path);

  std::string pattern = folder + "/." + name + ".XXXXXX";
  int fd = mkstemp(&pattern[0]);
  if (fd < 0) RefuseOutput(path);
  TemporaryPath = pattern;
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
  if (!written || std::rename(TemporaryPath.c_str(), FinalPath.c_str()) != 0)
    FatalError("Could not write output PWAD file %s", OutputWadPath);
  TemporaryPath.clear();
}

void DiscardOutputWad() {
  if (OutputWad != nullptr) {
    NameStream(OutputWad, nullptr);
    std::fclose(OutputWad);
  }
  OutputWad = nullptr;
  if (!TemporaryPath.empty()) unlink(TemporaryPath.c_str());
  TemporaryPath.clear();
}

void ResetOutputWad() {
  DiscardOutputWad();
  OutputWadPath = nullptr;
  FinalPath.clear();
}
