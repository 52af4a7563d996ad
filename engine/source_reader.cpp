#include "source_reader.h"

#include <array>
#include <bit>
#include <cstring>
#include <limits>
#include <new>
#include <utility>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace vorpel {
namespace {

// Which bytes end a word. Up to four distinct separator bytes are matched
// 16 bytes at a time; more fall back to a table.
class SeparatorSet {
 public:
  explicit SeparatorSet(std::string_view word_sep) {
    for (const char c : word_sep) {
      const auto byte = static_cast<unsigned char>(c);
      if (!table_[byte]) {
        table_[byte] = true;
        if (distinct_ < kMaxVector) vector_bytes_[distinct_] = c;
        ++distinct_;
      }
    }
  }

  bool Contains(char c) const { return table_[static_cast<unsigned char>(c)]; }

  // Bit i of the result is set when p[i] is a separator, for i in [0, 64).
  std::uint64_t Mask64(const char* p) const {
#if defined(__SSE2__)
    if (distinct_ <= kMaxVector) {
      std::uint64_t mask = 0;
      for (int part = 0; part < 4; ++part) {
        const __m128i bytes =
            _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + static_cast<std::ptrdiff_t>(16 * part)));
        __m128i hit = _mm_setzero_si128();
        for (int k = 0; k < distinct_; ++k) {
          hit = _mm_or_si128(hit, _mm_cmpeq_epi8(bytes, _mm_set1_epi8(vector_bytes_[k])));
        }
        mask |= static_cast<std::uint64_t>(static_cast<std::uint32_t>(_mm_movemask_epi8(hit)))
                << (16 * part);
      }
      return mask;
    }
#endif
    std::uint64_t mask = 0;
    for (int i = 0; i < 64; ++i) {
      mask |= static_cast<std::uint64_t>(table_[static_cast<unsigned char>(p[i])]) << i;
    }
    return mask;
  }

  bool Empty() const { return distinct_ == 0; }

 private:
  static constexpr int kMaxVector = 4;
  std::array<bool, 256> table_{};
  std::array<char, kMaxVector> vector_bytes_{};
  int distinct_ = 0;
};

// Words mode: an item ends after every seq_length-th separator byte, and at
// the end of the text. A word cut off by the end of the text is closed by
// the first byte of word_sep, written into the spare byte after the text.
SequencePool BuildWordPool(ByteBuffer text, std::size_t seq_length, std::string_view word_sep) {
  const std::size_t size = text.size();
  if (size == 0) return {};
  const bool wide = size + 1 > std::numeric_limits<std::uint32_t>::max();
  ItemEnds ends(wide);
  const SeparatorSet separators(word_sep);
  const char* data = text.data();

  std::size_t words_in_item = 0;
  // Records the separators given as bits of mask, at offsets from base.
  const auto take = [&](std::uint64_t mask, std::size_t base) {
    while (mask != 0) {
      const std::size_t needed = seq_length - words_in_item;
      const auto count = static_cast<std::size_t>(std::popcount(mask));
      if (count < needed) {
        words_in_item += count;
        return;
      }
      // Drop the needed - 1 lowest separators; the next one ends the item.
      for (std::size_t i = 1; i < needed; ++i) mask &= mask - 1;
      const int bit = std::countr_zero(mask);
      mask &= mask - 1;
      ends.PushBack(base + static_cast<std::size_t>(bit) + 1);
      words_in_item = 0;
    }
  };

  std::size_t pos = 0;
  if (!separators.Empty()) {
    for (; pos + 64 <= size; pos += 64) take(separators.Mask64(data + pos), pos);
    std::uint64_t tail = 0;
    for (std::size_t i = pos; i < size; ++i) {
      if (separators.Contains(data[i])) tail |= std::uint64_t{1} << (i - pos);
    }
    take(tail, pos);
  }

  const bool ends_on_separator = separators.Contains(data[size - 1]);
  if (!ends_on_separator) {
    // The text ends inside a word: that word closes the last item.
    ends.PushBack(size);
    if (!word_sep.empty()) {
      text.Resize(size + 1);
      text.data()[size] = word_sep.front();
      ends.ExtendLast(1);
    }
  } else if (words_in_item > 0) {
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
  if (settings.UnitMode == kLettersMode) return SequencePool::FixedStride(std::move(text), seq_length);
  if (settings.UnitMode == kWordsMode) {
    return BuildWordPool(std::move(text), seq_length, settings.WordSep);
  }
  return {};
}

ReadOutcome ReadSource(Session& session, const std::filesystem::path& path, Reporter& reporter) {
  if (!FileExists(path)) {
    ReportError(reporter, ErrorDialog::FNE, path.string());
    return ReadOutcome::Missing;
  }
  // The old pool goes first, so a big source never sits in memory twice.
  session.pool.Clear();
  ByteBuffer text;
  if (auto error = ReadWholeFile(path, text, 1)) {
    ReportError(reporter, ErrorDialog::IO, error->Describe());
    return ReadOutcome::Failed;
  }
  try {
    session.pool = BuildPool(std::move(text), session.settings);
  } catch (const std::bad_alloc&) {
    session.pool.Clear();
    const FileError error{path.string(), std::make_error_code(std::errc::not_enough_memory)};
    ReportError(reporter, ErrorDialog::IO, error.Describe());
    return ReadOutcome::Failed;
  }
  return ReadOutcome::Read;
}

}  // namespace vorpel
