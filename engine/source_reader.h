#pragma once

#include <filesystem>
#include <string_view>

#include "file_error.h"
#include "generation_settings.h"
#include "reporter.h"
#include "sequence_pool.h"
#include "session.h"

namespace vorpel {

// True when c is not empty and occurs in word_sep as a substring, bytes
// compared exactly. For one byte: it is one of word_sep's bytes.
bool IsSeparatorChar(std::string_view c, std::string_view word_sep);

// Cuts text into the pool's items under the given settings (SeqLength,
// UnitMode, WordSep; MultSeq gives the same items either way). A SeqLength
// of 0 or less gives no items. text's capacity must leave one spare byte,
// where words mode may put the first byte of WordSep to close a word cut
// off by the end of the text.
SequencePool BuildPool(ByteBuffer text, const GenerationSettings& settings);

enum class ReadOutcome {
  Missing,  // no file at the path: beep and ErrorFNE, pool kept
  Failed,   // the file could not be read: beep and ErrorIO, pool empty
  Read,     // the pool holds the source's items
};

// The Read command. If a file exists at path, empties the pool and fills it
// with the file's items; otherwise beeps, shows ErrorFNE and keeps the pool.
// A file that exists but cannot be read is reported with ErrorIO.
ReadOutcome ReadSource(Session& session, const std::filesystem::path& path, Reporter& reporter);

}  // namespace vorpel
