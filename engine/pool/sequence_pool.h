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
// bytes are held once; items are slices of them: of a fixed number of
// bytes (letters of an 8-bit or ASCII text), of a fixed number of
// characters found through a letter index (letters of a UTF-8 text), or
// between end offsets (words). Items either follow one another or overlap,
// one starting at every unit; an overlapping pool keeps nothing beyond the
// units' boundaries, so its items cost no memory of their own. Indexes
// here are 0-based: item 0 is the first sequence of the source. The pool
// knows the encoding its source was read in, so what is drawn from it is
// read the same way. A pool may also be joined from the pools of several
// sources (Join): it then holds them whole, one after the other.
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
  // The overlapping sequences of units units each, from a pool whose items
  // are single units (cut with a length of 1): item i runs from the start
  // of unit i to the end of unit i + units - 1, so a pool of n units gives
  // n - units + 1 items; with fewer than units units it gives one item of
  // them all, and none without units. units must be at least 1.
  static SequencePool Overlapping(SequencePool unit_pool, std::size_t units);
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
      const std::size_t first = index * step_;
      const std::size_t start = letters_.StartOf(first);
      const std::size_t end = letters_.StartOf(first + letters_per_item_);
      return {text_.data() + start, end - start};
    }
    if (item_bytes_ != 0) {
      const std::size_t start = index * step_;
      const std::size_t length = std::min(item_bytes_, text_.size() - start);
      return {text_.data() + start, length};
    }
    // A joined pool has neither stride nor letters of its own: its items
    // come from its parts. A pool of one source pays one well-predicted
    // test for this, in words mode only.
    if (!parts_.empty()) [[unlikely]]
      return PartItem(index);
    const std::size_t start = index == 0 ? 0 : static_cast<std::size_t>(ends_[index - 1]);
    return {text_.data() + start, static_cast<std::size_t>(ends_[index + last_end_]) - start};
  }

  // The number of sources a joined pool draws from (those with items), 1
  // for a pool of one source with items, and 0 for an empty pool.
  std::size_t PartCount() const { return parts_.empty() ? (size_ == 0 ? 0 : 1) : parts_.size(); }
  // The pool of source part (part < PartCount()): the joined pool's part,
  // or this pool itself.
  const SequencePool& Part(std::size_t part) const { return parts_.empty() ? *this : parts_[part]; }

  // Asks for the memory that Item(index) reads first to be fetched: a
  // caller that knows the next items early hides the wait for it.
  void PrefetchItem(std::size_t index) const {
    if (letters_per_item_ != 0) letters_.Prefetch(index * step_);
  }

  // Drops every item and frees the source's bytes.
  void Clear();

 private:
  std::string_view PartItem(std::size_t index) const;

  ByteBuffer text_;
  // Letters: item i starts at letter (or byte) i * step_; the pool's items
  // follow one another when step_ is the length of an item, and overlap
  // when it is 1.
  std::size_t step_ = 0;
  std::size_t item_bytes_ = 0;        // not 0: items of so many bytes from byte i * step_
  std::size_t letters_per_item_ = 0;  // not 0: items come from letters_
  // Words: item i ends at ends_[i + last_end_]; 0 when every end closes an
  // item, units - 1 when the ends are those of single units and the items
  // overlap.
  std::size_t last_end_ = 0;
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
