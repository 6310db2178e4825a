// SPDX-License-Identifier: GPL-2.0-or-later
// A rebuilt level against the WAD it was built from: everything the node
// builder must keep is kept, the file is packed as this program writes it,
// and then the partition is checked like any other.
#include <algorithm>

#include "check/level_check.h"
#include "check/map_level.h"
#include "check/partition_checks.h"
#include "tests/support/exact_check.h"

namespace {

std::string DescribeDifference(const std::vector<uint8_t>& a, const std::vector<uint8_t>& b) {
  if (a.size() != b.size()) return Format("%zu bytes became %zu", a.size(), b.size());
  for (size_t i = 0; i < a.size(); i++)
    if (a[i] != b[i]) return Format("byte %zu differs (%u became %u)", i, a[i], b[i]);
  return "";
}

// VERTEXES: the vertexes the input linedefs use, in input order, then cut
// points. Returns how many the linedefs use.
int CompareVertexes(const MapLevel& in, const MapLevel& out, const BuiltLevelOptions& options,
                    Findings* findings) {
  std::vector<bool> used(in.vertexes.size(), false);
  for (const MapLine& line : in.lines) {
    if (line.v1 < static_cast<int>(used.size())) used[line.v1] = true;
    if (line.v2 < static_cast<int>(used.size())) used[line.v2] = true;
  }
  std::vector<MapPoint> kept;
  for (size_t v = 0; v < used.size(); v++)
    if (used[v]) kept.push_back(in.vertexes[v]);
  const int keptCount = static_cast<int>(kept.size());
  if (out.vertexes.size() < kept.size()) {
    findings->Problem("VERTEXES", -1, "VERTEXES has %zu vertexes, the linedefs use %zu", out.vertexes.size(),
                      kept.size());
  } else {
    for (int v = 0; v < keptCount; v++) {
      if (!(out.vertexes[v] == kept[v])) {
        findings->Problem("VERTEXES", v, "vertex %d is (%d,%d), the linedefs' vertex %d is (%d,%d)", v,
                          out.vertexes[v].x, out.vertexes[v].y, v, kept[v].x, kept[v].y);
      }
    }
  }
  if (options.requireUsedCutPoints) {
    std::vector<bool> segUsed(out.vertexes.size(), false);
    for (const MapSeg& seg : out.segs) {
      if (seg.v1 < static_cast<int>(segUsed.size())) segUsed[seg.v1] = true;
      if (seg.v2 < static_cast<int>(segUsed.size())) segUsed[seg.v2] = true;
    }
    for (size_t v = kept.size(); v < out.vertexes.size(); v++)
      if (!segUsed[v])
        findings->Problem("VERTEXES", v, "vertex %zu after the linedefs' vertexes ends no seg", v);
  }
  return keptCount;
}

// LINEDEFS: unchanged but for the vertex numbers, which name the same
// points among the kept vertexes.
void CompareLineDefs(const MapLevel& in, const MapLevel& out, int keptCount, Findings* findings) {
  const std::vector<uint8_t>& a = in.lumps[kLineDefs];
  const std::vector<uint8_t>& b = out.lumps[kLineDefs];
  if (a.size() != b.size()) {
    findings->Problem("LINEDEFS", -1, "LINEDEFS was %zu bytes, is %zu", a.size(), b.size());
    return;
  }
  size_t record = in.hexen ? HexenLineDefSize : DoomLineDefSize;
  size_t whole = a.size() / record * record;
  for (size_t at = 0; at < a.size(); at++) {
    bool vertexField = at < whole && at % record < 4;
    if (!vertexField && a[at] != b[at]) {
      findings->Problem("LINEDEFS", at / record, "linedef %zu byte %zu changed (%u became %u)", at / record,
                        at % record, a[at], b[at]);
    }
  }
  for (size_t i = 0; i < in.lines.size() && i < out.lines.size(); i++) {
    int inV[2] = {in.lines[i].v1, in.lines[i].v2};
    int outV[2] = {out.lines[i].v1, out.lines[i].v2};
    for (int end = 0; end < 2; end++) {
      if (inV[end] >= static_cast<int>(in.vertexes.size())) continue;  // a broken input
      const MapPoint& want = in.vertexes[inV[end]];
      if (outV[end] >= keptCount || outV[end] >= static_cast<int>(out.vertexes.size())) {
        findings->Problem("LINEDEFS", i, "linedef %zu %s vertex is %d, past the %d linedef vertexes", i,
                          end ? "end" : "start", outV[end], keptCount);
      } else if (!(out.vertexes[outV[end]] == want)) {
        const MapPoint& got = out.vertexes[outV[end]];
        findings->Problem("LINEDEFS", i, "linedef %zu %s vertex %d is (%d,%d), was (%d,%d)", i,
                          end ? "end" : "start", outV[end], got.x, got.y, want.x, want.y);
      }
    }
  }
}

void CompareLevelLumps(const MapLevel& in, const MapLevel& out, const BuiltLevelOptions& options,
                       Findings* findings) {
  for (LevelSlot slot : {kThings, kSideDefs, kSectors}) {
    std::string difference = DescribeDifference(in.lumps[slot], out.lumps[slot]);
    const char* name = LevelLumpNames[slot - 1];
    if (!difference.empty()) findings->Problem(name, -1, "%s changed: %s", name, difference.c_str());
  }

  // REJECT: one bit per ordered pair of sectors, taken from the input.
  int64_t sectors = static_cast<int64_t>(in.lumps[kSectors].size() / SectorRecordSize);
  size_t rejectSize = static_cast<size_t>((sectors * sectors + 7) / 8);
  std::vector<uint8_t> reject(rejectSize, 0);
  std::copy_n(in.lumps[kReject].begin(), std::min(rejectSize, in.lumps[kReject].size()), reject.begin());
  std::string difference = DescribeDifference(reject, out.lumps[kReject]);
  if (!difference.empty())
    findings->Problem("REJECT", -1, "REJECT is not the input's first %zu bytes: %s", rejectSize,
                      difference.c_str());

  CompareLineDefs(in, out, CompareVertexes(in, out, options, findings), findings);
}

void CompareWads(const WadImage& input, const WadImage& output, int marker, Findings* findings) {
  if (input.identification != output.identification) {
    findings->Problem("-", -1, "identification %s became %s", input.identification.c_str(),
                      output.identification.c_str());
  }
  if (input.entries.size() != output.entries.size()) {
    findings->Problem("-", -1, "the directory had %zu entries, has %zu", input.entries.size(),
                      output.entries.size());
  }
  size_t common = std::min(input.entries.size(), output.entries.size());
  for (size_t i = 0; i < common; i++) {
    const std::string inName = PrintableName(input.entries[i].name);
    if (input.entries[i].name != output.entries[i].name) {
      findings->Problem("-", -1, "entry %zu was %s, is %s", i, inName.c_str(),
                        PrintableName(output.entries[i].name).c_str());
      continue;
    }
    if (static_cast<int>(i) >= marker && static_cast<int>(i) <= marker + LevelLumpCount) continue;
    std::string difference = DescribeDifference(EntryBytes(input, i), EntryBytes(output, i));
    if (!difference.empty())
      findings->Problem("-", -1, "entry %zu %s changed: %s", i, inName.c_str(), difference.c_str());
  }
  if (marker < static_cast<int>(output.entries.size()) && output.entries[marker].size != 0)
    findings->Problem("-", -1, "the level marker has %d bytes", output.entries[marker].size);

  // Packed from offset 12 in directory order, the directory right after.
  int64_t position = WadHeaderSize;
  for (size_t i = 0; i < output.entries.size(); i++) {
    const WadEntry& e = output.entries[i];
    if (e.filePos != position) {
      findings->Problem("-", -1, "layout: entry %zu %s starts at %d, the data before it ends at %lld", i,
                        PrintableName(e.name).c_str(), e.filePos, static_cast<long long>(position));
      position = e.filePos;
    }
    position += e.size;
  }
  if (output.directoryOffset != position) {
    findings->Problem("-", -1, "layout: the directory starts at %d, the last lump ends at %lld",
                      output.directoryOffset, static_cast<long long>(position));
  }
  size_t end = static_cast<size_t>(output.directoryOffset) + LumpEntrySize * output.entries.size();
  if (output.bytes.size() != end)
    findings->Problem("-", -1, "layout: the file is %zu bytes, the directory ends at %zu",
                      output.bytes.size(), end);
}

}  // namespace

LevelReport CheckRebuiltLevel(const WadImage& input, const WadImage& output, const std::string& name,
                              const BuiltLevelOptions& options) {
  Findings findings;
  LevelCheckStats stats;
  MapLevel in, rebuilt;
  int marker = FindLevel(input, name);
  if (marker < 0) {
    findings.Problem("-", -1, "no level named %s in the input", PrintableName(name).c_str());
    return FinishReport(findings, stats);
  }
  int rebuiltMarker = FindLevel(output, name);
  if (rebuiltMarker < 0) {
    CompareWads(input, output, marker, &findings);
    findings.Problem("-", -1, "no level named %s in the output", PrintableName(name).c_str());
    return FinishReport(findings, stats);
  }
  if (ReadLevel(input, marker, &in, &findings)) {
    CompareWads(input, output, marker, &findings);
    if (ReadLevel(output, rebuiltMarker, &rebuilt, &findings)) {
      if (rebuiltMarker != marker)
        findings.Problem("-", -1, "the level moved from entry %d to %d", marker, rebuiltMarker);
      // The input's record layout rules both files.
      rebuilt.hexen = in.hexen;
      Findings inputFindings;  // a damaged input is worth a word too
      DecodeLevel(&in, &inputFindings);
      for (const Finding& f : inputFindings.Finish())
        findings.Problem(f.lump.c_str(), f.record, "in the input: %s", f.text.c_str());
      DecodeLevel(&rebuilt, &findings);
      CompareLevelLumps(in, rebuilt, options, &findings);
      CheckBuiltDecodedLevel(output, rebuilt, options, &findings, &stats);
    }
  }
  return FinishReport(findings, stats);
}
