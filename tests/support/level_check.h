// Reads WAD files and checks a rebuilt level: that everything the node
// builder must keep is kept, and that the SEGS, SSECTORS, NODES, VERTEXES
// and BLOCKMAP it wrote describe a sound partition of the level.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct WadEntry {
  std::string name;  // up to 8 characters, without trailing NULs
  int32_t filePos = 0;
  int32_t size = 0;
};

struct WadImage {
  std::string identification;  // "IWAD" or "PWAD"
  int32_t directoryOffset = 0;
  std::vector<WadEntry> entries;
  std::vector<uint8_t> bytes;  // the whole file
};

// Parses a WAD held in memory. Returns "" when the header and directory are
// readable and every entry's data lies inside the file, else what is wrong.
std::string ParseWad(std::vector<uint8_t> bytes, WadImage* wad);
std::string LoadWad(const std::string& path, WadImage* wad);
std::vector<uint8_t> EntryBytes(const WadImage& wad, size_t index);

// The index of the first entry named exactly `name`, or -1.
int FindEntry(const WadImage& wad, const std::string& name);

// The ten lumps that follow a level marker, in their order.
extern const char* const kLevelLumpNames[10];

// The markers of the levels in a WAD: entries followed by the ten level
// lumps in their standard order.
std::vector<std::string> ListLevels(const WadImage& wad);

struct LevelCheckOptions {
  // Greatest distance, in map units, of a seg end point from its linedef's
  // line and beyond its linedef's ends. Cut points are rounded to whole
  // units, and later cuts of a cut piece drift further from the line.
  double lineTolerance = 3.0;
  // Greatest difference between a seg's offset and the distance of its
  // start from the start of its linedef side.
  double offsetTolerance = 3.0;
  // Greatest gap or overlap between the pieces of one linedef side.
  double coverageTolerance = 3.0;
  // Greatest difference, in binary angle units (65536 to the circle),
  // between a seg's angle and its linedef side's direction.
  int angleTolerance = 2;
  // Also accept an angle close to the direction of the seg's own end points
  // (other node builders take it from there; this program copies the angle
  // of the whole linedef side to every piece).
  bool angleFromSegVertexes = false;
  // Greatest distance a seg end point of a subsector may lie behind the
  // line of another seg of that subsector.
  double convexTolerance = 2.0;
  // Greatest distance a seg end point may lie on the wrong side of the
  // partition line of a node above it.
  double sideTolerance = 3.0;
  // Also require the BLOCKMAP layout this program writes (one shared empty
  // list, unshared lists in block order, nothing else in the lump).
  bool strictBlockmapLayout = true;
  // Check BLOCKMAP at all (other tools leave out lines nothing collides with).
  bool checkBlockmap = true;
  // Also require every vertex after the linedefs' vertexes to be an end
  // point of some seg.
  bool requireUsedCutPoints = true;
  // Also require the order this program writes the tree in: subsectors
  // whose segs follow each other through SEGS, numbered as a walk of the
  // tree meets them back (left) child first; nodes numbered after both
  // subtrees, the front (right) subtree first; and boxes that fit their
  // subtrees' segs exactly; and every partition line runs from the start of
  // a seg of its subtree to the end of a seg of the same linedef side (the
  // partition seg and its pieces).
  bool exactTreeLayout = true;
  // The root was placed by an axis mode, where the line may follow the cut
  // rather than a seg.
  bool axisRoot = false;
  // Also require this program's own arithmetic: every seg carries the angle
  // of its whole linedef side, atan2 of the side's direction in x87 extended
  // precision times 10430.378350470453131748627129, truncated (0 for a side
  // of zero length), and the offset is the distance from the side's start
  // to the seg's start, truncated.
  bool exactArithmetic = true;
};

// The largest deviations seen, to tune the tolerances and to report.
struct LevelCheckStats {
  double lineDistance = 0;
  double offsetError = 0;
  int angleError = 0;
  double coverageError = 0;
  double convexDepth = 0;
  double sideDepth = 0;
  int vertexes = 0, segs = 0, subsectors = 0, nodes = 0, depth = 0;
};

// Checks the partition of one level of a WAD on its own: SEGS against
// LINEDEFS and SIDEDEFS, SSECTORS, the NODES tree and BLOCKMAP. Works on
// levels built by any node builder (then with strictBlockmapLayout,
// requireUsedCutPoints, exactTreeLayout and exactArithmetic off). Returns the problems found, empty when sound.
std::vector<std::string> CheckLevelPartition(const WadImage& wad, const std::string& level,
                                             const LevelCheckOptions& options,
                                             LevelCheckStats* stats = nullptr);

// Checks a rebuilt level against the WAD it was built from: the directory
// and every lump outside the level unchanged, the output packed from offset
// 12 in directory order; THINGS, SIDEDEFS and SECTORS as read; REJECT sized
// for the sector count; LINEDEFS unchanged but for the renumbered vertexes;
// VERTEXES the used input vertexes in order, then cut points; and then the
// partition itself as CheckLevelPartition does.
std::vector<std::string> CheckRebuiltLevel(const WadImage& input, const WadImage& output,
                                           const std::string& level, const LevelCheckOptions& options,
                                           LevelCheckStats* stats = nullptr);
