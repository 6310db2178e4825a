// SPDX-License-Identifier: GPL-2.0-or-later
// Reading GL nodes from SSECTORS: every form decodes to the same sound
// tree, XGL3 keeps its fractional partition lines, and a stream that is
// short, does not inflate or names records that do not exist is a
// problem, never a crash.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/check/gl_fixture.h"

namespace {

TEST_F(GlNodesTest, EveryFormReadsAsTheSameSoundTree) {
  for (const char* form : {"XGLN", "XGL2", "XGL3", "ZGLN", "ZGL2", "ZGL3"}) {
    format = form;
    LevelReport report = Run();
    EXPECT_EQ(report.problems, 0) << form << "\n" << All(ReportLines("MAP01", report));
    EXPECT_EQ(report.warnings, 0) << form << "\n" << All(ReportLines("MAP01", report));
    EXPECT_EQ(FormatSummary("MAP01", report),
              "MAP01: sound (8 segs, 2 subsectors, 1 node, " + std::string(form) + " nodes)");
  }
}

TEST_F(GlNodesTest, Xgl3PartitionLinesKeepTheirFractions) {
  // The partition at x = 40.5: XGL3 stores it; XGLN can only say 40.
  const int32_t x = Fixed(40) + Fixed(1) / 2;
  stream.vertexes = {{x, Fixed(128)}, {x, Fixed(0)}};
  stream.nodes[0].x = x;
  stream.nodes[0].box[0][2] = 40;
  stream.nodes[0].box[1][3] = 40;
  format = "XGL3";
  std::vector<std::string> lines = Lines();
  EXPECT_TRUE(lines.empty()) << All(lines);
  format = "XGLN";
  lines = Lines();
  EXPECT_TRUE(
      Has(lines, "GL seg 2, a miniseg of subsector 0, runs (40.5,128)-(40.5,0) along no partition line"))
      << All(lines);
}

TEST_F(GlNodesTest, Xgl2NumbersLinedefsInThirtyTwoBits) {
  stream.segs[0].line = 0x10000;  // XGLN keeps the low 16 bits: linedef 0
  format = "XGLN";
  std::vector<std::string> lines = Lines();
  EXPECT_TRUE(lines.empty()) << All(lines);
  format = "XGL2";
  EXPECT_TRUE(Has(Lines(), "MAP01 SSECTORS 0: GL seg 0 names linedef 65536, LINEDEFS has 4"));
}

TEST_F(GlNodesTest, EveryCutOfTheStreamIsAProblem) {
  for (const char* form : {"XGLN", "XGL2", "XGL3", "ZGL3"}) {
    format = form;
    const size_t size = EncodeGlStream(stream, format).size();
    for (size_t keep = 4; keep < size; keep++) {
      patch = [keep](std::vector<uint8_t>& lump) { lump.resize(keep); };
      LevelReport report = Run();
      std::vector<std::string> lines = ReportLines("MAP01", report);
      ASSERT_GT(report.problems, 0) << form << " cut to " << keep << " bytes";
      EXPECT_TRUE(Has(lines, form[0] == 'Z' ? "stream does not inflate" : "stream ends inside its"))
          << form << " cut to " << keep << " bytes\n"
          << All(lines);
    }
  }
}

struct StreamCase {
  const char* name;
  std::function<void(GlNodesTest*)> change;
  const char* problem;
};

TEST_F(GlNodesTest, DamagedStreamsAreProblems) {
  const std::vector<StreamCase> cases = {
      {"bad zlib data",
       [](GlNodesTest* t) {
         t->format = "ZGLN";
         t->patch = [](std::vector<uint8_t>& lump) { lump[lump.size() / 2] ^= 0x55; };
       },
       "SSECTORS -: the ZGLN stream does not inflate"},
      {"bytes after the nodes",
       [](GlNodesTest* t) {
         t->patch = [](std::vector<uint8_t>& lump) { lump.insert(lump.end(), {1, 2, 3}); };
       },
       "the XGLN stream has 3 bytes after its nodes"},
      {"another count of the linedefs' vertexes", [](GlNodesTest* t) { t->stream.originalVertexes = 5; },
       "the XGLN stream counts 5 vertexes before its own, VERTEXES has 4"},
      {"subsectors that hold more segs than there are", [](GlNodesTest* t) { t->stream.subsectors[1] = 5; },
       "the XGLN subsectors hold 9 segs, the stream has 8"},
      {"a subsector that runs past the segs", [](GlNodesTest* t) { t->stream.subsectors[1] = 5; },
       "GL subsector 1 holds GL segs 4 to 8, there are 8"},
      {"segs in no subsector", [](GlNodesTest* t) { t->stream.subsectors[1] = 3; },
       "the XGLN subsectors hold 7 segs, the stream has 8"},
      {"a subsector without segs",
       [](GlNodesTest* t) {
         t->stream.subsectors = {4, 4, 0};
         t->stream.nodes[0].child[0] = kStreamSubsector | 2;
       },
       "GL subsector 2 has no seg"},
      {"a partner out of range", [](GlNodesTest* t) { t->stream.segs[0].partner = 99; },
       "SSECTORS 0: GL seg 0 names partner 99, there are 8 GL segs"},
      {"a vertex out of range", [](GlNodesTest* t) { t->stream.segs[0].v1 = 40; },
       "SSECTORS 0: GL seg 0 names vertex 40, there are 6"},
      {"a vertex number of all ones", [](GlNodesTest* t) { t->stream.segs[4].v1 = 0xFFFFFFFFu; },
       "SSECTORS 4: GL seg 4 names vertex 4294967295, there are 6"},
      {"a linedef out of range", [](GlNodesTest* t) { t->stream.segs[5].line = 9; },
       "SSECTORS 5: GL seg 5 names linedef 9, LINEDEFS has 4"},
      {"a side that is neither", [](GlNodesTest* t) { t->stream.segs[5].side = 2; }, "GL seg 5 has side 2"},
      {"a subsector child out of range",
       [](GlNodesTest* t) { t->stream.nodes[0].child[0] = kStreamSubsector | 5; },
       "GL node 0 right child names subsector 5, there are 2"},
      {"a node child out of range", [](GlNodesTest* t) { t->stream.nodes[0].child[1] = 3; },
       "GL node 0 left child names node 3, there are 1"},
      {"a node child with every bit set", [](GlNodesTest* t) { t->stream.nodes[0].child[1] = 0x7FFFFFFF; },
       "GL node 0 left child names node 2147483647, there are 1"},
  };
  for (const StreamCase& c : cases) {
    stream = GlSquareRoomStream();
    format = "XGLN";
    patch = nullptr;
    c.change(this);
    std::vector<std::string> lines = Lines();
    EXPECT_TRUE(Has(lines, c.problem)) << c.name << ":\n" << All(lines);
  }
}

TEST_F(GlNodesTest, ExtendedNodesBesideAreCheckedToo) {
  nodes = EncodeExtendedFromGl(stream, "ZNOD");
  LevelReport report = Run();
  EXPECT_EQ(report.problems, 0) << All(ReportLines("MAP01", report));
  EXPECT_EQ(
      FormatSummary("MAP01", report),
      "MAP01: sound (6 segs, 2 subsectors, 1 node, ZNOD nodes; 8 segs, 2 subsectors, 1 node, XGLN nodes)");

  // A fault in the normal tree alone, then in the GL tree alone.
  GlStream swapped = stream;
  std::swap(swapped.nodes[0].child[0], swapped.nodes[0].child[1]);
  nodes = EncodeExtendedFromGl(swapped, "XNOD");
  std::vector<std::string> lines = Lines();
  EXPECT_TRUE(Has(lines, "MAP01 NODES 0: seg 0 of subsector 0 has (0,0) 64.00 units left of node 0's line"))
      << All(lines);
  EXPECT_FALSE(Has(lines, "GL")) << All(lines);
  nodes = EncodeExtendedFromGl(stream, "XNOD");
  stream = swapped;
  lines = Lines();
  EXPECT_TRUE(Has(lines, "units left of GL node 0's line (64,0)+(0,128), but lies under its right child"))
      << All(lines);
  EXPECT_FALSE(Has(lines, " NODES ")) << All(lines);
}

TEST_F(GlNodesTest, OtherLumpsBesideGlNodes) {
  struct Beside {
    std::vector<uint8_t> segs, nodes;
    const char* problem;
  };
  const std::vector<Beside> cases = {
      {{},
       std::vector<uint8_t>(28, 0),
       "NODES -: 28 bytes beside XGLN nodes in SSECTORS, which need it empty"},
      {std::vector<uint8_t>(12, 0),
       {},
       "SEGS -: 12 bytes beside XGLN nodes in SSECTORS, which need it empty"},
      {std::vector<uint8_t>(12, 0), EncodeExtendedFromGl(GlSquareRoomStream(), "XNOD"),
       "SEGS -: 12 bytes beside XNOD nodes, which need it empty"},
      {{},
       EncodeGlStream(GlSquareRoomStream(), "XGLN"),
       "NODES -: the nodes are in the extended format XGLN"},
  };
  for (const Beside& c : cases) {
    segs = c.segs;
    nodes = c.nodes;
    std::vector<std::string> lines = Lines();
    EXPECT_TRUE(Has(lines, c.problem)) << c.problem << ":\n" << All(lines);
  }
}

TEST_F(GlNodesTest, AGlStreamInNodesAloneIsNotRead) {
  // GL nodes belong in SSECTORS: in NODES they are another format.
  WadBuilder wad;
  wad.AddLevel("MAP01", level);
  for (TestLump& entry : wad.lumps)
    if (entry.name == "NODES") entry.data = EncodeGlStream(stream, "XGL3");
  std::vector<std::string> lines =
      ReportLines("MAP01", CheckLevelPartition(Image(wad.Build()), "MAP01", SoundnessOptions()));
  EXPECT_TRUE(Has(lines, "MAP01 NODES -: the nodes are in the extended format XGL3")) << All(lines);
}

}  // namespace

namespace {

TEST_F(GlNodesTest, ExtendedChildNumbersPastTheirRangeNameNothing) {
  // Bit 30 is no flag of XNOD: these name a node and a subsector that do
  // not exist, not subsectors 0 and 5.
  GlStream tree = stream;
  tree.nodes[0].child[0] = 0x40000000u;
  tree.nodes[0].child[1] = 0xC0000000u;
  nodes = EncodeExtendedFromGl(tree, "XNOD");
  std::vector<std::string> lines = Lines();
  EXPECT_TRUE(Has(lines, "MAP01 NODES 0: node 0 right child names node 1073741823, NODES has 1"))
      << All(lines);
  EXPECT_TRUE(Has(lines, "MAP01 NODES 0: node 0 left child names subsector 1073741823, SSECTORS has 2"))
      << All(lines);
  EXPECT_TRUE(Has(lines, "MAP01 SSECTORS 0: subsector 0 is not reached from the root")) << All(lines);
}

}  // namespace
