#pragma once

#include <cstdint>
#include <string>

namespace vorpel {

// The values that steer reading and writing. One instance lives in the
// Session for the whole run; nothing is saved between runs.
struct GenerationSettings {
  std::int16_t NoSeq = 0;      // sequences to draw on the next Write
  std::int16_t SeqLength = 0;  // units per sequence (0..100 through Options)
  std::int16_t UnitMode = 0;   // 1 = letters, 2 = words
  std::int16_t MultSeq = 0;    // "Multiple Sequences" box; same items either way
  std::int16_t FixCap = 0;     // 1 = capitalization fix on
  std::string WordSep;         // every byte of it ends a word; may be empty
  std::int16_t OWrite = 0;     // 1 = an existing target may be replaced

  // Puts the five option settings at their defaults, in this order:
  // WordSep " ", SeqLength 4, UnitMode 2, MultSeq 1, FixCap 1.
  // NoSeq and OWrite are left alone.
  void SetDefaultOptions();
};

inline constexpr std::int16_t kLettersMode = 1;
inline constexpr std::int16_t kWordsMode = 2;

}  // namespace vorpel
