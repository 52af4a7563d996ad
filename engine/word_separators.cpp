#include "word_separators.h"

#include <algorithm>

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
  const auto add_byte = [this](unsigned char byte) { bytes_.Insert(static_cast<char>(byte)); };
  if (source == TextEncoding::RawBytes || !CheckUtf8(word_sep).Valid()) {
    // Raw bytes, each a separator.
    for (const char c : word_sep) {
      const auto byte = static_cast<unsigned char>(c);
      if (source != TextEncoding::Utf8 || byte < 0x80) add_byte(byte);
    }
    if (!word_sep.empty()) closer_.assign(1, word_sep.front());
    return;
  }
  const std::vector<std::string_view> characters = SplitCharacters(word_sep);
  for (std::size_t i = 0; i < characters.size(); ++i) {
    const std::string_view character = characters[i];
    if (source == TextEncoding::Utf8) {
      if (character.size() == 1) {
        add_byte(static_cast<unsigned char>(character.front()));
      } else if (std::find(wide_.begin(), wide_.end(), character) == wide_.end()) {
        wide_.emplace_back(character);
      }
      if (i == 0) closer_ = character;
      continue;
    }
    // An 8-bit source: the byte that stands for a one-code-point character.
    std::size_t length = 0;
    const char32_t code_point = DecodeAt(character.data(), length);
    const std::optional<unsigned char> byte =
        length == character.size() ? EightBitByteFor(code_point) : std::nullopt;
    if (byte) add_byte(*byte);
    if (i == 0 && byte) closer_.assign(1, static_cast<char>(*byte));
  }
}

bool WordSeparators::IsSeparator(std::string_view character) const {
  if (character.size() == 1) return bytes_.Contains(character.front());
  return std::find(wide_.begin(), wide_.end(), character) != wide_.end();
}

}  // namespace vorpel
