#include "capitalization.h"

#include <unistd.h>

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

FileStatus CapitalizingSink::Write(std::span<char> block) {
  filter_.Apply(block);
  return next_.Write(block);
}

namespace {

using BlockConsumer = std::function<FileStatus(std::span<char>)>;
using BlockSource = std::function<FileStatus(const BlockConsumer&)>;

// Copies the blocks for_each_block hands over to target through the fix;
// target is replaced only once all of them have been copied.
FileStatus CopyFixed(const BlockSource& for_each_block, const std::filesystem::path& target,
                     std::string_view marks, std::string_view word_sep) {
  AtomicFileWriter output;
  CapitalizingSink fixer(output, word_sep, marks);
  bool opened = false;
  FileStatus status = for_each_block([&](std::span<char> block) -> FileStatus {
    if (!opened) {
      if (auto error = output.Open(target, LinkPolicy::Follow)) return error;
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

constexpr std::size_t kFixBlockSize = std::size_t{4} << 20;

}  // namespace

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
  try {
    return CopyFixed(
        [&](const BlockConsumer& consume) {
          return ForEachBlock(intermediate, /*follow_links=*/false, kFixBlockSize, consume);
        },
        target, marks, word_sep);
  } catch (const std::bad_alloc&) {
    return OutOfMemoryError(target.native());
  }
}

FileStatus FixCapitalization(const FileDescriptor& drawn, std::string_view shown_path,
                             const std::filesystem::path& target, std::string_view marks,
                             std::string_view word_sep) {
  if (target.empty()) return FileError{target.string(), make_error_code(FileErrc::EmptyPath)};
  if (::lseek(drawn.get(), 0, SEEK_SET) != 0)
    return FileError{std::string(shown_path), LastSystemError()};
  try {
    return CopyFixed(
        [&](const BlockConsumer& consume) {
          return ForEachBlock(drawn.get(), shown_path, kFixBlockSize, consume);
        },
        target, marks, word_sep);
  } catch (const std::bad_alloc&) {
    return OutOfMemoryError(target.native());
  }
}

}  // namespace vorpel
