#include "item_cutter.h"

#include <cstring>
#include <limits>
#include <utility>

namespace vorpel {

bool NeedsWideEnds(std::size_t size, const std::string& closer) {
  return size + closer.size() > std::numeric_limits<std::uint32_t>::max();
}

SequencePool FinishWordPool(ByteBuffer text, ItemEnds ends, const ItemCutter& cutter,
                            bool ends_in_word, const std::string& closer) {
  const std::size_t size = text.size();
  if (ends_in_word) {
    // The last word, cut off by the end of the text, is closed by the
    // closer written after the text, and ends the last item there.
    ends.PushBack(size);
    if (!closer.empty()) {
      if (text.capacity() < size + closer.size()) text.Reserve(size + closer.size());
      text.Resize(size + closer.size());
      std::memcpy(text.data() + size, closer.data(), closer.size());
      ends.ExtendLast(closer.size());
    }
  } else if (cutter.WordsInItem() > 0) {
    ends.PushBack(size);
  }
  return SequencePool::FromEnds(std::move(text), std::move(ends));
}

}  // namespace vorpel
