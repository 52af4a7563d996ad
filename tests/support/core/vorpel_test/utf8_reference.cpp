#include "vorpel_test/utf8_reference.h"

#include <iconv.h>
#include <utf8proc.h>

#include <algorithm>
#include <cstdlib>
#include <deque>
#include <utility>

#include "vorpel_test/reference_algorithms.h"

namespace vorpel::test {

std::string EncodeUtf8(char32_t cp) {
  std::string out;
  if (cp < 0x80) {
    out.push_back(static_cast<char>(cp));
  } else if (cp < 0x800) {
    out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  } else if (cp < 0x10000) {
    out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
    out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  } else {
    out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
    out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  }
  return out;
}

// ---------------------------------------------------------------- UTF-8

// The offset of the first byte of the first ill-formed sequence, decoding
// each sequence to its value and checking the value's range; nullopt for
// valid UTF-8.
std::optional<std::size_t> ReferenceFirstInvalidUtf8(std::string_view text) {
  std::size_t i = 0;
  while (i < text.size()) {
    const auto lead = static_cast<unsigned char>(text[i]);
    if (lead < 0x80) {
      ++i;
      continue;
    }
    std::size_t length = 0;
    std::uint32_t value = 0;
    std::uint32_t smallest = 0;
    if ((lead >> 5) == 0x6) {
      length = 2, value = lead & 0x1Fu, smallest = 0x80;
    } else if ((lead >> 4) == 0xE) {
      length = 3, value = lead & 0x0Fu, smallest = 0x800;
    } else if ((lead >> 3) == 0x1E) {
      length = 4, value = lead & 0x07u, smallest = 0x10000;
    } else {
      return i;
    }
    if (i + length > text.size()) return i;
    for (std::size_t k = 1; k < length; ++k) {
      const auto next = static_cast<unsigned char>(text[i + k]);
      if ((next & 0xC0) != 0x80) return i;
      value = (value << 6) | (next & 0x3Fu);
    }
    if (value < smallest || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF)) return i;
    i += length;
  }
  return std::nullopt;
}

// The characters of valid UTF-8 text: the library's own segmentation of
// the whole string (utf8proc_map marks each cluster start with 0xFF),
// then CR LF cut in two.
std::vector<std::string> ReferenceCharacters(std::string_view text) {
  std::vector<std::string> characters;
  if (text.empty()) return characters;
  utf8proc_uint8_t* marked = nullptr;
  const utf8proc_ssize_t length =
      utf8proc_map(reinterpret_cast<const utf8proc_uint8_t*>(text.data()),
                   static_cast<utf8proc_ssize_t>(text.size()), &marked, UTF8PROC_CHARBOUND);
  if (length < 0) return characters;
  for (utf8proc_ssize_t i = 0; i < length; ++i) {
    if (marked[i] == 0xFF) {
      characters.emplace_back();
    } else {
      characters.back().push_back(static_cast<char>(marked[i]));
    }
  }
  std::free(marked);
  std::vector<std::string> split;
  for (auto& character : characters) {
    if (character == "\r\n") {
      split.emplace_back("\r");
      split.emplace_back("\n");
    } else {
      split.push_back(std::move(character));
    }
  }
  return split;
}

// The byte an 8-bit source uses for a typed character (its UTF-8 bytes):
// its Latin-1 byte for U+0000 to U+00FF, else the byte that the system's
// converter gives for it in Windows-1252 when that lies in 0x80 to 0x9F.
std::optional<char> ReferenceEightBitByte(const std::string& character) {
  std::uint32_t value = 0;
  std::size_t length = 0;
  const auto lead = static_cast<unsigned char>(character[0]);
  if (lead < 0x80) return character.size() == 1 ? std::optional<char>(character[0]) : std::nullopt;
  length = lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : 2;
  if (character.size() != length) return std::nullopt;  // more than one code point
  value = lead & (0xFFu >> (length + 1));
  for (std::size_t k = 1; k < length; ++k) {
    value = (value << 6) | (static_cast<unsigned char>(character[k]) & 0x3Fu);
  }
  if (value <= 0xFF) return static_cast<char>(value);
  iconv_t converter = iconv_open("WINDOWS-1252", "UTF-8");
  std::string in = character;
  char out[8];
  char* in_pointer = in.data();
  char* out_pointer = out;
  std::size_t in_left = in.size();
  std::size_t out_left = sizeof out;
  const std::size_t done = iconv(converter, &in_pointer, &in_left, &out_pointer, &out_left);
  iconv_close(converter);
  if (done == static_cast<std::size_t>(-1) || out_pointer - out != 1) return std::nullopt;
  const auto byte = static_cast<unsigned char>(out[0]);
  if (byte < 0x80 || byte > 0x9F) return std::nullopt;
  return out[0];
}

// The characters of a source: grapheme clusters of UTF-8, or bytes.
static std::vector<std::string> ReferenceSourceCharacters(std::string_view source, bool utf8) {
  if (utf8) return ReferenceCharacters(source);
  std::vector<std::string> bytes;
  for (const char c : source) bytes.emplace_back(1, c);
  return bytes;
}

// The characters of text that may hold bytes of no character: the valid
// runs cut as UTF-8, each byte where an ill-formed sequence starts a
// character of its own.
std::vector<std::string> ReferenceCharactersWithStrays(std::string_view text) {
  std::vector<std::string> characters;
  while (!text.empty()) {
    const std::size_t run = ReferenceFirstInvalidUtf8(text).value_or(text.size());
    if (run > 0) {
      for (auto& c : ReferenceCharacters(text.substr(0, run))) characters.push_back(std::move(c));
    }
    if (run < text.size()) characters.emplace_back(1, text[run]);
    text.remove_prefix(std::min(text.size(), run + 1));
  }
  return characters;
}

ReferenceSeparators ReferenceSeparatorsFor(const std::string& word_sep,
                                           ReferenceEncoding encoding) {
  ReferenceSeparators result;
  if (word_sep.empty()) return result;
  const bool valid = !ReferenceFirstInvalidUtf8(word_sep);
  if (encoding == ReferenceEncoding::RawBytes ||
      (encoding == ReferenceEncoding::EightBit && !valid)) {
    // Raw bytes, each a separator.
    for (const char c : word_sep) result.characters.emplace_back(1, c);
    result.closer = word_sep.substr(0, 1);
    return result;
  }
  // A UTF-8 source takes every character whole, and a byte of none as a
  // separator that matches nothing in it but may close its last word.
  const std::vector<std::string> typed = ReferenceCharactersWithStrays(word_sep);
  for (std::size_t i = 0; i < typed.size(); ++i) {
    if (encoding == ReferenceEncoding::Utf8) {
      result.characters.push_back(typed[i]);
      if (i == 0) result.closer = typed[i];
      continue;
    }
    const std::optional<char> byte = ReferenceEightBitByte(typed[i]);
    if (byte) result.characters.emplace_back(1, *byte);
    if (i == 0 && byte) result.closer.assign(1, *byte);
  }
  return result;
}

// The reading of the documented steps, one character at a time, with
// characters and separators as the source's encoding has them.
std::vector<std::string> ReferenceReadCharacters(std::string_view source,
                                                 ReferenceEncoding encoding,
                                                 std::int16_t seq_length, std::int16_t unit_mode,
                                                 const std::string& word_sep, bool overlapping) {
  std::vector<std::string> pool;
  if (seq_length <= 0 || (unit_mode != 1 && unit_mode != 2)) return pool;
  const std::vector<std::string> characters =
      ReferenceSourceCharacters(source, encoding == ReferenceEncoding::Utf8);
  const ReferenceSeparators separators = ReferenceSeparatorsFor(word_sep, encoding);
  const auto is_separator = [&](const std::string& c) {
    for (const auto& separator : separators.characters) {
      if (c == separator) return true;
    }
    return false;
  };
  std::size_t position = 0;
  const auto at_end = [&] { return position >= characters.size(); };
  const auto read_unit = [&] {
    if (unit_mode == 1) return characters[position++];
    std::string c;
    std::string w;
    while (!is_separator(c) && !at_end()) {
      c = characters[position++];
      w += c;
    }
    if (!is_separator(c) && at_end()) w += separators.closer;
    return w;
  };
  if (overlapping) {
    // A window of the last seq_length units, moved on one unit at a time.
    std::deque<std::string> window;
    const auto joined = [&window] {
      std::string sequence;
      for (const std::string& unit : window) sequence += unit;
      return sequence;
    };
    const auto length = static_cast<std::size_t>(seq_length);
    while (!at_end()) {
      window.push_back(read_unit());
      if (window.size() > length) window.pop_front();
      if (window.size() == length) pool.push_back(joined());
    }
    if (!window.empty() && window.size() < length) pool.push_back(joined());
    return pool;
  }
  while (!at_end()) {
    std::string current_sequence;
    std::int16_t unit_count = 0;
    while (unit_count < seq_length && !at_end()) {
      current_sequence += read_unit();
      unit_count = static_cast<std::int16_t>(unit_count + 1);
    }
    pool.push_back(current_sequence);
  }
  return pool;
}

// The same with the encoding chosen as the program chooses it: UTF-8 when
// the source is valid UTF-8, 8-bit otherwise.
std::vector<std::string> ReferenceReadAuto(std::string_view source, std::int16_t seq_length,
                                           std::int16_t unit_mode, const std::string& word_sep,
                                           bool overlapping) {
  const ReferenceEncoding encoding =
      ReferenceFirstInvalidUtf8(source) ? ReferenceEncoding::EightBit : ReferenceEncoding::Utf8;
  return ReferenceReadCharacters(source, encoding, seq_length, unit_mode, word_sep, overlapping);
}

// The capitalization fix on UTF-8 text, one character (grapheme cluster)
// at a time: a character is capitalized only when it is one letter a-z by
// itself; separators are WordSep's characters; a mark is a character that
// is one byte of marks.
std::string ReferenceFixUtf8(std::string_view intermediate, const std::string& word_sep,
                             const std::string& marks) {
  const std::vector<std::string> characters = ReferenceCharactersWithStrays(intermediate);
  const std::vector<std::string> separators =
      ReferenceSeparatorsFor(word_sep, ReferenceEncoding::Utf8).characters;
  const auto capitalized = [](const std::string& c) {
    if (c.size() == 1 && c[0] >= 'a' && c[0] <= 'z')
      return std::string(1, static_cast<char>(c[0] - 32));
    return c;
  };
  std::string output;
  if (characters.empty()) return output;
  output += capitalized(characters[0]);
  bool flag = false;
  for (std::size_t i = 1; i < characters.size(); ++i) {
    const std::string& c = characters[i];
    std::string to_write = c;
    bool separator = false;
    for (const auto& s : separators) separator = separator || s == c;
    if (flag && !separator) {
      to_write = capitalized(c);
      flag = false;
    }
    if (c.size() == 1 && marks.find(c[0]) != std::string::npos) flag = true;
    output += to_write;
  }
  return output;
}

// The fix in the encoding of the pool the text was drawn from: on 8-bit
// text with WordSep's characters as the bytes that stand for them.
std::string ReferenceFixIn(std::string_view intermediate, const std::string& word_sep,
                           const std::string& marks, ReferenceEncoding encoding) {
  if (encoding == ReferenceEncoding::Utf8) return ReferenceFixUtf8(intermediate, word_sep, marks);
  std::string separator_bytes;
  for (const auto& c : ReferenceSeparatorsFor(word_sep, encoding).characters) separator_bytes += c;
  return ReferenceFix(intermediate, separator_bytes, marks);
}

}  // namespace vorpel::test
