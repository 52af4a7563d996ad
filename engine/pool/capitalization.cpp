#include "capitalization.h"

#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <functional>
#include <new>
#include <string>
#include <utility>

#include "atomic_file_writer.h"
#include "file_reading.h"

namespace vorpel {
namespace {

constexpr char kCaseOffset = 'a' - 'A';

bool IsLowerByte(char c) { return c >= 'a' && c <= 'z'; }

}  // namespace

bool IsLowerLetter(std::string_view s) { return !s.empty() && IsLowerByte(s.front()); }

std::string CapitalizeChar(std::string_view s) {
  if (s.empty()) return {};
  const char c = s.front();
  return std::string(1, IsLowerByte(c) ? static_cast<char>(c - kCaseOffset) : c);
}

CapitalizationFilter::CapitalizationFilter(std::string_view word_sep, std::string_view marks)
    : separators_(word_sep), marks_(marks), mark_finder_(marks_) {}

CapitalizationFilter::CapitalizationFilter(const WordSeparators& word_seps, std::string_view marks)
    : separators_(word_seps.Bytes()), marks_(marks), mark_finder_(marks_) {}

void CapitalizationFilter::Apply(std::span<char> block) {
  char* p = block.data();
  char* const end = p + block.size();
  if (p == end) return;
  if (at_start_) {
    // The very first byte is always capitalized and never tested as a mark.
    if (IsLowerByte(*p)) *p = static_cast<char>(*p - kCaseOffset);
    at_start_ = false;
    after_mark_ = false;
    ++p;
  }
  const std::string_view text(block.data(), block.size());
  // A local flag: the byte stores below could alias the member, which would
  // make the compiler reload it at every byte.
  bool after_mark = after_mark_;
  while (p != end) {
    if (!after_mark) {
      // Most of the text: skip to the next sentence end. This search is
      // where the filter spends its time.
      p = block.data() + mark_finder_.Find(text, static_cast<std::size_t>(p - block.data()));
      if (p == end) break;
      after_mark = true;
      ++p;
      continue;
    }
    const char c = *p;
    if (!separators_.Contains(c)) {
      // Without a branch: about half the sentences start with a capital
      // already, so the test would be mispredicted often.
      *p = static_cast<char>(c - (IsLowerByte(c) ? kCaseOffset : 0));
      after_mark = false;
    }
    // Tested on the byte as read: a mark right after a mark takes the flag
    // and sets it again.
    if (marks_.Contains(c)) after_mark = true;
    ++p;
  }
  after_mark_ = after_mark;
}

// ------------------------------------------------------------ UTF-8

Utf8CapitalizationFilter::Utf8CapitalizationFilter(std::string_view word_sep,
                                                   std::string_view marks)
    : separators_(word_sep, TextEncoding::Utf8), marks_(marks), mark_finder_(marks_) {
  for (const auto& wide : separators_.Wide()) {
    longest_separator_ = std::max(longest_separator_, wide.size());
  }
}

// The character that has just ended: the fix's steps for it.
void Utf8CapitalizationFilter::EndCharacter() {
  const bool lone_byte = character_length_ == 1;
  const auto byte = static_cast<unsigned char>(character_.front());
  bool capitalize = false;
  if (at_start_) {
    // The first character is always passed through the capitalization
    // and never tested as a mark.
    capitalize = true;
    at_start_ = false;
  } else {
    const bool separator =
        character_length_ == character_.size() && separators_.IsSeparator(character_);
    if (after_mark_ && !separator) {
      capitalize = true;
      after_mark_ = false;
    }
    if (lone_byte && marks_.Contains(static_cast<char>(byte))) after_mark_ = true;
  }
  if (capitalize && pending_letter_ != nullptr) {
    *pending_letter_ = static_cast<char>(*pending_letter_ - kCaseOffset);
  }
  pending_letter_ = nullptr;
  in_character_ = false;
}

// One code point of length bytes; first_byte is where its first byte lives
// in the caller's block (null when it came in pieces).
void Utf8CapitalizationFilter::Take(const char* bytes, std::size_t length, char* first_byte) {
  std::size_t decoded = 0;
  const char32_t cp = DecodeAt(bytes, decoded);
  const bool starts = GraphemeBreaks::BreakBefore(state_, cp);
  if (in_character_ && starts) EndCharacter();
  if (!in_character_) {
    in_character_ = true;
    character_.assign(bytes, length);
    character_length_ = length;
    // A lone a-z may be capitalized once the character is known to end
    // right after it.
    pending_letter_ = length == 1 && IsLowerByte(bytes[0]) ? first_byte : nullptr;
    return;
  }
  // The character goes on: it is no lone letter.
  pending_letter_ = nullptr;
  if (character_.size() <= longest_separator_) {
    character_.append(bytes, std::min(length, longest_separator_ + 1 - character_.size()));
  }
  character_length_ += length;
}

// A byte that is part of no valid character: a character of its own,
// with a boundary before and after it.
void Utf8CapitalizationFilter::TakeStray(char byte) {
  if (in_character_) EndCharacter();
  in_character_ = true;
  character_.assign(1, byte);
  character_length_ = 1;
  pending_letter_ = nullptr;
  EndCharacter();
  state_ = GraphemeBreaks::StartState();
}

// Completes the code point cut by the end of the last block from the
// bytes at p; returns where the bytes of the block to be taken on their
// own begin.
char* Utf8CapitalizationFilter::CompletePartial(char* p, char* end) {
  while (partial_size_ > 0 && p != end) {
    partial_[partial_size_] = *p;
    const std::size_t length = Utf8SequenceAt(std::string_view(partial_.data(), partial_size_ + 1));
    if (length == 0) {
      // Broken: the bytes kept are strays (a lead byte and continuation
      // bytes), and the byte at p is taken afresh.
      for (std::size_t k = 0; k < partial_size_; ++k) TakeStray(partial_[k]);
      partial_size_ = 0;
      break;
    }
    ++partial_size_;
    ++p;
    if (length != kCutShort) {
      Take(partial_.data(), partial_size_, nullptr);
      partial_size_ = 0;
    }
  }
  return p;
}

void Utf8CapitalizationFilter::Apply(std::span<char> block) {
  char* p = CompletePartial(block.data(), block.data() + block.size());
  char* const end = block.data() + block.size();
  while (p != end) {
    const auto byte = static_cast<unsigned char>(*p);
    if (!after_mark_ && !at_start_ && byte < 0x80 && !marks_.Contains(static_cast<char>(byte)) &&
        pending_letter_ == nullptr &&
        !(in_character_ && character_length_ == 1 && marks_.Contains(character_.front()))) {
      // Nothing to fix until the next sentence end: skip ASCII that holds
      // no mark. A character beyond ASCII in between is taken one code
      // point at a time, as it may join the mark after it.
      char* const high =
          block.data() + mark_finder_.FindMemberOrHigh(std::string_view(block.data(), block.size()),
                                                       static_cast<std::size_t>(p - block.data()));
      if (high != p) {
        // Between ASCII bytes there is always a boundary: the character
        // now current is the last ASCII byte before high, and no mark.
        in_character_ = true;
        character_.assign(1, high[-1]);
        character_length_ = 1;
        state_ = GraphemeBreaks::StateAfterAscii(static_cast<unsigned char>(high[-1]));
        p = high;
        continue;
      }
    }
    // ASCII is always a whole character; only a lead byte needs checking.
    const std::size_t length =
        byte < 0x80 ? 1
                    : Utf8SequenceAt(std::string_view(
                          p, std::min<std::size_t>(4, static_cast<std::size_t>(end - p))));
    if (length == kCutShort) {
      // Cut by the end of the block: taken when the rest arrives.
      while (p != end) partial_[partial_size_++] = *p++;
      break;
    }
    if (length == 0) {
      TakeStray(*p++);
      continue;
    }
    Take(p, length, p);
    p += length;
  }
}

void Utf8CapitalizationFilter::Finish() {
  // A sequence cut short by the end of the text: its bytes are strays.
  for (std::size_t k = 0; k < partial_size_; ++k) TakeStray(partial_[k]);
  partial_size_ = 0;
  if (in_character_) EndCharacter();
}

// ------------------------------------------------------------ the sink

CapitalizingSink::CapitalizingSink(ByteSink& next, std::string_view word_sep,
                                   std::string_view marks, TextEncoding encoding)
    : next_(next) {
  if (encoding == TextEncoding::Utf8) {
    utf8_filter_.emplace(word_sep, marks);
  } else {
    filter_.emplace(WordSeparators(word_sep, encoding), marks);
  }
}

FileStatus CapitalizingSink::Write(std::span<char> block) {
  if (filter_) {
    filter_->Apply(block);
    return next_.Write(block);
  }
  utf8_filter_->Apply(block);
  char* const pending = utf8_filter_->PendingLetter();
  if (held_size_ > 0) {
    if (pending == held_.data()) {
      // Still undecided: the block only held part of the next code point.
      std::memcpy(held_.data() + held_size_, block.data(), block.size());
      held_size_ += block.size();
      return std::nullopt;
    }
    if (auto error = next_.Write(std::span<char>(held_.data(), held_size_))) return error;
    held_size_ = 0;
  }
  if (pending != nullptr && pending >= block.data() && pending < block.data() + block.size()) {
    // The letter and what follows it (part of one code point at most) wait
    // for the next block.
    const auto keep = static_cast<std::size_t>(block.data() + block.size() - pending);
    std::memcpy(held_.data(), pending, keep);
    held_size_ = keep;
    utf8_filter_->MovePendingLetter(held_.data());
    block = block.first(block.size() - keep);
  }
  if (block.empty()) return std::nullopt;
  return next_.Write(block);
}

FileStatus CapitalizingSink::Finish() {
  if (!utf8_filter_) return std::nullopt;
  utf8_filter_->Finish();
  if (held_size_ == 0) return std::nullopt;
  const std::size_t size = held_size_;
  held_size_ = 0;
  return next_.Write(std::span<char>(held_.data(), size));
}

namespace {

using BlockConsumer = std::function<FileStatus(std::span<char>)>;
using BlockSource = std::function<FileStatus(const BlockConsumer&)>;

// Copies the blocks for_each_block hands over to target through the fix;
// target is replaced only once all of them have been copied.
FileStatus CopyFixed(const BlockSource& for_each_block, const std::filesystem::path& target,
                     std::string_view marks, std::string_view word_sep, TextEncoding encoding) {
  AtomicFileWriter output;
  CapitalizingSink fixer(output, word_sep, marks, encoding);
  bool opened = false;
  FileStatus status = for_each_block([&](std::span<char> block) -> FileStatus {
    if (!opened) {
      if (auto error = output.Open(target, LinkPolicy::Follow)) return error;
      opened = true;
    }
    return fixer.Write(block);
  });
  if (status) return status;
  if (auto error = fixer.Finish()) return error;
  if (!opened) {
    // An empty intermediate file gives an empty target.
    if (auto error = output.Open(target, LinkPolicy::Follow)) return error;
  }
  return output.Commit();
}

constexpr std::size_t kFixBlockSize = std::size_t{4} << 20;

}  // namespace

FileStatus FixCapitalization(const std::filesystem::path& intermediate,
                             const std::filesystem::path& target, std::string_view marks,
                             std::string_view word_sep, TextEncoding encoding) {
  if (target.empty()) return FileError{target.string(), make_error_code(FileErrc::EmptyPath)};
  if (!FileExists(intermediate)) {
    return FileError{intermediate.string(),
                     std::make_error_code(std::errc::no_such_file_or_directory)};
  }
  // The intermediate file is opened before the target's new file is made,
  // and the target is only replaced once all of it has been copied, so a
  // target equal to the intermediate file still gets the fixed text.
  try {
    return CopyFixed(
        [&](const BlockConsumer& consume) {
          return ForEachBlock(intermediate, /*follow_links=*/false, kFixBlockSize, consume);
        },
        target, marks, word_sep, encoding);
  } catch (const std::bad_alloc&) {
    return OutOfMemoryError(target.native());
  }
}

FileStatus FixCapitalization(const FileDescriptor& drawn, std::string_view shown_path,
                             const std::filesystem::path& target, std::string_view marks,
                             std::string_view word_sep, TextEncoding encoding) {
  if (target.empty()) return FileError{target.string(), make_error_code(FileErrc::EmptyPath)};
  if (::lseek(drawn.get(), 0, SEEK_SET) != 0)
    return FileError{std::string(shown_path), LastSystemError()};
  try {
    return CopyFixed(
        [&](const BlockConsumer& consume) {
          return ForEachBlock(drawn.get(), shown_path, kFixBlockSize, consume);
        },
        target, marks, word_sep, encoding);
  } catch (const std::bad_alloc&) {
    return OutOfMemoryError(target.native());
  }
}

}  // namespace vorpel
