// SPDX-License-Identifier: GPL-2.0-or-later
// The node box as a record stores it: the builder writes it and the
// checker reads it through these, so a wrong order or offset here would
// agree with itself in both and show nowhere else.
#include "format/wad_format.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

namespace {

TEST(NodeBoxTest, WordsInTheRecordOrder) {
  struct Case {
    NodeBox box;
    std::vector<uint8_t> bytes;  // top, bottom, left, right, little-endian
  };
  const Case cases[] = {
      {{64, 0, 0, 128}, {64, 0, 0, 0, 0, 0, 128, 0}},
      {{-1, -32768, 32767, 256}, {0xFF, 0xFF, 0x00, 0x80, 0xFF, 0x7F, 0x00, 0x01}},
      {{1, 2, 3, 4}, {1, 0, 2, 0, 3, 0, 4, 0}},
  };
  for (const Case& c : cases) {
    uint8_t written[NodeBoxSize + 1] = {};
    written[NodeBoxSize] = 0xAA;
    WriteNodeBox(written, c.box);
    EXPECT_EQ(std::vector<uint8_t>(written, written + NodeBoxSize), c.bytes);
    EXPECT_EQ(written[NodeBoxSize], 0xAA) << "wrote past the box";
    EXPECT_EQ(ReadNodeBox(c.bytes.data()), c.box);
  }
}

// Sides held whole are stored as their low 16 bits and read back signed.
TEST(NodeBoxTest, WholeSidesKeepTheirLowWords) {
  uint8_t written[NodeBoxSize];
  WriteNodeBox(written, NodeBox{70000, -70000, 65535, 32768});
  EXPECT_EQ(ReadNodeBox(written), (NodeBox{70000 - 65536, -70000 + 65536, -1, -32768}));
}

TEST(NodeBoxTest, RecordLayout) {
  EXPECT_EQ(NodeRightBoxOffset, 8);
  EXPECT_EQ(NodeLeftBoxOffset, 16);
  EXPECT_EQ(NodeRightChildOffset, 24);
  EXPECT_EQ(NodeLeftChildOffset, 26);
  EXPECT_EQ(NodeRecordSize, 28);
}

}  // namespace
