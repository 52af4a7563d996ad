// The listing of --list: each item on a line of its own, escaped so that
// nothing is lost, and a last line on the sources.
#include "pool_listing.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "listing_reader.h"
#include "source_reader.h"
#include "vorpel_test/engine_doubles.h"
#include "vorpel_test/printing.h"
#include "vorpel_test/text_generator.h"
#include "vorpel_test/utf8_texts.h"

namespace vorpel {
namespace {

using test::PoolItems;
using Items = std::vector<std::string>;

using test::PoolOf;
using test::ReadSettings;

std::string Listing(const std::vector<SequencePool>& parts, const std::vector<std::string>& names) {
  test::StringSink sink;
  EXPECT_FALSE(WritePoolListing(parts, names, sink));
  return sink.text;
}

TEST(EscapeItem, EachKindOfByte) {
  const struct {
    std::string item;
    std::string eight_bit;  // the same for bytes
    std::string utf8;
  } cases[] = {
      {"", "", ""},
      {"plain text, 123!", "plain text, 123!", "plain text, 123!"},
      {"a\\b", "a\\\\b", "a\\\\b"},
      {"\\\\", "\\\\\\\\", "\\\\\\\\"},
      {"tab\there", "tab\\there", "tab\\there"},
      {"CR LF\r\n", "CR LF\\r\\n", "CR LF\\r\\n"},
      {std::string("nul\0", 4), "nul\\x00", "nul\\x00"},
      {"\x01\x1B\x1F\x7F", "\\x01\\x1B\\x1F\\x7F", "\\x01\\x1B\\x1F\\x7F"},
      {"\x0B\x0C", "\\x0B\\x0C", "\\x0B\\x0C"},  // vertical tab, form feed
      {" ~", " ~", " ~"},                        // the printable ends of ASCII
      {"caf\xE9", "caf\\xE9", "caf\\xE9"},       // a byte of no character, escaped in both
      {"\x80\xFF", "\\x80\\xFF", "\\x80\\xFF"},
      {"\xC3\xA9\xFF\xE2\x80", "\\xC3\\xA9\\xFF\\xE2\\x80", "\xC3\xA9\\xFF\\xE2\\x80"},
      {"caf\xC3\xA9 \xF0\x9F\x91\x8D", "caf\\xC3\\xA9 \\xF0\\x9F\\x91\\x8D",
       "caf\xC3\xA9 \xF0\x9F\x91\x8D"},
      {"\xC2\x85", "\\xC2\\x85", "\xC2\x85"},  // U+0085 is a character, not a byte
      {"\\x41", "\\\\x41", "\\\\x41"},         // an escape in the text stays text
  };
  for (const auto& c : cases) {
    EXPECT_EQ(EscapeItem(c.item, TextEncoding::EightBit), c.eight_bit) << test::Escaped(c.item);
    EXPECT_EQ(EscapeItem(c.item, TextEncoding::RawBytes), c.eight_bit) << test::Escaped(c.item);
    EXPECT_EQ(EscapeItem(c.item, TextEncoding::Utf8), c.utf8) << test::Escaped(c.item);
  }
}

TEST(EncodingName, PlainNames) {
  EXPECT_EQ(EncodingName(TextEncoding::Utf8), "UTF-8");
  EXPECT_EQ(EncodingName(TextEncoding::EightBit), "8-bit");
  EXPECT_EQ(EncodingName(TextEncoding::RawBytes), "bytes");
}

// A worked example: an 8-bit source holding a backslash, a tab, CR LF, a
// control byte and Latin-1 bytes, then a UTF-8 source, words of one.
TEST(WritePoolListing, TwoSources_LiteralListing) {
  std::vector<SequencePool> parts;
  parts.push_back(PoolOf("C:\\dir\tx\r\nbell\x07 caf\xE9 na\xEFve", ReadSettings(kWordsMode, 1)));
  parts.push_back(
      PoolOf("na\xC3\xAFve \xE2\x80\x94 \xF0\x9F\x91\x8D", ReadSettings(kWordsMode, 1)));
  ASSERT_EQ(parts[0].Encoding(), TextEncoding::EightBit);
  ASSERT_EQ(parts[1].Encoding(), TextEncoding::Utf8);
  EXPECT_EQ(Listing(parts, {"latin1.txt", "utf8.txt"}),
            "C:\\\\dir\\tx\\r\\nbell\\x07 \n"
            "caf\\xE9 \n"
            "na\\xEFve \n"
            "na\xC3\xAFve \n"
            "\xE2\x80\x94 \n"
            "\xF0\x9F\x91\x8D \n"
            "6 sequences; latin1.txt: 8-bit; utf8.txt: UTF-8\n");
}

TEST(WritePoolListing, LastLine_CountsAndNamesEverySource) {
  const GenerationSettings letters = ReadSettings(kLettersMode, 2, " ", /*mult_seq=*/0);
  const struct {
    const char* what;
    std::vector<std::string> texts;
    std::vector<std::string> names;
    EncodingChoice choice;
    std::string listing;
  } cases[] = {
      {"one item", {"ab"}, {"a.txt"}, EncodingChoice::Auto, "ab\n1 sequence; a.txt: UTF-8\n"},
      {"an empty source", {""}, {"e.txt"}, EncodingChoice::Auto, "0 sequences; e.txt: UTF-8\n"},
      {"bytes",
       {"abc", "\xC3\xA9"},
       {"a", "b"},
       EncodingChoice::Bytes,
       "ab\nc\n\\xC3\\xA9\n3 sequences; a: bytes; b: bytes\n"},
      {"a name with a line feed and a Latin-1 byte",
       {"ab", "cd"},
       {"two\nlines", "caf\xE9"},
       EncodingChoice::Auto,
       "ab\ncd\n2 sequences; two\\nlines: UTF-8; caf\\xE9: UTF-8\n"},
      {"a name in UTF-8 but for one byte",
       {"x"},
       {"\xFF\xC3\xA9"},
       EncodingChoice::Auto,
       "x\n1 sequence; \\xFF\xC3\xA9: UTF-8\n"},
      {"a name in UTF-8",
       {"x"},
       {"caf\xC3\xA9"},
       EncodingChoice::Auto,
       "x\n1 sequence; caf\xC3\xA9: UTF-8\n"},
  };
  for (const auto& c : cases) {
    std::vector<SequencePool> parts;
    for (const std::string& text : c.texts) parts.push_back(PoolOf(text, letters, c.choice));
    EXPECT_EQ(Listing(parts, c.names), c.listing) << c.what;
  }
}

// Reading the listing back gives exactly the pool's items, on generated
// texts with every kind of byte, in every kind of pool; the listing is
// UTF-8, and the lines of an 8-bit source hold no byte from 0x80 up.
TEST(WritePoolListing, ReadBack_GivesThePoolsItems) {
  std::mt19937 random(7);
  for (int round = 0; round < 200; ++round) {
    const std::int16_t mode = round % 2 == 0 ? kLettersMode : kWordsMode;
    const GenerationSettings settings =
        ReadSettings(mode, static_cast<std::int16_t>(1 + random() % 4),
                     std::vector<std::string>{" ", "\n\\", "\xE9\n"}[round % 3]);
    std::vector<SequencePool> parts;
    std::vector<std::string> names;
    Items expected;
    std::vector<bool> eight_bit_line;
    const std::size_t sources = 1 + random() % 4;
    for (std::size_t s = 0; s < sources; ++s) {
      std::string text;
      switch (random() % 3) {
        case 0: text = test::RandomUtf8(random, random() % 80); break;
        case 1: text = test::MakeText(random() % 600, random(), test::BinaryWords()); break;
        default: text = test::MakeText(random() % 600, random(), test::MixedText()); break;
      }
      parts.push_back(PoolOf(text, settings));
      names.push_back("source" + std::to_string(s) + ".txt");
      const Items items = PoolItems(parts.back());
      expected.insert(expected.end(), items.begin(), items.end());
      eight_bit_line.insert(eight_bit_line.end(), items.size(),
                            parts.back().Encoding() != TextEncoding::Utf8);
    }
    const std::string listing = Listing(parts, names);
    ASSERT_TRUE(CheckUtf8(listing).Valid()) << "round " << round;
    const test::ReadBackListing read = test::ReadListing(listing);
    ASSERT_EQ(read.error, "") << "round " << round;
    ASSERT_EQ(read.items.size(), expected.size()) << "round " << round;
    EXPECT_EQ(test::FirstDifference(read.items, expected), "") << "round " << round;
    EXPECT_TRUE(read.last_line.starts_with(std::to_string(expected.size()) + " sequence"))
        << read.last_line;
    // The listing's lines, as written, of the 8-bit sources.
    std::size_t line_start = 0;
    for (std::size_t i = 0; i < expected.size(); ++i) {
      const std::size_t line_end = listing.find('\n', line_start);
      if (eight_bit_line[i]) {
        for (std::size_t at = line_start; at < line_end; ++at) {
          ASSERT_LT(static_cast<unsigned char>(listing[at]), 0x80) << "round " << round;
        }
      }
      line_start = line_end + 1;
    }
  }
}

// An item far longer than the listing's blocks (the whole source, with an
// empty separator) is escaped in pieces and still comes back whole.
TEST(WritePoolListing, ItemLongerThanABlock_ReadBackWhole) {
  const std::string text = test::MakeText(3 << 20, 11, test::BinaryWords());
  std::vector<SequencePool> parts;
  parts.push_back(PoolOf(text, ReadSettings(kWordsMode, 1, "")));
  ASSERT_EQ(parts.front().Size(), 1u);
  test::StringSink sink;
  ASSERT_FALSE(WritePoolListing(parts, std::vector<std::string>{"big"}, sink));
  EXPECT_GT(sink.blocks, 1);
  const test::ReadBackListing read = test::ReadListing(sink.text);
  ASSERT_EQ(read.error, "");
  ASSERT_EQ(read.items.size(), 1u);
  EXPECT_TRUE(read.items.front() == text);
  EXPECT_EQ(read.last_line, "1 sequence; big: 8-bit");
}

class FailingSink final : public ByteSink {
 public:
  FileStatus Write(std::span<char> /*block*/) override {
    return FileError{"standard output", std::make_error_code(std::errc::no_space_on_device)};
  }
};

TEST(WritePoolListing, SinkFailure_IsReturned) {
  std::vector<SequencePool> parts;
  parts.push_back(PoolOf("a few words", ReadSettings(kWordsMode, 1)));
  FailingSink sink;
  const FileStatus error = WritePoolListing(parts, std::vector<std::string>{"a"}, sink);
  ASSERT_TRUE(error);
  EXPECT_EQ(error->path, "standard output");
  EXPECT_EQ(error->code, std::make_error_code(std::errc::no_space_on_device));
}

}  // namespace
}  // namespace vorpel
