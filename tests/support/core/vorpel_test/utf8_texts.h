#pragma once

// Generated UTF-8 texts for the tests that compare the engine with the
// references: every kind of character the segmentation cares about, mixed
// with runs of ASCII long enough to cross 64-byte blocks; and 8-bit texts
// that are almost UTF-8.

#include <random>
#include <string>
#include <vector>

namespace vorpel::test {

inline const std::vector<std::string>& Utf8Pieces() {
  static const std::vector<std::string> pieces = {
      "a",
      "b",
      "e",
      " ",
      ",",
      ".",
      "\r",
      "\n",
      "\r\n",
      "\t",
      "x",
      "\xC3\xA9",      // é
      "\xCC\x81",      // combining acute accent
      "\xE2\x80\x94",  // em dash
      "\xE2\x80\x9C",
      "\xE2\x80\x9D",      // curly quotes
      "\xC2\xA0",          // no-break space
      "\xE4\xB8\xAD",      // a CJK ideograph
      "\xF0\x9F\x91\x8D",  // thumbs up
      "\xF0\x9F\x8F\xBD",  // skin tone modifier
      "\xE2\x80\x8D",      // zero-width joiner
      "\xF0\x9F\x91\xA9",  // woman
      "\xF0\x9F\x87\xAB",
      "\xF0\x9F\x87\xB7",  // regional indicators F, R
      "\xE1\x84\x80",
      "\xE1\x85\xA1",
      "\xE1\x86\xA8",  // Hangul L, V, T jamo
      "\xEA\xB0\x80",  // Hangul syllable LV
      "\xD8\x80",      // Arabic number sign (prepend)
      "\xE0\xA4\x95",
      "\xE0\xA4\xBF",  // Devanagari KA, vowel sign I
      "\xEF\xBB\xBF",  // byte-order mark
      "\xC2\xA9",      // copyright sign (pictographic)
      "\xE2\x9D\xA4",
      "\xEF\xB8\x8F",  // heart, variation selector 16
      "\xE0\xA5\x8D",
      "\xE0\xA4\xB7",
      "\xE0\xA4\xBC",  // Devanagari virama, SSA, nukta: conjuncts such as KA virama SSA
  };
  return pieces;
}

// pieces characters of Utf8Pieces, with runs of ASCII letters between.
inline std::string RandomUtf8(std::mt19937& random, std::size_t pieces,
                              const std::vector<std::string>& extra = {}) {
  std::string text;
  const auto& all = Utf8Pieces();
  std::uniform_int_distribution<std::size_t> pick(0, all.size() + extra.size() - 1);
  std::uniform_int_distribution<int> ascii_run(0, 3);
  for (std::size_t i = 0; i < pieces; ++i) {
    if (ascii_run(random) == 0) {
      text.append(static_cast<std::size_t>(random() % 90), static_cast<char>('a' + random() % 26));
    }
    const std::size_t k = pick(random);
    text += k < all.size() ? all[k] : extra[k - all.size()];
  }
  return text;
}

// A UTF-8 text made invalid in one of the ways a text almost in UTF-8 is:
// a stray continuation byte, an overlong form, a surrogate, a sequence cut
// off at the end, a lone Latin-1 byte.
inline std::string AlmostUtf8(std::mt19937& random, std::string text) {
  static const std::vector<std::string> flaws = {"\x80",         "\xBF",
                                                 "\xC0\xAF",     "\xE0\x80\xAF",
                                                 "\xED\xA0\x80", "\xF4\x90\x80\x80",
                                                 "\xE9",         "\xF8\x88\x80\x80\x80"};
  const std::size_t kind = random() % (flaws.size() + 1);
  if (kind == flaws.size()) {
    // Cut inside the last multi-byte character, or add a lone lead byte.
    return text + "\xE2\x80";
  }
  // At a place between two characters' bytes (a byte that starts one).
  std::size_t at = text.empty() ? 0 : random() % text.size();
  while (at > 0 && (static_cast<unsigned char>(text[at]) & 0xC0) == 0x80) --at;
  text.insert(at, flaws[kind]);
  return text;
}

}  // namespace vorpel::test
