// The word ends of a UTF-8 text found by two threads, each on parts of its
// own, against those one finder gives going through the text alone.

#include "word_cut_sharing.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <future>
#include <optional>
#include <random>
#include <string>
#include <string_view>
#include <vector>

#include "byte_scan.h"
#include "utf8_word_ends.h"
#include "vorpel_test/utf8_texts.h"
#include "word_separators.h"

namespace vorpel {
namespace {

// A finder that says when the thread using it has taken all the parts it
// may: ShareWordEnds asks for its last separator end only then.
template <typename Finder>
struct SignallingFinder {
  Finder finder;
  std::promise<void>* done;

  void StartAt(std::size_t base) { finder.StartAt(base); }
  std::uint64_t Block(std::size_t base) { return finder.Block(base); }
  std::optional<std::size_t> TakePending() { return finder.TakePending(); }
  std::size_t LastSeparatorEnd() {
    done->set_value();
    return finder.LastSeparatorEnd();
  }
};

struct WordEnds {
  std::vector<std::uint64_t> blocks;  // the last bytes of separators, a word per block
  bool ends_with_separator = false;
  bool second_took_all = false;  // the second thread took every part it may
};

// The word ends found by two threads in parts of part_bytes. This thread
// waits, in its first part, for the second to take all the parts it may:
// the split the race gives when this thread is slow, every time.
WordEnds FoundShared(std::string_view text, const WordSeparators& word_seps,
                     const ByteSet& wide_first, std::size_t part_bytes) {
  return WithMatcher(word_seps.Bytes(), [&](const auto& matcher) {
    using Finder = Utf8WordEnds<std::decay_t<decltype(matcher)>>;
    WordEnds found;
    found.blocks.assign((text.size() + 63) / 64, 0);
    Finder first(text, word_seps, matcher, wide_first);
    std::promise<void> second_done;
    std::future<void> second_finished = second_done.get_future();
    bool waited = false;
    SharedWordEnds shared = ShareWordEnds(
        text.size(), part_bytes,
        [&](std::size_t begin, std::size_t end) {
          if (!waited) {
            found.second_took_all =
                second_finished.wait_for(std::chrono::seconds(20)) == std::future_status::ready;
            waited = true;
          }
          for (std::size_t base = begin; base < end; base += 64) {
            found.blocks[base / 64] = first.Block(base);
          }
        },
        [&] {
          return SignallingFinder<Finder>{Finder(text, word_seps, matcher, wide_first),
                                          &second_done};
        });
    EXPECT_TRUE(shared.used);
    if (const auto pending = first.TakePending()) shared.Mark(*pending);
    for (std::size_t base = shared.from; base < text.size(); base += 64) {
      found.blocks[base / 64] = shared.At(base);
    }
    found.ends_with_separator =
        std::max(shared.last_separator_end, first.LastSeparatorEnd()) == text.size();
    // The second took every part from a quarter of the way in, all but
    // the first part if this thread took it before it waited. With fewer
    // than four parts the second may take them all before this thread
    // takes one.
    const std::size_t parts = (text.size() + part_bytes - 1) / part_bytes;
    if (!waited) {
      EXPECT_EQ(parts / 4, 0u);
      EXPECT_EQ(shared.from, 0u);
      found.second_took_all = true;
    } else if (found.second_took_all) {
      EXPECT_EQ(shared.from, std::max<std::size_t>(1, parts / 4) * part_bytes);
    }
    return found;
  });
}

WordEnds FoundAlone(std::string_view text, const WordSeparators& word_seps,
                    const ByteSet& wide_first) {
  return WithMatcher(word_seps.Bytes(), [&](const auto& matcher) {
    Utf8WordEnds<std::decay_t<decltype(matcher)>> finder(text, word_seps, matcher, wide_first);
    WordEnds found;
    for (std::size_t base = 0; base < text.size(); base += 64) {
      found.blocks.push_back(finder.Block(base));
    }
    found.ends_with_separator = finder.LastSeparatorEnd() == text.size();
    return found;
  });
}

// Characters and separators across the parts' edges, and separators
// longer than a part, with the second thread taking every part it may.
TEST(WordCutSharing, TheSecondThreadsPartsGiveTheWordEndsOfOneFinder) {
  std::string long_mark = "e";
  for (int i = 0; i < 40; ++i) long_mark += "\xCC\x81";  // 81 bytes, one character
  const std::vector<std::string> separators = {
      " ", "\xE2\x80\x94", std::string(" ") + "\xE2\x80\x94", long_mark, " " + long_mark, "\r\n"};
  std::mt19937 random(2024);
  int failures = 0;
  for (int round = 0; round < 40 && failures < 3; ++round) {
    const std::string& word_sep = separators[static_cast<std::size_t>(round) % separators.size()];
    std::string text;
    const std::size_t target = 300 + random() % 5000;
    while (text.size() < target) {
      text += test::RandomUtf8(random, 20, {" ", " ", "\xE2\x80\x94", long_mark});
    }
    if (round % 2 == 1) text += word_sep;  // the last word closed
    const WordSeparators word_seps(word_sep, TextEncoding::Utf8);
    ByteSet wide_first;
    for (const auto& separator : word_seps.Wide()) wide_first.Insert(separator.front());
    const WordEnds alone = FoundAlone(text, word_seps, wide_first);
    for (const std::size_t part_bytes : {64, 128, 1024}) {
      if (text.size() <= part_bytes) continue;
      const WordEnds shared = FoundShared(text, word_seps, wide_first, part_bytes);
      EXPECT_TRUE(shared.second_took_all) << "the second thread never ended";
      if (shared.blocks != alone.blocks ||
          shared.ends_with_separator != alone.ends_with_separator) {
        ADD_FAILURE() << "round " << round << ", parts of " << part_bytes << ", " << text.size()
                      << " bytes";
        ++failures;
      }
    }
  }
}

}  // namespace
}  // namespace vorpel
