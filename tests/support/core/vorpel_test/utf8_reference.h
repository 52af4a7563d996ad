#pragma once

// Slow, literal versions of the reading and the capitalization fix for
// texts as characters: the UTF-8 check by decoding each sequence to its
// value, the characters of a UTF-8 text from the library's own
// segmentation of the whole string (utf8proc_map), the byte a typed
// character stands for in an 8-bit text from the system's converter
// (iconv), then the documented steps one character at a time. The engine's
// fast versions are compared against these.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace vorpel::test {

// The UTF-8 bytes of a code point (a surrogate gets the three bytes of its
// value, which are no valid UTF-8).
std::string EncodeUtf8(char32_t cp);

// The offset of the first byte of the first ill-formed sequence, decoding
// each sequence to its value and checking the value's range; nullopt for
// valid UTF-8.
std::optional<std::size_t> ReferenceFirstInvalidUtf8(std::string_view text);

// The characters of valid UTF-8 text: the library's segmentation, then
// CR LF cut in two.
std::vector<std::string> ReferenceCharacters(std::string_view text);

// The characters of text that may hold bytes of no character: valid runs
// as ReferenceCharacters cuts them, and the first byte of each ill-formed
// sequence as a character of its own.
std::vector<std::string> ReferenceCharactersWithStrays(std::string_view text);

// The byte an 8-bit source uses for a typed character (its UTF-8 bytes):
// its Latin-1 byte for U+0000 to U+00FF, else the byte that the system's
// converter gives for it in Windows-1252 when that lies in 0x80 to 0x9F;
// nullopt for any other character, and for one of several code points.
std::optional<char> ReferenceEightBitByte(const std::string& character);

// How the reference reads a source: as UTF-8, as 8-bit text with typed
// separators, or as raw bytes with raw separators.
enum class ReferenceEncoding { EightBit, Utf8, RawBytes };

// What the source sees of WordSep: its separator characters and the one
// that closes a word cut off by the end.
struct ReferenceSeparators {
  std::vector<std::string> characters;
  std::string closer;
};
ReferenceSeparators ReferenceSeparatorsFor(const std::string& word_sep, ReferenceEncoding encoding);

// The reading of the documented steps, one character at a time, with
// characters and separators as the source's encoding has them. With
// overlapping, a window of seq_length units moves on one unit at a time
// and every full window is an item (a source of fewer units gives one item
// of all of them); otherwise the units are taken seq_length at a time.
std::vector<std::string> ReferenceReadCharacters(std::string_view source,
                                                 ReferenceEncoding encoding,
                                                 std::int16_t seq_length, std::int16_t unit_mode,
                                                 const std::string& word_sep,
                                                 bool overlapping = false);

// The same with the encoding chosen as the program chooses it: UTF-8 when
// the source is valid UTF-8, 8-bit otherwise.
std::vector<std::string> ReferenceReadAuto(std::string_view source, std::int16_t seq_length,
                                           std::int16_t unit_mode, const std::string& word_sep,
                                           bool overlapping = false);

// The capitalization fix on UTF-8 text, one character (grapheme cluster)
// at a time: a character is capitalized only when it is one letter a-z by
// itself; separators are WordSep's characters (a byte of none among them
// is a separator where it stands alone); a mark is a character that is one
// byte of marks. A byte of no character in the text is a character.
std::string ReferenceFixUtf8(std::string_view intermediate, const std::string& word_sep,
                             const std::string& marks);

// The fix in the encoding of the pool the text was drawn from: on 8-bit
// text with WordSep's characters as the bytes that stand for them.
std::string ReferenceFixIn(std::string_view intermediate, const std::string& word_sep,
                           const std::string& marks, ReferenceEncoding encoding);

}  // namespace vorpel::test
