// SPDX-License-Identifier: GPL-2.0-or-later
#include "fuzz/fuzz_harness.h"

#include <dirent.h>
#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <set>
#include <string>
#include <vector>

#include "blockmap/blockmap.h"
#include "console/console.h"
#include "driver/run.h"
#include "driver/settings.h"
#include "nodes/tree.h"
#include "wad/assembly.h"
#include "wad/level.h"
#include "wad/output_file.h"
#include "wad/stream.h"
#include "wad/wadfile.h"

namespace {

const char EarlierOutput[] = "an earlier output that a failed run must keep\n";

[[noreturn]] void Violation(const char* what, const std::string& detail = "") {
  std::fprintf(stderr, "fuzz: %s %s\n", what, detail.c_str());
  std::fflush(stderr);
  std::abort();
}

// The run writes VORTANE.LOG in the working folder, so each input runs in a
// private scratch folder; the fuzzer's own folder is restored afterwards
// (it reads its corpus by relative paths).
std::string ScratchFolder() {
  static std::string folder;
  if (folder.empty()) {
    char pattern[] = "/tmp/vortane-fuzz.XXXXXX";
    if (mkdtemp(pattern) == nullptr) Violation("cannot make a scratch folder");
    folder = pattern;
  }
  return folder;
}

int EnterScratchFolder() {
  int previous = open(".", O_RDONLY | O_DIRECTORY);
  if (previous < 0 || chdir(ScratchFolder().c_str()) != 0) Violation("cannot enter the scratch folder");
  return previous;
}

void LeaveScratchFolder(int previous) {
  if (fchdir(previous) != 0) Violation("cannot return to the fuzzer's folder");
  close(previous);
}

std::vector<uint8_t> ReadAll(const char* path) {
  std::vector<uint8_t> bytes;
  FILE* file = std::fopen(path, "rb");
  if (file == nullptr) return bytes;
  uint8_t buffer[65536];
  size_t n;
  while ((n = std::fread(buffer, 1, sizeof buffer, file)) > 0) bytes.insert(bytes.end(), buffer, buffer + n);
  std::fclose(file);
  return bytes;
}

void WriteAll(const char* path, const void* data, size_t size) {
  FILE* file = std::fopen(path, "wb");
  if (file == nullptr || (size > 0 && std::fwrite(data, size, 1, file) != 1)) Violation("cannot write", path);
  std::fclose(file);
}

std::set<std::string> FolderNames() {
  std::set<std::string> names;
  DIR* folder = opendir(".");
  while (dirent* entry = readdir(folder)) {
    std::string name = entry->d_name;
    if (name != "." && name != "..") names.insert(name);
  }
  closedir(folder);
  return names;
}

int32_t Get32(const std::vector<uint8_t>& bytes, size_t at) {
  uint32_t value = 0;
  for (int i = 3; i >= 0; i--) value = value << 8 | bytes[at + i];
  return static_cast<int32_t>(value);
}

// A completed run: a PWAD with as many entries as the input, its directory
// inside the file, every lump inside the file.
void CheckOutput(int code, const std::vector<uint8_t>& input) {
  std::vector<uint8_t> out = ReadAll("out.wad");
  if (out.size() < 12 || std::memcmp(out.data(), "PWAD", 4) != 0) Violation("output is not a PWAD");
  int32_t count = Get32(out, 4);
  int32_t directory = Get32(out, 8);
  if (count != Get32(input, 4)) Violation("output entry count differs from the input's");
  if (directory < 12 || static_cast<uint64_t>(directory) + 16ull * count != out.size())
    Violation("output directory is not at the end of the file");
  for (int32_t i = 0; i < count; i++) {
    int32_t pos = Get32(out, directory + 16 * i);
    int32_t size = Get32(out, directory + 16 * i + 4);
    if (size < 0 || (size > 0 && (pos < 12 || static_cast<int64_t>(pos) + size > directory)))
      Violation("output lump outside the file");
    if (code == -2 && i == LevelMarkerIndex + 10 && size != 8) Violation("too-large blockmap is not 8 bytes");
  }
}

}  // namespace

namespace {

// Every subsystem back to its state at process start, then the blocks that
// no reset released (level arrays, tree nodes, lists a fatal error left on
// the unwound stack).
void ResetEverything() {
  ResetOutputWad();
  ReleaseOutputPlan();
  ResetWadFile();
  ResetBlockmap();
  ResetTree();
  ResetLevel();
  ResetSettings();
  if (LogFile != nullptr) std::fclose(LogFile);
  ResetConsole();
  ReleaseLiveBlocks();
}

}  // namespace

int RunFuzzInput(const uint8_t* data, size_t size, const char* level, const char* mode, const char* axis) {
  RecordLiveBlocks();
  int fuzzerFolder = EnterScratchFolder();
  WriteAll("in.wad", data, size);
  WriteAll("out.wad", EarlierOutput, sizeof EarlierOutput - 1);
  std::remove("VORTANE.LOG");

  std::vector<std::string> words = {"in.wad", "out.wad", level, mode, axis, "L"};
  std::vector<char*> arguments;
  for (std::string& word : words) arguments.push_back(&word[0]);

  int code;
  bool fatal = false;
  try {
    code = RunVortane(static_cast<int>(arguments.size()), arguments.data());
  } catch (const FuzzExit& exit) {
    code = exit.code;
    fatal = true;
  }

  std::set<std::string> expected = {"in.wad", "out.wad", "VORTANE.LOG"};
  if (FolderNames() != expected) Violation("stray or missing file in the run's folder");
  std::vector<uint8_t> log = ReadAll("VORTANE.LOG");
  std::string logText(log.begin(), log.end());
  if (fatal) {
    if (code != 10) Violation("fatal error with exit code", std::to_string(code));
    size_t frame = logText.rfind("Error : ** ");
    if (frame == std::string::npos || logText.size() < 4 ||
        logText.compare(logText.size() - 4, 4, " **\n") != 0)
      Violation("fatal error without its frame in the log", logText);
    std::vector<uint8_t> out = ReadAll("out.wad");
    if (std::string(out.begin(), out.end()) != EarlierOutput)
      Violation("a failed run changed the earlier output");
  } else {
    if (code != 0 && code != -2) Violation("run ended with exit code", std::to_string(code));
    if (logText.find("Error") != std::string::npos) Violation("completed run logged an error", logText);
    CheckOutput(code, std::vector<uint8_t>(data, data + size));
  }
  ResetEverything();
  LeaveScratchFolder(fuzzerFolder);
  return code & 0xFF;
}
