#include "sequence_pool.h"

#include <utility>
#include <vector>

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
  pool.step_ = stride;
  pool.item_bytes_ = stride;
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
  pool.step_ = letters_per_item;
  pool.letters_per_item_ = letters_per_item;
  pool.text_ = std::move(text);
  pool.letters_ = std::move(letters);
  return pool;
}

SequencePool SequencePool::Overlapping(SequencePool unit_pool, std::size_t units) {
  SequencePool pool = std::move(unit_pool);
  if (pool.size_ == 0 || units <= 1) return pool;
  // A source of fewer units than a sequence holds gives one item of all.
  const std::size_t span = std::min(units, pool.size_);
  if (pool.letters_per_item_ != 0) {
    pool.letters_per_item_ = span;
  } else if (pool.item_bytes_ != 0) {
    pool.item_bytes_ = span;
  } else {
    pool.last_end_ = span - 1;
  }
  pool.size_ -= span - 1;
  return pool;
}

SequencePool SequencePool::Join(std::vector<SequencePool> parts) {
  if (parts.size() == 1) return std::move(parts.front());
  bool all_utf8 = true;
  bool all_ascii_items = true;
  bool any_raw_bytes = false;
  for (const SequencePool& part : parts) {
    all_utf8 = all_utf8 && part.encoding_ == TextEncoding::Utf8;
    all_ascii_items = all_ascii_items && part.ascii_items_;
    any_raw_bytes = any_raw_bytes || part.encoding_ == TextEncoding::RawBytes;
  }
  const TextEncoding encoding = all_utf8        ? TextEncoding::Utf8
                                : any_raw_bytes ? TextEncoding::RawBytes
                                                : TextEncoding::EightBit;
  // Parts without items take no place in the table: a lookup never lands
  // on one.
  std::erase_if(parts, [](const SequencePool& part) { return part.Empty(); });
  SequencePool pool;
  if (parts.size() == 1) {
    pool = std::move(parts.front());
  } else if (parts.size() > 1) {
    pool.part_starts_.reserve(parts.size());
    for (const SequencePool& part : parts) {
      pool.part_starts_.push_back(pool.size_);
      pool.size_ += part.size_;
    }
    pool.parts_ = std::move(parts);
  }
  pool.SetEncoding(encoding, all_utf8 && all_ascii_items);
  return pool;
}

std::string_view SequencePool::PartItem(std::size_t index) const {
  // The last part whose first item is at or before index, found by a
  // binary search without branches: the drawn indexes are random, so a
  // branch on each comparison would be mispredicted half the time.
  const std::size_t* first = part_starts_.data();
  std::size_t count = part_starts_.size();
  while (count > 1) {
    const std::size_t half = count / 2;
    first = first[half] <= index ? first + half : first;
    count -= half;
  }
  const auto part = static_cast<std::size_t>(first - part_starts_.data());
  return parts_[part].Item(index - *first);
}

void SequencePool::Clear() { *this = SequencePool(); }

}  // namespace vorpel
