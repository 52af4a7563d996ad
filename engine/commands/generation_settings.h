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
  std::int16_t MultSeq = 0;    // "Multiple Sequences" box: not 0 = overlapping sequences
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

// The on/off settings as the engine reads them. The windows keep them as
// 16-bit values, 1 for on; these say once what each value means.
//
// The capitalization fix runs when FixCap is 1.
inline bool FixesCapitals(const GenerationSettings& settings) { return settings.FixCap == 1; }
// The sequences overlap, one starting at every unit, when MultSeq is not
// 0; with 0 they follow one another.
inline bool CutsOverlapping(const GenerationSettings& settings) { return settings.MultSeq != 0; }
// An existing target may be replaced when OWrite is not 0: the Write's
// check refuses one only while it is 0, and the writer then replaces it.
inline bool ReplacesExistingTarget(const GenerationSettings& settings) {
  return settings.OWrite != 0;
}

}  // namespace vorpel
