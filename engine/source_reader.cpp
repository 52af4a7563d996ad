#include "source_reader.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <limits>
#include <new>
#include <string>
#include <utility>
#include <vector>

#include "byte_scan.h"
#include "file_reading.h"
#include "word_separators.h"

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
  const ByteSet& separators = word_seps.Bytes();
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
    CloseLastWord(text, ends, word_seps.Closer());
  } else if (cutter.WordsInItem() > 0) {
    ends.PushBack(size);
  }
  return SequencePool::FromEnds(std::move(text), std::move(ends));
}

// The code point starting at p in valid UTF-8 that ends at end, decoded
// without branches on its length where four bytes can be read.
inline char32_t DecodeNear(const char* p, const char* end) {
  std::size_t length = 0;
  if (end - p < 4) return DecodeAt(p, length);
  std::uint32_t word;
  std::memcpy(&word, p, 4);
  const std::uint32_t lead = word & 0xFF;
  const auto ones = static_cast<unsigned>(std::countl_one(static_cast<std::uint8_t>(lead)));
  const std::uint32_t full = ((lead & (0x7Fu >> ones)) << 18) | (((word >> 8) & 0x3F) << 12) |
                             (((word >> 16) & 0x3F) << 6) | ((word >> 24) & 0x3F);
  return full >> (6 * (4 - ones));
}

// No byte at all: the mask is always empty.
struct NoBytes {
  std::uint64_t Mask64(const char* /*p*/) const { return 0; }
};

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
  const ByteSet& is_separator = word_seps.Bytes();
  const std::vector<std::string>& wide_separators = word_seps.Wide();
  ByteSet wide_first;
  for (const auto& separator : wide_separators) wide_first.Insert(separator.front());

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
      doubtful |= wide_first.Mask64(block) & valid & (~ascii | ~ascii_next);
    }
    if (pending_end - base < 64) {
      word_ends |= std::uint64_t{1} << (pending_end - base);
      pending_end = std::numeric_limits<std::size_t>::max();
    }
    while (doubtful != 0) {
      const unsigned bit = static_cast<unsigned>(std::countr_zero(doubtful));
      doubtful &= doubtful - 1;
      const std::size_t begin = base + bit;
      const auto byte = static_cast<unsigned char>(data[begin]);
      if (byte < 0x80) {
        // An ASCII byte is a character by itself unless the code point
        // before joins it (a prepended mark) or the one after joins it
        // (a combining mark): its two neighbours decide.
        // Both sides are looked at without branches on the lengths of
        // the code points, which vary from one to the next.
        const bool high_before = ((~ascii_prev) >> bit) & 1u;
        const bool high_after = ((~ascii_next) >> bit) & 1u && begin + 1 < size;
        char32_t before = ' ';
        if (high_before) {
          std::size_t lead = begin - 1;
          while ((static_cast<unsigned char>(data[lead]) & 0xC0) == 0x80) --lead;
          before = DecodeNear(data + lead, data + size);
        }
        const char32_t after = high_after ? DecodeNear(data + begin + 1, data + size) : U' ';
        if (!GraphemeBreaks::BreakBeforeAscii(before, byte)) continue;  // inside a character
        const bool alone = GraphemeBreaks::BreakAfterAscii(byte, after);
        if (alone) {
          if (!is_separator.Contains(data[begin])) continue;
          word_ends |= std::uint64_t{1} << bit;
          last_separator_end = begin + 1;
          continue;
        }
        // A longer character starts here: it may be a wide separator.
      }
      const std::size_t end = probe.CharacterAt(begin);
      if (end == 0) continue;
      const std::string_view character(data + begin, end - begin);
      const bool is_separator_here = character.size() == 1
                                         ? is_separator.Contains(character.front())
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
    // Only the last block can hold the end of the text.
    if (base + 64 >= size && word_ends != 0) {
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
  const ByteSet& separators = word_seps.Bytes();
  switch (separators.Members().size()) {
    case 0: return CutUtf8Words(std::move(text), seq_length, word_seps, NoBytes());
    case 1:
      return CutUtf8Words(std::move(text), seq_length, word_seps, SmallByteSet<1>(separators));
    case 2:
      return CutUtf8Words(std::move(text), seq_length, word_seps, SmallByteSet<2>(separators));
    case 3:
      return CutUtf8Words(std::move(text), seq_length, word_seps, SmallByteSet<3>(separators));
    case 4:
      return CutUtf8Words(std::move(text), seq_length, word_seps, SmallByteSet<4>(separators));
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
    // Room after the text for the character that closes a word cut off by
    // its end.
    const std::size_t spare = std::max<std::size_t>(1, session.settings.WordSep.size());
    // The text is checked for UTF-8 piece by piece as it is read, while
    // each piece is still in the cache.
    Utf8Checker checker;
    const auto check_piece = [&checker](std::string_view piece) { checker.Feed(piece); };
    const FileStatus read_error = choice == EncodingChoice::Bytes
                                      ? ReadWholeFile(path, text, spare)
                                      : ReadWholeFile(path, text, spare, check_piece);
    if (read_error) {
      ReportFileError(reporter, *read_error);
      return ReadOutcome::Failed;
    }
    const Utf8Check check =
        choice == EncodingChoice::Bytes ? Utf8Check{std::size_t{0}, false} : checker.Finish();
    if (choice == EncodingChoice::Utf8 && !check.Valid()) {
      ReportError(reporter, ErrorKind::IO,
                  path.string() + ": not UTF-8: the first invalid byte sequence starts at byte " +
                      std::to_string(*check.first_invalid));
      return ReadOutcome::Failed;
    }
    session.pool = BuildPool(std::move(text), session.settings, ChooseEncoding(check, choice),
                             check.ascii_only);
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
