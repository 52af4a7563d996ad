#include "source_reader.h"

#include <array>
#include <bit>
#include <cstring>
#include <limits>
#include <new>
#include <string>
#include <utility>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace vorpel {
namespace {

// Which bytes end a word, as a table.
class SeparatorTable {
 public:
  explicit SeparatorTable(std::string_view word_sep) {
    for (const char c : word_sep) {
      const auto byte = static_cast<unsigned char>(c);
      if (!table_[byte]) distinct_bytes_.push_back(c);
      table_[byte] = true;
    }
  }
  bool Contains(char c) const { return table_[static_cast<unsigned char>(c)]; }
  const std::string& DistinctBytes() const { return distinct_bytes_; }

  // Bit i of the result is set when p[i] is a separator, for i in [0, 64).
  std::uint64_t Mask64(const char* p) const {
    std::uint64_t mask = 0;
    for (int i = 0; i < 64; ++i) {
      mask |= static_cast<std::uint64_t>(table_[static_cast<unsigned char>(p[i])]) << i;
    }
    return mask;
  }

 private:
  std::array<bool, 256> table_{};
  std::string distinct_bytes_;
};

#if defined(__SSE2__)
// The same test for a few distinct separator bytes, 16 bytes at a time.
template <int Count>
class SeparatorVector {
 public:
  explicit SeparatorVector(const std::string& bytes) {
    for (int k = 0; k < Count; ++k) wanted_[k] = _mm_set1_epi8(bytes[static_cast<std::size_t>(k)]);
  }
  // Written out for the four parts: as a loop, it is not unrolled at -O2
  // and the loop's own work costs about as much as the comparisons.
  std::uint64_t Mask64(const char* p) const {
    return Mask16(p) | (Mask16(p + 16) << 16) | (Mask16(p + 32) << 32) | (Mask16(p + 48) << 48);
  }

 private:
  std::uint64_t Mask16(const char* p) const {
    const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
    __m128i hit = _mm_cmpeq_epi8(bytes, wanted_[0]);
    for (int k = 1; k < Count; ++k) hit = _mm_or_si128(hit, _mm_cmpeq_epi8(bytes, wanted_[k]));
    return static_cast<std::uint32_t>(_mm_movemask_epi8(hit));
  }

  __m128i wanted_[Count];
};
#endif

// The number of set bits. Without the POPCNT instruction in the target,
// std::popcount is a library call, slower than these few operations.
inline std::size_t PopCount(std::uint64_t x) {
#if defined(__POPCNT__) || defined(_MSC_VER)
  return static_cast<std::size_t>(std::popcount(x));
#else
  x -= (x >> 1) & 0x5555555555555555u;
  x = (x & 0x3333333333333333u) + ((x >> 2) & 0x3333333333333333u);
  x = (x + (x >> 4)) & 0x0F0F0F0F0F0F0F0Fu;
  return static_cast<std::size_t>((x * 0x0101010101010101u) >> 56);
#endif
}

// Counts separators and records where items end: an item ends after every
// seq_length-th separator byte.
class ItemCutter {
 public:
  ItemCutter(ItemEnds& ends, std::size_t seq_length) : ends_(ends), seq_length_(seq_length) {}

  // mask: the separators among the 64 bytes from offset base, as bits.
  void Take(std::uint64_t mask, std::size_t base) {
    std::size_t count = PopCount(mask);
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
  const SeparatorTable separators(word_sep);
  ItemCutter cutter(ends, seq_length);
  const char* data = text.data();

  const std::size_t blocks = size / 64;
  const std::size_t distinct = separators.DistinctBytes().size();
  const std::string& bytes = separators.DistinctBytes();
  switch (distinct) {
    case 0: break;  // no byte ends a word: the whole text is one item
#if defined(__SSE2__)
    case 1: CutWhole64ByteBlocks(data, blocks, SeparatorVector<1>(bytes), cutter); break;
    case 2: CutWhole64ByteBlocks(data, blocks, SeparatorVector<2>(bytes), cutter); break;
    case 3: CutWhole64ByteBlocks(data, blocks, SeparatorVector<3>(bytes), cutter); break;
    case 4: CutWhole64ByteBlocks(data, blocks, SeparatorVector<4>(bytes), cutter); break;
#endif
    default: CutWhole64ByteBlocks(data, blocks, separators, cutter); break;
  }
  std::uint64_t tail = 0;
  for (std::size_t i = blocks * 64; i < size; ++i) {
    if (separators.Contains(data[i])) tail |= std::uint64_t{1} << (i - blocks * 64);
  }
  cutter.Take(tail, blocks * 64);

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
    ReportError(reporter, ErrorKind::IO, error->Describe());
    return ReadOutcome::Failed;
  }
  try {
    session.pool = BuildPool(std::move(text), session.settings);
  } catch (const std::bad_alloc&) {
    session.pool.Clear();
    const FileError error{path.string(), std::make_error_code(std::errc::not_enough_memory)};
    ReportError(reporter, ErrorKind::IO, error.Describe());
    return ReadOutcome::Failed;
  }
  return ReadOutcome::Read;
}

}  // namespace vorpel
