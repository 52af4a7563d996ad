#pragma once

#include <array>
#include <filesystem>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "byte_scan.h"
#include "byte_sink.h"
#include "file_error.h"
#include "posix_file.h"
#include "utf8_text.h"
#include "word_separators.h"

namespace vorpel {

// True when the first byte of s is 'a'..'z'. False for an empty s.
bool IsLowerLetter(std::string_view s);
// The first byte of s as a one-byte string, turned into its capital when it
// is 'a'..'z'. Empty for an empty s.
std::string CapitalizeChar(std::string_view s);

// The capitalization fix as a stream filter: the first byte of the text,
// and after each sentence end (a byte of marks) the first byte that is not
// a word separator (a byte of word_sep), become capitals when they are
// 'a'..'z'. Nothing else changes; the length stays the same. Blocks may be
// cut anywhere: the state carries over from one Apply to the next.
class CapitalizationFilter {
 public:
  CapitalizationFilter(std::string_view word_sep, std::string_view marks);
  // The same for an 8-bit text, with separators as WordSeparators gives
  // them to a source of that encoding (EightBit or RawBytes).
  CapitalizationFilter(const WordSeparators& word_seps, std::string_view marks);
  void Apply(std::span<char> block);

 private:
  ByteSet separators_;
  ByteSet marks_;
  ByteFinder mark_finder_;
  bool at_start_ = true;
  bool after_mark_ = false;
};

// The fix on UTF-8 text, where a character is a grapheme cluster (CR and
// LF apart): the first character of the text, and after each sentence end
// (a character that is one of marks' bytes) the first character that is
// not one of WordSep's characters, become capitals when they are one of
// "a" to "z" by themselves. A letter with a combining accent is a
// character beyond ASCII and stays as it is, and no character is ever
// split. Blocks may be cut anywhere, even inside a character. A byte that
// is part of no valid character (a stray of WordSep that closed a word,
// or anything else) is a character of its own, a separator when WordSep
// holds it.
//
// Whether a letter is a character by itself depends on the code point
// after it: when that is not in the block yet, the letter is pending and
// PendingLetter() points at it until a later Apply or Finish decides
// (the caller keeps the letter's byte, and the bytes after it, until
// then, and tells where they went with MovePendingLetter).
class Utf8CapitalizationFilter {
 public:
  Utf8CapitalizationFilter(std::string_view word_sep, std::string_view marks);
  void Apply(std::span<char> block);
  // The end of the text: a pending letter is a character by itself.
  void Finish();
  char* PendingLetter() const { return pending_letter_; }
  void MovePendingLetter(char* to) { pending_letter_ = to; }

 private:
  void Take(const char* bytes, std::size_t length, char* first_byte);
  void TakeStray(char byte);
  char* CompletePartial(char* p, char* end);
  void EndCharacter();

  WordSeparators separators_;
  ByteSet marks_;
  ByteFinder mark_finder_;
  std::size_t longest_separator_ = 1;
  GraphemeBreaks::State state_ = GraphemeBreaks::StartState();
  bool at_start_ = true;  // no character ended yet
  bool after_mark_ = false;
  bool in_character_ = false;
  // The current character's first bytes (enough to compare with the
  // separators) and its full length.
  std::string character_;
  std::size_t character_length_ = 0;
  char* pending_letter_ = nullptr;  // the current character, a lone a-z so far
  // A code point cut by the end of a block.
  std::array<char, 4> partial_{};
  std::size_t partial_size_ = 0;
};

// A sink that applies the fix to every block before passing it on, in the
// encoding the text was drawn in. Finish must be called after the last
// block: a UTF-8 text may hold back its last bytes until then.
class CapitalizingSink final : public ByteSink {
 public:
  CapitalizingSink(ByteSink& next, std::string_view word_sep, std::string_view marks,
                   TextEncoding encoding = TextEncoding::RawBytes);
  FileStatus Write(std::span<char> block) override;
  FileStatus Finish();

 private:
  ByteSink& next_;
  std::optional<CapitalizationFilter> filter_;
  std::optional<Utf8CapitalizationFilter> utf8_filter_;
  std::array<char, 8> held_{};  // a pending letter and the bytes after it
  std::size_t held_size_ = 0;
};

// Copies the intermediate file to target with the fix applied; target is
// replaced atomically (links at it followed). The intermediate file is read
// in full before target is replaced, so target may be the intermediate
// file itself. The intermediate file stays in place. An empty target or a
// missing intermediate file is refused before anything is touched. The
// text is read in the given encoding: that of the pool it was drawn from.
FileStatus FixCapitalization(const std::filesystem::path& intermediate,
                             const std::filesystem::path& target, std::string_view marks,
                             std::string_view word_sep,
                             TextEncoding encoding = TextEncoding::RawBytes);

// The same from an intermediate file already open: reads drawn from its
// start, whatever file is at the intermediate path by now, so a Write
// fixes exactly the text it drew itself. Read errors name shown_path.
// Memory that cannot be had is an error naming target; target is then
// left as it was.
FileStatus FixCapitalization(const FileDescriptor& drawn, std::string_view shown_path,
                             const std::filesystem::path& target, std::string_view marks,
                             std::string_view word_sep,
                             TextEncoding encoding = TextEncoding::RawBytes);

}  // namespace vorpel
