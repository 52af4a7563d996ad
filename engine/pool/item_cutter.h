#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>
#include <string>

#include "byte_buffer.h"
#include "byte_scan.h"
#include "sequence_pool.h"

namespace vorpel {

// Counts separators and records where items end: an item ends after every
// seq_length-th separator.
class ItemCutter {
 public:
  ItemCutter(ItemEnds& ends, std::size_t seq_length) : ends_(ends), seq_length_(seq_length) {}

  // mask: the last bytes of the separators among the 64 bytes from offset
  // base, as bits. Inlined into each loop over blocks, where a call would
  // cost a tenth.
  [[gnu::always_inline]] void Take(std::uint64_t mask, std::size_t base) {
    auto count = static_cast<std::size_t>(CountBits(mask));
    if (words_in_item_ + count < seq_length_) {
      words_in_item_ += count;
      return;
    }
    // Straight to each separator that ends an item: the ones before it
    // are dropped from the mask without a test each.
    std::size_t needed = seq_length_ - words_in_item_;
    while (count >= needed) {
      for (std::size_t skip = 1; skip < needed; ++skip) mask &= mask - 1;
      ends_.PushBack(base + static_cast<std::size_t>(std::countr_zero(mask)) + 1);
      mask &= mask - 1;
      count -= needed;
      needed = seq_length_;
    }
    words_in_item_ = count;
  }
  // The words of the item not ended yet.
  std::size_t WordsInItem() const { return words_in_item_; }

 private:
  ItemEnds& ends_;
  std::size_t seq_length_;
  std::size_t words_in_item_ = 0;
};

// Whether a text of size bytes, with the closer after it, needs 64-bit
// item ends.
bool NeedsWideEnds(std::size_t size, const std::string& closer);

// Ends the items of a words-mode text and makes the pool of them. A text
// that ends inside a word (ends_in_word) has that word closed by the
// closer, written after the text (the buffer grows when its capacity is
// short), and it ends the last item; otherwise the words left after the
// last full item make one more.
SequencePool FinishWordPool(ByteBuffer text, ItemEnds ends, const ItemCutter& cutter,
                            bool ends_in_word, const std::string& closer);

}  // namespace vorpel
