#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

namespace vorpel {

// True when text denotes a decimal number: optional blanks (space, tab)
// around, an optional sign, digits with an optional '.' and fraction ("5",
// "5.", ".5", "12.25"), an optional exponent ("1e3", "2.5E-1"). Empty text,
// blanks only, "12abc", "0x10", "inf" and "nan" are not numbers.
bool IsNumericText(std::string_view text);

// The number that text denotes, rounded to the nearest integer with a half
// going to the even neighbour ("2.5" gives 2, "3.5" gives 4, "-2.5" gives
// -2). Rounding is exact on the decimal digits, never through a double.
// nullopt when the text is not numeric or the rounded value lies outside
// -32768..32767.
std::optional<std::int16_t> ToInt16(std::string_view text);

// The same rounding into a 64-bit integer: nullopt when the text is not
// numeric or the rounded value lies outside -2^63..2^63-1. For the batch
// command, whose counts go beyond the window's 16 bits.
std::optional<std::int64_t> ToInt64(std::string_view text);

// True when text is numeric and the exact number it denotes, before any
// rounding, lies in [low, high]: with 0 and 100, "99.5" passes, "100.4"
// and "-0.4" fail.
bool IsNumberInRange(std::string_view text, std::int64_t low, std::int64_t high);

}  // namespace vorpel
