// SPDX-License-Identifier: GPL-2.0-or-later
// The values of TEXTMAP tokens (wad/udmf_lexer.h): integers, coordinates
// in 16.16 fixed point and strings. Each takes the bytes of a token that
// the lexer has already checked for its form.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

// An integer token: optional sign, then decimal, octal after a leading 0,
// or hexadecimal after 0x. False when the value does not fit 64 bits.
bool ConvertUdmfInteger(const uint8_t* digits, size_t length, int64_t* value);

// The largest coordinate that fixed point holds, 2147483647 / 65536, as
// the messages print it.
extern const char* const UdmfLargestCoordinateText;

// A number token, integer or float, as 16.16 fixed point: the value of the
// decimal text itself times 65536, rounded to the nearest whole number,
// halves away from zero. The rounding is exact for any number of digits
// and any exponent, with no binary floating point on the way. False when
// the rounded value does not fit 32 bits (from -2^31 to 2^31 - 1), that
// is unless -32768.00000762939453125 < value < 32767.99999237060546875;
// an integer token must lie within -32768 to 32767.
bool ConvertUdmfFixed(const uint8_t* digits, size_t length, bool isFloat, int32_t* fixed);

// The bytes between the quotes of a string token, each backslash dropped
// and the byte after it kept as it is (so \" is a quote and \\ a
// backslash; no key that is read needs control characters).
std::string DecodeUdmfString(const uint8_t* quoted, size_t length);
