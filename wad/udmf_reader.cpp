// SPDX-License-Identifier: GPL-2.0-or-later
// The TEXTMAP grammar: global assignments and blocks of assignments, read
// token by token in one loop. Blocks do not nest, so nothing here recurses
// and a run of braces is met as an error at its second brace. A record
// that names a later one (a linedef written before its vertexes) is only
// judged at the end, so references beyond the records read so far wait in
// a list; references to earlier records, the usual case, are settled on
// the spot.
#include "wad/udmf_reader.h"

#include <cstdio>
#include <cstring>

#include "wad/udmf_keys.h"
#include "wad/udmf_lexer.h"
#include "wad/udmf_numbers.h"

namespace {

// A vertex, sidedef or sector number that names no record read so far.
struct Reference {
  size_t offset;  // where its value is in the text
  uint32_t value;
  UdmfKey key;
};

struct Parser {
  const uint8_t* text;
  size_t size;
  UdmfLexer lexer;
  UdmfMap* map;
  std::string* error;
  std::vector<Reference> later;
};

// Line and column, both from 1, of a byte offset; only called for the
// one message, so the newlines are counted then.
bool Fail(Parser* p, size_t offset, const std::string& what) {
  size_t line = 1, lineStart = 0;
  for (size_t at = 0; at < offset;) {
    const void* found = std::memchr(p->text + at, '\n', offset - at);
    if (found == nullptr) break;
    at = static_cast<size_t>(static_cast<const uint8_t*>(found) - p->text) + 1;
    lineStart = at;
    line++;
  }
  char place[64];
  std::snprintf(place, sizeof place, "TEXTMAP line %zu, column %zu: ", line, offset - lineStart + 1);
  *p->error = place + what;
  return false;
}

bool FailToken(Parser* p, const UdmfToken& token, const char* expected) {
  if (token.kind != UdmfTokenKind::Bad) return Fail(p, token.start, expected);
  switch (p->lexer.problem) {
    case UdmfLexProblem::UnterminatedString: return Fail(p, token.start, "unterminated string");
    case UdmfLexProblem::UnterminatedComment: return Fail(p, token.start, "unterminated comment");
    case UdmfLexProblem::MalformedNumber: return Fail(p, token.start, "malformed number");
    default: break;
  }
  const uint8_t c = p->text[token.start];
  char what[40];
  if (c > ' ' && c < 0x7F) {
    std::snprintf(what, sizeof what, "unexpected character '%c'", c);
  } else {
    std::snprintf(what, sizeof what, "unexpected byte 0x%02X", c);
  }
  return Fail(p, token.start, what);
}

bool Expect(Parser* p, UdmfTokenKind kind, const char* expected) {
  UdmfToken token = ReadUdmfToken(&p->lexer);
  return token.kind == kind || FailToken(p, token, expected);
}

bool IsValue(const UdmfToken& token) {
  return token.kind == UdmfTokenKind::Integer || token.kind == UdmfTokenKind::Float ||
         token.kind == UdmfTokenKind::String || token.kind == UdmfTokenKind::Identifier;
}

// Settles a reference to an earlier record, or keeps it for the end.
void Refer(Parser* p, const UdmfRecord& r, UdmfKey key, int64_t value, size_t count) {
  if (value >= 0 && static_cast<uint64_t>(value) >= count)
    p->later.push_back(Reference{r.valueAt[static_cast<int>(key)], static_cast<uint32_t>(value), key});
}

bool Require(Parser* p, const UdmfRecord& r, UdmfKey key, const UdmfToken& close, const char* block,
             size_t number) {
  if (HasUdmfKey(r, key)) return true;
  return Fail(p, close.start,
              std::string("expected '") + NameUdmfKey(key) + "' in " + block + " " + std::to_string(number));
}

bool CloseRecord(Parser* p, UdmfBlock kind, const UdmfRecord& r, const UdmfToken& close) {
  UdmfMap* map = p->map;
  switch (kind) {
    case UdmfBlock::Vertex:
      if (!Require(p, r, UdmfKey::X, close, "vertex", map->vertexes.size()) ||
          !Require(p, r, UdmfKey::Y, close, "vertex", map->vertexes.size()))
        return false;
      map->vertexes.push_back(r.vertex);
      return true;
    case UdmfBlock::LineDef:
      for (UdmfKey key : {UdmfKey::V1, UdmfKey::V2, UdmfKey::SideFront}) {
        if (!Require(p, r, key, close, "linedef", map->lineDefs.size())) return false;
      }
      Refer(p, r, UdmfKey::V1, r.line.v1, map->vertexes.size());
      Refer(p, r, UdmfKey::V2, r.line.v2, map->vertexes.size());
      Refer(p, r, UdmfKey::SideFront, r.line.sideFront, map->sideDefs.size());
      Refer(p, r, UdmfKey::SideBack, r.line.sideBack, map->sideDefs.size());
      map->lineDefs.push_back(r.line);
      return true;
    case UdmfBlock::SideDef:
      if (!Require(p, r, UdmfKey::Sector, close, "sidedef", map->sideDefs.size())) return false;
      Refer(p, r, UdmfKey::Sector, r.side.sector, map->sectors.size());
      map->sideDefs.push_back(r.side);
      return true;
    case UdmfBlock::Sector: map->sectors.push_back(r.sector); return true;
    case UdmfBlock::Thing: map->thingCount++; return true;
    case UdmfBlock::Other: return true;
  }
  return true;
}

// After the block's opening brace, up to and with its closing one.
bool ReadBlock(Parser* p, UdmfBlock kind) {
  UdmfRecord r = MakeUdmfRecord();
  std::string problem;
  for (;;) {
    UdmfToken name = ReadUdmfToken(&p->lexer);
    if (name.kind == UdmfTokenKind::CloseBrace) return CloseRecord(p, kind, r, name);
    if (name.kind != UdmfTokenKind::Identifier) return FailToken(p, name, "expected a key or '}'");
    if (!Expect(p, UdmfTokenKind::Equals, "expected '='")) return false;
    UdmfToken value = ReadUdmfToken(&p->lexer);
    if (!IsValue(value)) return FailToken(p, value, "expected a value");
    if (!StoreUdmfValue(p->text, FindUdmfKey(p->text, name, kind), value, &r, &problem))
      return Fail(p, value.start, problem);
    if (!Expect(p, UdmfTokenKind::Semicolon, "expected ';'")) return false;
  }
}

bool ReadGlobal(Parser* p, const UdmfToken& name) {
  UdmfToken value = ReadUdmfToken(&p->lexer);
  if (!IsValue(value)) return FailToken(p, value, "expected a value");
  if (MatchUdmfWord(p->text, name, "namespace")) {
    if (value.kind != UdmfTokenKind::String) return Fail(p, value.start, "expected a string for 'namespace'");
    p->map->nameSpace = DecodeUdmfString(p->text + value.start, value.length);
  }
  return Expect(p, UdmfTokenKind::Semicolon, "expected ';'");
}

// What a reference names, and how many of those the map has.
struct Target {
  const char* one;
  const char* many;
  size_t count;
};

Target TargetOf(const UdmfMap& map, UdmfKey key) {
  if (key == UdmfKey::V1 || key == UdmfKey::V2) return {"vertex", "vertexes", map.vertexes.size()};
  if (key == UdmfKey::Sector) return {"sector", "sectors", map.sectors.size()};
  return {"sidedef", "sidedefs", map.sideDefs.size()};
}

bool CheckLaterReferences(Parser* p) {
  const Reference* first = nullptr;
  for (const Reference& ref : p->later) {
    if (ref.value >= TargetOf(*p->map, ref.key).count && (first == nullptr || ref.offset < first->offset))
      first = &ref;
  }
  if (first == nullptr) return true;
  const Target target = TargetOf(*p->map, first->key);
  const std::string has = target.count == 0   ? std::string("no ") + target.many
                          : target.count == 1 ? std::string("1 ") + target.one
                                              : std::to_string(target.count) + " " + target.many;
  return Fail(p, first->offset,
              std::string("'") + NameUdmfKey(first->key) + "' names " + target.one + " " +
                  std::to_string(first->value) + ", but the map has " + has);
}

bool ReadAll(Parser* p) {
  // A lump is at most 2 GiB, which keeps every count and offset in 32 bits.
  if (p->size > INT32_MAX) return Fail(p, 0, "expected a lump under 2 GiB");
  for (;;) {
    UdmfToken name = ReadUdmfToken(&p->lexer);
    if (name.kind == UdmfTokenKind::End) break;
    if (name.kind != UdmfTokenKind::Identifier) return FailToken(p, name, "expected a key or a block name");
    UdmfToken after = ReadUdmfToken(&p->lexer);
    if (after.kind == UdmfTokenKind::Equals) {
      if (!ReadGlobal(p, name)) return false;
    } else if (after.kind == UdmfTokenKind::OpenBrace) {
      if (!ReadBlock(p, FindUdmfBlock(p->text, name))) return false;
    } else {
      return FailToken(p, after, "expected '=' or '{'");
    }
  }
  if (p->map->lineDefs.empty()) return Fail(p, p->size, "expected a level, found an empty map");
  return CheckLaterReferences(p);
}

}  // namespace

bool ReadUdmfMap(const uint8_t* text, size_t size, UdmfMap* map, std::string* error) {
  *map = UdmfMap{};
  error->clear();
  Parser p{text, size, {}, map, error, {}};
  StartUdmfLexer(&p.lexer, text, size);
  if (ReadAll(&p)) return true;
  *map = UdmfMap{};
  return false;
}
