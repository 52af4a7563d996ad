#pragma once

// Stand-ins for the engine's collaborators, and the engine's values made
// and taken apart for comparisons.

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "byte_buffer.h"
#include "byte_sink.h"
#include "generation_settings.h"
#include "reporter.h"
#include "sequence_pool.h"
#include "source_reader.h"

namespace vorpel::test {

// Records every beep and every dialog name in the order they came, and the
// detail given with each dialog.
class RecordingReporter final : public Reporter {
 public:
  void Beep() override;
  void ShowError(ErrorKind dialog, std::string_view detail) override;

  std::vector<std::string> events;
  std::vector<std::string> details;
};

// A sink that keeps everything written to it.
class StringSink final : public ByteSink {
 public:
  FileStatus Write(std::span<char> block) override;

  std::string text;
  int blocks = 0;
};

// A buffer holding bytes, with spare bytes of capacity after them.
ByteBuffer MakeBuffer(std::string_view bytes, std::size_t spare = 1);

// The pool's items in order.
std::vector<std::string> PoolItems(const SequencePool& pool);

// The settings after start-up with the unit, the length and the
// separator of a Read set, and MultSeq: 1 as at start-up (the sequences
// overlap), 0 for sequences one after another.
GenerationSettings ReadSettings(std::int16_t unit_mode, std::int16_t seq_length,
                                std::string word_sep = " ", std::int16_t mult_seq = 1);

// The pool of text read with settings.
SequencePool PoolOf(std::string_view text, const GenerationSettings& settings,
                    EncodingChoice choice = EncodingChoice::Auto);

}  // namespace vorpel::test
