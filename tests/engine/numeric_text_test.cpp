#include "numeric_text.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <optional>
#include <random>
#include <regex>
#include <string>
#include <vector>

#include "option_rules.h"
#include "vorpel_test/text_generator.h"

namespace vorpel {
namespace {

// ---------------------------------------------------------------------------
// Tables

struct NumberCase {
  std::string text;
  std::optional<std::int16_t> value;  // nullopt: numeric but out of range
};

TEST(NumericText, NumericTextsAndTheirRoundedValues) {
  const std::vector<NumberCase> cases = {
      {"5", 5},
      {"5.", 5},
      {".5", 0},
      {"0.5", 0},
      {"1.5", 2},
      {"12.25", 12},
      {"1e3", 1000},
      {"1E3", 1000},
      {"2.5E-1", 0},
      {"25e-1", 2},
      {"35E-1", 4},
      {"1.5e1", 15},
      {"5.e1", 50},
      {".5e1", 5},
      {"1e+2", 100},
      {" 7 ", 7},
      {"\t8\t", 8},
      {"  -9", -9},
      {"+3", 3},
      {"-2.5", -2},
      {"2.5", 2},
      {"3.5", 4},
      {"12.5", 12},
      {"13.5", 14},
      {"-0.5", 0},
      {"-1.5", -2},
      {"-0", 0},
      {"0", 0},
      {"000000000000000000000012", 12},
      {"12.50000000", 12},
      {"12.500000001", 13},
      {"2.5000000001", 3},
      {"2.4999999999999999999999", 2},
      {"99.5", 100},
      {"32767", 32767},
      {"32767.4999", 32767},
      {"32766.5", 32766},
      {"32767.5", std::nullopt},  // the even neighbour is 32768
      {"32768", std::nullopt},
      {"-32768", -32768},
      {"-32768.5", -32768},
      {"-32768.5000001", std::nullopt},
      {"-32769", std::nullopt},
      {"40000", std::nullopt},
      {"-40000", std::nullopt},
      {"1e6", std::nullopt},
      {"1e400", std::nullopt},
      {"-1e400", std::nullopt},
      {"1e99999999999999999999", std::nullopt},
      {"1e-400", 0},
      {"-1e-400", 0},
      {"1e-99999999999999999999", 0},
      {"0e99999999999999999999", 0},
      {"0.0000000000000000000000000000000000000000001e43", 1},
      {"100000000000000000000e-20", 1},
      {"3276.75e1", std::nullopt},
      {"3276.74e1", 32767},
      {"123456789012345678901234567890", std::nullopt},
  };
  for (const auto& [text, value] : cases) {
    SCOPED_TRACE("text \"" + text + "\"");
    EXPECT_TRUE(IsNumericText(text));
    EXPECT_EQ(ToInt16(text), value);
  }
}

TEST(NumericText, TextsThatAreNotNumbers) {
  const std::vector<std::string> cases = {
      "",
      "   ",
      "\t",
      "12abc",
      "0x10",
      "inf",
      "-inf",
      "infinity",
      "nan",
      "NaN",
      "1e",
      "1e+",
      "e5",
      ".",
      "+",
      "-",
      "- 5",
      "1,000",
      "1,5",
      "1.2.3",
      "++1",
      "+-1",
      "5-",
      "1 2",
      "1e5.5",
      ".e1",
      "1e 5",
      "abc",
      "$5",
      "5%",
      "1_000",
      "1e1e1",
      "0b1",
      "\xB2",
      "\xA0"
      "5",
  };
  for (const auto& text : cases) {
    SCOPED_TRACE("text \"" + text + "\"");
    EXPECT_FALSE(IsNumericText(text));
    EXPECT_EQ(ToInt16(text), std::nullopt);
  }
}

TEST(NumericText, NumberInRangeComparesBeforeRounding) {
  struct Case {
    std::string text;
    std::int64_t low;
    std::int64_t high;
    bool expected;
  };
  const std::vector<Case> cases = {
      {"99.5", 0, 100, true},
      {"100", 0, 100, true},
      {"100.0", 0, 100, true},
      {"100.4", 0, 100, false},
      {"100.0000001", 0, 100, false},
      {"101", 0, 100, false},
      {"1e2", 0, 100, true},
      {"1.005e2", 0, 100, false},
      {"0", 0, 100, true},
      {"-0", 0, 100, true},
      {"-0.0e5", 0, 100, true},
      {"-0.4", 0, 100, false},
      {"-1e-400", 0, 100, false},
      {"1e-400", 0, 100, true},
      {"0e999999", 0, 100, true},
      {"abc", 0, 100, false},
      {"", 0, 100, false},
      {"1e999999", 0, 100, false},
      {"-3", -10, -3, true},
      {"-2.5", -10, -3, false},
      {"-10", -10, -3, true},
      {"-10.5", -10, -3, false},
      {"-3.5", -10, -3, true},
      {"0", -10, -3, false},
      {"-5.1", -5, 5, false},
      {"5.1", -5, 5, false},
      {"-5", -5, 5, true},
      {"4.99", -5, 5, true},
      {"-1e999999", -5, 5, false},
  };
  for (const auto& [text, low, high, expected] : cases) {
    EXPECT_EQ(IsNumberInRange(text, low, high), expected)
        << "\"" << text << "\" in [" << low << ", " << high << "]";
  }
}

TEST(OptionRules, SequenceLengthAcceptsZeroToHundredBeforeRounding) {
  struct Case {
    std::string text;
    bool valid;
  };
  const std::vector<Case> cases = {
      {"0", true},    {"-0", true},   {"4", true},      {"100", true},   {"99.5", true},
      {" 50 ", true}, {"1e2", true},  {"100.4", false}, {"-0.4", false}, {"101", false},
      {"-1", false},  {"abc", false}, {"", false},      {"1e3", false},  {"0x10", false},
  };
  for (const auto& [text, valid] : cases) {
    EXPECT_EQ(IsValidSeqLength(text), valid) << "\"" << text << "\"";
  }
  // A valid length always converts to a value the reader can use.
  EXPECT_EQ(ToInt16("99.5"), 100);
  EXPECT_EQ(ToInt16("-0"), 0);
}

TEST(OptionRules, UnitModeNeedsExactlyOneSelection) {
  EXPECT_TRUE(IsValidUnitMode(true, false, 1));
  EXPECT_TRUE(IsValidUnitMode(false, true, 2));
  EXPECT_FALSE(IsValidUnitMode(true, true, 1));
  EXPECT_FALSE(IsValidUnitMode(false, false, 2));
  EXPECT_FALSE(IsValidUnitMode(true, false, 3));
  EXPECT_FALSE(IsValidUnitMode(true, false, 0));
}

// ---------------------------------------------------------------------------
// Properties on generated texts

// A decimal number built digit by digit: value = sign * mantissa * 10^scale.
struct ExactNumber {
  std::string text;
  bool negative = false;
  std::uint64_t mantissa = 0;  // all digits, fraction included; below 10^14
  int scale = 0;               // exponent minus the count of fraction digits
};

ExactNumber RandomNumber(std::mt19937_64& rng) {
  auto pick = [&](int n) { return static_cast<int>(rng() % static_cast<std::uint64_t>(n)); };
  auto digits = [&](int count) {
    std::string s;
    for (int i = 0; i < count; ++i) s += static_cast<char>('0' + pick(10));
    return s;
  };
  auto blanks = [&] {
    std::string s;
    for (int i = pick(3); i > 0; --i) s += pick(2) == 0 ? ' ' : '\t';
    return s;
  };
  ExactNumber number;
  const int sign = pick(3);
  number.negative = sign == 2;
  const std::string integer = digits(pick(8));
  const bool point = integer.empty() || pick(2) == 0;
  const std::string fraction = point ? digits(integer.empty() ? 1 + pick(6) : pick(7)) : "";
  int exponent = 0;
  std::string exponent_text;
  if (pick(3) == 0) {
    exponent = pick(16);
    const bool exponent_negative = pick(2) == 0;
    exponent_text = std::string(pick(2) == 0 ? "e" : "E") +
                    (exponent_negative ? "-" : (pick(2) == 0 ? "+" : "")) +
                    (pick(4) == 0 ? "0" : "") + std::to_string(exponent);
    if (exponent_negative) exponent = -exponent;
  }
  number.text = blanks() +
                (sign == 0   ? ""
                 : sign == 1 ? "+"
                             : "-") +
                integer + (point ? "." : "") + fraction + exponent_text + blanks();
  for (const char c : integer + fraction) number.mantissa = number.mantissa * 10 + (c - '0');
  number.scale = exponent - static_cast<int>(fraction.size());
  return number;
}

std::uint64_t PowerOfTen(int n) {
  std::uint64_t p = 1;
  for (int i = 0; i < n; ++i) p *= 10;
  return p;
}

// -1, 0 or 1 as |number| is below, equal to or above bound (bound <= 10^5).
int CompareMagnitude(const ExactNumber& number, std::uint64_t bound) {
  const std::uint64_t m = number.mantissa;
  if (m == 0) return bound == 0 ? 0 : -1;
  if (number.scale >= 0) {
    if (number.scale > 5) return 1;  // at least 10^6
    const std::uint64_t value = m * PowerOfTen(number.scale);
    return value < bound ? -1 : value > bound ? 1 : 0;
  }
  if (bound == 0) return 1;
  if (-number.scale >= 14) return -1;  // m < 10^14 <= bound * 10^-scale
  const std::uint64_t scaled_bound = bound * PowerOfTen(-number.scale);
  return m < scaled_bound ? -1 : m > scaled_bound ? 1 : 0;
}

// The exactly rounded (half to even) magnitude, or nullopt above 10^6.
std::optional<std::uint64_t> RoundedMagnitude(const ExactNumber& number) {
  if (number.mantissa == 0) return 0;
  if (number.scale >= 0) {
    if (number.scale > 5) return std::nullopt;
    return number.mantissa * PowerOfTen(number.scale);
  }
  if (-number.scale > 15) return 0;  // below 10^14 / 10^16: under a half
  const std::uint64_t divisor = PowerOfTen(-number.scale);
  const std::uint64_t quotient = number.mantissa / divisor;
  const std::uint64_t twice_rest = 2 * (number.mantissa % divisor);
  if (twice_rest > divisor || (twice_rest == divisor && quotient % 2 == 1)) return quotient + 1;
  return quotient;
}

bool InRangeExact(const ExactNumber& number, std::int64_t low, std::int64_t high) {
  const bool negative = number.negative && number.mantissa != 0;
  auto compare = [&](std::int64_t bound) {  // sign of (number - bound)
    const bool bound_negative = bound < 0;
    const auto magnitude = static_cast<std::uint64_t>(bound_negative ? -bound : bound);
    if (!negative && !bound_negative) return CompareMagnitude(number, magnitude);
    if (negative && bound_negative) return -CompareMagnitude(number, magnitude);
    return negative ? -1 : 1;
  };
  return compare(low) >= 0 && compare(high) <= 0;
}

TEST(NumericTextProperty, ToInt16AgreesWithExactRounding) {
  std::mt19937_64 rng(1234);
  for (int i = 0; i < 30000; ++i) {
    const ExactNumber number = RandomNumber(rng);
    SCOPED_TRACE("text \"" + number.text + "\"");
    ASSERT_TRUE(IsNumericText(number.text));
    const auto magnitude = RoundedMagnitude(number);
    std::optional<std::int16_t> expected;
    if (magnitude && *magnitude <= (number.negative ? 32768u : 32767u)) {
      const auto value = static_cast<std::int64_t>(*magnitude);
      expected = static_cast<std::int16_t>(number.negative ? -value : value);
    }
    ASSERT_EQ(ToInt16(number.text), expected);
    ASSERT_EQ(IsNumberInRange(number.text, 0, 100), InRangeExact(number, 0, 100));
    ASSERT_EQ(IsNumberInRange(number.text, -50, 50), InRangeExact(number, -50, 50));
    ASSERT_EQ(IsNumberInRange(number.text, -32768, -7), InRangeExact(number, -32768, -7));
  }
}

// 128 bits: the generator's numbers stay below 10^14 * 10^15.
__extension__ typedef unsigned __int128 Wide;

// The exactly rounded magnitude.
Wide RoundedMagnitudeWide(const ExactNumber& number) {
  Wide value = number.mantissa;
  if (number.scale >= 0) {
    for (int i = 0; i < number.scale; ++i) value *= 10;
    return value;
  }
  if (-number.scale > 15) return 0;
  const std::uint64_t divisor = PowerOfTen(-number.scale);
  const std::uint64_t quotient = number.mantissa / divisor;
  const std::uint64_t twice_rest = 2 * (number.mantissa % divisor);
  if (twice_rest > divisor || (twice_rest == divisor && quotient % 2 == 1)) return quotient + 1;
  return quotient;
}

TEST(NumericTextProperty, ToInt64AgreesWithExactRoundingAndWithToInt16) {
  constexpr Wide kMaxPositive = std::numeric_limits<std::int64_t>::max();
  std::mt19937_64 rng(4321);
  int beyond_sixteen_bits = 0;
  for (int i = 0; i < 30000; ++i) {
    const ExactNumber number = RandomNumber(rng);
    SCOPED_TRACE("text \"" + number.text + "\"");
    const Wide magnitude = RoundedMagnitudeWide(number);
    std::optional<std::int64_t> expected;
    if (magnitude == 0) {
      expected = 0;
    } else if (magnitude <= kMaxPositive + (number.negative ? 1 : 0)) {
      const auto below = static_cast<std::int64_t>(magnitude - 1);
      expected = number.negative ? -below - 1 : below + 1;
    }
    ASSERT_EQ(ToInt64(number.text), expected);
    if (const auto narrow = ToInt16(number.text)) {
      ASSERT_EQ(ToInt64(number.text), *narrow);
    } else if (expected) {
      ++beyond_sixteen_bits;
    }
  }
  EXPECT_GT(beyond_sixteen_bits, 1000);
}

TEST(NumericText, ToInt64AtTheEndsOfItsRange) {
  const struct {
    const char* text;
    std::optional<std::int64_t> value;
  } cases[] = {
      {"9223372036854775807", std::numeric_limits<std::int64_t>::max()},
      {"9223372036854775806.5", 9223372036854775806},
      {"9223372036854775807.5", std::nullopt},  // the even neighbour is 2^63
      {"9223372036854775808", std::nullopt},
      {"-9223372036854775808", std::numeric_limits<std::int64_t>::min()},
      {"-9223372036854775808.5", std::numeric_limits<std::int64_t>::min()},
      {"-9223372036854775809", std::nullopt},
      {"9.223372036854775807e18", std::numeric_limits<std::int64_t>::max()},
      {"1e18", 1000000000000000000},
      {"1e19", std::nullopt},
      {"9999999999999999999", std::nullopt},
      {"99999999999999999999", std::nullopt},
      {"1e-400", 0},
      {"abc", std::nullopt},
  };
  for (const auto& [text, value] : cases) {
    EXPECT_EQ(ToInt64(text), value) << "\"" << text << "\"";
  }
}

TEST(NumericTextProperty, AcceptsExactlyTheDecimalNotation) {
  // An independent statement of the notation, checked on random strings of
  // the characters that matter.
  const std::regex notation(R"(^[ \t]*[+-]?([0-9]+\.?[0-9]*|\.[0-9]+)([eE][+-]?[0-9]+)?[ \t]*$)");
  const test::TextStyle style = test::Steps({test::OneOf(" \t+-.eE0123456789x,")});
  std::mt19937_64 rng(42);
  int numeric = 0;
  for (int i = 0; i < 30000; ++i) {
    const std::string text = test::MakeText(rng() % 9, rng, style);
    const bool expected = std::regex_match(text, notation);
    numeric += expected ? 1 : 0;
    ASSERT_EQ(IsNumericText(text), expected) << "text \"" << text << "\"";
    // Every text without a value has none because it is no number or too big.
    if (!ToInt16(text).has_value() && expected) {
      ASSERT_FALSE(IsNumberInRange(text, -32768, 32767)) << "text \"" << text << "\"";
    }
    if (ToInt16(text).has_value()) {
      ASSERT_TRUE(expected) << "text \"" << text << "\"";
    }
  }
  EXPECT_GT(numeric, 1000);  // the generator does reach numeric texts
}

}  // namespace
}  // namespace vorpel
