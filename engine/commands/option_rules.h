#pragma once

#include <cstdint>
#include <string_view>

namespace vorpel {

// The checks of the Options dialog's fields.

// Numeric, and the number (before rounding) lies in 0..100.
bool IsValidSeqLength(std::string_view text);
// Exactly one of the pair is selected and unit_mode is 1 or 2.
bool IsValidUnitMode(bool letters_selected, bool words_selected, std::int16_t unit_mode);

}  // namespace vorpel
