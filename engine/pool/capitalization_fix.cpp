#include "capitalization_fix.h"

#include <unistd.h>

#include <cstring>
#include <functional>
#include <string>
#include <utility>

#include "atomic_file_writer.h"
#include "file_reading.h"

namespace vorpel {

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
  return CopyFixed(
      [&](const BlockConsumer& consume) {
        return ForEachBlock(intermediate, /*follow_links=*/false, kFixBlockSize, consume);
      },
      target, marks, word_sep, encoding);
}

FileStatus FixCapitalization(const FileDescriptor& drawn, std::string_view shown_path,
                             const std::filesystem::path& target, std::string_view marks,
                             std::string_view word_sep, TextEncoding encoding) {
  if (target.empty()) return FileError{target.string(), make_error_code(FileErrc::EmptyPath)};
  if (::lseek(drawn.get(), 0, SEEK_SET) != 0)
    return FileError{std::string(shown_path), LastSystemError()};
  return CopyFixed(
      [&](const BlockConsumer& consume) {
        return ForEachBlock(drawn.get(), shown_path, kFixBlockSize, consume);
      },
      target, marks, word_sep, encoding);
}

}  // namespace vorpel
