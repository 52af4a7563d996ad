#pragma once

#include <cstddef>

#include "byte_buffer.h"
#include "sequence_pool.h"
#include "word_separators.h"

namespace vorpel {

// Words mode where every byte is a character (an 8-bit text, raw bytes, or
// an ASCII text): items end after every seq_length-th separator byte, and
// at the end of the text. A word cut off by the end of the text is closed
// by the closer of word_seps, written after the text.
SequencePool CutWordsBytewise(ByteBuffer text, std::size_t seq_length,
                              const WordSeparators& word_seps);

}  // namespace vorpel
