#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

#include "byte_buffer.h"
#include "letter_index.h"
#include "text_encoding.h"

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
// bytes are held once; items are slices of them: of a fixed stride
// (letters of an 8-bit or ASCII text), of a fixed number of characters
// found through a letter index (letters of a UTF-8 text), or between
// consecutive end offsets (words). Indexes here are 0-based: item 0 is the
// first sequence of the source. The pool knows the encoding its source was
// read in, so what is drawn from it is read the same way. A pool may also
// be joined from the pools of several sources (Join): it then holds them
// whole, one after the other.
class SequencePool {
 public:
  SequencePool() = default;
  SequencePool(SequencePool&&) noexcept = default;
  SequencePool& operator=(SequencePool&&) noexcept = default;

  // Items of stride bytes each (the last one may be shorter).
  static SequencePool FixedStride(ByteBuffer text, std::size_t stride);
  // Item i runs from ends[i-1] (0 for the first) to ends[i].
  static SequencePool FromEnds(ByteBuffer text, ItemEnds ends);
  // Items of letters_per_item characters each (the last may hold fewer).
  static SequencePool FromLetters(ByteBuffer text, LetterIndex letters,
                                  std::size_t letters_per_item);
  // The items of every part, part after part, in the order given; each
  // part keeps its own bytes (nothing is copied) and no item spans two
  // parts. The encoding is Utf8 when every part is Utf8 (with ASCII items
  // when every part has them), RawBytes when any part is RawBytes, and
  // EightBit otherwise. A single part is returned as it is.
  static SequencePool Join(std::vector<SequencePool> parts);

  std::size_t Size() const { return size_; }
  bool Empty() const { return size_ == 0; }

  // How the source's bytes stand for characters. The builders give
  // TextEncoding::EightBit; the reader sets it, and says whether every
  // item is ASCII.
  TextEncoding Encoding() const { return encoding_; }
  void SetEncoding(TextEncoding encoding, bool ascii_items = false) {
    encoding_ = encoding;
    ascii_items_ = ascii_items;
  }
  // The encoding in which text drawn from the pool is to be read. Text made
  // of ASCII items reads the same as UTF-8 and as 8-bit text (a typed
  // separator beyond ASCII matches nothing either way), so it is read the
  // faster 8-bit way.
  TextEncoding ItemEncoding() const {
    return encoding_ == TextEncoding::Utf8 && ascii_items_ ? TextEncoding::EightBit : encoding_;
  }

  std::string_view Item(std::size_t index) const {
    if (letters_per_item_ != 0) {
      const std::size_t start = letters_.StartOf(index * letters_per_item_);
      const std::size_t end = letters_.StartOf((index + 1) * letters_per_item_);
      return {text_.data() + start, end - start};
    }
    if (stride_ != 0) {
      const std::size_t start = index * stride_;
      const std::size_t length = std::min(stride_, text_.size() - start);
      return {text_.data() + start, length};
    }
    // A joined pool has neither stride nor letters of its own: its items
    // come from its parts. A pool of one source pays one well-predicted
    // test for this, in words mode only.
    if (!parts_.empty()) [[unlikely]]
      return PartItem(index);
    const std::size_t start = index == 0 ? 0 : static_cast<std::size_t>(ends_[index - 1]);
    return {text_.data() + start, static_cast<std::size_t>(ends_[index]) - start};
  }

  // Asks for the memory that Item(index) reads first to be fetched: a
  // caller that knows the next items early hides the wait for it.
  void PrefetchItem(std::size_t index) const {
    if (letters_per_item_ != 0) letters_.Prefetch(index * letters_per_item_);
  }

  // Drops every item and frees the source's bytes.
  void Clear();

 private:
  std::string_view PartItem(std::size_t index) const;

  ByteBuffer text_;
  std::size_t stride_ = 0;            // 0: items come from ends_ or letters_
  std::size_t letters_per_item_ = 0;  // not 0: items come from letters_
  ItemEnds ends_;
  LetterIndex letters_;
  std::size_t size_ = 0;
  TextEncoding encoding_ = TextEncoding::EightBit;
  bool ascii_items_ = false;
  // A joined pool: its parts, and the index of each part's first item.
  std::vector<SequencePool> parts_;
  std::vector<std::size_t> part_starts_;
};

}  // namespace vorpel
