#pragma once

#include <cstddef>

#include "byte_buffer.h"
#include "sequence_pool.h"
#include "word_cut_sharing.h"
#include "word_separators.h"

namespace vorpel {

// Words mode on a UTF-8 text with characters beyond ASCII: items end after
// every seq_length-th separator character, and at the end of the text,
// where a word cut off is closed by the closer of word_seps, written after
// the text. A long text's word ends are found by two threads as sharing
// says, a short one's by this one; the items are the same either way.
SequencePool CutUtf8Words(ByteBuffer text, std::size_t seq_length, const WordSeparators& word_seps,
                          const WordCutSharing& sharing);

}  // namespace vorpel
