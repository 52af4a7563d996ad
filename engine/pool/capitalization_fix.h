#pragma once

// The capitalization fix on drawn text: as a sink that fixes blocks on
// their way to the next one, and as the copy of the intermediate file to
// the target with the fix applied.

#include <array>
#include <filesystem>
#include <optional>
#include <span>
#include <string_view>

#include "byte_sink.h"
#include "capitalization.h"
#include "file_error.h"
#include "posix_file.h"
#include "text_encoding.h"
#include "utf8_capitalization.h"

namespace vorpel {

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
// Memory that cannot be had throws std::bad_alloc, for the command to
// report; target is then left as it was.
FileStatus FixCapitalization(const FileDescriptor& drawn, std::string_view shown_path,
                             const std::filesystem::path& target, std::string_view marks,
                             std::string_view word_sep,
                             TextEncoding encoding = TextEncoding::RawBytes);

}  // namespace vorpel
