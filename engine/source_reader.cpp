#include "source_reader.h"

#include <array>
#include <bit>
#include <cstring>
#include <limits>
#include <new>
#include <string>
#include <utility>
#include <vector>

#include "word_separators.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace vorpel {
namespace {

// Which bytes end a word, as a table.
class SeparatorTable {
 public:
  explicit SeparatorTable(const std::array<bool, 256>& table) : table_(table) {
    for (int byte = 0; byte < 256; ++byte) {
      if (table_[static_cast<std::size_t>(byte)])
        distinct_bytes_.push_back(static_cast<char>(byte));
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

// No separator byte at all.
template <int Count>
class SeparatorVector;
template <>
class SeparatorVector<0> {
 public:
  explicit SeparatorVector(const std::string& /*bytes*/) {}
  std::uint64_t Mask64(const char* /*p*/) const { return 0; }
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

// Closes the last word, cut off by the end of the text, with the closer
// written after the text, and ends the last item there.
void CloseLastWord(ByteBuffer& text, ItemEnds& ends, const std::string& closer) {
  const std::size_t size = text.size();
  ends.PushBack(size);
  if (closer.empty()) return;
  if (text.capacity() < size + closer.size()) text.Reserve(size + closer.size());
  text.Resize(size + closer.size());
  std::memcpy(text.data() + size, closer.data(), closer.size());
  ends.ExtendLast(closer.size());
}

// Words mode, one byte a character (an 8-bit text, or an ASCII one): items
// end after every seq_length-th separator byte, and at the end of the
// text. A word cut off by the end of the text is closed by the closer,
// written after the text.
SequencePool BuildWordPool(ByteBuffer text, std::size_t seq_length,
                           const WordSeparators& word_seps) {
  const std::size_t size = text.size();
  if (size == 0) return {};
  const bool wide = size + word_seps.Closer().size() > std::numeric_limits<std::uint32_t>::max();
  ItemEnds ends(wide);
  const SeparatorTable separators(word_seps.Bytes());
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
    CloseLastWord(text, ends, word_seps.Closer());
  } else if (cutter.WordsInItem() > 0) {
    ends.PushBack(size);
  }
  return SequencePool::FromEnds(std::move(text), std::move(ends));
}

// Bit i set where the byte at p + i is above 0x7F, for i in [0, 64).
std::uint64_t HighBits64(const char* p) {
#if defined(__SSE2__)
  std::uint64_t mask = 0;
  for (int part = 0; part < 4; ++part) {
    const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 16 * part));
    mask |= std::uint64_t{static_cast<std::uint32_t>(_mm_movemask_epi8(bytes))} << (16 * part);
  }
  return mask;
#else
  std::uint64_t mask = 0;
  for (int i = 0; i < 64; ++i) {
    mask |= std::uint64_t{static_cast<unsigned char>(p[i]) >> 7} << i;
  }
  return mask;
#endif
}

// Words of a UTF-8 text with characters beyond ASCII. A separator must be
// a whole character of the text. An ASCII separator between two ASCII
// bytes always is one (the common case, decided 64 bytes at a time); the
// others, and every place where a wider separator may start, are asked of
// the character probe.
template <typename Matcher>
SequencePool CutUtf8Words(ByteBuffer text, std::size_t seq_length, const WordSeparators& word_seps,
                          const Matcher& ascii_separators) {
  const std::size_t size = text.size();
  const bool wide = size + word_seps.Closer().size() > std::numeric_limits<std::uint32_t>::max();
  ItemEnds ends(wide);
  ItemCutter cutter(ends, seq_length);
  CharacterProbe probe(std::string_view(text.data(), size));
  const std::array<bool, 256>& is_separator = word_seps.Bytes();
  const std::vector<std::string>& wide_separators = word_seps.Wide();
  std::array<bool, 256> wide_first{};
  for (const auto& separator : wide_separators) {
    wide_first[static_cast<unsigned char>(separator.front())] = true;
  }
  const SeparatorTable wide_first_table(wide_first);

  std::size_t last_separator_end = 0;
  std::size_t pending_end = std::numeric_limits<std::size_t>::max();
  std::uint64_t ascii_before = 1;  // the start of the text is a boundary
  char padded[64];
  const char* data = text.data();
  for (std::size_t base = 0; base < size; base += 64) {
    const char* block = data + base;
    const std::size_t in_block = std::min<std::size_t>(64, size - base);
    if (in_block < 64) {
      std::memset(padded, 'x', sizeof padded);
      std::memcpy(padded, block, in_block);
      block = padded;
    }
    const std::uint64_t ascii = ~HighBits64(block);
    const std::uint64_t valid =
        in_block < 64 ? (std::uint64_t{1} << in_block) - 1 : ~std::uint64_t{0};
    // The end of the text is a boundary too.
    const std::uint64_t ascii_after_last =
        base + 64 >= size || static_cast<unsigned char>(data[base + 64]) < 0x80;
    const std::uint64_t ascii_prev = (ascii << 1) | ascii_before;
    const std::uint64_t ascii_next = (ascii >> 1) | (ascii_after_last << 63);
    const std::uint64_t matches = ascii_separators.Mask64(block) & valid;
    std::uint64_t word_ends = matches & ascii_prev & ascii_next;
    std::uint64_t doubtful = matches & ~word_ends;
    if (!wide_separators.empty()) {
      // A wide separator starting with an ASCII byte needs a character
      // beyond ASCII after it.
      doubtful |= wide_first_table.Mask64(block) & valid & (~ascii | ~ascii_next);
    }
    if (pending_end - base < 64) {
      word_ends |= std::uint64_t{1} << (pending_end - base);
      pending_end = std::numeric_limits<std::size_t>::max();
    }
    while (doubtful != 0) {
      const unsigned bit = static_cast<unsigned>(std::countr_zero(doubtful));
      doubtful &= doubtful - 1;
      const std::size_t begin = base + bit;
      const std::size_t end = probe.CharacterAt(begin);
      if (end == 0) continue;
      const std::string_view character(data + begin, end - begin);
      const bool is_separator_here =
          character.size() == 1 ? is_separator[static_cast<unsigned char>(character.front())]
                                : std::find(wide_separators.begin(), wide_separators.end(),
                                            character) != wide_separators.end();
      if (!is_separator_here) continue;
      if (end - 1 - base < 64) {
        word_ends |= std::uint64_t{1} << (end - 1 - base);
      } else {
        pending_end = end - 1;
      }
      last_separator_end = end;
    }
    if (word_ends != 0) {
      last_separator_end = std::max(
          last_separator_end, base + 64 - static_cast<std::size_t>(std::countl_zero(word_ends)));
    }
    cutter.Take(word_ends, base);
    ascii_before = ascii >> 63;
  }

  if (last_separator_end != size) {
    CloseLastWord(text, ends, word_seps.Closer());
  } else if (cutter.WordsInItem() > 0) {
    ends.PushBack(size);
  }
  return SequencePool::FromEnds(std::move(text), std::move(ends));
}

SequencePool BuildUtf8WordPool(ByteBuffer text, std::size_t seq_length,
                               const WordSeparators& word_seps) {
  if (text.size() == 0) return {};
  const SeparatorTable separators(word_seps.Bytes());
  const std::string& bytes = separators.DistinctBytes();
  switch (bytes.size()) {
    // No ASCII separator: the mask is always empty.
    case 0: return CutUtf8Words(std::move(text), seq_length, word_seps, SeparatorVector<0>(bytes));
#if defined(__SSE2__)
    case 1: return CutUtf8Words(std::move(text), seq_length, word_seps, SeparatorVector<1>(bytes));
    case 2: return CutUtf8Words(std::move(text), seq_length, word_seps, SeparatorVector<2>(bytes));
    case 3: return CutUtf8Words(std::move(text), seq_length, word_seps, SeparatorVector<3>(bytes));
    case 4: return CutUtf8Words(std::move(text), seq_length, word_seps, SeparatorVector<4>(bytes));
#endif
    default: return CutUtf8Words(std::move(text), seq_length, word_seps, separators);
  }
}

}  // namespace

bool IsSeparatorChar(std::string_view c, std::string_view word_sep) {
  return !c.empty() && word_sep.find(c) != std::string_view::npos;
}

bool IsSeparatorChar(std::string_view c, std::string_view word_sep, TextEncoding source) {
  if (c.empty()) return false;
  return WordSeparators(word_sep, source).IsSeparator(c);
}

TextEncoding ChooseEncoding(const Utf8Check& check, EncodingChoice choice) {
  if (choice == EncodingChoice::Bytes) return TextEncoding::RawBytes;
  return check.Valid() ? TextEncoding::Utf8 : TextEncoding::EightBit;
}

SequencePool BuildPool(ByteBuffer text, const GenerationSettings& settings, EncodingChoice choice) {
  const Utf8Check check = choice == EncodingChoice::Bytes
                              ? Utf8Check{std::size_t{0}, false}
                              : CheckUtf8(std::string_view(text.data(), text.size()));
  return BuildPool(std::move(text), settings, ChooseEncoding(check, choice), check.ascii_only);
}

SequencePool BuildPool(ByteBuffer text, const GenerationSettings& settings, TextEncoding encoding,
                       bool ascii_only) {
  // A length of 0 (which the Options dialog accepts) would take no unit per
  // pass and never use up the source: it yields no items.
  if (settings.SeqLength <= 0) return {};
  const auto seq_length = static_cast<std::size_t>(settings.SeqLength);
  // In ASCII text every byte is a character: the 8-bit cutting gives the
  // same items, only faster.
  const bool bytewise = encoding != TextEncoding::Utf8 || ascii_only;
  SequencePool pool;
  bool ascii_items = ascii_only;
  if (settings.UnitMode == kLettersMode) {
    if (bytewise) {
      pool = SequencePool::FixedStride(std::move(text), seq_length);
    } else {
      LetterIndex letters = LetterIndex::Build(std::string_view(text.data(), text.size()));
      pool = SequencePool::FromLetters(std::move(text), std::move(letters), seq_length);
    }
  } else if (settings.UnitMode == kWordsMode) {
    const WordSeparators word_seps(settings.WordSep, encoding);
    for (const char c : word_seps.Closer())
      ascii_items = ascii_items && static_cast<unsigned char>(c) < 0x80;
    pool = bytewise ? BuildWordPool(std::move(text), seq_length, word_seps)
                    : BuildUtf8WordPool(std::move(text), seq_length, word_seps);
  }
  pool.SetEncoding(encoding, ascii_items);
  return pool;
}

ReadOutcome ReadSource(Session& session, const std::filesystem::path& path, Reporter& reporter,
                       EncodingChoice choice) {
  if (!FileExists(path)) {
    ReportError(reporter, ErrorKind::FNE, path.string());
    return ReadOutcome::Missing;
  }
  // The old pool goes first, so a big source never sits in memory twice.
  session.pool.Clear();
  // A length of 0 takes no unit per pass: the read ends with an empty pool.
  if (session.settings.SeqLength <= 0) return ReadOutcome::Read;
  ByteBuffer text;
  // Room after the text for the character that closes a word cut off by
  // its end.
  const std::size_t spare = std::max<std::size_t>(1, session.settings.WordSep.size());
  if (auto error = ReadWholeFile(path, text, spare)) {
    ReportError(reporter, ErrorKind::IO, error->Describe());
    return ReadOutcome::Failed;
  }
  try {
    const Utf8Check check = choice == EncodingChoice::Bytes
                                ? Utf8Check{std::size_t{0}, false}
                                : CheckUtf8(std::string_view(text.data(), text.size()));
    if (choice == EncodingChoice::Utf8 && !check.Valid()) {
      ReportError(reporter, ErrorKind::IO,
                  path.string() + ": not UTF-8: the first invalid byte sequence starts at byte " +
                      std::to_string(*check.first_invalid));
      return ReadOutcome::Failed;
    }
    session.pool = BuildPool(std::move(text), session.settings, ChooseEncoding(check, choice),
                             check.ascii_only);
  } catch (const std::bad_alloc&) {
    session.pool.Clear();
    const FileError error{path.string(), std::make_error_code(std::errc::not_enough_memory)};
    ReportError(reporter, ErrorKind::IO, error.Describe());
    return ReadOutcome::Failed;
  }
  return ReadOutcome::Read;
}

}  // namespace vorpel
