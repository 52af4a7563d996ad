#pragma once

#include <cstddef>
#include <string_view>

#include "byte_buffer.h"
#include "sequence_pool.h"
#include "text_encoding.h"
#include "utf8_check.h"
#include "word_cut_sharing.h"

namespace vorpel {

// How a source's encoding is chosen: Auto reads a source that is valid
// UTF-8 as UTF-8 and any other as 8-bit; Utf8 refuses a source that is not
// valid UTF-8; Bytes reads every source byte by byte, with WordSep's bytes
// as the separators (TextEncoding::RawBytes).
enum class EncodingChoice { Auto, Utf8, Bytes };

// The encoding a source is read in, given its check.
TextEncoding ChooseEncoding(const Utf8Check& check, EncodingChoice choice);

// What a sequence counts.
enum class Unit { Letters, Words };

// How a text is cut into items: seq_length units each, the unit a letter
// or a word, a word ending with a separator of word_sep. The items follow
// one another, or with overlap one starts at every unit.
struct CutRule {
  std::size_t seq_length = 0;
  Unit unit = Unit::Words;
  std::string_view word_sep;
  bool overlap = false;
};

// Cuts text into the pool's items under rule. A seq_length of 0 gives no
// items. With overlap, n units give the n - seq_length + 1 sequences that
// start at units 1 to n - seq_length + 1, and a text of fewer units one
// item of all of them; the units are cut as without it. In words mode a word cut off by the end of
// the text is closed by the closer of WordSeparators, written after the text (the buffer grows when
// its capacity is short). The first form checks the text and chooses its encoding (Utf8 is taken as
// Auto); the second is told the encoding and whether the text is all ASCII. The pool knows its
// encoding, and whether its items are all ASCII.
SequencePool BuildPool(ByteBuffer text, const CutRule& rule,
                       EncodingChoice choice = EncodingChoice::Auto);
SequencePool BuildPool(ByteBuffer text, const CutRule& rule, TextEncoding encoding, bool ascii_only,
                       const WordCutSharing& sharing = {});

// How a text would be read under choice: its check, or none for Bytes.
Utf8Check CheckForChoice(std::string_view text, EncodingChoice choice);

}  // namespace vorpel
