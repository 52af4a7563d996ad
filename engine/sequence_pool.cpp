#include "sequence_pool.h"

#include <utility>

namespace vorpel {

void ItemEnds::PushBack(std::uint64_t end) {
  const std::size_t slot = size_ & kBlockMask;
  if (wide_) {
    if (slot == 0) wide_blocks_.push_back(std::make_unique_for_overwrite<std::uint64_t[]>(kBlockSize));
    wide_blocks_.back()[slot] = end;
  } else {
    if (slot == 0) {
      narrow_blocks_.push_back(std::make_unique_for_overwrite<std::uint32_t[]>(kBlockSize));
    }
    narrow_blocks_.back()[slot] = static_cast<std::uint32_t>(end);
  }
  ++size_;
}

void ItemEnds::ExtendLast(std::uint64_t delta) {
  const std::size_t index = size_ - 1;
  const std::size_t block = index >> kBlockShift;
  const std::size_t slot = index & kBlockMask;
  if (wide_) {
    wide_blocks_[block][slot] += delta;
  } else {
    narrow_blocks_[block][slot] += static_cast<std::uint32_t>(delta);
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

void SequencePool::Clear() { *this = SequencePool(); }

}  // namespace vorpel
