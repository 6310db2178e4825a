// SPDX-License-Identifier: GPL-2.0-or-later
// The tokens of a TEXTMAP lump. A token is only a kind and a span of the
// text: numbers and strings are converted by wad/udmf_numbers.h when a key
// that is kept needs them, so that reading a large map allocates nothing
// per token and the many values a node builder ignores cost a scan only.
#pragma once

#include <cstddef>
#include <cstdint>

enum class UdmfTokenKind {
  Identifier,  // a key, a block name, or a keyword value such as true
  Integer,     // decimal, octal after a leading 0, hexadecimal after 0x
  Float,       // digits with a point, an exponent or both
  String,      // the span includes both quotes
  Equals,
  Semicolon,
  OpenBrace,
  CloseBrace,
  End,  // the end of the text; its span starts at the text's size
  Bad,  // not a token; the lexer's problem says why
};

// Why a Bad token is not a token. Its span starts where the problem is:
// the opening quote, the comment's slash, the number's first character or
// the byte itself.
enum class UdmfLexProblem {
  None,
  UnterminatedString,
  UnterminatedComment,
  MalformedNumber,
  UnexpectedByte,
};

struct UdmfToken {
  UdmfTokenKind kind;
  size_t start;  // byte offset in the text
  size_t length;
};

struct UdmfLexer {
  const uint8_t* text;
  size_t size;
  size_t at;  // where the next token's search starts
  UdmfLexProblem problem;
};

void StartUdmfLexer(UdmfLexer* lexer, const uint8_t* text, size_t size);

// The next token after blanks and comments. After a Bad token the lexer
// stays where it is: the caller stops at the first problem.
UdmfToken ReadUdmfToken(UdmfLexer* lexer);

// Identifiers and keywords compare without regard to ASCII case.
bool MatchUdmfWord(const uint8_t* text, const UdmfToken& token, const char* lowerWord);
