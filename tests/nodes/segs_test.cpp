// SPDX-License-Identifier: GPL-2.0-or-later
// Segs creation: one seg per used side, in linedef order, with the sectors
// and the angles of both directions.
#include <cctype>
#include <string>

#include "tests/nodes/node_fixture.h"

namespace {

class SegsTest : public NodesTest {};

TEST_F(SegsTest, OneSegPerUsedSideInLinedefOrder) {
  // 0: one-sided; 1: two-sided, vertical pointing north; 2: left side only;
  // 3: right sidedef past the end of SIDEDEFS, left sidedef -2.
  PutLevel({{0, 0}, {64, 0}, {64, 64}, {0, 64}}, {{0, 1, 0, -1}, {1, 2, 1, 2}, {2, 3, -1, 3}, {3, 0, 9, -2}},
           {5, 6, 7, 8});
  SegList list = CreateSegs();
  ASSERT_EQ(list.count, 6);
  const BuildSeg* s = list.segs;

  EXPECT_EQ(s[0].lineDef, 0);
  EXPECT_EQ(s[0].direction, 0);
  EXPECT_EQ(s[0].startVertex, 0);
  EXPECT_EQ(s[0].endVertex, 1);
  EXPECT_EQ(s[0].rightSector, 5);
  EXPECT_EQ(s[0].leftSector, -1);
  EXPECT_EQ(s[0].leftSideDef, -1);
  EXPECT_EQ(s[0].angle, 0);

  // The two sides of linedef 1 carry the same linedef values.
  for (int i = 1; i <= 2; i++) {
    EXPECT_EQ(s[i].lineDef, 1);
    EXPECT_EQ(s[i].rightSideDef, 1);
    EXPECT_EQ(s[i].leftSideDef, 2);
    EXPECT_EQ(s[i].rightSector, 6);
    EXPECT_EQ(s[i].leftSector, 7);
  }
  EXPECT_EQ(s[1].direction, 0);
  EXPECT_EQ(s[1].angle, 16384);
  EXPECT_EQ(s[2].direction, 1);
  EXPECT_EQ(s[2].angle, 49151);
  EXPECT_EQ(s[2].startVertex, 2);
  EXPECT_EQ(s[2].endVertex, 1);
  EXPECT_EQ(s[2].x1, 64);
  EXPECT_EQ(s[2].y1, 64);
  EXPECT_EQ(s[2].x2, 64);
  EXPECT_EQ(s[2].y2, 0);

  // Left side only: the reversed seg alone.
  EXPECT_EQ(s[3].lineDef, 2);
  EXPECT_EQ(s[3].direction, 1);
  EXPECT_EQ(s[3].rightSector, -1);
  EXPECT_EQ(s[3].leftSector, 8);
  EXPECT_EQ(s[3].startVertex, 3);
  EXPECT_EQ(s[3].angle, 0);  // from (0,64) to (64,64)

  // A sidedef number naming no record still makes a seg, and so does any
  // negative number but -1; their sectors are -1.
  EXPECT_EQ(s[4].lineDef, 3);
  EXPECT_EQ(s[4].direction, 0);
  EXPECT_EQ(s[4].rightSector, -1);
  EXPECT_EQ(s[4].leftSector, -1);
  EXPECT_EQ(s[4].angle, 49151);
  EXPECT_EQ(s[5].lineDef, 3);
  EXPECT_EQ(s[5].direction, 1);
  EXPECT_EQ(s[5].leftSideDef, -2);
  EXPECT_EQ(s[5].angle, 16384);

  for (int i = 0; i < 6; i++) {
    EXPECT_EQ(s[i].offset, 0);
    EXPECT_EQ(s[i].deltaX, s[i].x1 - s[i].x2);
    EXPECT_EQ(s[i].deltaY, s[i].y1 - s[i].y2);
  }
  ReleaseSegList(&list);
}

TEST_F(SegsTest, CoordinatesAreSignExtendedAndZeroLengthHasAngleZero) {
  PutLevel({{-32768, 32767}, {-32768, 32767}, {-5, -7}}, {{0, 1, 0, -1}, {1, 2, 0, -1}}, {0});
  SegList list = CreateSegs();
  ASSERT_EQ(list.count, 2);
  EXPECT_EQ(list.segs[0].x1, -32768);
  EXPECT_EQ(list.segs[0].y2, 32767);
  EXPECT_EQ(list.segs[0].angle, 0);
  EXPECT_EQ(list.segs[1].x2, -5);
  EXPECT_EQ(list.segs[1].deltaY, 32767 + 7);
  ReleaseSegList(&list);
}

TEST_F(SegsTest, NoUsedSideGivesAnEmptyList) {
  PutLevel({{0, 0}, {1, 1}}, {{0, 1, -1, -1}}, {0});
  SegList list = CreateSegs();
  EXPECT_EQ(list.count, 0);
  EXPECT_EQ(list.segs, nullptr);
  EXPECT_EQ(StatusRow, 18);
}

TEST_F(SegsTest, StatusLineAndBar) {
  PutLevel({{0, 0}, {1, 1}}, {{0, 1, 0, -1}, {1, 0, 0, -1}, {0, 1, 0, 0}}, {0});
  // Log mode draws nothing but still moves to the next row.
  BarColumn = 7;
  SegList list = CreateSegs();
  EXPECT_EQ(list.count, 4);
  EXPECT_EQ(StatusRow, 18);
  EXPECT_EQ(BarColumn, 7);
  ReleaseSegList(&list);

  LogMode = false;
  ::testing::internal::CaptureStdout();
  list = CreateSegs();
  std::string screen = ::testing::internal::GetCapturedStdout();
  EXPECT_EQ(PlainText(screen).find("Making Segs ...    3"), 0u);
  EXPECT_EQ(StatusRow, 19);
  EXPECT_EQ(BarColumn, 80);  // the bar from column 30 is full
  ReleaseSegList(&list);
}

}  // namespace
