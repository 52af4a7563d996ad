#pragma once

#include <cstddef>
#include <filesystem>
#include <string_view>

#include "file_error.h"
#include "generation_settings.h"
#include "posix_file.h"
#include "reporter.h"
#include "sequence_pool.h"
#include "session.h"
#include "text_encoding.h"
#include "utf8_check.h"

namespace vorpel {

// How a source's encoding is chosen: Auto reads a source that is valid
// UTF-8 as UTF-8 and any other as 8-bit; Utf8 refuses a source that is not
// valid UTF-8; Bytes reads every source byte by byte, with WordSep's bytes
// as the separators (TextEncoding::RawBytes).
enum class EncodingChoice { Auto, Utf8, Bytes };

// The encoding a source is read in, given its check.
TextEncoding ChooseEncoding(const Utf8Check& check, EncodingChoice choice);

// Cuts text into the pool's items under the given settings (SeqLength,
// UnitMode, WordSep; MultSeq gives the same items either way). A SeqLength
// of 0 or less gives no items. In words mode a word cut off by the end of
// the text is closed by the closer of WordSeparators, written after the
// text (the buffer grows when its capacity is short). The first form
// checks the text and chooses its encoding (Utf8 is taken as Auto); the
// second is told the encoding and whether the text is all ASCII.
SequencePool BuildPool(ByteBuffer text, const GenerationSettings& settings,
                       EncodingChoice choice = EncodingChoice::Auto);
//
// The word ends of a long UTF-8 text are found by two threads when the
// machine has two cores: texts of minimum_size bytes or more, shared out
// in parts of part_bytes (a multiple of 64). The items are the same either
// way; tests take small parts to go the shared way on short texts.
struct WordCutSharing {
  std::size_t minimum_size = std::size_t{32} << 20;
  std::size_t part_bytes = std::size_t{1} << 20;
  // The second thread takes every part it may (all from a quarter of the
  // way in) before the first starts: a split that does not depend on
  // timing, for tests.
  bool second_first = false;
};
SequencePool BuildPool(ByteBuffer text, const GenerationSettings& settings, TextEncoding encoding,
                       bool ascii_only, const WordCutSharing& sharing = {});

enum class ReadOutcome {
  Missing,  // no file at the path: beep and ErrorFNE, pool kept
  Failed,   // the file could not be read: beep and ErrorIO, pool empty
  Read,     // the pool holds the source's items
};

// The Read command. If a file exists at path, empties the pool and fills it
// with the file's items; otherwise beeps, shows ErrorFNE and keeps the pool.
// A file that exists but cannot be read is reported with ErrorIO, and so is
// a source that is not valid UTF-8 when choice is Utf8 (naming the offset
// of its first invalid byte sequence); the pool is then empty. With
// accepted RegularOnly (the window's Read), a named pipe, a terminal or
// another device is such a file, refused at once rather than waited for.
ReadOutcome ReadSource(Session& session, const std::filesystem::path& path, Reporter& reporter,
                       EncodingChoice choice = EncodingChoice::Auto,
                       SourceFiles accepted = SourceFiles::FilesAndPipes);

}  // namespace vorpel
