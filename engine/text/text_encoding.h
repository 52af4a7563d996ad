#pragma once

#include <cstdint>

namespace vorpel {

// How a text's bytes stand for characters.
enum class TextEncoding : std::uint8_t {
  EightBit,  // one byte, one character (Latin-1, a Windows code page, anything)
  Utf8,      // valid UTF-8: a character is a grapheme cluster
  RawBytes,  // one byte, one character, and WordSep taken as the bytes it holds
};

}  // namespace vorpel
