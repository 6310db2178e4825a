// SPDX-License-Identifier: GPL-2.0-or-later
// Splitting TEXTMAP into tokens: one pass over the bytes, no allocation.
#include "wad/udmf_lexer.h"

#include <cstring>

namespace {

bool IsDigit(uint8_t c) { return c >= '0' && c <= '9'; }

bool IsHexDigit(uint8_t c) { return IsDigit(c) || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F'); }

bool IsWordStart(uint8_t c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_'; }

bool IsWordByte(uint8_t c) { return IsWordStart(c) || IsDigit(c); }

bool IsBlank(uint8_t c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f' || c == '\v'; }

uint8_t LowerAscii(uint8_t c) { return c >= 'A' && c <= 'Z' ? static_cast<uint8_t>(c + ('a' - 'A')) : c; }

// The offset of the first `c` at or after `from`, or `size`.
size_t FindByte(const uint8_t* text, size_t size, size_t from, uint8_t c) {
  if (from >= size) return size;
  const void* found = std::memchr(text + from, c, size - from);
  return found == nullptr ? size : static_cast<size_t>(static_cast<const uint8_t*>(found) - text);
}

// Skips blanks and comments. False at a block comment without its end,
// with `at` left at the comment's slash.
bool SkipBlanks(UdmfLexer* lexer) {
  const uint8_t* text = lexer->text;
  const size_t size = lexer->size;
  size_t at = lexer->at;
  for (;;) {
    while (at < size && IsBlank(text[at])) at++;
    if (at + 1 >= size || text[at] != '/') break;
    if (text[at + 1] == '/') {
      at = FindByte(text, size, at + 2, '\n');
    } else if (text[at + 1] == '*') {
      // The end is searched from after the opening pair, so "/*/" stays open.
      size_t star = FindByte(text, size, at + 2, '*');
      while (star + 1 < size && text[star + 1] != '/') star = FindByte(text, size, star + 1, '*');
      if (star + 1 >= size) {
        lexer->at = at;
        return false;
      }
      at = star + 2;
    } else {
      break;
    }
  }
  lexer->at = at;
  return true;
}

// The end of the number starting at `at`, or `size + 1` when the bytes
// there are no number. Signs are allowed on every form; an integer with a
// leading 0 is octal and so holds no 8 or 9, unless a point or an
// exponent makes it a float. A number may not run into a word or a point.
size_t ScanNumber(const uint8_t* text, size_t size, size_t at, bool* isFloat) {
  const size_t bad = size + 1;
  *isFloat = false;
  if (at < size && (text[at] == '+' || text[at] == '-')) at++;
  if (at + 1 < size && text[at] == '0' && (text[at + 1] == 'x' || text[at + 1] == 'X')) {
    size_t digits = at + 2;
    at = digits;
    while (at < size && IsHexDigit(text[at])) at++;
    if (at == digits) return bad;
  } else {
    const size_t integerStart = at;
    bool octalOnly = true;
    while (at < size && IsDigit(text[at])) {
      if (text[at] > '7') octalOnly = false;
      at++;
    }
    size_t digits = at - integerStart;
    if (at < size && text[at] == '.') {
      *isFloat = true;
      const size_t fractionStart = ++at;
      while (at < size && IsDigit(text[at])) at++;
      digits += at - fractionStart;
    }
    if (digits == 0) return bad;
    if (at < size && (text[at] == 'e' || text[at] == 'E')) {
      *isFloat = true;
      at++;
      if (at < size && (text[at] == '+' || text[at] == '-')) at++;
      const size_t exponentStart = at;
      while (at < size && IsDigit(text[at])) at++;
      if (at == exponentStart) return bad;
    }
    if (!*isFloat && digits > 1 && text[integerStart] == '0' && !octalOnly) return bad;
  }
  if (at < size && (IsWordByte(text[at]) || text[at] == '.')) return bad;
  return at;
}

UdmfToken Bad(UdmfLexer* lexer, UdmfLexProblem problem, size_t at) {
  lexer->problem = problem;
  lexer->at = at;
  return UdmfToken{UdmfTokenKind::Bad, at, 0};
}

}  // namespace

void StartUdmfLexer(UdmfLexer* lexer, const uint8_t* text, size_t size) {
  lexer->text = text;
  lexer->size = size;
  lexer->at = 0;
  lexer->problem = UdmfLexProblem::None;
}

UdmfToken ReadUdmfToken(UdmfLexer* lexer) {
  if (lexer->problem != UdmfLexProblem::None) return UdmfToken{UdmfTokenKind::Bad, lexer->at, 0};
  if (!SkipBlanks(lexer)) return Bad(lexer, UdmfLexProblem::UnterminatedComment, lexer->at);
  const uint8_t* text = lexer->text;
  const size_t size = lexer->size;
  const size_t start = lexer->at;
  if (start >= size) return UdmfToken{UdmfTokenKind::End, size, 0};

  UdmfToken token{UdmfTokenKind::Bad, start, 1};
  const uint8_t c = text[start];
  switch (c) {
    case '=': token.kind = UdmfTokenKind::Equals; break;
    case ';': token.kind = UdmfTokenKind::Semicolon; break;
    case '{': token.kind = UdmfTokenKind::OpenBrace; break;
    case '}': token.kind = UdmfTokenKind::CloseBrace; break;
    case '"': {
      size_t at = start + 1;
      for (;;) {
        while (at < size && text[at] != '"' && text[at] != '\\') at++;
        if (at >= size) return Bad(lexer, UdmfLexProblem::UnterminatedString, start);
        if (text[at] == '"') break;
        at += 2;  // a backslash keeps the byte after it, a quote too
      }
      token.kind = UdmfTokenKind::String;
      token.length = at + 1 - start;
      break;
    }
    default:
      if (IsWordStart(c)) {
        size_t at = start + 1;
        while (at < size && IsWordByte(text[at])) at++;
        token.kind = UdmfTokenKind::Identifier;
        token.length = at - start;
      } else if (IsDigit(c) || c == '+' || c == '-' || c == '.') {
        bool isFloat = false;
        const size_t end = ScanNumber(text, size, start, &isFloat);
        if (end > size) return Bad(lexer, UdmfLexProblem::MalformedNumber, start);
        token.kind = isFloat ? UdmfTokenKind::Float : UdmfTokenKind::Integer;
        token.length = end - start;
      } else {
        return Bad(lexer, UdmfLexProblem::UnexpectedByte, start);
      }
  }
  lexer->at = start + token.length;
  return token;
}

bool MatchUdmfWord(const uint8_t* text, const UdmfToken& token, const char* lowerWord) {
  const size_t length = std::strlen(lowerWord);
  if (token.length != length) return false;
  for (size_t k = 0; k < length; k++) {
    if (LowerAscii(text[token.start + k]) != static_cast<uint8_t>(lowerWord[k])) return false;
  }
  return true;
}
