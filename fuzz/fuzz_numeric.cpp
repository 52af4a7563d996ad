// IsNumericText and ToInt16 agree with each other and with an independent
// parse: strtold on the same text (blanks trimmed) for short inputs, where
// long double is exact enough to round the same way away from halves.
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "numeric_text.h"
#include "option_rules.h"

namespace {

bool IndependentGrammar(const std::string& text, std::string& trimmed) {
  std::size_t begin = text.find_first_not_of(" \t");
  if (begin == std::string::npos) return false;
  std::size_t end = text.find_last_not_of(" \t");
  trimmed = text.substr(begin, end - begin + 1);
  std::size_t i = 0;
  if (trimmed[i] == '+' || trimmed[i] == '-') ++i;
  std::size_t digits = 0;
  while (i < trimmed.size() && std::isdigit(static_cast<unsigned char>(trimmed[i]))) ++i, ++digits;
  if (i < trimmed.size() && trimmed[i] == '.') {
    ++i;
    while (i < trimmed.size() && std::isdigit(static_cast<unsigned char>(trimmed[i])))
      ++i, ++digits;
  }
  if (digits == 0) return false;
  if (i < trimmed.size() && (trimmed[i] == 'e' || trimmed[i] == 'E')) {
    ++i;
    if (i < trimmed.size() && (trimmed[i] == '+' || trimmed[i] == '-')) ++i;
    std::size_t exponent_digits = 0;
    while (i < trimmed.size() && std::isdigit(static_cast<unsigned char>(trimmed[i]))) {
      ++i, ++exponent_digits;
    }
    if (exponent_digits == 0) return false;
  }
  return i == trimmed.size();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  std::string trimmed;
  const bool numeric = vorpel::IsNumericText(text);
  if (numeric != IndependentGrammar(text, trimmed)) std::abort();
  const auto converted = vorpel::ToInt16(text);
  if (!numeric) {
    if (converted || vorpel::IsValidSeqLength(text)) std::abort();
    return 0;
  }
  // Short texts only: there long double holds the value closely enough.
  if (trimmed.size() > 12) return 0;
  const long double value = std::strtold(trimmed.c_str(), nullptr);
  if (!std::isfinite(value)) return 0;
  const long double floor_value = std::floor(value);
  const long double fraction = value - floor_value;
  if (std::fabs(fraction - 0.5L) < 1e-9L) return 0;  // ties depend on exact digits
  const long double rounded = fraction < 0.5L ? floor_value : floor_value + 1;
  const bool fits = rounded >= -32768.0L && rounded <= 32767.0L;
  if (fits != converted.has_value()) std::abort();
  if (fits && static_cast<long double>(*converted) != rounded) std::abort();
  const bool in_length_range = value >= 0.0L && value <= 100.0L;
  if (std::fabs(value) > 1e-9L && std::fabs(value - 100.0L) > 1e-9L &&
      in_length_range != vorpel::IsValidSeqLength(text)) {
    std::abort();
  }
  return 0;
}
