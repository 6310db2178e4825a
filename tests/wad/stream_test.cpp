// SPDX-License-Identifier: GPL-2.0-or-later
// The checked stream primitives: seek, block write, chunked copy and the
// transfer check behind them.
#include <cstring>

#include "tests/wad/wad_fixture.h"

namespace {

// A stream that records the size of every write it is handed.
ssize_t RecordWrite(void* cookie, const char*, size_t size) {
  static_cast<std::vector<size_t>*>(cookie)->push_back(size);
  return static_cast<ssize_t>(size);
}

FILE* OpenRecorder(std::vector<size_t>* writes) {
  cookie_io_functions_t functions = {nullptr, RecordWrite, nullptr, nullptr};
  FILE* stream = fopencookie(writes, "w", functions);
  std::setvbuf(stream, nullptr, _IONBF, 0);
  return stream;
}

std::vector<uint8_t> Pattern(size_t size) {
  std::vector<uint8_t> bytes(size);
  for (size_t i = 0; i < size; i++) bytes[i] = static_cast<uint8_t>(i * 7 + i / 251);
  return bytes;
}

class StreamTest : public WadTest {
 protected:
  // Opens a source file holding `bytes` (as the input WAD's stream would be).
  FILE* Source(const std::vector<uint8_t>& bytes) {
    std::string path = Path("source.bin");
    FILE* f = std::fopen(path.c_str(), "wb");
    std::fwrite(bytes.data(), 1, bytes.size(), f);
    std::fclose(f);
    return std::fopen(path.c_str(), "rb");
  }
};

TEST_F(StreamTest, CopyMovesFullBuffersThenTheRest) {
  std::vector<uint8_t> data = Pattern(300001);
  FILE* source = Source(data);
  std::vector<size_t> writes;
  FILE* recorder = OpenRecorder(&writes);
  CopyBytes(recorder, source, 300001);
  EXPECT_EQ(writes, (std::vector<size_t>{128000, 128000, 44001}));

  writes.clear();
  std::rewind(source);
  CopyBytes(recorder, source, 128000);  // exactly one buffer: one chunk
  EXPECT_EQ(writes, (std::vector<size_t>{128000}));

  writes.clear();
  CopyBytes(recorder, source, 0);
  EXPECT_TRUE(writes.empty());
  std::fclose(recorder);
  std::fclose(source);
}

TEST_F(StreamTest, CopyKeepsEveryByteAndStartsAtTheSourcePosition) {
  std::vector<uint8_t> data = Pattern(260000);
  FILE* source = Source(data);
  std::string out = Path("copy.bin");
  FILE* destination = std::fopen(out.c_str(), "wb");
  std::fwrite("HEAD", 1, 4, destination);
  SeekTo(source, 1000);
  CopyBytes(destination, source, 259000);
  std::fclose(destination);
  std::fclose(source);
  std::vector<uint8_t> expected = {'H', 'E', 'A', 'D'};
  expected.insert(expected.end(), data.begin() + 1000, data.end());
  EXPECT_EQ(ReadFileBytes(out), expected);
}

TEST_F(StreamTest, FailedTransfersNameTheBlockAndThePosition) {
  // The source ends 10 bytes into a 20-byte chunk: the read stops at 13.
  FILE* source = Source(Pattern(13));
  FILE* sink = std::fopen("/dev/null", "wb");
  SeekTo(source, 3);
  CopyBytes(sink, source, 10);
  EXPECT_FATAL(
      {
        SeekTo(source, 3);
        CopyBytes(sink, source, 20);
      },
      " read 0 left for 20 bytes dataloc=13");
  std::fclose(sink);

  // A full disk: the chunk, not the lump, is the block that failed.
  FILE* full = std::fopen("/dev/full", "wb");
  ASSERT_NE(full, nullptr);
  std::setvbuf(full, nullptr, _IONBF, 0);
  FILE* big = Source(Pattern(200000));
  EXPECT_FATAL(CopyBytes(full, big, 200000), " write 0 left for 128000 bytes dataloc=0");
  EXPECT_FATAL(WriteBlock(full, "abc", 3), " write 0 left for 3 bytes dataloc=0");
  WriteBlock(full, "", 0);  // nothing to write succeeds, even on a full disk
  std::fclose(full);
  std::fclose(big);
  std::fclose(source);
}

TEST_F(StreamTest, CheckTransferPassesOnlyOneWholeBlock) {
  CheckTransfer("read", stdout, 1, 50);
  FILE* f = Source(Pattern(40));
  std::fseek(f, 17, SEEK_SET);
  EXPECT_FATAL(CheckTransfer("read", f, 0, 40), " read 0 left for 40 bytes dataloc=17");
  EXPECT_FATAL(CheckTransfer("write", f, 2, 40), " write 2 left for 40 bytes dataloc=17");
  std::fclose(f);
}

TEST_F(StreamTest, SeekFailureNamesTheFileSoughtIn) {
  WadBuilder wad;
  wad.Add("ONE", {1});
  std::string path = OpenBuilt(wad);
  EXPECT_FATAL(SeekTo(InputWad, -1), path + " error seeking at -1");
  std::string out = Path("out.wad");
  CreateOutputWad(out.c_str());
  EXPECT_FATAL(SeekTo(OutputWad, -12), out + " error seeking at -12");
}

TEST_F(StreamTest, LumpReadsAreChecked) {
  WadBuilder wad;
  wad.Add("FIRST", Pattern(5000)).Add("SECOND", Pattern(6000));
  std::string path = OpenBuilt(wad);
  // The file loses its tail after the directory was checked.
  ASSERT_EQ(truncate(path.c_str(), 12 + 5000 + 20), 0);
  uint8_t* data = ReadLump(0);
  EXPECT_EQ(std::vector<uint8_t>(data, data + 5000), Pattern(5000));
  FreeBlock(data);
  EXPECT_FATAL(ReadLump(1), " read 0 left for 6000 bytes dataloc=5032");
}

}  // namespace
