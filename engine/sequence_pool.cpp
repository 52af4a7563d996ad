#include "sequence_pool.h"

#include <utility>

namespace vorpel {

void ItemEnds::NewBlock() {
  ByteBuffer block;
  block.Reserve(kBlockEntries * EntrySize());
  blocks_.push_back(std::move(block));
  fill_ = 0;
}

void ItemEnds::ExtendLast(std::uint64_t delta) {
  const std::size_t index = size() - 1;
  char* slot = blocks_[index >> kBlockShift].data() + (index & kBlockMask) * EntrySize();
  if (wide_) {
    *reinterpret_cast<std::uint64_t*>(slot) += delta;
  } else {
    *reinterpret_cast<std::uint32_t*>(slot) += static_cast<std::uint32_t>(delta);
  }
}

SequencePool SequencePool::FixedStride(ByteBuffer text, std::size_t stride) {
  SequencePool pool;
  if (stride == 0 || text.size() == 0) return pool;
  pool.size_ = (text.size() + stride - 1) / stride;
  pool.stride_ = stride;
  pool.text_ = std::move(text);
  return pool;
}

SequencePool SequencePool::FromEnds(ByteBuffer text, ItemEnds ends) {
  SequencePool pool;
  pool.size_ = ends.size();
  pool.text_ = std::move(text);
  pool.ends_ = std::move(ends);
  return pool;
}

SequencePool SequencePool::FromLetters(ByteBuffer text, LetterIndex letters,
                                       std::size_t letters_per_item) {
  SequencePool pool;
  if (letters_per_item == 0 || letters.Letters() == 0) return pool;
  pool.size_ = (letters.Letters() + letters_per_item - 1) / letters_per_item;
  pool.letters_per_item_ = letters_per_item;
  pool.text_ = std::move(text);
  pool.letters_ = std::move(letters);
  return pool;
}

void SequencePool::Clear() { *this = SequencePool(); }

}  // namespace vorpel
