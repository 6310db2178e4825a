// SPDX-License-Identifier: GPL-2.0-or-later
// Token values. Coordinates are rounded from the decimal digits with whole
// numbers only: a double would round the text once on reading and the
// product with 65536 again, and a value near a half could land on the
// wrong side of it.
#include "wad/udmf_numbers.h"

namespace {

int HexValue(uint8_t c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return c - 'A' + 10;
}

bool IsDigit(uint8_t c) { return c >= '0' && c <= '9'; }

constexpr int64_t FixedOne = 65536;
constexpr int64_t FixedMagnitudeLimit = int64_t{1} << 31;  // -2^31 fits, 2^31 does not
// An exponent is read up to this size: past it the value is out of range
// or rounds to zero, whatever the digits (a lump holds under 2^31 of them).
constexpr int64_t ExponentLimit = 10000000000;

// A float token's digits: the integer digits and the fraction digits
// without the point between them, and the power of ten of the exponent.
struct DecimalText {
  const uint8_t* integer;
  size_t integerCount;
  const uint8_t* fraction;
  size_t fractionCount;
  int64_t exponent;

  size_t Count() const { return integerCount + fractionCount; }
  int Digit(size_t k) const { return (k < integerCount ? integer[k] : fraction[k - integerCount]) - '0'; }
};

DecimalText SplitDecimal(const uint8_t* p, size_t length) {
  DecimalText d{p, 0, p, 0, 0};
  size_t at = 0;
  while (at < length && IsDigit(p[at])) at++;
  d.integerCount = at;
  if (at < length && p[at] == '.') {
    d.fraction = p + ++at;
    while (at < length && IsDigit(p[at])) at++;
    d.fractionCount = static_cast<size_t>(p + at - d.fraction);
  }
  if (at < length) {  // an exponent
    at++;
    bool negative = at < length && p[at] == '-';
    if (at < length && (p[at] == '-' || p[at] == '+')) at++;
    for (; at < length; at++) {
      if (d.exponent < ExponentLimit) d.exponent = d.exponent * 10 + (p[at] - '0');
    }
    if (negative) d.exponent = -d.exponent;
  }
  return d;
}

// |value| * 65536 rounded, halves up; false past FixedMagnitudeLimit.
// The value is 0.d[first]d[first+1]... * 10^lead where d[first] is the
// first digit that is not zero. Its integer digits number `lead`, at most
// 5 below the limit; below 10^-6 the product is under 0.07 and rounds to
// zero. The fraction f is multiplied by 2^17 from its last digit to its
// first, as by hand, which leaves floor(f * 2^17) as the carry; halving
// that plus one rounds f * 2^16 to the nearest, halves up.
bool RoundMagnitude(const DecimalText& d, int64_t* magnitude) {
  const size_t count = d.Count();
  size_t first = 0;
  while (first < count && d.Digit(first) == 0) first++;
  *magnitude = 0;
  if (first == count) return true;
  const int64_t lead = static_cast<int64_t>(d.integerCount) + d.exponent - static_cast<int64_t>(first);
  if (lead > 5) return false;
  if (lead < -6) return true;

  int64_t whole = 0;
  for (int64_t k = 0; k < lead; k++) {
    size_t index = first + static_cast<size_t>(k);
    whole = whole * 10 + (index < count ? d.Digit(index) : 0);
  }
  const size_t fractionFrom = lead > 0 ? first + static_cast<size_t>(lead) : first;
  int64_t carry = 0;
  for (size_t k = count; k > fractionFrom; k--) carry = (d.Digit(k - 1) * (2 * FixedOne) + carry) / 10;
  for (int64_t k = lead; k < 0; k++) carry /= 10;  // the zeros between the point and d[first]

  *magnitude = whole * FixedOne + (carry + 1) / 2;
  return true;
}

}  // namespace

const char* const UdmfLargestCoordinateText = "32767.99998";

bool ConvertUdmfInteger(const uint8_t* digits, size_t length, int64_t* value) {
  size_t at = 0;
  bool negative = false;
  if (at < length && (digits[at] == '+' || digits[at] == '-')) negative = digits[at++] == '-';
  uint64_t base = 10;
  if (at + 1 < length && digits[at] == '0' && (digits[at + 1] == 'x' || digits[at + 1] == 'X')) {
    base = 16;
    at += 2;
  } else if (at + 1 < length && digits[at] == '0') {
    base = 8;
  }
  // Held as a magnitude up to 2^63, the most that a negative value needs.
  const uint64_t limit = uint64_t{1} << 63;
  uint64_t magnitude = 0;
  for (; at < length; at++) {
    uint64_t digit = static_cast<uint64_t>(HexValue(digits[at]));
    if (magnitude > (limit - digit) / base) return false;
    magnitude = magnitude * base + digit;
  }
  if (!negative && magnitude == limit) return false;
  *value = negative ? static_cast<int64_t>(0 - magnitude) : static_cast<int64_t>(magnitude);
  return true;
}

bool ConvertUdmfFixed(const uint8_t* digits, size_t length, bool isFloat, int32_t* fixed) {
  if (!isFloat) {
    int64_t value = 0;
    if (!ConvertUdmfInteger(digits, length, &value) || value < -32768 || value > 32767) return false;
    *fixed = static_cast<int32_t>(value * FixedOne);
    return true;
  }
  bool negative = length > 0 && digits[0] == '-';
  size_t sign = length > 0 && (digits[0] == '-' || digits[0] == '+') ? 1 : 0;
  int64_t magnitude = 0;
  if (!RoundMagnitude(SplitDecimal(digits + sign, length - sign), &magnitude)) return false;
  if (magnitude > FixedMagnitudeLimit || (!negative && magnitude == FixedMagnitudeLimit)) return false;
  *fixed = static_cast<int32_t>(negative ? -magnitude : magnitude);
  return true;
}

std::string DecodeUdmfString(const uint8_t* quoted, size_t length) {
  std::string out;
  if (length < 2) return out;
  out.reserve(length - 2);
  for (size_t at = 1; at + 1 < length; at++) {
    if (quoted[at] == '\\') at++;
    out.push_back(static_cast<char>(quoted[at]));
  }
  return out;
}
