#include "word_cut.h"

#include <utility>

#include "byte_scan.h"
#include "item_cutter.h"

namespace vorpel {
namespace {

template <typename Matcher>
void CutWhole64ByteBlocks(const char* data, std::size_t blocks, const Matcher& matcher,
                          ItemCutter& cutter) {
  for (std::size_t block = 0; block < blocks; ++block) {
    cutter.Take(matcher.Mask64(data + 64 * block), 64 * block);
  }
}

}  // namespace

SequencePool CutWordsBytewise(ByteBuffer text, std::size_t seq_length,
                              const WordSeparators& word_seps) {
  const std::size_t size = text.size();
  if (size == 0) return {};
  ItemEnds ends(NeedsWideEnds(size, word_seps.Closer()));
  const ByteSet& separators = word_seps.Bytes();
  ItemCutter cutter(ends, seq_length);
  const char* data = text.data();

  const std::size_t blocks = size / 64;
  WithMatcher(separators,
              [&](const auto& matcher) { CutWhole64ByteBlocks(data, blocks, matcher, cutter); });
  cutter.Take(separators.Mask(data + blocks * 64, size - blocks * 64), blocks * 64);

  const bool ends_in_word = !separators.Contains(data[size - 1]);
  return FinishWordPool(std::move(text), std::move(ends), cutter, ends_in_word, word_seps.Closer());
}

}  // namespace vorpel
