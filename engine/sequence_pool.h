#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string_view>
#include <vector>

#include "text_file_access.h"

namespace vorpel {

// The end offsets of consecutive items, stored in fixed blocks so that the
// table grows without ever copying itself (no doubling peak). Offsets are
// 32-bit while the text is below 4 GiB, 64-bit beyond.
class ItemEnds {
 public:
  explicit ItemEnds(bool wide = false) : wide_(wide) {}

  void PushBack(std::uint64_t end);
  std::uint64_t operator[](std::size_t index) const {
    const std::size_t block = index >> kBlockShift;
    const std::size_t slot = index & kBlockMask;
    return wide_ ? wide_blocks_[block][slot] : narrow_blocks_[block][slot];
  }
  std::size_t size() const { return size_; }
  // Adds delta to the last offset (the appended closing separator).
  void ExtendLast(std::uint64_t delta);

 private:
  static constexpr std::size_t kBlockShift = 16;
  static constexpr std::size_t kBlockSize = std::size_t{1} << kBlockShift;
  static constexpr std::size_t kBlockMask = kBlockSize - 1;

  bool wide_;
  std::size_t size_ = 0;
  std::vector<std::unique_ptr<std::uint32_t[]>> narrow_blocks_;
  std::vector<std::unique_ptr<std::uint64_t[]>> wide_blocks_;
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
