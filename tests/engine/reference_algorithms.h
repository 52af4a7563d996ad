#pragma once

// Slow, literal versions of the reading and the capitalization fix: one
// character at a time through a stream with AtEndOfStream and Read(1),
// strings built by appending, exactly in the order of the documented
// steps. The engine's fast versions are compared against these.

#include <utf8proc.h>

#include <cstdint>
#include <cstdlib>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace vorpel::test {

// A reading stream over bytes, with the two operations the algorithms use.
class CharStream {
 public:
  explicit CharStream(std::string_view text) : text_(text) {}
  bool AtEndOfStream() const { return position_ >= text_.size(); }
  // Never called at the end of the stream.
  std::string Read(int /*count, always 1*/) { return std::string(1, text_[position_++]); }

 private:
  std::string_view text_;
  std::size_t position_ = 0;
};

// True when c is not empty and occurs in word_sep as a substring.
inline bool ReferenceIsSeparatorChar(const std::string& c, const std::string& word_sep) {
  return !c.empty() && word_sep.find(c) != std::string::npos;
}

// One word: the characters up to and including the first separator; cut
// off by the end of the source, it is closed by WordSep's first character.
inline std::string ReferenceReadWord(CharStream& stream, const std::string& word_sep) {
  std::string c;
  std::string w;
  while (!ReferenceIsSeparatorChar(c, word_sep) && !stream.AtEndOfStream()) {
    c = stream.Read(1);
    w += c;
  }
  if (!ReferenceIsSeparatorChar(c, word_sep) && stream.AtEndOfStream()) {
    w += word_sep.substr(0, 1);
  }
  return w;
}

// The pool's items for a source text. A SeqLength of 0 or less gives no
// items: a pass would take no unit and the passes would never end.
inline std::vector<std::string> ReferenceRead(std::string_view source, std::int16_t seq_length,
                                              std::int16_t unit_mode, const std::string& word_sep) {
  std::vector<std::string> pool;
  if (seq_length <= 0) return pool;
  CharStream stream(source);
  std::string current_sequence;
  std::int16_t unit_count = 0;
  while (!stream.AtEndOfStream()) {
    current_sequence = "";
    unit_count = 0;
    if (unit_mode == 2) {
      while (unit_count < seq_length && !stream.AtEndOfStream()) {
        current_sequence += ReferenceReadWord(stream, word_sep);
        unit_count = static_cast<std::int16_t>(unit_count + 1);
      }
    }
    if (unit_mode == 1) {
      while (unit_count < seq_length && !stream.AtEndOfStream()) {
        current_sequence += stream.Read(1);
        unit_count = static_cast<std::int16_t>(unit_count + 1);
      }
    }
    pool.push_back(current_sequence);
  }
  return pool;
}

inline bool ReferenceIsLowerLetter(const std::string& s) {
  const auto code = static_cast<unsigned char>(s[0]);
  return code >= static_cast<unsigned char>('a') && code <= static_cast<unsigned char>('z');
}

inline std::string ReferenceCapitalizeChar(const std::string& s) {
  if (ReferenceIsLowerLetter(s)) {
    const int code = static_cast<unsigned char>(s[0]) - 'a' + 'A';
    return std::string(1, static_cast<char>(code));
  }
  return s.substr(0, 1);
}

// A character occurs in a string when it equals one of its characters.
inline bool ReferenceOccursIn(const std::string& c, const std::string& text) {
  for (const char candidate : text) {
    if (candidate == c[0]) return true;
  }
  return false;
}

// The text the fixer writes for an intermediate text.
inline std::string ReferenceFix(std::string_view intermediate, const std::string& word_sep,
                                const std::string& marks) {
  CharStream input(intermediate);
  std::string output;
  if (input.AtEndOfStream()) return output;
  output += ReferenceCapitalizeChar(input.Read(1));
  bool flag = false;
  while (!input.AtEndOfStream()) {
    const std::string c = input.Read(1);
    std::string to_write = c;
    if (flag && !ReferenceOccursIn(c, word_sep)) {
      to_write = ReferenceCapitalizeChar(c);
      flag = false;
    }
    if (ReferenceOccursIn(c, marks)) flag = true;
    output += to_write;
  }
  return output;
}

// ---------------------------------------------------------------- UTF-8

// The offset of the first byte of the first ill-formed sequence, decoding
// each sequence to its value and checking the value's range; nullopt for
// valid UTF-8.
inline std::optional<std::size_t> ReferenceFirstInvalidUtf8(std::string_view text) {
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
inline std::vector<std::string> ReferenceCharacters(std::string_view text) {
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

}  // namespace vorpel::test
