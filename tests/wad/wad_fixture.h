// SPDX-License-Identifier: GPL-2.0-or-later
// Shared set-up of the WAD tests: a scratch folder, a clean process state,
// and a check that a statement ends the run with one exact fatal message.
#pragma once

#include <dirent.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "console/console.h"
#include "console/services.h"
#include "tests/support/wadbuilder.h"
#include "wad/assembly.h"
#include "wad/level.h"
#include "wad/output_file.h"
#include "wad/stream.h"
#include "wad/wadfile.h"

class WadTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string base = ::testing::TempDir() + "vortane_wad_XXXXXX";
    std::vector<char> pattern(base.begin(), base.end());
    pattern.push_back('\0');
    ASSERT_NE(mkdtemp(pattern.data()), nullptr);
    dir = pattern.data();
    ResetAll();
  }

  // Leaves the process as other tests expect it: screen mode, no log.
  void TearDown() override {
    ResetAll();
    std::fclose(LogFile);
    LogFile = nullptr;
    LogMode = false;
    RemoveTree(dir);
  }

  // Log mode into nothing keeps the stage lines off the terminal and makes a
  // stray fatal error end the test at once instead of waiting for a key.
  static void ResetAll() {
    ResetOutputWad();
    ReleaseOutputPlan();
    ResetWadFile();
    ReleaseLevel();
    if (LogFile != nullptr && LogFile != stdout) std::fclose(LogFile);
    LogMode = true;
    LogFile = std::fopen("/dev/null", "w");
    StatusRow = 16;
  }

  static void RemoveTree(const std::string& path) {
    DIR* folder = opendir(path.c_str());
    if (folder != nullptr) {
      while (dirent* entry = readdir(folder)) {
        std::string name = entry->d_name;
        if (name == "." || name == "..") continue;
        std::string child = path + "/" + name;
        struct stat info;
        if (lstat(child.c_str(), &info) == 0 && S_ISDIR(info.st_mode)) {
          chmod(child.c_str(), 0755);
          RemoveTree(child);
        } else {
          unlink(child.c_str());
        }
      }
      closedir(folder);
    }
    rmdir(path.c_str());
  }

  std::string Path(const std::string& name) const { return dir + "/" + name; }

  // Names in the scratch folder (hidden ones included), sorted.
  std::vector<std::string> FolderEntries(const std::string& folder) const {
    std::vector<std::string> names;
    DIR* d = opendir(folder.c_str());
    if (d == nullptr) return names;
    while (dirent* entry = readdir(d)) {
      std::string name = entry->d_name;
      if (name != "." && name != "..") names.push_back(name);
    }
    closedir(d);
    std::sort(names.begin(), names.end());
    return names;
  }

  // Writes the WAD and opens it as the input.
  std::string OpenBuilt(const WadBuilder& wad, const std::string& name = "in.wad") {
    std::string path = Path(name);
    wad.Write(path);
    paths.push_back(path);
    OpenWad(paths.back().c_str());
    return path;
  }

  static void LoadAll() { LoadLevel(); }

  static std::string ReadText(const std::string& path) {
    std::vector<uint8_t> bytes = ReadFileBytes(path);
    return std::string(bytes.begin(), bytes.end());
  }

  std::string dir;
  std::vector<std::string> paths;  // keeps path strings alive for the globals
};

// The fatal message is written to a log file by the dying child (forked at
// this point, so it shares the scratch folder); the parent then compares the
// whole log with the framed message.
#define EXPECT_FATAL(statement, message)                                            \
  do {                                                                              \
    std::string fatalLog_ = Path("fatal.log");                                      \
    EXPECT_EXIT(                                                                    \
        {                                                                           \
          LogMode = true;                                                           \
          LogFile = std::fopen(fatalLog_.c_str(), "w");                             \
          statement;                                                                \
        },                                                                          \
        ::testing::ExitedWithCode(10), "");                                         \
    EXPECT_EQ(ReadText(fatalLog_), "Error : ** " + std::string(message) + " **\n"); \
    unlink(fatalLog_.c_str());                                                      \
  } while (0)

// Standard one-sector square room: four vertexes, four one-sided linedefs.
inline WadBuilder::Level SquareRoom() {
  WadBuilder::Level level;
  level.vertexes = {{0, 0}, {0, 64}, {64, 64}, {64, 0}};
  level.lines = {{0, 1, 0, -1}, {1, 2, 1, -1}, {2, 3, 2, -1}, {3, 0, 3, -1}};
  level.sideSectors = {0, 0, 0, 0};
  return level;
}
