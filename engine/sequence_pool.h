#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

#include "byte_buffer.h"

namespace vorpel {

// The end offsets of consecutive items, stored in fixed blocks so that the
// table grows without ever copying itself (no doubling peak). Offsets are
// 32-bit while the text is below 4 GiB, 64-bit beyond.
class ItemEnds {
 public:
  explicit ItemEnds(bool wide = false) : wide_(wide) {}

  void PushBack(std::uint64_t end) {
    if (fill_ == kBlockEntries) NewBlock();
    char* slot = blocks_.back().data() + fill_ * EntrySize();
    if (wide_) {
      *reinterpret_cast<std::uint64_t*>(slot) = end;
    } else {
      *reinterpret_cast<std::uint32_t*>(slot) = static_cast<std::uint32_t>(end);
    }
    ++fill_;
  }
  std::uint64_t operator[](std::size_t index) const {
    const char* slot = blocks_[index >> kBlockShift].data() + (index & kBlockMask) * EntrySize();
    return wide_ ? *reinterpret_cast<const std::uint64_t*>(slot)
                 : *reinterpret_cast<const std::uint32_t*>(slot);
  }
  std::size_t size() const {
    return blocks_.empty() ? 0 : ((blocks_.size() - 1) << kBlockShift) + fill_;
  }
  // Adds delta to the last offset (the appended closing separator).
  void ExtendLast(std::uint64_t delta);

 private:
  static constexpr std::size_t kBlockShift = 20;
  static constexpr std::size_t kBlockEntries = std::size_t{1} << kBlockShift;
  static constexpr std::size_t kBlockMask = kBlockEntries - 1;

  std::size_t EntrySize() const { return wide_ ? 8 : 4; }
  void NewBlock();

  bool wide_;
  std::size_t fill_ = kBlockEntries;  // entries used in the last block
  std::vector<ByteBuffer> blocks_;
};

// The ordered list of sequences read from the last source. The source's
// bytes are held once; items are slices of them, either of a fixed stride
// (letters) or between consecutive end offsets (words). Indexes here are
// 0-based: item 0 is the first sequence of the source.
class SequencePool {
 public:
  SequencePool() = default;
  SequencePool(SequencePool&&) noexcept = default;
  SequencePool& operator=(SequencePool&&) noexcept = default;

  // Items of stride bytes each (the last one may be shorter).
  static SequencePool FixedStride(ByteBuffer text, std::size_t stride);
  // Item i runs from ends[i-1] (0 for the first) to ends[i].
  static SequencePool FromEnds(ByteBuffer text, ItemEnds ends);

  std::size_t Size() const { return size_; }
  bool Empty() const { return size_ == 0; }

  std::string_view Item(std::size_t index) const {
    if (stride_ != 0) {
      const std::size_t start = index * stride_;
      const std::size_t length = std::min(stride_, text_.size() - start);
      return {text_.data() + start, length};
    }
    const std::size_t start = index == 0 ? 0 : static_cast<std::size_t>(ends_[index - 1]);
    return {text_.data() + start, static_cast<std::size_t>(ends_[index]) - start};
  }

  // Drops every item and frees the source's bytes.
  void Clear();

 private:
  ByteBuffer text_;
  std::size_t stride_ = 0;  // 0: items come from ends_
  ItemEnds ends_;
  std::size_t size_ = 0;
};

}  // namespace vorpel
