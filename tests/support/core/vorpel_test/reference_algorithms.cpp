#include "vorpel_test/reference_algorithms.h"

namespace vorpel::test {
namespace {

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
bool ReferenceIsSeparatorChar(const std::string& c, const std::string& word_sep) {
  return !c.empty() && word_sep.find(c) != std::string::npos;
}

// One word: the characters up to and including the first separator; cut
// off by the end of the source, it is closed by WordSep's first character.
std::string ReferenceReadWord(CharStream& stream, const std::string& word_sep) {
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

bool ReferenceIsLowerLetter(const std::string& s) {
  const auto code = static_cast<unsigned char>(s[0]);
  return code >= static_cast<unsigned char>('a') && code <= static_cast<unsigned char>('z');
}

std::string ReferenceCapitalizeChar(const std::string& s) {
  if (ReferenceIsLowerLetter(s)) {
    const int code = static_cast<unsigned char>(s[0]) - 'a' + 'A';
    return std::string(1, static_cast<char>(code));
  }
  return s.substr(0, 1);
}

// A character occurs in a string when it equals one of its characters.
bool ReferenceOccursIn(const std::string& c, const std::string& text) {
  for (const char candidate : text) {
    if (candidate == c[0]) return true;
  }
  return false;
}

}  // namespace

std::vector<std::string> ReferenceRead(std::string_view source, std::int16_t seq_length,
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

std::vector<std::string> ReferenceReadOverlapping(std::string_view source, std::int16_t seq_length,
                                                  std::int16_t unit_mode,
                                                  const std::string& word_sep) {
  std::vector<std::string> pool;
  if (seq_length <= 0) return pool;
  CharStream stream(source);
  std::string current_sequence;
  std::int16_t unit_count = 0;
  while (!stream.AtEndOfStream()) {
    if (unit_mode == 2) {
      if (unit_count == seq_length) {
        // The first word goes: up to and including its separator.
        std::size_t cut = 0;
        while (!ReferenceIsSeparatorChar(current_sequence.substr(cut, 1), word_sep)) ++cut;
        current_sequence.erase(0, cut + 1);
        unit_count = static_cast<std::int16_t>(unit_count - 1);
      }
      current_sequence += ReferenceReadWord(stream, word_sep);
    } else {
      current_sequence += stream.Read(1);
      if (unit_count == seq_length) {
        current_sequence = current_sequence.substr(current_sequence.size() - seq_length);
        unit_count = static_cast<std::int16_t>(unit_count - 1);
      }
    }
    unit_count = static_cast<std::int16_t>(unit_count + 1);
    if (unit_count == seq_length) pool.push_back(current_sequence);
  }
  if (unit_count > 0 && unit_count < seq_length) pool.push_back(current_sequence);
  return pool;
}

std::string ReferenceFix(std::string_view intermediate, const std::string& word_sep,
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

}  // namespace vorpel::test
