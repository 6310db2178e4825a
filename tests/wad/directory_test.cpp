// SPDX-License-Identifier: GPL-2.0-or-later
// Opening the input WAD, its header and directory checks, and the lookup
// rules of FindLump.
#include <cstring>

#include "format/wad_format.h"
#include "tests/wad/wad_fixture.h"

namespace {

void WriteBytes(const std::string& path, const std::vector<uint8_t>& bytes) {
  FILE* f = std::fopen(path.c_str(), "wb");
  ASSERT_NE(f, nullptr);
  if (!bytes.empty()) std::fwrite(bytes.data(), 1, bytes.size(), f);
  std::fclose(f);
}

// A 12-byte header with the given fields.
std::vector<uint8_t> Header(const char* ident, int32_t count, int32_t offset) {
  std::vector<uint8_t> bytes(12);
  std::memcpy(bytes.data(), ident, 4);
  WriteInt32(&bytes[4], count);
  WriteInt32(&bytes[8], offset);
  return bytes;
}

void AppendEntry(std::vector<uint8_t>& bytes, int32_t pos, int32_t size, const char name[8]) {
  size_t at = bytes.size();
  bytes.resize(at + 16);
  WriteInt32(&bytes[at], pos);
  WriteInt32(&bytes[at + 4], size);
  std::memcpy(&bytes[at + 8], name, 8);
}

class OpenWadTest : public WadTest {
 protected:
  // Writes the bytes as in.wad and returns its path (kept alive).
  const char* Raw(const std::vector<uint8_t>& bytes) {
    std::string path = Path("in.wad");
    WriteBytes(path, bytes);
    paths.push_back(path);
    return paths.back().c_str();
  }
};

TEST_F(OpenWadTest, ReadsHeaderAndDirectoryAsStored) {
  WadBuilder wad;
  wad.Add("FIRST", {1, 2, 3}).Add("MAP01").Add("LAST", {9});
  OpenBuilt(wad);
  EXPECT_EQ(std::memcmp(InputHeader.Identification, "PWAD", 4), 0);
  ASSERT_EQ(InputHeader.LumpCount, 3);
  EXPECT_EQ(InputHeader.DirectoryOffset, 12 + 4);
  EXPECT_EQ(Directory[0].FilePos, 12);
  EXPECT_EQ(Directory[0].Size, 3);
  EXPECT_EQ(std::string(Directory[1].Name, 5), "MAP01");
  EXPECT_EQ(Directory[2].FilePos, 15);
  uint8_t* data = ReadLump(0);
  EXPECT_EQ(std::vector<uint8_t>(data, data + 3), (std::vector<uint8_t>{1, 2, 3}));
  FreeBlock(data);
}

TEST_F(OpenWadTest, RefusesMissingFileAndFolder) {
  std::string missing = Path("none.wad");
  EXPECT_FATAL(OpenWad(missing.c_str()), "WAD file " + missing + " not found");
  EXPECT_FATAL(OpenWad(dir.c_str()), "WAD file " + dir + " not found");
}

TEST_F(OpenWadTest, HeaderChecksInOrder) {
  std::string path = Path("in.wad");
  // Too short comes before the identification test.
  EXPECT_FATAL(OpenWad(Raw({'I', 'W', 'A', 'D', 0, 0, 0})), "File " + path + " is too short to be a WAD");
  EXPECT_FATAL(OpenWad(Raw({})), "File " + path + " is too short to be a WAD");
  EXPECT_FATAL(OpenWad(Raw(Header("IWAD", 1, 12))), "File " + path + " is not a PWAD");
  EXPECT_FATAL(OpenWad(Raw(Header("pwad", 1, 12))), "File " + path + " is not a PWAD");
  EXPECT_FATAL(OpenWad(Raw(Header("PWAD", 0, 12))), "File " + path + " has no entries?");
  EXPECT_FATAL(OpenWad(Raw(Header("PWAD", -3, 12))), "File " + path + " has no entries?");
  // The entry limit is tested before the directory is looked at.
  EXPECT_FATAL(OpenWad(Raw(Header("PWAD", 32768, -1))), "File " + path + " has too many entries");
}

TEST_F(OpenWadTest, AcceptsTheLargestDirectory) {
  std::vector<uint8_t> bytes = Header("PWAD", 32767, 12);
  for (int i = 0; i < 32767; i++) AppendEntry(bytes, 0, 0, "EMPTY\0\0");
  OpenWad(Raw(bytes));
  EXPECT_EQ(InputHeader.LumpCount, 32767);
  LevelMarkerIndex = 32000;
  EXPECT_EQ(FindLump("EMPTY", false), 32000);
}

TEST_F(OpenWadTest, RefusesDirectoryOutsideTheFile) {
  std::string path = Path("in.wad");
  std::string message = "File " + path + " has its directory outside the file";
  EXPECT_FATAL(OpenWad(Raw(Header("PWAD", 1, -16))), message);
  EXPECT_FATAL(OpenWad(Raw(Header("PWAD", 1, 12))), message);  // entry would end at 28
  std::vector<uint8_t> bytes = Header("PWAD", 2, 12);
  AppendEntry(bytes, 0, 0, "A\0\0\0\0\0\0");
  bytes.resize(bytes.size() + 15);  // second entry one byte short
  EXPECT_FATAL(OpenWad(Raw(bytes)), message);
}

TEST_F(OpenWadTest, RefusesEntriesOutsideTheFile) {
  std::string path = Path("in.wad");
  std::vector<uint8_t> negative = Header("PWAD", 2, 12);
  AppendEntry(negative, 0, 0, "MAP01\0\0");
  AppendEntry(negative, 12, -1, "THINGS\0");
  EXPECT_FATAL(OpenWad(Raw(negative)), "File " + path + ": entry 1 (THINGS) has a negative size");

  // Data: 4 bytes at 12; directory of one entry at 16; file size 32.
  auto oneEntry = [](int32_t pos, int32_t size) {
    std::vector<uint8_t> bytes = Header("PWAD", 1, 16);
    bytes.insert(bytes.end(), {1, 2, 3, 4});
    AppendEntry(bytes, pos, size, "LONGNAME");
    return bytes;
  };
  std::string outside = "File " + path + ": entry 0 (LONGNAME) lies outside the file";
  EXPECT_FATAL(OpenWad(Raw(oneEntry(-1, 4))), outside);
  EXPECT_FATAL(OpenWad(Raw(oneEntry(29, 4))), outside);
  EXPECT_FATAL(OpenWad(Raw(oneEntry(2147483600, 100))), outside);

  OpenWad(Raw(oneEntry(28, 4)));  // ends exactly at the end of the file
  EXPECT_EQ(Directory[0].Size, 4);
  ResetWadFile();
  OpenWad(Raw(oneEntry(-5000, 0)));  // an empty lump may point anywhere
  EXPECT_EQ(Directory[0].FilePos, -5000);
}

class FindLumpTest : public WadTest {
 protected:
  void SetUp() override {
    WadTest::SetUp();
    WadBuilder wad;
    wad.Add("SEGS").Add("E1M1").Add("SEGS").Add("LONGNAME").Add("SEGS").Add("BEHAVIOR");
    std::string path = Path("in.wad");
    wad.Write(path);
    // Entry 2 holds SEGS, a NUL and three more bytes.
    std::vector<uint8_t> bytes = ReadFileBytes(path);
    int32_t directory = ReadInt32(&bytes[8]);
    std::memcpy(&bytes[directory + 2 * 16 + 8], "SEGS\0XYZ", 8);
    WriteBytes(path, bytes);
    paths.push_back(path);
    OpenWad(paths.back().c_str());
  }
};

TEST_F(FindLumpTest, NamesCompareUpToTheFirstNul) {
  LevelMarkerIndex = 1;
  EXPECT_EQ(FindLump("SEGS", true), 2);
  EXPECT_EQ(FindLump("SEG", false), 0);
  EXPECT_EQ(FindLump("SEGS2", false), 0);
  EXPECT_EQ(FindLump("SEGS\0XYZ", false), 2);
  EXPECT_EQ(FindLump("LONGNAME", true), 3);  // 8 characters, no terminator
  EXPECT_EQ(FindLump("LONGNAMES", false), 0);
}

TEST_F(FindLumpTest, CaseMattersAndMissesAreFatalWhenRequired) {
  EXPECT_EQ(FindLump("E1M1", true), 1);
  EXPECT_EQ(FindLump("e1m1", false), 0);
  EXPECT_FATAL(FindLump("e1m1", true), "Cannot find e1m1");
}

TEST_F(FindLumpTest, SearchStartsAtTheMarkerAndFirstMatchWins) {
  EXPECT_EQ(FindLump("SEGS", false), 0);  // a match at 0 reads as absent
  LevelMarkerIndex = 3;
  EXPECT_EQ(FindLump("SEGS", true), 4);
  EXPECT_EQ(FindLump("BEHAVIOR", false), 5);
  EXPECT_EQ(FindLump("E1M1", false), 0);  // before the marker, never found
  EXPECT_FATAL(FindLump("E1M1", true), "Cannot find E1M1");
}

TEST_F(WadTest, IsSameFileComparesTheFileNotThePath) {
  std::string a = Path("a.wad");
  std::string b = Path("b.wad");
  WriteBytes(a, {1});
  WriteBytes(b, {1});
  ASSERT_EQ(link(a.c_str(), Path("hard.wad").c_str()), 0);
  ASSERT_EQ(symlink(a.c_str(), Path("soft.wad").c_str()), 0);
  EXPECT_TRUE(IsSameFile(a.c_str(), a.c_str()));
  EXPECT_TRUE(IsSameFile(a.c_str(), (dir + "/./a.wad").c_str()));
  EXPECT_TRUE(IsSameFile(a.c_str(), Path("hard.wad").c_str()));
  EXPECT_TRUE(IsSameFile(Path("soft.wad").c_str(), a.c_str()));
  EXPECT_FALSE(IsSameFile(a.c_str(), b.c_str()));
  EXPECT_FALSE(IsSameFile(Path("new.wad").c_str(), Path("new.wad").c_str()));
  EXPECT_FALSE(IsSameFile(a.c_str(), Path("new.wad").c_str()));
}

}  // namespace
