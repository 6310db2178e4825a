#include "tests/support/level_check.h"

#include <algorithm>
#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <map>
#include <utility>

#include "tests/support/blockmap_check.h"

const char* const kLevelLumpNames[10] = {"THINGS", "LINEDEFS", "SIDEDEFS", "VERTEXES", "SEGS",
                                         "SSECTORS", "NODES",    "SECTORS",  "REJECT",   "BLOCKMAP"};

namespace {

// Level slots, counted from the marker.
enum Slot { kThings = 1, kLineDefs, kSideDefs, kVertexes, kSegs, kSubsectors, kNodes, kSectors, kReject, kBlockmap };

constexpr double kPi = 3.14159265358979323846;

std::string Format(const char* format, ...) {
  char buffer[512];
  va_list args;
  va_start(args, format);
  std::vsnprintf(buffer, sizeof buffer, format, args);
  va_end(args);
  return buffer;
}

int32_t Get32(const std::vector<uint8_t>& bytes, size_t at) {
  return static_cast<int32_t>(static_cast<uint32_t>(bytes[at]) | (static_cast<uint32_t>(bytes[at + 1]) << 8) |
                              (static_cast<uint32_t>(bytes[at + 2]) << 16) |
                              (static_cast<uint32_t>(bytes[at + 3]) << 24));
}

int U16(const std::vector<uint8_t>& bytes, size_t at) { return bytes[at] | (bytes[at + 1] << 8); }

int S16(const std::vector<uint8_t>& bytes, size_t at) { return static_cast<int16_t>(U16(bytes, at)); }

// Collects problems, keeping at most a few of each kind so that a badly
// broken level still gives a readable report.
class Problems {
 public:
  explicit Problems(std::vector<std::string>* out, std::string prefix = "") : out_(out), prefix_(std::move(prefix)) {}
  ~Problems() {
    for (const auto& [kind, count] : counts_) {
      if (count > kPerKind)
        out_->push_back(Format("... and %d more %s%s problems", count - kPerKind, prefix_.c_str(), kind.c_str()));
    }
  }
  void Add(const std::string& kind, const std::string& text) {
    int& count = counts_[kind];
    if (++count <= kPerKind) out_->push_back(prefix_ + kind + ": " + text);
  }
  bool Any() const { return !counts_.empty(); }

 private:
  static constexpr int kPerKind = 25;
  std::vector<std::string>* out_;
  std::string prefix_;
  std::map<std::string, int> counts_;
};

struct Point {
  int x, y;
  bool operator==(const Point& o) const { return x == o.x && y == o.y; }
};

struct Line {
  int v1, v2;       // vertex numbers as written (unsigned 16-bit)
  int side[2];      // right and left sidedef, 0xFFFF for none
  bool valid;       // both vertex numbers name vertexes
};

struct Seg {
  int v1, v2, angle, line, direction, offset;
  bool valid;  // vertexes, linedef, direction and side all exist
};

struct Subsector {
  int count, first;
};

struct Node {
  int x, y, dx, dy;
  int box[2][4];  // right, left: top, bottom, left, right
  int child[2];   // right (front), left (back)
};

// One level of a WAD, decoded.
struct Level {
  int marker = -1;
  bool hexen = false;
  std::vector<uint8_t> lumps[11];  // by slot, 1 to 10
  std::vector<Point> vertexes;
  std::vector<Line> lines;
  std::vector<int> sideSectors;
  std::vector<Seg> segs;
  std::vector<Subsector> subsectors;
  std::vector<Node> nodes;
};

int LineRecordSize(bool hexen) { return hexen ? 16 : 14; }

// Finds the level's marker and reads its ten lumps; false (with the
// problem noted) when the level is missing or its lumps are not in place.
bool ReadLevel(const WadImage& wad, const std::string& name, Level* level, Problems* problems) {
  int marker = FindEntry(wad, name);
  if (marker < 0) {
    problems->Add("level", "no entry named " + name);
    return false;
  }
  if (marker + 10 >= static_cast<int>(wad.entries.size())) {
    problems->Add("level", Format("%s at entry %d is not followed by ten lumps", name.c_str(), marker));
    return false;
  }
  for (int slot = 1; slot <= 10; slot++) {
    const std::string& found = wad.entries[marker + slot].name;
    if (found != kLevelLumpNames[slot - 1]) {
      problems->Add("level", Format("entry %d after %s is %s, expected %s", marker + slot, name.c_str(),
                                    found.c_str(), kLevelLumpNames[slot - 1]));
      return false;
    }
    level->lumps[slot] = EntryBytes(wad, marker + slot);
  }
  level->marker = marker;
  level->hexen = marker + 11 < static_cast<int>(wad.entries.size()) && wad.entries[marker + 11].name == "BEHAVIOR";
  return true;
}

void DecodeVertexes(const std::vector<uint8_t>& lump, std::vector<Point>* out) {
  out->clear();
  for (size_t at = 0; at + 4 <= lump.size(); at += 4) out->push_back({S16(lump, at), S16(lump, at + 2)});
}

void DecodeLevel(Level* level, Problems* problems) {
  DecodeVertexes(level->lumps[kVertexes], &level->vertexes);
  if (level->lumps[kVertexes].size() % 4 != 0)
    problems->Add("lumps", Format("VERTEXES is %zu bytes, not whole 4-byte records", level->lumps[kVertexes].size()));

  const std::vector<uint8_t>& lines = level->lumps[kLineDefs];
  size_t record = LineRecordSize(level->hexen);
  size_t sideAt = level->hexen ? 12 : 10;
  for (size_t at = 0; at + record <= lines.size(); at += record) {
    Line line;
    line.v1 = U16(lines, at);
    line.v2 = U16(lines, at + 2);
    line.side[0] = U16(lines, at + sideAt);
    line.side[1] = U16(lines, at + sideAt + 2);
    line.valid = line.v1 < static_cast<int>(level->vertexes.size()) &&
                 line.v2 < static_cast<int>(level->vertexes.size());
    if (!line.valid) {
      problems->Add("linedefs", Format("linedef %zu names vertexes %d and %d, VERTEXES has %zu", level->lines.size(),
                                       line.v1, line.v2, level->vertexes.size()));
    }
    level->lines.push_back(line);
  }

  const std::vector<uint8_t>& sides = level->lumps[kSideDefs];
  for (size_t at = 0; at + 30 <= sides.size(); at += 30) level->sideSectors.push_back(S16(sides, at + 28));

  const std::vector<uint8_t>& segs = level->lumps[kSegs];
  if (segs.size() % 12 != 0) problems->Add("lumps", Format("SEGS is %zu bytes, not whole 12-byte records", segs.size()));
  for (size_t at = 0; at + 12 <= segs.size(); at += 12) {
    Seg seg{U16(segs, at), U16(segs, at + 2), U16(segs, at + 4), U16(segs, at + 6), U16(segs, at + 8),
            U16(segs, at + 10), false};
    level->segs.push_back(seg);
  }

  const std::vector<uint8_t>& subsectors = level->lumps[kSubsectors];
  if (subsectors.size() % 4 != 0)
    problems->Add("lumps", Format("SSECTORS is %zu bytes, not whole 4-byte records", subsectors.size()));
  for (size_t at = 0; at + 4 <= subsectors.size(); at += 4)
    level->subsectors.push_back({U16(subsectors, at), U16(subsectors, at + 2)});

  const std::vector<uint8_t>& nodes = level->lumps[kNodes];
  if (nodes.size() % 28 != 0) problems->Add("lumps", Format("NODES is %zu bytes, not whole 28-byte records", nodes.size()));
  for (size_t at = 0; at + 28 <= nodes.size(); at += 28) {
    Node node;
    node.x = S16(nodes, at);
    node.y = S16(nodes, at + 2);
    node.dx = S16(nodes, at + 4);
    node.dy = S16(nodes, at + 6);
    for (int side = 0; side < 2; side++)
      for (int k = 0; k < 4; k++) node.box[side][k] = S16(nodes, at + 8 + 8 * side + 2 * k);
    node.child[0] = U16(nodes, at + 24);
    node.child[1] = U16(nodes, at + 26);
    level->nodes.push_back(node);
  }
}

// Binary angle of a direction, as a real number in [0, 65536).
double BinaryAngle(double dx, double dy) {
  double a = std::atan2(dy, dx) * 32768.0 / kPi;
  if (a < 0) a += 65536.0;
  return a;
}

int AngleDifference(int a, double b) {
  double d = std::fabs(a - b);
  d = std::fmod(d, 65536.0);
  if (d > 32768.0) d = 65536.0 - d;
  return static_cast<int>(std::ceil(d - 1e-9));
}

// The binary angle this program gives a direction: extended precision,
// truncated, the low 16 bits kept.
int ExactAngle(int dx, int dy) {
  if (dx == 0 && dy == 0) return 0;
  const long double k = 10430.378350470453131748627129L;
  long double a = atan2l(static_cast<long double>(dy), static_cast<long double>(dx)) * k;
  if (a < 0) a += 65536.0L;
  return static_cast<int>(static_cast<int64_t>(a) & 0xFFFF);
}

// The whole part of the square root of n.
int64_t WholeRoot(int64_t n) {
  int64_t r = static_cast<int64_t>(std::sqrt(static_cast<double>(n)));
  while (r * r > n) r--;
  while ((r + 1) * (r + 1) <= n) r++;
  return r;
}

int SideSector(const Level& level, int sidedef) {
  if (sidedef < 0 || sidedef >= static_cast<int>(level.sideSectors.size())) return -1;
  return level.sideSectors[sidedef];
}

// A linedef side as a directed segment from its start.
struct SideFrame {
  double x0, y0, ux, uy, length;
  // Distance along the side and distance from its line (positive left).
  void Place(const Point& p, double* along, double* across) const {
    double px = p.x - x0, py = p.y - y0;
    if (length == 0) {
      *along = 0;
      *across = std::hypot(px, py);
      return;
    }
    *along = px * ux + py * uy;
    *across = ux * py - uy * px;
  }
};

SideFrame FrameOf(const Level& level, const Line& line, int direction) {
  Point a = level.vertexes[direction == 0 ? line.v1 : line.v2];
  Point b = level.vertexes[direction == 0 ? line.v2 : line.v1];
  SideFrame frame{double(a.x), double(a.y), 0, 0, std::hypot(double(b.x - a.x), double(b.y - a.y))};
  if (frame.length > 0) {
    frame.ux = (b.x - a.x) / frame.length;
    frame.uy = (b.y - a.y) / frame.length;
  }
  return frame;
}

void CheckSegs(Level& level, const LevelCheckOptions& options, Problems* problems, LevelCheckStats* stats) {
  const int vertexCount = static_cast<int>(level.vertexes.size());
  const int lineCount = static_cast<int>(level.lines.size());
  struct Piece {
    double start, end;
    int seg;
  };
  std::map<std::pair<int, int>, std::vector<Piece>> pieces;

  for (size_t i = 0; i < level.segs.size(); i++) {
    Seg& seg = level.segs[i];
    if (seg.v1 >= vertexCount || seg.v2 >= vertexCount) {
      problems->Add("segs", Format("seg %zu names vertexes %d and %d, VERTEXES has %d", i, seg.v1, seg.v2, vertexCount));
      continue;
    }
    if (seg.line >= lineCount) {
      problems->Add("segs", Format("seg %zu names linedef %d, LINEDEFS has %d", i, seg.line, lineCount));
      continue;
    }
    if (seg.direction != 0 && seg.direction != 1) {
      problems->Add("segs", Format("seg %zu has direction %d", i, seg.direction));
      continue;
    }
    const Line& line = level.lines[seg.line];
    if (line.side[seg.direction] == 0xFFFF) {
      problems->Add("segs", Format("seg %zu lies on the %s side of linedef %d, which has no sidedef", i,
                                   seg.direction ? "left" : "right", seg.line));
      continue;
    }
    seg.valid = true;
    if (!line.valid) continue;

    SideFrame frame = FrameOf(level, line, seg.direction);
    const Point& p1 = level.vertexes[seg.v1];
    const Point& p2 = level.vertexes[seg.v2];
    double along1, across1, along2, across2;
    frame.Place(p1, &along1, &across1);
    frame.Place(p2, &along2, &across2);
    double off = std::max(std::fabs(across1), std::fabs(across2));
    stats->lineDistance = std::max(stats->lineDistance, off);
    if (off > options.lineTolerance) {
      problems->Add("segs", Format("seg %zu (%d,%d)-(%d,%d) lies %.2f units off linedef %d", i, p1.x, p1.y, p2.x, p2.y,
                                   off, seg.line));
    }
    double beyond = std::max({-along1, -along2, along1 - frame.length, along2 - frame.length, 0.0});
    stats->lineDistance = std::max(stats->lineDistance, beyond);
    if (beyond > options.lineTolerance) {
      problems->Add("segs", Format("seg %zu (%d,%d)-(%d,%d) reaches %.2f units beyond the ends of linedef %d", i, p1.x,
                                   p1.y, p2.x, p2.y, beyond, seg.line));
    }
    if (p1 == p2) {
      if (frame.length > 0)
        problems->Add("segs", Format("seg %zu of linedef %d has zero length at (%d,%d)", i, seg.line, p1.x, p1.y));
    } else if (frame.length > 0 && along2 <= along1) {
      problems->Add("segs", Format("seg %zu (%d,%d)-(%d,%d) runs against the %s side of linedef %d", i, p1.x, p1.y, p2.x,
                                   p2.y, seg.direction ? "left" : "right", seg.line));
    }
    if (frame.length > 0) {
      int error = AngleDifference(seg.angle, BinaryAngle(frame.ux, frame.uy));
      if (options.angleFromSegVertexes && !(p1 == p2))
        error = std::min(error, AngleDifference(seg.angle, BinaryAngle(p2.x - p1.x, p2.y - p1.y)));
      stats->angleError = std::max(stats->angleError, error);
      if (error > options.angleTolerance) {
        problems->Add("segs", Format("seg %zu has angle %d, its side of linedef %d runs at %.1f", i, seg.angle, seg.line,
                                     BinaryAngle(frame.ux, frame.uy)));
      }
    }
    if (options.exactArithmetic) {
      const Point& a = level.vertexes[seg.direction == 0 ? line.v1 : line.v2];
      const Point& b = level.vertexes[seg.direction == 0 ? line.v2 : line.v1];
      int angle = ExactAngle(b.x - a.x, b.y - a.y);
      if (seg.angle != angle) {
        problems->Add("arithmetic", Format("seg %zu has angle %d, the %s side of linedef %d has %d", i, seg.angle,
                                           seg.direction ? "left" : "right", seg.line, angle));
      }
      int64_t dx = p1.x - a.x, dy = p1.y - a.y;
      int offset = static_cast<int>(WholeRoot(dx * dx + dy * dy) & 0xFFFF);
      if (seg.offset != offset) {
        problems->Add("arithmetic", Format("seg %zu has offset %d, its start lies %d whole units from the start of "
                                           "its side of linedef %d",
                                           i, seg.offset, offset, seg.line));
      }
    }
    double distance = std::hypot(p1.x - frame.x0, p1.y - frame.y0);
    double offsetError = std::fabs(seg.offset - distance);
    stats->offsetError = std::max(stats->offsetError, offsetError);
    if (offsetError > options.offsetTolerance) {
      problems->Add("segs", Format("seg %zu has offset %d, its start lies %.2f from the start of its side of linedef %d",
                                   i, seg.offset, distance, seg.line));
    }
    pieces[{seg.line, seg.direction}].push_back({along1, along2, static_cast<int>(i)});
  }

  // Every side with a sidedef is covered by its segs exactly once.
  for (int i = 0; i < lineCount; i++) {
    const Line& line = level.lines[i];
    if (!line.valid) continue;
    for (int direction = 0; direction < 2; direction++) {
      if (line.side[direction] == 0xFFFF) continue;  // segs there were reported above
      SideFrame frame = FrameOf(level, line, direction);
      auto found = pieces.find({i, direction});
      if (frame.length == 0) continue;  // nothing to cover
      const char* sideName = direction ? "left" : "right";
      if (found == pieces.end()) {
        problems->Add("coverage", Format("the %s side of linedef %d has no seg", sideName, i));
        continue;
      }
      std::vector<Piece> list = found->second;
      std::sort(list.begin(), list.end(), [](const Piece& a, const Piece& b) { return a.start < b.start; });
      double reached = 0;
      for (size_t k = 0; k < list.size(); k++) {
        double gap = list[k].start - reached;
        stats->coverageError = std::max(stats->coverageError, std::fabs(gap));
        if (gap > options.coverageTolerance) {
          problems->Add("coverage", Format("the %s side of linedef %d is not covered from %.1f to %.1f (length %.1f)",
                                           sideName, i, reached, list[k].start, frame.length));
        } else if (gap < -options.coverageTolerance) {
          problems->Add("coverage", Format("the %s side of linedef %d is covered twice from %.1f to %.1f (seg %d)",
                                           sideName, i, list[k].start, std::min(reached, list[k].end), list[k].seg));
        }
        reached = k == 0 ? list[k].end : std::max(reached, list[k].end);
      }
      double tail = frame.length - reached;
      stats->coverageError = std::max(stats->coverageError, std::fabs(tail));
      if (std::fabs(tail) > options.coverageTolerance) {
        problems->Add("coverage", Format("the segs of the %s side of linedef %d end at %.1f, the side at %.1f", sideName,
                                         i, reached, frame.length));
      }
    }
  }
}

void CheckSubsectors(const Level& level, const LevelCheckOptions& options, Problems* problems,
                     LevelCheckStats* stats) {
  const int segCount = static_cast<int>(level.segs.size());
  std::vector<int> owner(segCount, -1);
  int nextSeg = 0;
  for (size_t s = 0; s < level.subsectors.size(); s++) {
    const Subsector& sub = level.subsectors[s];
    if (options.exactTreeLayout && sub.first != nextSeg) {
      problems->Add("layout", Format("subsector %zu starts at seg %d, the one before it ends before seg %d", s,
                                     sub.first, nextSeg));
    }
    nextSeg = sub.first + sub.count;
    if (sub.count == 0) {
      problems->Add("subsectors", Format("subsector %zu has no seg", s));
      continue;
    }
    if (sub.first + sub.count > segCount) {
      problems->Add("subsectors", Format("subsector %zu holds segs %d to %d, SEGS has %d", s, sub.first,
                                         sub.first + sub.count - 1, segCount));
      continue;
    }
    int sector = 0;
    bool sectorKnown = false;
    for (int k = sub.first; k < sub.first + sub.count; k++) {
      if (owner[k] >= 0) {
        problems->Add("subsectors", Format("seg %d belongs to subsectors %d and %zu", k, owner[k], s));
      } else {
        owner[k] = static_cast<int>(s);
      }
      const Seg& seg = level.segs[k];
      if (!seg.valid) continue;
      int own = SideSector(level, level.lines[seg.line].side[seg.direction]);
      if (!sectorKnown) {
        sector = own;
        sectorKnown = true;
      } else if (own != sector) {
        problems->Add("subsectors", Format("subsector %zu mixes sectors %d and %d (seg %d)", s, sector, own, k));
      }
    }
    // Convex: no end point behind the line of another seg.
    for (int a = sub.first; a < sub.first + sub.count; a++) {
      const Seg& sa = level.segs[a];
      if (sa.v1 >= static_cast<int>(level.vertexes.size()) || sa.v2 >= static_cast<int>(level.vertexes.size())) continue;
      Point p = level.vertexes[sa.v1], q = level.vertexes[sa.v2];
      double length = std::hypot(double(q.x - p.x), double(q.y - p.y));
      if (length == 0) continue;
      for (int b = sub.first; b < sub.first + sub.count; b++) {
        if (b == a) continue;
        const Seg& sb = level.segs[b];
        for (int v : {sb.v1, sb.v2}) {
          if (v >= static_cast<int>(level.vertexes.size())) continue;
          const Point& r = level.vertexes[v];
          double left = (double(q.x - p.x) * (r.y - p.y) - double(q.y - p.y) * (r.x - p.x)) / length;
          stats->convexDepth = std::max(stats->convexDepth, left);
          if (left > options.convexTolerance) {
            problems->Add("convexity", Format("subsector %zu is not convex: seg %d ends at (%d,%d), %.2f behind seg %d "
                                              "(%d,%d)-(%d,%d)",
                                              s, b, r.x, r.y, left, a, p.x, p.y, q.x, q.y));
          }
        }
      }
    }
  }
  for (int k = 0; k < segCount; k++) {
    if (owner[k] < 0) problems->Add("subsectors", Format("seg %d belongs to no subsector", k));
  }
}

struct Box {
  int minX = 1 << 30, maxX = -(1 << 30), minY = 1 << 30, maxY = -(1 << 30);
  bool Empty() const { return minX > maxX; }
  void Add(const Point& p) {
    minX = std::min(minX, p.x);
    maxX = std::max(maxX, p.x);
    minY = std::min(minY, p.y);
    maxY = std::max(maxY, p.y);
  }
  void Add(const Box& b) {
    if (b.Empty()) return;
    minX = std::min(minX, b.minX);
    maxX = std::max(maxX, b.maxX);
    minY = std::min(minY, b.minY);
    maxY = std::max(maxY, b.maxY);
  }
};

class TreeWalk {
 public:
  TreeWalk(const Level& level, const LevelCheckOptions& options, Problems* problems, LevelCheckStats* stats)
      : level_(level), options_(options), problems_(problems), stats_(stats),
        nodeSeen_(level.nodes.size(), false), subsectorSeen_(level.subsectors.size(), false) {}

  void Run() {
    if (level_.nodes.empty()) {
      if (level_.subsectors.size() != 1)
        problems_->Add("nodes", Format("NODES is empty but there are %zu subsectors", level_.subsectors.size()));
      if (!level_.subsectors.empty()) VisitSubsector(0);
    } else {
      VisitNode(static_cast<int>(level_.nodes.size()) - 1);
      if (options_.exactTreeLayout) {
        ordered_.assign(level_.nodes.size(), false);
        CheckSubsectorOrder(static_cast<int>(level_.nodes.size()) - 1);
      }
    }
    for (size_t n = 0; n < nodeSeen_.size(); n++)
      if (!nodeSeen_[n]) problems_->Add("nodes", Format("node %zu is not reached from the root (the last node)", n));
    for (size_t s = 0; s < subsectorSeen_.size(); s++)
      if (!subsectorSeen_[s]) problems_->Add("nodes", Format("subsector %zu is not reached from the root", s));
  }

 private:
  struct Constraint {
    int node, side;  // side 0: right (front) of the line, 1: left (back)
    double x, y, dx, dy, length;
  };

  Box VisitChild(int child, int parent, int side) {
    if (child & 0x8000) {
      int s = child & 0x7FFF;
      if (s >= static_cast<int>(level_.subsectors.size())) {
        problems_->Add("nodes", Format("node %d %s child names subsector %d, SSECTORS has %zu", parent,
                                       side ? "left" : "right", s, level_.subsectors.size()));
        return Box();
      }
      return VisitSubsector(s);
    }
    if (child >= static_cast<int>(level_.nodes.size())) {
      problems_->Add("nodes", Format("node %d %s child names node %d, NODES has %zu", parent, side ? "left" : "right",
                                     child, level_.nodes.size()));
      return Box();
    }
    return VisitNode(child);
  }

  Box VisitNode(int n) {
    if (nodeSeen_[n]) {
      problems_->Add("nodes", Format("node %d is reached twice", n));
      return Box();
    }
    nodeSeen_[n] = true;
    const Node& node = level_.nodes[n];
    Box whole;
    size_t firstSeg = subtreeSegs_.size();
    // Front first: this program numbers the front subtree's nodes before the
    // back subtree's, and the node itself after both.
    for (int side = 0; side < 2; side++) {
      double length = std::hypot(double(node.dx), double(node.dy));
      bool pushed = false;
      if (length > 0) {
        path_.push_back({n, side, double(node.x), double(node.y), double(node.dx), double(node.dy), length});
        pushed = true;
      } else if (side == 0) {
        problems_->Add("nodes", Format("node %d has a partition line of zero length", n));
      }
      stats_->depth = std::max(stats_->depth, static_cast<int>(path_.size()));
      Box box = VisitChild(node.child[side], n, side);
      if (pushed) path_.pop_back();
      const int* b = node.box[side];  // top, bottom, left, right
      if (!box.Empty() && (b[0] < box.maxY || b[1] > box.minY || b[2] > box.minX || b[3] < box.maxX)) {
        problems_->Add("boxes", Format("node %d %s box x %d..%d y %d..%d does not hold its segs x %d..%d y %d..%d", n,
                                       side ? "left" : "right", b[2], b[3], b[1], b[0], box.minX, box.maxX, box.minY,
                                       box.maxY));
      } else if (!box.Empty() && options_.exactTreeLayout &&
                 (b[0] != box.maxY || b[1] != box.minY || b[2] != box.minX || b[3] != box.maxX)) {
        problems_->Add("boxes", Format("node %d %s box x %d..%d y %d..%d is wider than its segs x %d..%d y %d..%d", n,
                                       side ? "left" : "right", b[2], b[3], b[1], b[0], box.minX, box.maxX, box.minY,
                                       box.maxY));
      }
      whole.Add(box);
    }
    bool axisRoot = options_.axisRoot && n == static_cast<int>(level_.nodes.size()) - 1;
    if (options_.exactTreeLayout && !axisRoot) CheckLineFromSeg(n, firstSeg);
    if (options_.exactTreeLayout && n != nodesNumbered_) {
      problems_->Add("layout", Format("node %d should be number %d: nodes are numbered after their subtrees, the "
                                      "front subtree first",
                                      n, nodesNumbered_));
    }
    nodesNumbered_++;
    return whole;
  }

  // The node's direction leads from its start to `end`. A span longer than
  // 16 bits along x or y is written as a shorter direction along the same
  // line: pointing the same way, and passing within a unit of `end`.
  static bool RunsTo(const Node& node, Point end) {
    int64_t spanX = int64_t(end.x) - node.x, spanY = int64_t(end.y) - node.y;
    bool fits = spanX >= -32768 && spanX <= 32767 && spanY >= -32768 && spanY <= 32767;
    if (fits) return spanX == node.dx && spanY == node.dy;
    double cross = double(spanX) * node.dy - double(spanY) * node.dx;
    double dot = double(spanX) * node.dx + double(spanY) * node.dy;
    return dot > 0 && std::fabs(cross) <= std::sqrt(double(node.dx) * node.dx + double(node.dy) * node.dy);
  }

  // The partition line of node n runs along its partition seg: from the
  // start of a seg of the subtree to the end of a seg of the same side of
  // the same linedef (the same seg, or the last piece of it).
  void CheckLineFromSeg(int n, size_t firstSeg) {
    const Node& node = level_.nodes[n];
    const int vertexCount = static_cast<int>(level_.vertexes.size());
    std::vector<std::pair<int, int>> starts;
    for (size_t i = firstSeg; i < subtreeSegs_.size(); i++) {
      const Seg& seg = level_.segs[subtreeSegs_[i]];
      if (seg.v1 < vertexCount && level_.vertexes[seg.v1] == Point{node.x, node.y})
        starts.push_back({seg.line, seg.direction});
    }
    for (size_t i = firstSeg; i < subtreeSegs_.size(); i++) {
      const Seg& seg = level_.segs[subtreeSegs_[i]];
      if (seg.v2 < vertexCount && RunsTo(node, level_.vertexes[seg.v2]) &&
          std::find(starts.begin(), starts.end(), std::make_pair(seg.line, seg.direction)) != starts.end())
        return;
    }
    problems_->Add("nodes", Format("node %d's line (%d,%d)+(%d,%d) is no seg of its subtree%s", n, node.x, node.y,
                                   node.dx, node.dy, starts.empty() ? " (none starts there)" : ""));
  }

  // Subsectors are made as the tree is built, back (left) subtree first.
  void CheckSubsectorOrder(int child) {
    if (child & 0x8000) {
      int s = child & 0x7FFF;
      if (s < static_cast<int>(level_.subsectors.size()) && s != subsectorsOrdered_) {
        problems_->Add("layout", Format("subsector %d should be number %d: subsectors are numbered back subtree first",
                                        s, subsectorsOrdered_));
      }
      subsectorsOrdered_++;
      return;
    }
    if (child >= static_cast<int>(level_.nodes.size()) || ordered_[child]) return;
    ordered_[child] = true;
    CheckSubsectorOrder(level_.nodes[child].child[1]);
    CheckSubsectorOrder(level_.nodes[child].child[0]);
  }

  Box VisitSubsector(int s) {
    if (subsectorSeen_[s]) {
      problems_->Add("nodes", Format("subsector %d is reached twice", s));
      return Box();
    }
    subsectorSeen_[s] = true;
    Box box;
    const Subsector& sub = level_.subsectors[s];
    for (int k = sub.first; k < sub.first + sub.count && k < static_cast<int>(level_.segs.size()); k++) {
      const Seg& seg = level_.segs[k];
      subtreeSegs_.push_back(k);
      for (int v : {seg.v1, seg.v2}) {
        if (v >= static_cast<int>(level_.vertexes.size())) continue;
        const Point& p = level_.vertexes[v];
        box.Add(p);
        for (const Constraint& c : path_) {
          // Positive: to the right of the directed partition line.
          double right = ((p.x - c.x) * c.dy - (p.y - c.y) * c.dx) / c.length;
          double wrong = c.side == 0 ? -right : right;
          stats_->sideDepth = std::max(stats_->sideDepth, wrong);
          if (wrong > options_.sideTolerance) {
            problems_->Add("sides", Format("seg %d of subsector %d has (%d,%d) %.2f units %s of node %d's line "
                                           "(%g,%g)+(%g,%g), but lies under its %s child",
                                           k, s, p.x, p.y, wrong, c.side ? "right" : "left", c.node, c.x, c.y, c.dx,
                                           c.dy, c.side ? "left" : "right"));
          }
        }
      }
    }
    return box;
  }

  const Level& level_;
  const LevelCheckOptions& options_;
  Problems* problems_;
  LevelCheckStats* stats_;
  std::vector<bool> nodeSeen_, subsectorSeen_;
  std::vector<Constraint> path_;
  int nodesNumbered_ = 0, subsectorsOrdered_ = 0;
  std::vector<int> subtreeSegs_;  // segs in the order the walk meets them
  std::vector<bool> ordered_;
};

void CheckBlockmapLump(const Level& level, const LevelCheckOptions& options, Problems* problems) {
  std::vector<LineEnds> ends;
  for (size_t i = 0; i < level.lines.size(); i++) {
    const Line& line = level.lines[i];
    if (!line.valid) return;  // already reported; the blockmap cannot be judged
    const Point& a = level.vertexes[line.v1];
    const Point& b = level.vertexes[line.v2];
    ends.push_back({a.x, a.y, b.x, b.y});
  }
  for (const std::string& problem : CheckBlockmap(ends, level.lumps[kBlockmap], options.strictBlockmapLayout))
    problems->Add("blockmap", problem);

  // The grid must cover every linedef that has a side (the rest of the
  // blockmap check only looks inside the grid).
  const std::vector<uint8_t>& lump = level.lumps[kBlockmap];
  if (lump.size() < 8) return;
  int originX = S16(lump, 0), originY = S16(lump, 2), columns = S16(lump, 4), rows = S16(lump, 6);
  Box bounds;
  for (const Line& line : level.lines) {
    if (line.side[0] == 0xFFFF && line.side[1] == 0xFFFF) continue;
    bounds.Add(level.vertexes[line.v1]);
    bounds.Add(level.vertexes[line.v2]);
  }
  if (bounds.Empty() || columns <= 0 || rows <= 0) return;
  if (bounds.minX < originX || bounds.minY < originY || bounds.maxX >= originX + 128 * columns ||
      bounds.maxY >= originY + 128 * rows) {
    problems->Add("blockmap", Format("the grid x %d..%d y %d..%d does not cover the linedefs x %d..%d y %d..%d",
                                     originX, originX + 128 * columns - 1, originY, originY + 128 * rows - 1,
                                     bounds.minX, bounds.maxX, bounds.minY, bounds.maxY));
  }
  if (options.strictBlockmapLayout) {
    // This program's grid: the origin 7 to 14 units below the smallest
    // coordinates, on a multiple of 8, and just enough blocks.
    int wantX = std::max((bounds.minX - 7) & ~7, -32768), wantY = std::max((bounds.minY - 7) & ~7, -32768);
    int wantColumns = (((bounds.maxX + 7) & ~7) - wantX + 128) / 128;
    int wantRows = (((bounds.maxY + 7) & ~7) - wantY + 128) / 128;
    if (originX != wantX || originY != wantY || columns != wantColumns || rows != wantRows) {
      problems->Add("blockmap", Format("the grid is at (%d,%d) with %d columns and %d rows; the linedefs x %d..%d "
                                       "y %d..%d give (%d,%d), %d columns and %d rows",
                                       originX, originY, columns, rows, bounds.minX, bounds.maxX, bounds.minY,
                                       bounds.maxY, wantX, wantY, wantColumns, wantRows));
    }
  }
}

void CheckPartition(Level& level, const LevelCheckOptions& options, Problems* problems, LevelCheckStats* stats) {
  stats->vertexes = static_cast<int>(level.vertexes.size());
  stats->segs = static_cast<int>(level.segs.size());
  stats->subsectors = static_cast<int>(level.subsectors.size());
  stats->nodes = static_cast<int>(level.nodes.size());
  if (level.segs.empty()) problems->Add("segs", "SEGS is empty");
  if (level.subsectors.empty()) problems->Add("subsectors", "SSECTORS is empty");
  CheckSegs(level, options, problems, stats);
  CheckSubsectors(level, options, problems, stats);
  TreeWalk(level, options, problems, stats).Run();
  if (options.checkBlockmap) CheckBlockmapLump(level, options, problems);
}

std::string DescribeDifference(const std::vector<uint8_t>& a, const std::vector<uint8_t>& b) {
  if (a.size() != b.size()) return Format("%zu bytes became %zu", a.size(), b.size());
  for (size_t i = 0; i < a.size(); i++)
    if (a[i] != b[i]) return Format("byte %zu differs (%u became %u)", i, a[i], b[i]);
  return "";
}

void CompareLevelLumps(const Level& in, const Level& out, const LevelCheckOptions& options, Problems* problems) {
  for (Slot slot : {kThings, kSideDefs, kSectors}) {
    std::string difference = DescribeDifference(in.lumps[slot], out.lumps[slot]);
    if (!difference.empty()) problems->Add("lumps", std::string(kLevelLumpNames[slot - 1]) + " changed: " + difference);
  }

  // REJECT: one bit per ordered pair of sectors, taken from the input.
  int64_t sectors = static_cast<int64_t>(in.lumps[kSectors].size() / 26);
  size_t rejectSize = static_cast<size_t>((sectors * sectors + 7) / 8);
  std::vector<uint8_t> reject(rejectSize, 0);
  std::copy_n(in.lumps[kReject].begin(), std::min(rejectSize, in.lumps[kReject].size()), reject.begin());
  std::string difference = DescribeDifference(reject, out.lumps[kReject]);
  if (!difference.empty())
    problems->Add("lumps", Format("REJECT is not the input's first %zu bytes: ", rejectSize) + difference);

  // The vertexes the input linedefs use, in input order, then cut points.
  std::vector<bool> used(in.vertexes.size(), false);
  for (const Line& line : in.lines) {
    if (line.v1 < static_cast<int>(used.size())) used[line.v1] = true;
    if (line.v2 < static_cast<int>(used.size())) used[line.v2] = true;
  }
  std::vector<Point> kept;
  for (size_t v = 0; v < used.size(); v++)
    if (used[v]) kept.push_back(in.vertexes[v]);
  const int keptCount = static_cast<int>(kept.size());
  if (out.vertexes.size() < kept.size()) {
    problems->Add("vertexes", Format("VERTEXES has %zu vertexes, the linedefs use %zu", out.vertexes.size(), kept.size()));
  } else {
    for (int v = 0; v < keptCount; v++) {
      if (!(out.vertexes[v] == kept[v])) {
        problems->Add("vertexes", Format("vertex %d is (%d,%d), the linedefs' vertex %d is (%d,%d)", v,
                                         out.vertexes[v].x, out.vertexes[v].y, v, kept[v].x, kept[v].y));
      }
    }
  }
  if (options.requireUsedCutPoints) {
    std::vector<bool> segUsed(out.vertexes.size(), false);
    for (const Seg& seg : out.segs) {
      if (seg.v1 < static_cast<int>(segUsed.size())) segUsed[seg.v1] = true;
      if (seg.v2 < static_cast<int>(segUsed.size())) segUsed[seg.v2] = true;
    }
    for (size_t v = kept.size(); v < out.vertexes.size(); v++)
      if (!segUsed[v]) problems->Add("vertexes", Format("vertex %zu after the linedefs' vertexes ends no seg", v));
  }

  // LINEDEFS: unchanged but for the vertex numbers.
  const std::vector<uint8_t>& a = in.lumps[kLineDefs];
  const std::vector<uint8_t>& b = out.lumps[kLineDefs];
  if (a.size() != b.size()) {
    problems->Add("linedefs", Format("LINEDEFS was %zu bytes, is %zu", a.size(), b.size()));
    return;
  }
  size_t record = LineRecordSize(in.hexen);
  size_t whole = a.size() / record * record;
  for (size_t at = 0; at < a.size(); at++) {
    bool vertexField = at < whole && at % record < 4;
    if (!vertexField && a[at] != b[at]) {
      problems->Add("linedefs", Format("linedef %zu byte %zu changed (%u became %u)", at / record, at % record, a[at],
                                       b[at]));
    }
  }
  for (size_t i = 0; i < in.lines.size() && i < out.lines.size(); i++) {
    const Line& li = in.lines[i];
    const Line& lo = out.lines[i];
    int inV[2] = {li.v1, li.v2};
    int outV[2] = {lo.v1, lo.v2};
    for (int end = 0; end < 2; end++) {
      if (inV[end] >= static_cast<int>(in.vertexes.size())) continue;  // a broken input
      const Point& want = in.vertexes[inV[end]];
      if (outV[end] >= keptCount || outV[end] >= static_cast<int>(out.vertexes.size())) {
        problems->Add("linedefs", Format("linedef %zu %s vertex is %d, past the %d linedef vertexes", i,
                                         end ? "end" : "start", outV[end], keptCount));
      } else if (!(out.vertexes[outV[end]] == want)) {
        const Point& got = out.vertexes[outV[end]];
        problems->Add("linedefs", Format("linedef %zu %s vertex %d is (%d,%d), was (%d,%d)", i, end ? "end" : "start",
                                         outV[end], got.x, got.y, want.x, want.y));
      }
    }
  }
}

void CompareWads(const WadImage& input, const WadImage& output, int marker, Problems* problems) {
  if (input.identification != output.identification) {
    problems->Add("wad", "identification " + input.identification + " became " + output.identification);
  }
  if (input.entries.size() != output.entries.size()) {
    problems->Add("wad", Format("the directory had %zu entries, has %zu", input.entries.size(), output.entries.size()));
  }
  size_t common = std::min(input.entries.size(), output.entries.size());
  for (size_t i = 0; i < common; i++) {
    if (input.entries[i].name != output.entries[i].name) {
      problems->Add("wad", Format("entry %zu was %s, is %s", i, input.entries[i].name.c_str(),
                                  output.entries[i].name.c_str()));
      continue;
    }
    if (static_cast<int>(i) >= marker && static_cast<int>(i) <= marker + 10) continue;
    std::string difference = DescribeDifference(EntryBytes(input, i), EntryBytes(output, i));
    if (!difference.empty())
      problems->Add("wad", Format("entry %zu %s changed: ", i, input.entries[i].name.c_str()) + difference);
  }
  if (marker < static_cast<int>(output.entries.size()) && output.entries[marker].size != 0)
    problems->Add("wad", Format("the level marker has %d bytes", output.entries[marker].size));

  // Packed from offset 12 in directory order, the directory right after.
  int64_t position = 12;
  for (size_t i = 0; i < output.entries.size(); i++) {
    const WadEntry& e = output.entries[i];
    if (e.filePos != position) {
      problems->Add("layout", Format("entry %zu %s starts at %d, the data before it ends at %lld", i, e.name.c_str(),
                                     e.filePos, static_cast<long long>(position)));
      position = e.filePos;
    }
    position += e.size;
  }
  if (output.directoryOffset != position) {
    problems->Add("layout", Format("the directory starts at %d, the last lump ends at %lld", output.directoryOffset,
                                   static_cast<long long>(position)));
  }
  size_t end = static_cast<size_t>(output.directoryOffset) + 16 * output.entries.size();
  if (output.bytes.size() != end)
    problems->Add("layout", Format("the file is %zu bytes, the directory ends at %zu", output.bytes.size(), end));
}

}  // namespace

std::string ParseWad(std::vector<uint8_t> bytes, WadImage* wad) {
  *wad = WadImage();
  if (bytes.size() < 12) return Format("%zu bytes, shorter than a WAD header", bytes.size());
  wad->identification.assign(bytes.begin(), bytes.begin() + 4);
  if (wad->identification != "IWAD" && wad->identification != "PWAD")
    return "not a WAD (identification " + wad->identification + ")";
  int32_t count = Get32(bytes, 4);
  int32_t directory = Get32(bytes, 8);
  if (count < 0 || directory < 0 || static_cast<uint64_t>(directory) + 16ull * count > bytes.size())
    return Format("directory of %d entries at %d does not fit in %zu bytes", count, directory, bytes.size());
  wad->directoryOffset = directory;
  for (int32_t i = 0; i < count; i++) {
    size_t at = static_cast<size_t>(directory) + 16u * i;
    WadEntry entry;
    entry.filePos = Get32(bytes, at);
    entry.size = Get32(bytes, at + 4);
    char name[9] = {0};
    std::memcpy(name, &bytes[at + 8], 8);
    entry.name = name;
    if (entry.size < 0 ||
        (entry.size > 0 && (entry.filePos < 0 || static_cast<uint64_t>(entry.filePos) + entry.size > bytes.size())))
      return Format("entry %d %s (%d bytes at %d) lies outside the file", i, name, entry.size, entry.filePos);
    wad->entries.push_back(entry);
  }
  wad->bytes = std::move(bytes);
  return "";
}

std::string LoadWad(const std::string& path, WadImage* wad) {
  FILE* file = std::fopen(path.c_str(), "rb");
  if (!file) return "cannot open " + path;
  std::vector<uint8_t> bytes;
  uint8_t buffer[65536];
  size_t n;
  while ((n = std::fread(buffer, 1, sizeof buffer, file)) > 0) bytes.insert(bytes.end(), buffer, buffer + n);
  std::fclose(file);
  std::string error = ParseWad(std::move(bytes), wad);
  return error.empty() ? error : path + ": " + error;
}

std::vector<uint8_t> EntryBytes(const WadImage& wad, size_t index) {
  const WadEntry& entry = wad.entries.at(index);
  if (entry.size <= 0) return {};
  return std::vector<uint8_t>(wad.bytes.begin() + entry.filePos, wad.bytes.begin() + entry.filePos + entry.size);
}

int FindEntry(const WadImage& wad, const std::string& name) {
  for (size_t i = 0; i < wad.entries.size(); i++)
    if (wad.entries[i].name == name) return static_cast<int>(i);
  return -1;
}

std::vector<std::string> ListLevels(const WadImage& wad) {
  std::vector<std::string> levels;
  for (size_t i = 0; i + 10 < wad.entries.size(); i++) {
    bool level = true;
    for (int k = 0; k < 10 && level; k++) level = wad.entries[i + 1 + k].name == kLevelLumpNames[k];
    if (level) levels.push_back(wad.entries[i].name);
  }
  return levels;
}

std::vector<std::string> CheckLevelPartition(const WadImage& wad, const std::string& name,
                                             const LevelCheckOptions& options, LevelCheckStats* stats) {
  std::vector<std::string> out;
  LevelCheckStats local;
  if (!stats) stats = &local;
  {
    Problems problems(&out);
    Level level;
    if (ReadLevel(wad, name, &level, &problems)) {
      DecodeLevel(&level, &problems);
      CheckPartition(level, options, &problems, stats);
    }
  }
  return out;
}

std::vector<std::string> CheckRebuiltLevel(const WadImage& input, const WadImage& output, const std::string& name,
                                           const LevelCheckOptions& options, LevelCheckStats* stats) {
  std::vector<std::string> out;
  LevelCheckStats local;
  if (!stats) stats = &local;
  {
    Problems problems(&out);
    Level in, rebuilt;
    if (ReadLevel(input, name, &in, &problems)) {
      CompareWads(input, output, in.marker, &problems);
      if (ReadLevel(output, name, &rebuilt, &problems)) {
        if (rebuilt.marker != in.marker) {
          problems.Add("wad", Format("the level moved from entry %d to %d", in.marker, rebuilt.marker));
        }
        // The input's record layout rules both files.
        rebuilt.hexen = in.hexen;
        Problems inputProblems(&out, "input ");  // a damaged input is worth a word too
        DecodeLevel(&in, &inputProblems);
        DecodeLevel(&rebuilt, &problems);
        CompareLevelLumps(in, rebuilt, options, &problems);
        CheckPartition(rebuilt, options, &problems, stats);
      }
    }
  }
  return out;
}
