#include "capitalization.h"

#include <string>
#include <utility>

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

CapitalizationFilter::CapitalizationFilter(std::string_view word_sep, std::string_view marks) {
  for (const char c : word_sep) is_separator_[static_cast<unsigned char>(c)] = true;
  for (const char c : marks) is_mark_[static_cast<unsigned char>(c)] = true;
}

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
  while (p != end) {
    if (!after_mark_) {
      // Most of the text: skip to the next sentence end.
      while (p != end && !is_mark_[static_cast<unsigned char>(*p)]) ++p;
      if (p == end) return;
      after_mark_ = true;
      ++p;
      continue;
    }
    const char c = *p;
    const auto byte = static_cast<unsigned char>(c);
    if (!is_separator_[byte]) {
      if (IsLowerByte(c)) *p = static_cast<char>(c - kCaseOffset);
      after_mark_ = false;
    }
    // Tested on the byte as read: a mark right after a mark takes the flag
    // and sets it again.
    if (is_mark_[byte]) after_mark_ = true;
    ++p;
  }
}

FileStatus CapitalizingSink::Write(std::span<char> block) {
  filter_.Apply(block);
  return next_.Write(block);
}

FileStatus FixCapitalization(const std::filesystem::path& intermediate,
                             const std::filesystem::path& target, std::string_view marks,
                             std::string_view word_sep) {
  if (target.empty()) return FileError{target.string(), make_error_code(FileErrc::EmptyPath)};
  if (!FileExists(intermediate)) {
    return FileError{intermediate.string(),
                     std::make_error_code(std::errc::no_such_file_or_directory)};
  }
  // The intermediate file is opened before the target's new file is made,
  // and the target is only replaced once all of it has been copied, so a
  // target equal to the intermediate file still gets the fixed text.
  AtomicFileWriter output;
  CapitalizingSink fixer(output, word_sep, marks);
  bool opened = false;
  constexpr std::size_t kBlockSize = std::size_t{4} << 20;
  FileStatus status = ForEachBlock(intermediate, /*follow_links=*/false, kBlockSize,
                                   [&](std::span<char> block) -> FileStatus {
                                     if (!opened) {
                                       if (auto error = output.Open(target, LinkPolicy::Follow)) {
                                         return error;
                                       }
                                       opened = true;
                                     }
                                     return fixer.Write(block);
                                   });
  if (status) return status;
  if (!opened) {
    // An empty intermediate file gives an empty target.
    if (auto error = output.Open(target, LinkPolicy::Follow)) return error;
  }
  return output.Commit();
}

}  // namespace vorpel
