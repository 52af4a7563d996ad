#include "numeric_text.h"

#include <algorithm>
#include <cstdint>
#include <limits>
#include <string>

namespace vorpel {
namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t'; }
bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// A parsed number: value = (negative ? -1 : 1) * digits * 10^exponent, where
// digits holds no leading zeros (empty for zero).
struct Decimal {
  bool negative = false;
  std::string digits;
  std::int64_t exponent = 0;
};

// Exponents beyond this make any non-zero number far out of every range we
// compare against, so larger ones are clamped while parsing.
constexpr std::int64_t kExponentClamp = 1'000'000'000;

std::optional<Decimal> Parse(std::string_view text) {
  std::size_t pos = 0;
  const std::size_t end_of_text = text.size();
  while (pos < end_of_text && IsBlank(text[pos])) ++pos;
  std::size_t end = end_of_text;
  while (end > pos && IsBlank(text[end - 1])) --end;
  if (pos == end) return std::nullopt;

  Decimal number;
  if (text[pos] == '+' || text[pos] == '-') {
    number.negative = text[pos] == '-';
    ++pos;
  }
  std::size_t digit_count = 0;
  std::int64_t fraction_digits = 0;
  bool seen_point = false;
  for (; pos < end; ++pos) {
    const char c = text[pos];
    if (IsDigit(c)) {
      ++digit_count;
      if (!(number.digits.empty() && c == '0')) number.digits.push_back(c);
      if (seen_point) ++fraction_digits;
    } else if (c == '.' && !seen_point) {
      seen_point = true;
    } else {
      break;
    }
  }
  if (digit_count == 0) return std::nullopt;

  std::int64_t exponent = 0;
  if (pos < end && (text[pos] == 'e' || text[pos] == 'E')) {
    ++pos;
    bool exponent_negative = false;
    if (pos < end && (text[pos] == '+' || text[pos] == '-')) {
      exponent_negative = text[pos] == '-';
      ++pos;
    }
    std::size_t exponent_digits = 0;
    for (; pos < end && IsDigit(text[pos]); ++pos) {
      ++exponent_digits;
      exponent = std::min(exponent * 10 + (text[pos] - '0'), kExponentClamp);
    }
    if (exponent_digits == 0) return std::nullopt;
    if (exponent_negative) exponent = -exponent;
  }
  if (pos != end) return std::nullopt;

  // Leading zeros of the fraction were dropped from digits but still count
  // as fraction places, so the exponent stays right: "0.05" is 5 * 10^-2.
  number.exponent = exponent - fraction_digits;
  // Trailing zeros carry no value; dropping them keeps digits short.
  while (!number.digits.empty() && number.digits.back() == '0') {
    number.digits.pop_back();
    ++number.exponent;
  }
  return number;
}

// The magnitude split at the decimal point: integer part (saturated) and a
// classification of the fraction against one half.
enum class FractionClass { Zero, BelowHalf, Half, AboveHalf };

struct Split {
  std::uint64_t integer = 0;  // saturates at kSaturated
  FractionClass fraction = FractionClass::Zero;
};

// Beyond every 64-bit value: an integer part of 19 digits still fits.
constexpr std::uint64_t kSaturated = std::numeric_limits<std::uint64_t>::max();
constexpr std::int64_t kMaxIntegerDigits = 19;

Split SplitMagnitude(const Decimal& number) {
  Split split;
  if (number.digits.empty()) return split;
  const auto length = static_cast<std::int64_t>(number.digits.size());
  const std::int64_t integer_digits = length + number.exponent;
  if (integer_digits > kMaxIntegerDigits) {
    split.integer = kSaturated;
    return split;
  }
  for (std::int64_t i = 0; i < std::min(integer_digits, length); ++i) {
    split.integer = split.integer * 10 +
                    static_cast<std::uint64_t>(number.digits[static_cast<std::size_t>(i)] - '0');
  }
  for (std::int64_t i = length; i < integer_digits; ++i) split.integer *= 10;

  // Fraction digits start at index integer_digits (may be negative: leading
  // zeros after the point).
  if (integer_digits >= length) return split;
  if (integer_digits < 0) {
    split.fraction = FractionClass::BelowHalf;
    return split;
  }
  const char first = number.digits[static_cast<std::size_t>(integer_digits)];
  const bool more = integer_digits + 1 < length;  // digits has no trailing zeros
  if (first > '5' || (first == '5' && more)) {
    split.fraction = FractionClass::AboveHalf;
  } else if (first == '5') {
    split.fraction = FractionClass::Half;
  } else if (first == '0' && !more) {
    split.fraction = FractionClass::Zero;
  } else {
    split.fraction = FractionClass::BelowHalf;
  }
  return split;
}

// The number rounded to the nearest integer, a half to the even one, when
// that lies in [low, high].
std::optional<std::int64_t> RoundInRange(std::string_view text, std::int64_t low,
                                         std::int64_t high) {
  const auto number = Parse(text);
  if (!number) return std::nullopt;
  const Split split = SplitMagnitude(*number);
  if (split.integer == kSaturated) return std::nullopt;
  std::uint64_t magnitude = split.integer;
  if (split.fraction == FractionClass::AboveHalf ||
      (split.fraction == FractionClass::Half && magnitude % 2 == 1)) {
    ++magnitude;
  }
  // The largest magnitude of each sign, as an unsigned number.
  constexpr auto kMaxPositive =
      static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max());
  std::int64_t value = 0;
  if (magnitude == 0) {
    value = 0;
  } else if (number->negative) {
    if (magnitude > kMaxPositive + 1) return std::nullopt;
    value = -static_cast<std::int64_t>(magnitude - 1) - 1;
  } else {
    if (magnitude > kMaxPositive) return std::nullopt;
    value = static_cast<std::int64_t>(magnitude);
  }
  if (value < low || value > high) return std::nullopt;
  return value;
}

}  // namespace

bool IsNumericText(std::string_view text) { return Parse(text).has_value(); }

std::optional<std::int16_t> ToInt16(std::string_view text) {
  const auto value = RoundInRange(text, INT16_MIN, INT16_MAX);
  if (!value) return std::nullopt;
  return static_cast<std::int16_t>(*value);
}

std::optional<std::int64_t> ToInt64(std::string_view text) {
  return RoundInRange(text, std::numeric_limits<std::int64_t>::min(),
                      std::numeric_limits<std::int64_t>::max());
}

bool IsNumberInRange(std::string_view text, std::int64_t low, std::int64_t high) {
  const auto number = Parse(text);
  if (!number) return false;
  const Split split = SplitMagnitude(*number);
  const bool has_fraction = split.fraction != FractionClass::Zero;
  const bool negative = number->negative && (split.integer != 0 || has_fraction);
  // The bounds as magnitudes on the number's side of zero; a bound on the
  // other side leaves no room (low) or all of it (high).
  const auto magnitude_of = [](std::int64_t bound) {
    return bound < 0 ? static_cast<std::uint64_t>(-(bound + 1)) + 1
                     : static_cast<std::uint64_t>(bound);
  };
  if (negative) {
    // value = -(integer + fraction): value >= low needs low < 0 and
    // integer + fraction <= |low|; value <= high needs integer >= |high|
    // when high < 0.
    if (low >= 0) return false;
    const std::uint64_t limit = magnitude_of(low);
    if (split.integer > limit || (split.integer == limit && has_fraction)) return false;
    return high >= 0 || split.integer >= magnitude_of(high);
  }
  if (high < 0) return false;
  if (low > 0 && split.integer < magnitude_of(low)) return false;
  const std::uint64_t limit = magnitude_of(high);
  return split.integer < limit || (split.integer == limit && !has_fraction);
}

}  // namespace vorpel
