// SPDX-License-Identifier: GPL-2.0-or-later
#include "tests/support/wadbuilder.h"

#include <cstdio>
#include <cstring>
#include <stdexcept>

#include "format/wad_format.h"

namespace {

void Put16(std::vector<uint8_t>& out, int value) {
  out.push_back(static_cast<uint8_t>(value));
  out.push_back(static_cast<uint8_t>(value >> 8));
}

void Put32(std::vector<uint8_t>& out, int32_t value) {
  for (int i = 0; i < 4; i++) out.push_back(static_cast<uint8_t>(value >> (8 * i)));
}

int32_t Get32(const std::vector<uint8_t>& in, size_t at) {
  return static_cast<int32_t>(in[at] | (in[at + 1] << 8) | (in[at + 2] << 16) |
                              (static_cast<uint32_t>(in[at + 3]) << 24));
}

}  // namespace

std::vector<uint8_t> Int16Bytes(std::initializer_list<int> values) {
  std::vector<uint8_t> out;
  for (int v : values) Put16(out, v);
  return out;
}

WadBuilder& WadBuilder::Add(const std::string& name, std::vector<uint8_t> data) {
  lumps.push_back({name, std::move(data)});
  return *this;
}

WadBuilder& WadBuilder::AddLevel(const std::string& marker, const Level& level) {
  Add(marker);
  Add("THINGS", std::vector<uint8_t>(DoomThingSize * level.thingCount, 0));
  std::vector<uint8_t> lines;
  for (const auto& l : level.lines) {
    Put16(lines, l.start);
    Put16(lines, l.end);
    Put16(lines, l.flags);
    if (level.hexen) {
      lines.push_back(static_cast<uint8_t>(l.special));
      lines.push_back(static_cast<uint8_t>(l.tag));
      for (int i = 0; i < 4; i++) lines.push_back(0);
    } else {
      Put16(lines, l.special);
      Put16(lines, l.tag);
    }
    Put16(lines, l.right);
    Put16(lines, l.left);
  }
  Add("LINEDEFS", lines);
  std::vector<uint8_t> sides;
  for (int sector : level.sideSectors) {
    std::vector<uint8_t> record(SideDefRecordSize, 0);
    record[SideDefSectorOffset] = static_cast<uint8_t>(sector);
    record[SideDefSectorOffset + 1] = static_cast<uint8_t>(sector >> 8);
    sides.insert(sides.end(), record.begin(), record.end());
  }
  Add("SIDEDEFS", sides);
  std::vector<uint8_t> vertexes;
  for (const auto& v : level.vertexes) {
    Put16(vertexes, v.first);
    Put16(vertexes, v.second);
  }
  Add("VERTEXES", vertexes);
  Add("SEGS");
  Add("SSECTORS");
  Add("NODES");
  Add("SECTORS", std::vector<uint8_t>(SectorRecordSize * level.sectorCount, 0));
  Add("REJECT", std::vector<uint8_t>((level.sectorCount * level.sectorCount + 7) / 8, 0));
  Add("BLOCKMAP");
  if (level.hexen) Add(BehaviorLumpName, std::vector<uint8_t>(16, 0));
  return *this;
}

std::vector<uint8_t> WadBuilder::Build(const char identification[5]) const {
  std::vector<uint8_t> out(identification, identification + 4);
  Put32(out, static_cast<int32_t>(lumps.size()));
  Put32(out, 0);  // directory offset, fixed below
  std::vector<int32_t> positions;
  for (const auto& lump : lumps) {
    positions.push_back(static_cast<int32_t>(out.size()));
    out.insert(out.end(), lump.data.begin(), lump.data.end());
  }
  int32_t directory = static_cast<int32_t>(out.size());
  for (size_t i = 0; i < lumps.size(); i++) {
    Put32(out, lumps[i].data.empty() ? 0 : positions[i]);
    Put32(out, static_cast<int32_t>(lumps[i].data.size()));
    char name[8] = {0};
    lumps[i].name.copy(name, 8);  // eight characters need no terminator
    out.insert(out.end(), name, name + 8);
  }
  for (int i = 0; i < 4; i++) out[8 + i] = static_cast<uint8_t>(directory >> (8 * i));
  return out;
}

void WadBuilder::Write(const std::string& path, const char identification[5]) const {
  std::vector<uint8_t> bytes = Build(identification);
  FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) throw std::runtime_error("cannot write " + path);
  std::fwrite(bytes.data(), 1, bytes.size(), f);
  std::fclose(f);
}

std::vector<uint8_t> ReadFileBytes(const std::string& path) {
  std::vector<uint8_t> bytes;
  FILE* f = std::fopen(path.c_str(), "rb");
  if (!f) return bytes;
  uint8_t buffer[65536];
  size_t n;
  while ((n = std::fread(buffer, 1, sizeof buffer, f)) > 0) bytes.insert(bytes.end(), buffer, buffer + n);
  std::fclose(f);
  return bytes;
}

std::vector<TestLump> ReadWadLumps(const std::string& path, std::string* identification) {
  std::vector<uint8_t> bytes = ReadFileBytes(path);
  if (bytes.size() < 12) throw std::runtime_error("short wad " + path);
  if (identification) identification->assign(bytes.begin(), bytes.begin() + 4);
  int32_t count = Get32(bytes, 4);
  int32_t directory = Get32(bytes, 8);
  std::vector<TestLump> lumps;
  for (int32_t i = 0; i < count; i++) {
    size_t at = static_cast<size_t>(directory) + 16 * i;
    int32_t pos = Get32(bytes, at);
    int32_t size = Get32(bytes, at + 4);
    char name[9] = {0};
    std::memcpy(name, &bytes[at + 8], 8);
    TestLump lump{name, {}};
    if (size > 0) lump.data.assign(bytes.begin() + pos, bytes.begin() + pos + size);
    lumps.push_back(lump);
  }
  return lumps;
}
