#include "source_reader.h"

#include <algorithm>
#include <atomic>
#include <bit>
#include <cstring>
#include <limits>
#include <memory>
#include <new>
#include <optional>
#include <string>
#include <system_error>
#include <thread>
#include <utility>
#include <vector>

#include "byte_scan.h"
#include "characters.h"
#include "file_reading.h"
#include "utf8_decode.h"
#include "word_separators.h"

namespace vorpel {
namespace {

// Counts separators and records where items end: an item ends after every
// seq_length-th separator byte.
class ItemCutter {
 public:
  ItemCutter(ItemEnds& ends, std::size_t seq_length) : ends_(ends), seq_length_(seq_length) {}

  // mask: the separators among the 64 bytes from offset base, as bits.
  // Inlined into each loop over blocks, where a call would cost a tenth.
  [[gnu::always_inline]] void Take(std::uint64_t mask, std::size_t base) {
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

  const std::size_t blocks = size / 64;
  WithMatcher(separators,
              [&](const auto& matcher) { CutWhole64ByteBlocks(data, blocks, matcher, cutter); });
  cutter.Take(separators.Mask(data + blocks * 64, size - blocks * 64), blocks * 64);

  if (!separators.Contains(data[size - 1])) {
    // The text ends inside a word: that word closes the last item.
    CloseLastWord(text, ends, word_seps.Closer());
  } else if (cutter.WordsInItem() > 0) {
    ends.PushBack(size);
  }
  return SequencePool::FromEnds(std::move(text), std::move(ends));
}

// The code point of valid UTF-8 starting at p, where four bytes from p can
// be read.
inline char32_t DecodeStartingAt(const char* p) { return DecodeWord(LoadWord(p)); }

// The code point of valid UTF-8 ending right before p, where the four
// bytes before p can be read.
inline char32_t DecodeEndingAt(const char* p) {
  const std::uint32_t word = LoadWord(p - 4);
  // Continuation bytes become zero bytes; the last byte before p is the
  // word's highest, so the zero bytes above the first other one are the
  // code point's continuation bytes.
  const std::uint32_t others = (word ^ 0x80808080u) & 0xC0C0C0C0u;
  const auto length = std::min(static_cast<unsigned>(std::countl_zero(others)) / 8 + 1, 4u);
  return DecodeWord(word >> (8 * (4 - length)));
}

// Where the words of a UTF-8 text with characters beyond ASCII end, a
// block of 64 bytes at a time. A separator must be a whole character of
// the text. An ASCII separator between two ASCII bytes always is one (the
// common case, decided 64 bytes at a time); one beside a character beyond
// ASCII is settled from the answers known for its neighbours; the others,
// and every place where a wider separator may start, are asked of the
// character probe.
//
// Blocks go in runs, each in increasing order from the block StartAt
// names; separate runs may go in any order (a character probe is good for
// one run).
template <typename Matcher>
class Utf8WordEnds {
 public:
  Utf8WordEnds(std::string_view text, const WordSeparators& word_seps,
               const Matcher& ascii_separators, const ByteSet& wide_first)
      : data_(text.data()),
        size_(text.size()),
        inner_end_(size_ >= 64 + 4 ? (size_ - 4) / 64 * 64 : 0),
        is_separator_(word_seps.Bytes()),
        wide_separators_(word_seps.Wide()),
        ascii_separators_(ascii_separators),
        wide_first_(wide_first),
        probe_(text) {}

  // Starts a run at base, a multiple of 64.
  void StartAt(std::size_t base) {
    ascii_before_ = base == 0 || static_cast<unsigned char>(data_[base - 1]) < 0x80;
    probe_ = CharacterProbe(std::string_view(data_, size_));
    pending_end_ = kNone;
  }

  // The last bytes of the separators in the block from base, as bits.
  std::uint64_t Block(std::size_t base) {
    // An inner block has four bytes that can be read on each side and
    // lies wholly inside the text; the others (the first, and the last
    // two) take the general way.
    return base >= 64 && base < inner_end_ ? Cut<true>(base) : Cut<false>(base);
  }

  // The last byte of a separator that started in the run and ends after
  // it, if there is one; the run's end forgets it.
  std::optional<std::size_t> TakePending() {
    const std::size_t pending = pending_end_;
    pending_end_ = kNone;
    if (pending == kNone) return std::nullopt;
    return pending;
  }

  // The end of the last separator met in any run.
  std::size_t LastSeparatorEnd() const { return last_separator_end_; }

 private:
  static constexpr std::size_t kNone = std::numeric_limits<std::size_t>::max();

  // The doubtful ASCII bytes of a block whose neighbours on one side lie
  // beyond ASCII (high), settled without a branch on the neighbour: the
  // bits of those that may be joined to it, or whose neighbour's answer is
  // not known yet.
  template <bool kAfter>
  static std::uint64_t Unsettled(const char* block, std::uint64_t high) {
    constexpr std::uint8_t kJoins =
        kAfter ? GraphemeBreaks::kJoinsAsciiBefore : GraphemeBreaks::kJoinsAsciiAfter;
    std::uint64_t result = 0;
    for (; high != 0; high &= high - 1) {
      const auto bit = static_cast<unsigned>(std::countr_zero(high));
      const char* at = block + bit;
      const std::uint8_t answer = GraphemeBreaks::KnownAsciiNeighbour(
          kAfter ? DecodeStartingAt(at + 1) : DecodeEndingAt(at));
      const auto open = static_cast<std::uint8_t>((answer ^ GraphemeBreaks::kNeighbourKnown) &
                                                  (GraphemeBreaks::kNeighbourKnown | kJoins));
      result |= std::uint64_t{open != 0} << bit;
    }
    return result;
  }

  // Inlined into the loops over blocks: a call per block costs a twentieth
  // of the work.
  template <bool kInner>
  [[gnu::always_inline]] std::uint64_t Cut(std::size_t base) {
    const char* block = data_ + base;
    std::uint64_t valid = ~std::uint64_t{0};
    std::uint64_t ascii_after_last = 0;
    char padded[64];
    if constexpr (kInner) {
      ascii_after_last = static_cast<unsigned char>(data_[base + 64]) < 0x80;
    } else {
      const std::size_t in_block = std::min<std::size_t>(64, size_ - base);
      if (in_block < 64) {
        std::memset(padded, 'x', sizeof padded);
        std::memcpy(padded, block, in_block);
        block = padded;
        valid = (std::uint64_t{1} << in_block) - 1;
      }
      // The end of the text is a boundary too.
      ascii_after_last = base + 64 >= size_ || static_cast<unsigned char>(data_[base + 64]) < 0x80;
    }
    const std::uint64_t ascii = ~HighBits64(block);
    const std::uint64_t ascii_prev = (ascii << 1) | ascii_before_;
    const std::uint64_t ascii_next = (ascii >> 1) | (ascii_after_last << 63);
    ascii_before_ = ascii >> 63;
    const std::uint64_t matches = ascii_separators_.Mask64(block) & valid;
    std::uint64_t word_ends = matches & ascii_prev & ascii_next;
    std::uint64_t doubtful = matches & ~word_ends;
    if (!wide_separators_.empty()) {
      // A wide separator starting with an ASCII byte needs a character
      // beyond ASCII after it.
      doubtful |= wide_first_.Mask64(block) & valid & (~ascii | ~ascii_next);
    }
    if (pending_end_ - base < 64) {
      word_ends |= std::uint64_t{1} << (pending_end_ - base);
      pending_end_ = kNone;
    }
    // An ASCII byte is a character by itself unless the code point before
    // it joins it (a prepended mark) or the one after it does (a combining
    // mark, a joiner): almost never. Each side is looked at only where the
    // neighbour there lies beyond ASCII.
    std::uint64_t slow = doubtful;
    if constexpr (kInner) {
      const std::uint64_t fast = doubtful & ascii;
      const std::uint64_t open =
          Unsettled<false>(block, fast & ~ascii_prev) | Unsettled<true>(block, fast & ~ascii_next);
      word_ends |= fast & matches & ~open;
      slow = (doubtful & ~ascii) | open;
    }
    for (; slow != 0; slow &= slow - 1) {
      const auto bit = static_cast<unsigned>(std::countr_zero(slow));
      word_ends |= SlowWay(base + bit, ((~ascii_prev) >> bit) & 1u, ((~ascii_next) >> bit) & 1u);
    }
    if constexpr (!kInner) {
      // Only the last block can hold the end of the text.
      if (base + 64 >= size_ && word_ends != 0) {
        last_separator_end_ = std::max(
            last_separator_end_, base + 64 - static_cast<std::size_t>(std::countl_zero(word_ends)));
      }
    }
    return word_ends;
  }

  // Decides whether a separator starts at begin, and where it ends: the
  // word end's bit in begin's block, or none (and pending_end_ when it ends
  // in a later block).
  std::uint64_t SlowWay(std::size_t begin, bool high_before, bool high_after) {
    const std::size_t base = begin / 64 * 64;
    const auto byte = static_cast<unsigned char>(data_[begin]);
    if (byte < 0x80) {
      // The two neighbours decide; their answers are learned for the way
      // above.
      char32_t before = ' ';
      if (high_before) {
        std::size_t lead = begin - 1;
        while (IsUtf8Continuation(static_cast<unsigned char>(data_[lead]))) --lead;
        std::size_t length = 0;
        before = DecodeAt(data_ + lead, length);
      }
      char32_t after = ' ';
      if (high_after && begin + 1 < size_) {
        std::size_t length = 0;
        after = DecodeAt(data_ + begin + 1, length);
      }
      GraphemeBreaks::AsciiNeighbour(before);
      GraphemeBreaks::AsciiNeighbour(after);
      if (!GraphemeBreaks::BreakBeforeAscii(before, byte)) return 0;  // inside a character
      if (GraphemeBreaks::BreakAfterAscii(byte, after)) {
        // A character by itself.
        if (!is_separator_.Contains(data_[begin])) return 0;
        last_separator_end_ = std::max(last_separator_end_, begin + 1);
        return std::uint64_t{1} << (begin - base);
      }
      // A longer character starts here: it may be a wide separator.
    }
    const std::size_t end = probe_.CharacterAt(begin);
    if (end == 0) return 0;
    const std::string_view character(data_ + begin, end - begin);
    const bool is_separator_here = character.size() == 1
                                       ? is_separator_.Contains(character.front())
                                       : std::find(wide_separators_.begin(), wide_separators_.end(),
                                                   character) != wide_separators_.end();
    if (!is_separator_here) return 0;
    last_separator_end_ = std::max(last_separator_end_, end);
    if (end - 1 - base < 64) return std::uint64_t{1} << (end - 1 - base);
    pending_end_ = end - 1;
    return 0;
  }

  const char* data_;
  std::size_t size_;
  std::size_t inner_end_;
  const ByteSet& is_separator_;
  const std::vector<std::string>& wide_separators_;
  const Matcher& ascii_separators_;
  const ByteSet& wide_first_;
  CharacterProbe probe_;
  std::uint64_t ascii_before_ = 1;  // the start of the text is a boundary
  std::size_t pending_end_ = kNone;
  std::size_t last_separator_end_ = 0;
};

// The word ends a second thread found, a word of bits per block of 64
// bytes of the parts it took: the parts from `from` to the end.
struct SharedWordEnds {
  bool used = false;
  std::size_t from = 0;
  std::size_t region = 0;  // the lowest byte its parts could start at
  // A word of bits per block, written only for the parts taken: its pages
  // are touched first by the thread that fills them (in huge pages where
  // the system has them, as the text's are).
  ByteBuffer ends;
  std::size_t last_separator_end = 0;

  std::uint64_t& At(std::size_t base) {
    return reinterpret_cast<std::uint64_t*>(ends.data())[(base - region) / 64];
  }
  void Mark(std::size_t last_byte) {
    At(last_byte) |= std::uint64_t{1} << ((last_byte - region) % 64);
  }
};

// Shares the finding of a text's word ends with a second thread. This
// thread takes parts from the start and hands each to take_part(begin,
// end), in order; the second takes parts from the end, with a finder of
// its own from make_finder, and keeps their word ends, until the two
// meet. This thread also cuts the items, and goes slower, so they meet
// before the middle; the second goes no lower than a quarter of the way
// in, which bounds the memory it keeps (a bit per byte of its parts). On a
// busy machine, where the second gets little time, this thread takes more
// parts. Unused (nothing taken) when no second thread can start.
template <typename TakePart, typename MakeFinder>
SharedWordEnds ShareWordEnds(std::size_t size, std::size_t part_bytes, bool second_first,
                             TakePart take_part, MakeFinder make_finder) {
  SharedWordEnds shared;
  const std::size_t part = part_bytes / 64 * 64;
  const std::size_t parts = (size + part - 1) / part;
  if (parts < 2 || parts > std::numeric_limits<std::uint32_t>::max()) return shared;
  const std::size_t lowest_second = parts / 4;
  shared.region = lowest_second * part;
  try {
    shared.ends.Reserve((size - shared.region + 63) / 64 * sizeof(std::uint64_t));
  } catch (const std::bad_alloc&) {
    return {};  // one thread does it all, without the memory
  }

  // The next part from the start (high half) and the end of the parts
  // left (low half), changed together.
  std::atomic<std::uint64_t> bounds{parts};
  const auto claim = [&bounds, lowest_second](bool from_start) -> std::optional<std::size_t> {
    std::uint64_t now = bounds.load();
    for (;;) {
      const std::uint64_t front = now >> 32;
      const std::uint64_t back = now & 0xFFFFFFFFu;
      if (front >= back || (!from_start && back - 1 < lowest_second)) return std::nullopt;
      const std::uint64_t next = from_start ? now + (std::uint64_t{1} << 32) : now - 1;
      if (bounds.compare_exchange_weak(now, next)) return from_start ? front : back - 1;
    }
  };

  std::thread second;
  try {
    second = std::thread([&] {
      auto finder = make_finder();
      while (const auto taken = claim(false)) {
        const std::size_t begin = *taken * part;
        const std::size_t end = std::min(size, begin + part);
        finder.StartAt(begin);
        for (std::size_t base = begin; base < end; base += 64) {
          shared.At(base) = finder.Block(base);
        }
        // Its later parts are done already.
        if (const auto pending = finder.TakePending()) shared.Mark(*pending);
      }
      shared.last_separator_end = finder.LastSeparatorEnd();
    });
  } catch (const std::system_error&) {
    return {};
  }
  if (second_first) second.join();
  try {
    while (const auto taken = claim(true)) {
      take_part(*taken * part, std::min(size, (*taken + 1) * part));
    }
  } catch (...) {
    bounds.store((std::uint64_t{parts} << 32) | parts);  // nothing more for the second
    if (second.joinable()) second.join();
    throw;
  }
  if (second.joinable()) second.join();
  shared.used = true;
  shared.from = std::min(size, static_cast<std::size_t>(bounds.load() >> 32) * part);
  return shared;
}

// Words mode on a UTF-8 text with characters beyond ASCII: items end after
// every seq_length-th separator character, and at the end of the text,
// where a word cut off is closed by the closer. A long text's word ends
// are found by two threads (ShareWordEnds), a short one's by this one.
template <typename Matcher>
SequencePool CutUtf8Words(ByteBuffer text, std::size_t seq_length, const WordSeparators& word_seps,
                          const Matcher& ascii_separators, const WordCutSharing& sharing) {
  const std::size_t size = text.size();
  const bool wide = size + word_seps.Closer().size() > std::numeric_limits<std::uint32_t>::max();
  ItemEnds ends(wide);
  ItemCutter cutter(ends, seq_length);
  ByteSet wide_first;
  for (const auto& separator : word_seps.Wide()) wide_first.Insert(separator.front());

  const std::string_view whole(text.data(), size);
  Utf8WordEnds<Matcher> finder(whole, word_seps, ascii_separators, wide_first);
  std::size_t last_separator_end = 0;
  SharedWordEnds shared;
  if (size >= sharing.minimum_size && sharing.part_bytes >= 64 &&
      std::thread::hardware_concurrency() >= 2) {
    shared = ShareWordEnds(
        size, sharing.part_bytes, sharing.second_first,
        [&](std::size_t begin, std::size_t end) {
          for (std::size_t base = begin; base < end; base += 64) {
            cutter.Take(finder.Block(base), base);
          }
        },
        [&] { return Utf8WordEnds<Matcher>(whole, word_seps, ascii_separators, wide_first); });
  }
  if (!shared.used) {
    for (std::size_t base = 0; base < size; base += 64) cutter.Take(finder.Block(base), base);
  } else {
    // A separator that started before the second thread's parts may end
    // in them.
    if (const auto pending = finder.TakePending()) shared.Mark(*pending);
    for (std::size_t base = shared.from; base < size; base += 64) {
      cutter.Take(shared.At(base), base);
    }
    last_separator_end = shared.last_separator_end;
  }
  last_separator_end = std::max(last_separator_end, finder.LastSeparatorEnd());

  if (last_separator_end != size) {
    CloseLastWord(text, ends, word_seps.Closer());
  } else if (cutter.WordsInItem() > 0) {
    ends.PushBack(size);
  }
  return SequencePool::FromEnds(std::move(text), std::move(ends));
}

SequencePool BuildUtf8WordPool(ByteBuffer text, std::size_t seq_length,
                               const WordSeparators& word_seps, const WordCutSharing& sharing) {
  if (text.size() == 0) return {};
  return WithMatcher(word_seps.Bytes(), [&](const auto& matcher) {
    return CutUtf8Words(std::move(text), seq_length, word_seps, matcher, sharing);
  });
}

// Checks a text for UTF-8 as it is read; the second part of a long file
// is checked by the thread that reads it.
class Utf8ReadCheck final : public ReadObserver {
 public:
  Utf8ReadCheck() = default;
  explicit Utf8ReadCheck(Utf8Checker checker) : checker_(checker) {}

  void Observe(std::string_view piece) override { checker_.Feed(piece); }
  std::unique_ptr<ReadObserver> Midway(std::size_t offset) override {
    return std::make_unique<Utf8ReadCheck>(Utf8Checker::Midway(offset));
  }
  void Join(ReadObserver& second) override {
    // The one given is the one Midway made.
    checker_.Join(static_cast<Utf8ReadCheck&>(second).checker_);
  }
  Utf8Check Result() const { return checker_.Finish(); }

 private:
  Utf8Checker checker_;
};

}  // namespace

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
                       bool ascii_only, const WordCutSharing& sharing) {
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
                    : BuildUtf8WordPool(std::move(text), seq_length, word_seps, sharing);
  }
  pool.SetEncoding(encoding, ascii_items);
  return pool;
}

ReadOutcome ReadSource(Session& session, const std::filesystem::path& path, Reporter& reporter,
                       EncodingChoice choice, SourceFiles accepted) {
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
    Utf8ReadCheck checker;
    const FileStatus read_error = choice == EncodingChoice::Bytes
                                      ? ReadWholeFile(path, text, spare, accepted)
                                      : ReadWholeFile(path, text, spare, checker, accepted);
    if (read_error) {
      ReportFileError(reporter, *read_error);
      return ReadOutcome::Failed;
    }
    const Utf8Check check =
        choice == EncodingChoice::Bytes ? Utf8Check{std::size_t{0}, false} : checker.Result();
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
