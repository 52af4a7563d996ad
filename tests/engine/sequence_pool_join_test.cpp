// A pool joined from the pools of several sources: the items of every part
// in order, nothing copied, and one encoding for the drawn text.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "sequence_pool.h"
#include "source_reader.h"
#include "vorpel_test/engine_doubles.h"
#include "vorpel_test/text_generator.h"
#include "vorpel_test/utf8_texts.h"

namespace vorpel {
namespace {

using test::PoolItems;
using Items = std::vector<std::string>;

using test::PoolOf;
using test::ReadSettings;

std::vector<SequencePool> Parts(const std::vector<std::string>& texts,
                                const GenerationSettings& settings,
                                EncodingChoice choice = EncodingChoice::Auto) {
  std::vector<SequencePool> parts;
  for (const std::string& text : texts) parts.push_back(PoolOf(text, settings, choice));
  return parts;
}

// Worked by hand: each source is cut on its own, so the word cut off at
// the end of the first source is closed there and the second source starts
// a new item; no item holds bytes of both.
TEST(SequencePoolJoin, ItemsOfEverySourceInOrder_NoneSpanningTwo) {
  const struct {
    const char* what;
    GenerationSettings settings;
    std::vector<std::string> sources;
    Items items;
  } cases[] = {
      {"words of 2",
       ReadSettings(kWordsMode, 2, " ", /*mult_seq=*/0),
       {"aa bb cc", "dd ee"},
       {"aa bb ", "cc ", "dd ee "}},
      {"overlapping words of 2",
       ReadSettings(kWordsMode, 2, " ", /*mult_seq=*/1),
       {"aa bb cc", "dd ee"},
       {"aa bb ", "bb cc ", "dd ee "}},
      {"overlapping letters of 3, the second source shorter than one",
       ReadSettings(kLettersMode, 3, " ", /*mult_seq=*/1),
       {"abcde", "xy", "", "1234"},
       {"abc", "bcd", "cde", "xy", "123", "234"}},
      {"words of 1, a separator at the end of the first",
       ReadSettings(kWordsMode, 1),
       {"one two ", "three"},
       {"one ", "two ", "three "}},
      {"letters of 3",
       ReadSettings(kLettersMode, 3, " ", /*mult_seq=*/0),
       {"abcdefg", "xyz12"},
       {"abc", "def", "g", "xyz", "12"}},
      {"three sources, the middle one empty",
       ReadSettings(kLettersMode, 2, " ", /*mult_seq=*/0),
       {"abc", "", "de"},
       {"ab", "c", "de"}},
      {"UTF-8 letters of 1 and 8-bit letters of 1",
       ReadSettings(kLettersMode, 1),
       {"\xC3\xA9"
        "e\xCC\x81",
        "\xE9x"},
       {"\xC3\xA9", "e\xCC\x81", "\xE9", "x"}},
      {"lines", ReadSettings(kWordsMode, 1, "\n"), {"l1\nl2", "l3\n"}, {"l1\n", "l2\n", "l3\n"}},
  };
  for (const auto& c : cases) {
    const SequencePool pool = SequencePool::Join(Parts(c.sources, c.settings));
    EXPECT_EQ(PoolItems(pool), c.items) << c.what;
    EXPECT_EQ(pool.Size(), c.items.size()) << c.what;
  }
}

// The joined pool hands out slices of the parts' own buffers.
TEST(SequencePoolJoin, ItemsPointIntoThePartsOwnBytes) {
  std::vector<SequencePool> parts =
      Parts({"alpha beta gamma", "delta epsilon", "zeta"}, ReadSettings(kWordsMode, 1));
  std::vector<const char*> addresses;
  for (const SequencePool& part : parts) {
    for (std::size_t i = 0; i < part.Size(); ++i) addresses.push_back(part.Item(i).data());
  }
  const SequencePool pool = SequencePool::Join(std::move(parts));
  ASSERT_EQ(pool.Size(), addresses.size());
  for (std::size_t i = 0; i < pool.Size(); ++i) EXPECT_EQ(pool.Item(i).data(), addresses[i]) << i;
}

TEST(SequencePoolJoin, OnePart_IsThatPoolUnchanged) {
  for (const char* text : {"plain ascii words here", "caf\xC3\xA9 au lait", "caf\xE9 au lait"}) {
    for (const std::int16_t mode : {kLettersMode, kWordsMode}) {
      const GenerationSettings settings = ReadSettings(mode, 2);
      const SequencePool alone = PoolOf(text, settings);
      std::vector<SequencePool> parts;
      parts.push_back(PoolOf(text, settings));
      const char* first = parts.front().Item(0).data();
      const SequencePool joined = SequencePool::Join(std::move(parts));
      EXPECT_EQ(PoolItems(joined), PoolItems(alone)) << text;
      EXPECT_EQ(joined.Encoding(), alone.Encoding()) << text;
      EXPECT_EQ(joined.ItemEncoding(), alone.ItemEncoding()) << text;
      EXPECT_EQ(joined.Item(0).data(), first) << text;
    }
  }
}

TEST(SequencePoolJoin, NoPartsOrOnlyEmptyParts_GiveAnEmptyPool) {
  EXPECT_TRUE(SequencePool::Join({}).Empty());
  const SequencePool empties = SequencePool::Join(Parts({"", ""}, ReadSettings(kWordsMode, 4)));
  EXPECT_TRUE(empties.Empty());
  EXPECT_EQ(empties.Size(), 0u);
}

// UTF-8 only when every source is; ASCII items (read the faster 8-bit
// way) only when every source has them; bytes when the sources were read
// byte by byte.
TEST(SequencePoolJoin, EncodingOfTheDrawnText) {
  const std::string ascii = "plain words";
  const std::string utf8 = "caf\xC3\xA9 cr\xC3\xA8me";
  const std::string latin1 = "caf\xE9 cr\xE8me";
  const struct {
    const char* what;
    std::vector<std::string> sources;
    EncodingChoice choice;
    TextEncoding encoding;
    TextEncoding item_encoding;
  } cases[] = {
      {"ASCII + ASCII",
       {ascii, ascii},
       EncodingChoice::Auto,
       TextEncoding::Utf8,
       TextEncoding::EightBit},
      {"UTF-8 + ASCII",
       {utf8, ascii},
       EncodingChoice::Auto,
       TextEncoding::Utf8,
       TextEncoding::Utf8},
      {"ASCII + UTF-8",
       {ascii, utf8},
       EncodingChoice::Auto,
       TextEncoding::Utf8,
       TextEncoding::Utf8},
      {"UTF-8 + UTF-8", {utf8, utf8}, EncodingChoice::Auto, TextEncoding::Utf8, TextEncoding::Utf8},
      {"UTF-8 + Latin-1",
       {utf8, latin1},
       EncodingChoice::Auto,
       TextEncoding::EightBit,
       TextEncoding::EightBit},
      {"ASCII + Latin-1",
       {ascii, latin1},
       EncodingChoice::Auto,
       TextEncoding::EightBit,
       TextEncoding::EightBit},
      {"Latin-1 + UTF-8 + ASCII",
       {latin1, utf8, ascii},
       EncodingChoice::Auto,
       TextEncoding::EightBit,
       TextEncoding::EightBit},
      {"an empty source takes nothing away",
       {"", utf8},
       EncodingChoice::Auto,
       TextEncoding::Utf8,
       TextEncoding::Utf8},
      {"bytes",
       {utf8, ascii},
       EncodingChoice::Bytes,
       TextEncoding::RawBytes,
       TextEncoding::RawBytes},
  };
  for (const auto& c : cases) {
    for (const std::int16_t mode : {kLettersMode, kWordsMode}) {
      const SequencePool pool =
          SequencePool::Join(Parts(c.sources, ReadSettings(mode, 1), c.choice));
      EXPECT_EQ(pool.Encoding(), c.encoding) << c.what;
      EXPECT_EQ(pool.ItemEncoding(), c.item_encoding) << c.what;
    }
  }
}

// Many generated sets of sources, empty ones among them, every kind of pool
// (fixed stride, letter index, item ends): the joined pool's items are the
// parts' items one after the other.
TEST(SequencePoolJoin, GeneratedSources_ItemsAreThePartsItemsInOrder) {
  std::mt19937 random(20261208);
  for (int round = 0; round < 300; ++round) {
    const std::int16_t mode = round % 2 == 0 ? kLettersMode : kWordsMode;
    const GenerationSettings settings =
        ReadSettings(mode, static_cast<std::int16_t>(1 + random() % 5),
                     round % 3 == 0 ? " " : " ,\n", static_cast<std::int16_t>(round / 2 % 2));
    std::vector<std::string> sources(1 + random() % 7);
    for (std::string& source : sources) {
      switch (random() % 4) {
        case 0: break;  // empty
        case 1: source = test::RandomUtf8(random, random() % 60); break;
        case 2: source = test::MakeText(random() % 500, random(), test::BinaryWords()); break;
        default: source = test::MakeText(random() % 500, random(), test::PlainSentences()); break;
      }
    }
    std::vector<SequencePool> parts = Parts(sources, settings);
    Items expected;
    for (const SequencePool& part : parts) {
      const Items items = PoolItems(part);
      expected.insert(expected.end(), items.begin(), items.end());
    }
    const SequencePool pool = SequencePool::Join(std::move(parts));
    ASSERT_EQ(pool.Size(), expected.size()) << "round " << round;
    ASSERT_EQ(PoolItems(pool), expected) << "round " << round;
  }
}

}  // namespace
}  // namespace vorpel
