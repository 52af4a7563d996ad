#include "option_rules.h"

#include "numeric_text.h"

namespace vorpel {

bool IsValidSeqLength(std::string_view text) { return IsNumberInRange(text, 0, 100); }

bool IsValidUnitMode(bool letters_selected, bool words_selected, std::int16_t unit_mode) {
  return letters_selected != words_selected && unit_mode >= 1 && unit_mode <= 2;
}

}  // namespace vorpel
