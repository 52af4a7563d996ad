#include "utf8_word_cut.h"

#include <algorithm>
#include <string_view>
#include <utility>

#include "byte_scan.h"
#include "item_cutter.h"
#include "tuning.h"
#include "utf8_word_ends.h"

namespace vorpel {
namespace {

// The word ends of the whole text found by this thread alone, cut into
// items as they are found.
template <typename Matcher>
void CutAlone(std::size_t size, Utf8WordEnds<Matcher>& finder, ItemCutter& cutter) {
  for (std::size_t base = 0; base < size; base += 64) cutter.Take(finder.Block(base), base);
}

// The word ends of the text found by two threads: this one cuts the items
// of the parts it takes as it finds their word ends, then those the second
// thread found. Unused when the text was not shared out after all.
template <typename Matcher>
SharedWordEnds CutShared(std::string_view whole, const WordSeparators& word_seps,
                         const Matcher& ascii_separators, const ByteSet& wide_first,
                         std::size_t part_bytes, Utf8WordEnds<Matcher>& finder,
                         ItemCutter& cutter) {
  const std::size_t size = whole.size();
  SharedWordEnds shared = ShareWordEnds(
      size, part_bytes,
      [&](std::size_t begin, std::size_t end) {
        for (std::size_t base = begin; base < end; base += 64) {
          cutter.Take(finder.Block(base), base);
        }
      },
      [&] { return Utf8WordEnds<Matcher>(whole, word_seps, ascii_separators, wide_first); });
  if (!shared.used) return shared;
  // A separator that started before the second thread's parts may end in
  // them.
  if (const auto pending = finder.TakePending()) shared.Mark(*pending);
  for (std::size_t base = shared.from; base < size; base += 64) {
    cutter.Take(shared.At(base), base);
  }
  return shared;
}

template <typename Matcher>
SequencePool CutWithMatcher(ByteBuffer text, std::size_t seq_length,
                            const WordSeparators& word_seps, const Matcher& ascii_separators,
                            const WordCutSharing& sharing) {
  const std::size_t size = text.size();
  ItemEnds ends(NeedsWideEnds(size, word_seps.Closer()));
  ItemCutter cutter(ends, seq_length);
  ByteSet wide_first;
  for (const auto& separator : word_seps.Wide()) wide_first.Insert(separator.front());

  const std::string_view whole(text.data(), size);
  Utf8WordEnds<Matcher> finder(whole, word_seps, ascii_separators, wide_first);
  SharedWordEnds shared;
  if (sharing.part_bytes >= 64 && SecondThreadPays(size, sharing.minimum_size) &&
      CurrentTuning().two_thread_word_cut) {
    shared = CutShared(whole, word_seps, ascii_separators, wide_first, sharing.part_bytes, finder,
                       cutter);
  }
  if (!shared.used) CutAlone(size, finder, cutter);
  const std::size_t last_separator_end =
      std::max(shared.last_separator_end, finder.LastSeparatorEnd());
  return FinishWordPool(std::move(text), std::move(ends), cutter, last_separator_end != size,
                        word_seps.Closer());
}

}  // namespace

SequencePool CutUtf8Words(ByteBuffer text, std::size_t seq_length, const WordSeparators& word_seps,
                          const WordCutSharing& sharing) {
  if (text.size() == 0) return {};
  return WithMatcher(word_seps.Bytes(), [&](const auto& matcher) {
    return CutWithMatcher(std::move(text), seq_length, word_seps, matcher, sharing);
  });
}

}  // namespace vorpel
