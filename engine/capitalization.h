#pragma once

#include <filesystem>
#include <span>
#include <string>
#include <string_view>

#include "byte_scan.h"
#include "byte_sink.h"
#include "file_error.h"
#include "posix_file.h"

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
  void Apply(std::span<char> block);

 private:
  ByteSet separators_;
  ByteSet marks_;
  ByteFinder mark_finder_;
  bool at_start_ = true;
  bool after_mark_ = false;
};

// A sink that applies the fix to every block before passing it on.
class CapitalizingSink final : public ByteSink {
 public:
  CapitalizingSink(ByteSink& next, std::string_view word_sep, std::string_view marks)
      : next_(next), filter_(word_sep, marks) {}
  FileStatus Write(std::span<char> block) override;

 private:
  ByteSink& next_;
  CapitalizationFilter filter_;
};

// Copies the intermediate file to target with the fix applied; target is
// replaced atomically (links at it followed). The intermediate file is read
// in full before target is replaced, so target may be the intermediate
// file itself. The intermediate file stays in place. An empty target or a
// missing intermediate file is refused before anything is touched.
FileStatus FixCapitalization(const std::filesystem::path& intermediate,
                             const std::filesystem::path& target, std::string_view marks,
                             std::string_view word_sep);

// The same from an intermediate file already open: reads drawn from its
// start, whatever file is at the intermediate path by now, so a Write
// fixes exactly the text it drew itself. Read errors name shown_path.
// Memory that cannot be had is an error naming target; target is then
// left as it was.
FileStatus FixCapitalization(const FileDescriptor& drawn, std::string_view shown_path,
                             const std::filesystem::path& target, std::string_view marks,
                             std::string_view word_sep);

}  // namespace vorpel
