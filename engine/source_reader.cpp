#include "source_reader.h"

#include <bit>
#include <limits>
#include <new>
#include <string>
#include <utility>

#include "byte_scan.h"
#include "file_reading.h"

namespace vorpel {
namespace {

// Counts separators and records where items end: an item ends after every
// seq_length-th separator byte.
class ItemCutter {
 public:
  ItemCutter(ItemEnds& ends, std::size_t seq_length) : ends_(ends), seq_length_(seq_length) {}

  // mask: the separators among the 64 bytes from offset base, as bits.
  void Take(std::uint64_t mask, std::size_t base) {
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
  std::size_t WordsInItem() const { return words_in_item_; }

 private:
  ItemEnds& ends_;
  std::size_t seq_length_;
  std::size_t words_in_item_ = 0;
};

template <typename Matcher>
void CutWhole64ByteBlocks(const char* data, std::size_t blocks, const Matcher& matcher,
                          ItemCutter& cutter) {
  for (std::size_t block = 0; block < blocks; ++block) {
    cutter.Take(matcher.Mask64(data + 64 * block), 64 * block);
  }
}

// Words mode: items end after every seq_length-th separator byte, and at
// the end of the text. A word cut off by the end of the text is closed by
// the first byte of word_sep, written into the spare byte after the text.
SequencePool BuildWordPool(ByteBuffer text, std::size_t seq_length, std::string_view word_sep) {
  const std::size_t size = text.size();
  if (size == 0) return {};
  const bool wide = size + 1 > std::numeric_limits<std::uint32_t>::max();
  ItemEnds ends(wide);
  const ByteSet separators(word_sep);
  ItemCutter cutter(ends, seq_length);
  const char* data = text.data();

  // A few distinct separators are compared 16 bytes at a time; more are
  // looked up in the table.
  const std::size_t blocks = size / 64;
  switch (separators.Members().size()) {
    case 0: break;  // no byte ends a word: the whole text is one item
    case 1: CutWhole64ByteBlocks(data, blocks, SmallByteSet<1>(separators), cutter); break;
    case 2: CutWhole64ByteBlocks(data, blocks, SmallByteSet<2>(separators), cutter); break;
    case 3: CutWhole64ByteBlocks(data, blocks, SmallByteSet<3>(separators), cutter); break;
    case 4: CutWhole64ByteBlocks(data, blocks, SmallByteSet<4>(separators), cutter); break;
    default: CutWhole64ByteBlocks(data, blocks, separators, cutter); break;
  }
  cutter.Take(separators.Mask(data + blocks * 64, size - blocks * 64), blocks * 64);

  if (!separators.Contains(data[size - 1])) {
    // The text ends inside a word: that word closes the last item.
    ends.PushBack(size);
    if (!word_sep.empty()) {
      text.Resize(size + 1);
      text.data()[size] = word_sep.front();
      ends.ExtendLast(1);
    }
  } else if (cutter.WordsInItem() > 0) {
    ends.PushBack(size);
  }
  return SequencePool::FromEnds(std::move(text), std::move(ends));
}

}  // namespace

bool IsSeparatorChar(std::string_view c, std::string_view word_sep) {
  return !c.empty() && word_sep.find(c) != std::string_view::npos;
}

SequencePool BuildPool(ByteBuffer text, const GenerationSettings& settings) {
  // A length of 0 (which the Options dialog accepts) would take no unit per
  // pass and never use up the source: it yields no items.
  if (settings.SeqLength <= 0) return {};
  const auto seq_length = static_cast<std::size_t>(settings.SeqLength);
  if (settings.UnitMode == kLettersMode)
    return SequencePool::FixedStride(std::move(text), seq_length);
  if (settings.UnitMode == kWordsMode) {
    return BuildWordPool(std::move(text), seq_length, settings.WordSep);
  }
  return {};
}

ReadOutcome ReadSource(Session& session, const std::filesystem::path& path, Reporter& reporter) {
  try {
    if (!FileExists(path)) {
      ReportError(reporter, ErrorKind::FNE, path.string());
      return ReadOutcome::Missing;
    }
    // The old pool goes first, so a big source never sits in memory twice.
    session.pool.Clear();
    // A length of 0 takes no unit per pass: the read ends with an empty pool.
    if (session.settings.SeqLength <= 0) return ReadOutcome::Read;
    ByteBuffer text;
    if (auto error = ReadWholeFile(path, text, 1)) {
      ReportFileError(reporter, *error);
      return ReadOutcome::Failed;
    }
    session.pool = BuildPool(std::move(text), session.settings);
  } catch (const std::bad_alloc&) {
    // Every allocation of a Read ends here: the source's bytes, the item
    // table, the strings of a message.
    session.pool.Clear();
    ReportFileError(reporter, OutOfMemoryError(path.native()));
    return ReadOutcome::Failed;
  }
  return ReadOutcome::Read;
}

}  // namespace vorpel
