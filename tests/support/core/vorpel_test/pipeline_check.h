#pragma once

// The batch command's pipeline followed from the sources to the written
// text, in memory: each source read on its own, the pools joined, a seeded
// draw and the capitalizing sink, as the command calls them. A case is
// made from arbitrary bytes (for the fuzz target and its deterministic
// run), and what the pipeline gives is compared with the literal
// references.

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "sequence_writer.h"
#include "source_reader.h"

namespace vorpel::test {

struct PipelineCase {
  std::vector<std::string> sources;  // one to three
  std::int16_t unit_mode = kWordsMode;
  std::int16_t seq_length = 1;  // 0 to 100
  std::string word_sep;         // any bytes but NUL, which no command line can hold
  EncodingChoice encoding = EncodingChoice::Auto;
  bool fix = false;
  bool overlap = false;    // --overlap
  Mix mix = Mix::Pool;     // --mix
  std::int64_t count = 0;  // -1 to 62
  std::uint64_t seed = 0;
};

// The case the bytes of input stand for; every input makes one. Byte 0
// holds the unit (bit 0: words), the fix (bit 1), the encoding (bits 2-3:
// auto, auto, utf-8, bytes), the number of sources (bits 4-5, 1 + the
// value mod 3), overlapping sequences (bit 6) and the equal mix (bit 7);
// byte 1 the length mod 101, byte 2 the count mod 64 less 1,
// byte 3 the seed. Byte 4 picks the separator: from 0x80 one of a list of
// typed ones, below it that many bytes mod 5 taken raw from the input.
// Then each source: a header byte, whose bits 2-7 give the number of input
// bytes it takes (the last source takes the rest), and whose bits 0-1
// tell how: 0 as they are, otherwise each byte one piece: a UTF-8
// character, a byte that is not UTF-8 by itself, an ASCII byte or a
// lowercase letter (1), the same but the bytes that are not UTF-8 (2),
// ASCII only (3).
PipelineCase PipelineCaseFrom(std::span<const std::uint8_t> input);

// The case in words, for failure messages.
std::string Describe(const PipelineCase& c);

// Runs the case through the pipeline and compares. Each source's pool
// with the reference reading of its encoding (overlapping or not) (and, for an ASCII source
// read as UTF-8 whose separator holds no multi-byte UTF-8 character, with
// the literal 8-bit one); the joined pool with the parts' items in order;
// the written text with the items drawn by the same seed, back to back
// (with the equal mix, a source with items first, then an item of it).
// The fix changes only 'a'..'z' into capitals, and gives the text the
// literal fix gives: the 8-bit one when the bytes were read 8-bit or as
// bytes, the same bytes as --encoding bytes for ASCII sources under the
// rule above, the UTF-8 one for UTF-8 text. UTF-8 sources give valid
// UTF-8 but for the byte that closes a source's last word when that byte
// is not UTF-8 by itself. Empty when everything holds; otherwise what did
// not, with the case.
std::string CheckPipeline(const PipelineCase& c);

}  // namespace vorpel::test
