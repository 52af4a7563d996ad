#pragma once

#include <filesystem>

#include "build_pool.h"
#include "file_error.h"
#include "generation_settings.h"
#include "posix_file.h"
#include "reporter.h"
#include "sequence_pool.h"
#include "session.h"
#include "text_encoding.h"
#include "utf8_check.h"

namespace vorpel {

// Cuts text into the pool's items under the given settings (SeqLength,
// UnitMode, WordSep, and MultSeq: overlapping sequences when it is not 0),
// as BuildPool of a CutRule does. A SeqLength of 0 or less gives no items,
// and so does a UnitMode that is neither letters nor words (the pool then
// takes the encoding). The first form checks the text and chooses its
// encoding (Utf8 is taken as Auto); the second is told the encoding and
// whether the text is all ASCII.
SequencePool BuildPool(ByteBuffer text, const GenerationSettings& settings,
                       EncodingChoice choice = EncodingChoice::Auto);
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
