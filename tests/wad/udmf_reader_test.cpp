// SPDX-License-Identifier: GPL-2.0-or-later
// The TEXTMAP reader: every refusal with its exact message and place, one
// map written in many layouts read to the same records, the rounding of
// coordinates to fixed point, and inputs that are huge, deep or not text.
#include "wad/udmf_reader.h"

#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <string>

#include "wad/udmf_numbers.h"

namespace {

bool Read(const std::string& text, UdmfMap* map, std::string* error) {
  return ReadUdmfMap(reinterpret_cast<const uint8_t*>(text.data()), text.size(), map, error);
}

std::string ErrorOf(const std::string& text) {
  UdmfMap map;
  std::string error;
  if (Read(text, &map, &error)) return "read";
  EXPECT_TRUE(map.vertexes.empty() && map.lineDefs.empty() && map.sideDefs.empty() && map.sectors.empty());
  return error;
}

// Every record in one string, so that a difference shows where it is.
std::string Describe(const UdmfMap& map) {
  std::string out = "namespace " + map.nameSpace + "\n";
  for (const UdmfVertex& v : map.vertexes)
    out += "v " + std::to_string(v.x) + " " + std::to_string(v.y) + "\n";
  for (const UdmfLineDef& l : map.lineDefs) {
    for (int64_t n : {int64_t{l.v1}, int64_t{l.v2}, int64_t{l.sideFront}, l.sideBack, int64_t{l.twoSided},
                      int64_t{l.special}, int64_t{l.id}, int64_t{l.arg0}})
      out += std::to_string(n) + " ";
    out += "\n";
  }
  for (const UdmfSideDef& s : map.sideDefs) out += "s " + std::to_string(s.sector) + "\n";
  for (const UdmfSector& s : map.sectors) {
    out += "c " + std::to_string(s.heightFloor) + " " + std::to_string(s.heightCeiling) + " " +
           std::to_string(s.special) + " " + std::to_string(s.id) + "\n";
  }
  return out + "things " + std::to_string(map.thingCount) + "\n";
}

// "TEXTMAP line L, column C: text" on one line, L and C from 1.
bool HasMessageForm(const std::string& error) {
  size_t at = 0;
  for (const char* head : {"TEXTMAP line ", ", column "}) {
    if (error.compare(at, std::strlen(head), head) != 0) return false;
    at += std::strlen(head);
    if (at >= error.size() || error[at] < '1' || error[at] > '9') return false;
    while (at < error.size() && error[at] >= '0' && error[at] <= '9') at++;
  }
  return error.compare(at, 2, ": ") == 0 && error.size() > at + 2 && error.find('\n') == std::string::npos;
}

// Two vertexes, a sidedef and a sector, on four lines, before a linedef.
const std::string Room =
    "vertex { x = 0; y = 0; }\nvertex { x = 1; y = 0; }\nsidedef { sector = 0; }\nsector { }\n";

TEST(UdmfReaderTest, RefusalsNameTheirPlaceAndWhatWasExpected) {
  const std::string L1 = "TEXTMAP line 1, column ";
  const std::string L5 = "TEXTMAP line 5, column ";
  const struct {
    std::string text, error;
  } cases[] = {
      {"", L1 + "1: expected a level, found an empty map"},
      {"namespace = \"doom\";\n", "TEXTMAP line 2, column 1: expected a level, found an empty map"},
      {"vertex { x = 0; y = 0; }", L1 + "25: expected a level, found an empty map"},
      {"namespace = \"doom;", L1 + "13: unterminated string"},
      {"namespace = \"do\\\"", L1 + "13: unterminated string"},
      {"thing { } /* open", L1 + "11: unterminated comment"},
      {"thing { } /*/", L1 + "11: unterminated comment"},
      {"thing { type = 1 }", L1 + "18: expected ';'"},
      {"thing { type = 1;", L1 + "18: expected a key or '}'"},
      {"thing { { } }", L1 + "9: expected a key or '}'"},
      {"thing type = 1;", L1 + "7: expected '=' or '{'"},
      {"} thing { }", L1 + "1: expected a key or a block name"},
      {"thing { type 1; }", L1 + "14: expected '='"},
      {"thing { type = ; }", L1 + "16: expected a value"},
      {"/* a\n b */ thing { type = 1 }", "TEXTMAP line 2, column 24: expected ';'"},
      {"a = \"x\ny\"; b", "TEXTMAP line 2, column 6: expected '=' or '{'"},
      // Values of the wrong kind or out of range, at the value.
      {"vertex { x = \"a\"; y = 0; }", L1 + "14: expected a number for 'x'"},
      {"vertex { x = nan; y = 0; }", L1 + "14: expected a finite number for 'x'"},
      {"vertex { x = Inf; y = 0; }", L1 + "14: expected a finite number for 'x'"},
      {"vertex { y = 0; x = -INFINITY; }", L1 + "21: malformed number"},
      {"vertex { x = 32768; y = 0; }", L1 + "14: expected a coordinate from -32768 to 32767.99998 for 'x'"},
      {"vertex { x = 0; y = -1e999; }", L1 + "21: expected a coordinate from -32768 to 32767.99998 for 'y'"},
      {"linedef { v1 = 1.5; }", L1 + "16: expected an integer for 'v1'"},
      {"linedef { v2 = -1; }", L1 + "16: expected a vertex number for 'v2'"},
      {"linedef { twosided = 3; }", L1 + "22: expected true or false for 'twosided'"},
      {"LineDef { TwoSided = \"true\"; }", L1 + "22: expected true or false for 'twosided'"},
      {"linedef { sidefront = 4294967296; }", L1 + "23: expected a sidedef number for 'sidefront'"},
      {"linedef { sideback = -2; }", L1 + "22: expected a sidedef number or -1 for 'sideback'"},
      {"sidedef { sector = -1; }", L1 + "20: expected a sector number for 'sector'"},
      {"linedef { special = 2147483648; }", L1 + "21: expected a 32-bit integer for 'special'"},
      {"sector { heightfloor = 1.0; }", L1 + "24: expected a 32-bit integer for 'heightfloor'"},
      {"namespace = doom;", L1 + "13: expected a string for 'namespace'"},
      // Required keys, at the closing brace.
      {"vertex { x = 0; }", L1 + "17: expected 'y' in vertex 0"},
      {"vertex { x = 0; y = 0; }\nvertex { y = 5; }", "TEXTMAP line 2, column 17: expected 'x' in vertex 1"},
      {"linedef { v1 = 0; v2 = 1; }", L1 + "27: expected 'sidefront' in linedef 0"},
      {"sidedef { }", L1 + "11: expected 'sector' in sidedef 0"},
      // Numbers and bytes that are no token.
      {"x = 08;", L1 + "5: malformed number"},
      {"x = 1e;", L1 + "5: malformed number"},
      {"x = 0x;", L1 + "5: malformed number"},
      {"x = 12ab;", L1 + "5: malformed number"},
      {"x = 1.2.3;", L1 + "5: malformed number"},
      {"x = 0x1.5;", L1 + "5: malformed number"},
      {"x = - 1;", L1 + "5: malformed number"},
      {"x = 1; @", L1 + "8: unexpected character '@'"},
      {"x = 'a';", L1 + "5: unexpected character '''"},
      {std::string("x = 1;\0", 7), L1 + "7: unexpected byte 0x00"},
      {"x = 1;\n  \xC3\xA9", "TEXTMAP line 2, column 3: unexpected byte 0xC3"},
      {"x = 1;\r\n/ y", "TEXTMAP line 2, column 1: unexpected character '/'"},
      // Records that name missing ones, at the number, the first in the text.
      {Room + "linedef { v1 = 0; v2 = 2; sidefront = 0; }",
       L5 + "24: 'v2' names vertex 2, but the map has 2 vertexes"},
      {Room + "linedef { v1 = 0; v2 = 1; sidefront = 1; }",
       L5 + "39: 'sidefront' names sidedef 1, but the map has 1 sidedef"},
      {Room + "linedef { v1 = 0; v2 = 1; sidefront = 0; sideback = 7; }",
       L5 + "53: 'sideback' names sidedef 7, but the map has 1 sidedef"},
      {Room + "linedef { sidefront = 5; v1 = 9; v2 = 0; }",
       L5 + "23: 'sidefront' names sidedef 5, but the map has 1 sidedef"},
      {"sidedef { sector = 3; }\nvertex { x = 0; y = 0; }\nlinedef { v1 = 0; v2 = 0; sidefront = 0; }",
       L1 + "20: 'sector' names sector 3, but the map has no sectors"},
      // A syntax error is found before the references are judged.
      {Room + "linedef { v1 = 0; v2 = 9; sidefront = 0; }\nthing { type = 1 }",
       "TEXTMAP line 6, column 18: expected ';'"},
  };
  for (const auto& c : cases) EXPECT_EQ(ErrorOf(c.text), c.error) << c.text;

  // A lump larger than a WAD can hold is refused before a byte is read.
  UdmfMap map;
  std::string error;
  EXPECT_FALSE(ReadUdmfMap(reinterpret_cast<const uint8_t*>(""), size_t{1} << 31, &map, &error));
  EXPECT_EQ(error, L1 + "1: expected a lump under 2 GiB");
}

TEST(UdmfReaderTest, EveryLayoutOfOneMapReadsTheSame) {
  const std::string plain = R"(namespace = "hexen";
vertex { x = 0.0; y = 0.0; }
vertex { x = 64.0; y = 0.0; }
vertex { x = 64.0; y = 96.5; }
vertex { x = 0.0; y = -32.25; }
linedef { v1 = 0; v2 = 1; sidefront = 0; }
linedef { v1 = 1; v2 = 2; sidefront = 1; special = 80; arg0 = 2; id = 5; }
linedef { v1 = 2; v2 = 3; sidefront = 2; }
linedef { v1 = 3; v2 = 0; sidefront = 3; sideback = 4; twosided = true; }
sidedef { sector = 0; }
sidedef { sector = 0; }
sidedef { sector = 0; }
sidedef { sector = 0; }
sidedef { sector = 1; }
sector { heightfloor = 0; heightceiling = 128; }
sector { heightfloor = -16; heightceiling = 96; special = 8; id = 3; }
thing { x = 32.0; y = 32.0; type = 1; }
thing { x = 16.0; y = 16.0; type = 3001; }
)";
  const std::string layouts[] = {
      plain,
      // Comments anywhere, upper case, integers in hex and octal, coordinates
      // as integers and in exponent forms, unknown keys, blocks and globals.
      R"(// A room /* not a block comment
NameSpace /* here */ = "hexen" ; /* } { " */
comment = "a \" } { string";
VERTEX { X = 0; Y = -0.0; } vertex{x=+64;y=0x0;}
vertex { x = 6.4e1; y = 965e-1; // after
}
Vertex { x = .0; y = -3225E-2; }
unknownblock { a = 1; b = 2.5; c = "s"; d = true; e = somekeyword; }
linedef { v1 = 0; v2 = 01; sidefront = 00; blocking = TRUE; texture = "X"; }
LINEDEF { V1 = 0x1; V2 = 0X2; SIDEFRONT = 1; SPECIAL = 0120; ARG0 = +2; ID = 0x5; arg1 = 7; }
linedef { v1 = 02; v2 = 3; sidefront = 2; twosided = FALSE; }
linedef { v1 = 3; v2 = 0; sidefront = 3; sideback = 0x4; TwoSided = True; }
sidedef { sector = 0; offsetx = -8; } sidedef { sector = 0x0; } sidedef { sector = 0; }
sidedef { sector = 0; texturemiddle = "-"; } sidedef { sector = 01; }
sector { heightceiling = 0x80; lightlevel = 160; texturefloor = "FLAT"; }
sector { heightfloor = -020; heightceiling = 96; special = 010; id = 3; }
THING { x = 32; y = 32; type = 1; } thing { }
)",
      // Nothing between the tokens.
      "namespace=\"hexen\";vertex{x=0;y=0;}vertex{x=64;y=0;}vertex{x=64;y=96.5;}vertex{x=0;y=-32.25;}"
      "linedef{v1=0;v2=1;sidefront=0;}linedef{v1=1;v2=2;sidefront=1;special=80;arg0=2;id=5;}"
      "linedef{v1=2;v2=3;sidefront=2;}linedef{v1=3;v2=0;sidefront=3;sideback=4;twosided=true;}"
      "sidedef{sector=0;}sidedef{sector=0;}sidedef{sector=0;}sidedef{sector=0;}sidedef{sector=1;}"
      "sector{heightfloor=0;heightceiling=128;}sector{heightfloor=-16;heightceiling=96;special=8;id=3;}"
      "thing{}thing{}",
      // Records that name later ones, other kinds between them, CR LF and
      // tabs, and keys given twice, where the last one counts.
      "thing\r\n{\r\n}\r\nlinedef\t{\tv1 = 0; v2 = 1; sidefront = 0; }\r\n"
      "linedef { v1 = 1; v2 = 2; sidefront = 1; special = 80; arg0 = 2; id = 5; }\r\n"
      "sector { heightfloor = 0; heightceiling = 128; } thing { }\r\n"
      "linedef { v1 = 9; v1 = 2; v2 = 3; sidefront = 2; twosided = true; twosided = false; }\r\n"
      "linedef { v1 = 3; v2 = 0; sidefront = 3; sideback = 4; twosided = true; }\r\n"
      "sidedef { sector = 0; } sidedef { sector = 0; } sidedef { sector = 0; } sidedef { sector = 0; }\r\n"
      "sidedef { sector = 1; } sector { heightfloor = -16; heightceiling = 96; special = 8; id = 3; }\r\n"
      "vertex { x = 0; y = 0; } vertex { x = 64; y = 0; } vertex { x = 64; y = 96.5; }\r\n"
      "vertex { y = -32.25; x = 7; x = 0; } namespace = \"doom\"; namespace = \"hexen\";\r\n",
  };
  const std::string expected =
      "namespace hexen\nv 0 0\nv 4194304 0\nv 4194304 6324224\nv 0 -2113536\n"
      "0 1 0 -1 0 0 -1 0 \n1 2 1 -1 0 80 5 2 \n2 3 2 -1 0 0 -1 0 \n3 0 3 4 1 0 -1 0 \n"
      "s 0\ns 0\ns 0\ns 0\ns 1\nc 0 128 0 0\nc -16 96 8 3\nthings 2\n";
  for (const std::string& text : layouts) {
    UdmfMap map;
    std::string error;
    EXPECT_TRUE(Read(text, &map, &error)) << error;
    EXPECT_EQ(Describe(map), expected) << text;
  }
}

TEST(UdmfReaderTest, CoordinatesRoundToTheNearestFixedValueHalvesAwayFromZero) {
  const std::string manyZeros(100000, '0');
  const struct {
    std::string text;
    bool inRange;
    int32_t fixed;
  } cases[] = {
      {"0", true, 0},
      {"-0.0", true, 0},
      {"1", true, 65536},
      {"-32768", true, INT32_MIN},
      {"32767", true, 32767 * 65536},
      {"0x7fff", true, 32767 * 65536},
      {"-0100000", true, INT32_MIN},
      {"32768", false, 0},
      {"-32769", false, 0},
      {"0.5", true, 32768},
      {".5", true, 32768},
      {"5.", true, 327680},
      {"-1.5", true, -98304},
      {"0.1", true, 6554},  // 6553.6
      {"-0.1", true, -6554},
      {"0.3", true, 19661},  // 19660.8
      {"00012.5", true, 819200},
      // 2^-17 is half a unit: it rounds away from zero, whatever the sign.
      {"0.00000762939453125", true, 1},
      {"-0.00000762939453125", true, -1},
      {"0.00002288818359375", true, 2},  // 1.5 units
      {"-0.00002288818359375", true, -2},
      {"0.00000762939453124", true, 0},
      {"0.000007629394531250000000000000001", true, 1},
      // Below a half by less than a double can tell: the digits decide.
      {"0.00000762939453124999999999999", true, 0},
      {"-12345.00000762939453124999999999", true, -12345 * 65536},
      {"0.100000000000000000000000000000000000001", true, 6554},
      {"1." + manyZeros + "1", true, 65536},
      {"0." + manyZeros + "1e100003", true, 65536 * 100},
      // The ends of the range: 2^31 - 0.5 units rounds out, just under it stays.
      {"32767.99999237060546874999", true, INT32_MAX},
      {"32767.99999237060546875", false, 0},
      {"-32768.00000762939453124999", true, INT32_MIN},
      {"-32768.00000762939453125", false, 0},
      // Exponents.
      {"1e3", true, 65536000},
      {"1E-1", true, 6554},
      {"0.0001e4", true, 65536},
      {"100000e-5", true, 65536},
      {"1e+0004", true, 655360000},
      {"1e5", false, 0},
      {"-3.2768e4", true, INT32_MIN},
      {"1e-100000000000000000000", true, 0},
      {"1e100000000000000000000", false, 0},
      {"0e999999", true, 0},
      {"0.0e-5", true, 0},
  };
  for (const auto& c : cases) {
    const bool isFloat =
        c.text.find_first_of(".eE") != std::string::npos && c.text.find('x') == std::string::npos;
    int32_t fixed = 12345;
    EXPECT_EQ(
        ConvertUdmfFixed(reinterpret_cast<const uint8_t*>(c.text.data()), c.text.size(), isFloat, &fixed),
        c.inRange)
        << c.text;
    if (c.inRange) {
      EXPECT_EQ(fixed, c.fixed) << c.text;
    }

    // The same through the reader, as both coordinates of a vertex.
    UdmfMap map;
    std::string error;
    const std::string text =
        "vertex { x = " + c.text + "; y = " + c.text +
        "; } linedef { v1 = 0; v2 = 0; sidefront = 0; } sidedef { sector = 0; } sector { }";
    ASSERT_EQ(Read(text, &map, &error), c.inRange) << c.text;
    if (c.inRange) {
      EXPECT_EQ(map.vertexes[0].x, c.fixed) << c.text;
      EXPECT_EQ(map.vertexes[0].y, c.fixed) << c.text;
    } else {
      EXPECT_EQ(error, "TEXTMAP line 1, column 14: expected a coordinate from -32768 to 32767.99998 for 'x'");
    }
  }
}

TEST(UdmfReaderTest, HugeDeepAndBinaryInputsReadSoundlyOrFailCleanly) {
  const std::string level = "vertex{x=0;y=0;}linedef{v1=0;v2=0;sidefront=0;}sidedef{sector=0;}sector{}";
  const std::string tenMegabytes(10 << 20, 'a');
  // Read soundly: NUL and other bytes inside strings and comments, a
  // 10 MB line in a string, in a comment and in a coordinate's digits.
  const std::string good[] = {
      level + "thing{name=\"" + '\0' + "\xff\xc3\xa9\";}//" + '\0' + "\xfe\n/*" + '\0' + "\x80*/",
      level + "thing{name=\"" + tenMegabytes + "\";}",
      level + "//" + tenMegabytes,
      "vertex{x=1." + std::string(10 << 20, '0') + "1;y=0;}" + level,
  };
  for (const std::string& text : good) {
    UdmfMap map;
    std::string error;
    EXPECT_TRUE(Read(text, &map, &error)) << error;
  }
  // Fail cleanly, without recursion: thousands of braces, and a 10 MB line
  // that ends in a problem.
  EXPECT_EQ(ErrorOf(std::string(100000, '{')), "TEXTMAP line 1, column 1: expected a key or a block name");
  EXPECT_EQ(ErrorOf("a" + std::string(100000, '{')), "TEXTMAP line 1, column 3: expected a key or '}'");
  std::string opened;
  for (int k = 0; k < 100000; k++) opened += "vertex{";
  // Inside the first block, the second block's name reads as a key.
  EXPECT_EQ(ErrorOf(opened), "TEXTMAP line 1, column 14: expected '='");
  EXPECT_EQ(ErrorOf(level + "x=" + tenMegabytes + ";" + std::string(1, '\0')),
            "TEXTMAP line 1, column " + std::to_string(level.size() + 2 + tenMegabytes.size() + 2) +
                ": unexpected byte 0x00");

  // Random runs of TEXTMAP's own tokens and stray bytes either read, with
  // every number naming a record, or fail with a message in the one form.
  const std::string pieces[] = {
      "vertex", "linedef", "sidedef",   "sector",   "thing",  "x",        "y",
      "v1",     "v2",      "sidefront", "sideback", "sector", "twosided", "true",
      "=",      ";",       "{",         "}",        "0",      "1",        "-1",
      "0x1",    "07",      "1.5",       "1e2",      "\"s\"",  "/*",       "*/",
      "//",     "\n",      " ",         "\"",       "\\",     "\xff",     std::string(1, '\0')};
  std::mt19937 random(20240611);
  for (int run = 0; run < 3000; run++) {
    std::string text = run % 2 == 0 ? level : "";
    const int count = static_cast<int>(random() % 40);
    for (int k = 0; k < count; k++) text += pieces[random() % (sizeof pieces / sizeof pieces[0])];
    UdmfMap map;
    std::string error;
    if (Read(text, &map, &error)) {
      for (const UdmfLineDef& l : map.lineDefs) {
        EXPECT_LT(l.v1, map.vertexes.size());
        EXPECT_LT(l.sideFront, map.sideDefs.size());
      }
    } else {
      EXPECT_TRUE(HasMessageForm(error)) << error;
    }
  }
}

}  // namespace
