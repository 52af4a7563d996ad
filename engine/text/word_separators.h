#pragma once

#include <array>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "byte_scan.h"
#include "text_encoding.h"

namespace vorpel {

// The byte that stands for a character in an 8-bit text: Latin-1 for
// U+0000 to U+00FF, and the Windows-1252 byte for the characters that code
// page puts at 0x80 to 0x9F (the em dash at 0x97, the curly quotes at 0x93
// and 0x94). nullopt for every other character.
std::optional<unsigned char> EightBitByteFor(char32_t code_point);

// WordSep's characters as a source of a given encoding sees them.
//
// WordSep holds the text the user typed (the batch command may give any
// bytes). Its valid UTF-8 runs are characters (grapheme clusters, CR and
// LF apart), each a separator:
// - in a UTF-8 source it matches that whole character and nothing else;
// - in an 8-bit source it matches the one byte that stands for it there
//   (EightBitByteFor), and a character with no such byte matches nothing.
// A byte of WordSep that is part of no valid UTF-8 character is a stray:
// in a UTF-8 source it never matches (no character of a valid text is such
// a byte), but it may close a last word, and wherever it stands in drawn
// text it is a character of its own and a separator. An 8-bit source takes
// a WordSep that holds a stray as raw bytes, each a separator, and a
// RawBytes source takes every WordSep so.
//
// The closer, appended to a word cut off by the end of the source, is the
// first character of WordSep as the source writes it (a stray is one
// byte; for raw bytes: the first byte); nothing when WordSep is empty or
// its first character has no byte in an 8-bit source.
class WordSeparators {
 public:
  WordSeparators(std::string_view word_sep, TextEncoding source);

  TextEncoding Source() const { return source_; }
  // The bytes that are whole separators by themselves: all separators of
  // an 8-bit source, the single-ASCII-byte ones of a UTF-8 source.
  const ByteSet& Bytes() const { return bytes_; }
  // The separators of a UTF-8 source that are not one ASCII byte (an em
  // dash, a no-break space, "e" with a combining accent, an emoji).
  const std::vector<std::string>& Wide() const { return wide_; }
  // The strays of a UTF-8 source's WordSep: bytes that match nothing in
  // the source but are separators where they stand alone in drawn text.
  const ByteSet& Strays() const { return strays_; }
  const std::string& Closer() const { return closer_; }

  // Whether one character of the source (a byte of an 8-bit source, a
  // grapheme cluster of a UTF-8 one, a stray byte in drawn UTF-8 text) is a
  // separator.
  bool IsSeparator(std::string_view character) const;

 private:
  // Adds one valid character of WordSep; the first gives the closer.
  void AddCharacter(std::string_view character, bool first);

  TextEncoding source_;
  ByteSet bytes_;
  ByteSet strays_;
  std::vector<std::string> wide_;
  std::string closer_;
};

// True when c is not empty and occurs in word_sep as a substring, bytes
// compared exactly. For one byte: it is one of word_sep's bytes.
bool IsSeparatorChar(std::string_view c, std::string_view word_sep);
// True when the character c of a source in the given encoding is one of
// word_sep's characters, as WordSeparators matches them.
bool IsSeparatorChar(std::string_view c, std::string_view word_sep, TextEncoding source);

}  // namespace vorpel
