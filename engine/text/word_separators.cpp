#include "word_separators.h"

#include <algorithm>

#include "characters.h"
#include "utf8_check.h"
#include "utf8_decode.h"

namespace vorpel {

std::optional<unsigned char> EightBitByteFor(char32_t code_point) {
  if (code_point <= 0xFF) return static_cast<unsigned char>(code_point);
  // Windows-1252 at 0x80 to 0x9F; 0x81, 0x8D, 0x8F, 0x90 and 0x9D are unused.
  static constexpr char32_t kWindows1252[32] = {
      0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
      0x2039, 0x0152, 0,      0x017D, 0,      0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
      0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};
  for (std::size_t i = 0; i < 32; ++i) {
    if (kWindows1252[i] == code_point) return static_cast<unsigned char>(0x80 + i);
  }
  return std::nullopt;
}

WordSeparators::WordSeparators(std::string_view word_sep, TextEncoding source) : source_(source) {
  const bool valid = CheckUtf8(word_sep).Valid();
  if (source == TextEncoding::RawBytes || (source == TextEncoding::EightBit && !valid)) {
    for (const char c : word_sep) bytes_.Insert(c);
    if (!word_sep.empty()) closer_.assign(1, word_sep.front());
    return;
  }
  // The valid runs as characters, the strays between them byte by byte.
  bool first = true;
  std::size_t at = 0;
  while (at < word_sep.size()) {
    std::size_t run = at;
    while (run < word_sep.size()) {
      const std::size_t length = Utf8SequenceAt(word_sep.substr(run));
      if (length == 0 || length == kCutShort) break;
      run += length;
    }
    for (const std::string_view character : SplitCharacters(word_sep.substr(at, run - at))) {
      AddCharacter(character, first);
      first = false;
    }
    if (run < word_sep.size()) {
      strays_.Insert(word_sep[run]);
      if (first) closer_.assign(1, word_sep[run]);
      first = false;
      ++run;
    }
    at = run;
  }
}

void WordSeparators::AddCharacter(std::string_view character, bool first) {
  if (source_ == TextEncoding::Utf8) {
    if (character.size() == 1) {
      bytes_.Insert(character.front());
    } else if (std::find(wide_.begin(), wide_.end(), character) == wide_.end()) {
      wide_.emplace_back(character);
    }
    if (first) closer_ = character;
    return;
  }
  // An 8-bit source: the byte that stands for a one-code-point character.
  std::size_t length = 0;
  const char32_t code_point = DecodeAt(character.data(), length);
  const std::optional<unsigned char> byte =
      length == character.size() ? EightBitByteFor(code_point) : std::nullopt;
  if (byte) bytes_.Insert(static_cast<char>(*byte));
  if (first && byte) closer_.assign(1, static_cast<char>(*byte));
}

bool WordSeparators::IsSeparator(std::string_view character) const {
  if (character.size() == 1) {
    return bytes_.Contains(character.front()) || strays_.Contains(character.front());
  }
  return std::find(wide_.begin(), wide_.end(), character) != wide_.end();
}

bool IsSeparatorChar(std::string_view c, std::string_view word_sep) {
  return !c.empty() && word_sep.find(c) != std::string_view::npos;
}

bool IsSeparatorChar(std::string_view c, std::string_view word_sep, TextEncoding source) {
  if (c.empty()) return false;
  return WordSeparators(word_sep, source).IsSeparator(c);
}

}  // namespace vorpel
