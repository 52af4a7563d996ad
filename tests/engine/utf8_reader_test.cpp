// The reader on UTF-8 sources and on 8-bit sources with separators typed as
// characters: worked examples, and the fast reader against the literal
// reference on generated texts.

#include <gtest/gtest.h>

#include <limits>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "source_reader.h"
#include "vorpel_test/engine_doubles.h"
#include "vorpel_test/files.h"
#include "vorpel_test/printing.h"
#include "vorpel_test/reference_algorithms.h"
#include "vorpel_test/temp_dir.h"
#include "vorpel_test/utf8_reference.h"
#include "vorpel_test/utf8_texts.h"
#include "word_separators.h"

namespace vorpel {
namespace {

using test::Escaped;
using test::PoolItems;
using Items = std::vector<std::string>;

using test::ReadSettings;

Items BuildItems(std::string_view text, const GenerationSettings& settings,
                 EncodingChoice choice = EncodingChoice::Auto) {
  return PoolItems(test::PoolOf(text, settings, choice));
}

// Texts between ⟨ and ⟩ in the names; the separator is one space unless
// stated.
struct Example {
  const char* name;
  std::string text;
  std::int16_t seq_length;
  std::string word_sep;
  Items letters;
  Items words;
};

const char kEmDash[] = "\xE2\x80\x94";
const char kThumbsMedium[] = "\xF0\x9F\x91\x8D\xF0\x9F\x8F\xBD";
const char kLeftQuote[] = "\xE2\x80\x9C";  // shares E2 80 with the em dash
const char kRightQuote[] = "\xE2\x80\x9D";
const char kNoBreakSpace[] = "\xC2\xA0";
const char kCombiningAcute[] = "\xCC\x81";

std::vector<Example> Examples() {
  const std::string em = kEmDash;
  const std::string thumbs = kThumbsMedium;
  const std::string nfd_e = std::string("e") + kCombiningAcute;
  return {
      {"café and an emoji in letters of 2",
       "caf\xC3\xA9 " + thumbs,
       2,
       " ",
       {"ca", "f\xC3\xA9", " " + thumbs},
       {"caf\xC3\xA9 " + thumbs + " "}},
      {"a typed em dash ends words at the dash only",
       std::string(kLeftQuote) + "a" + kRightQuote + em + "b c",
       1,
       em,
       {kLeftQuote, "a", kRightQuote, em, "b", " ", "c"},
       {std::string(kLeftQuote) + "a" + kRightQuote + em, "b c" + em}},
      {"the separator e does not end a word inside e plus an accent",
       nfd_e + "t" + nfd_e + "te",
       1,
       "e",
       {nfd_e, "t", nfd_e, "t", "e"},
       {nfd_e + "t" + nfd_e + "te"}},
      {"e plus an accent as the separator",
       "ae" + nfd_e + "b" + nfd_e,
       1,
       nfd_e,
       {"a", "e", nfd_e, "b", nfd_e},
       {"ae" + nfd_e, "b" + nfd_e}},
      {"a no-break space and a space",
       std::string("a") + kNoBreakSpace + "b c",
       2,
       std::string(kNoBreakSpace) + " ",
       {std::string("a") + kNoBreakSpace, "b ", "c"},
       {std::string("a") + kNoBreakSpace + "b ", std::string("c") + kNoBreakSpace}},
      {"an emoji with a skin tone as the separator",
       "x" + thumbs + "y\xF0\x9F\x91\x8D" + "z",
       1,
       thumbs,
       {"x", thumbs, "y", "\xF0\x9F\x91\x8D", "z"},
       {"x" + thumbs, "y\xF0\x9F\x91\x8Dz" + thumbs}},
      {"CR LF is two letters", "ab\r\ncd", 3, " ", {"ab\r", "\ncd"}, {"ab\r\ncd "}},
      {"a byte-order mark is a letter",
       "\xEF\xBB\xBF"
       "ab",
       1,
       " ",
       {"\xEF\xBB\xBF", "a", "b"},
       {"\xEF\xBB\xBF"
        "ab "}},
      {"a prepended mark joins the space after it",
       "a\xD8\x80 b c",
       1,
       " ",
       {"a", "\xD8\x80 ", "b", " ", "c"},
       {"a\xD8\x80 b ", "c "}},
      {"a text ending on a wide separator gets nothing appended",
       "a" + em + "b" + em,
       1,
       em,
       {"a", em, "b", em},
       {"a" + em, "b" + em}},
      {"a flag, then a lone regional indicator",
       "\xF0\x9F\x87\xAB\xF0\x9F\x87\xB7\xF0\x9F\x87\xAB",
       1,
       "\xF0\x9F\x87\xAB",
       {"\xF0\x9F\x87\xAB\xF0\x9F\x87\xB7", "\xF0\x9F\x87\xAB"},
       {"\xF0\x9F\x87\xAB\xF0\x9F\x87\xB7\xF0\x9F\x87\xAB"}},
      {"a byte of no character in the separator matches nothing but closes",
       "a\xC3\xA9"
       "b c",
       1,
       "\xFF\xC3\xA9",
       {"a", "\xC3\xA9", "b", " ", "c"},
       {"a\xC3\xA9", "b c\xFF"}},
      {"a whole character before a byte of none closes whole",
       "a\xC3\xA9"
       "b c",
       1,
       "\xC3\xA9\xFF",
       {"a", "\xC3\xA9", "b", " ", "c"},
       {"a\xC3\xA9", "b c\xC3\xA9"}},
      // 8-bit sources: a typed character matches the byte that stands for it.
      {"Latin-1 source, typed é splits at byte E9",
       "caf\xE9 ok\xE9x",
       2,
       "\xC3\xA9",
       {"ca", "f\xE9", " o", "k\xE9", "x"},
       {"caf\xE9 ok\xE9", "x\xE9"}},
      {"Windows-1252 source, typed em dash splits at byte 97",
       "a\x97"
       "b\x93q\x94 c",
       1,
       em,
       {"a", "\x97", "b", "\x93", "q", "\x94", " ", "c"},
       {"a\x97", "b\x93q\x94 c\x97"}},
      {"8-bit source, a character with no byte there matches nothing and closes with nothing",
       "a\xE9 b",
       1,
       "\xE4\xB8\xAD ",
       {"a", "\xE9", " ", "b"},
       {"a\xE9 ", "b"}},
      {"8-bit source, raw separator bytes keep their meaning",
       "a\xC3\xA9"
       "b\xFF",
       1,
       "\xA9\xFF",
       {"a", "\xC3", "\xA9", "b", "\xFF"},
       {"a\xC3\xA9", "b\xFF"}},
  };
}

// The reader and the reference both give each example's items, cut one
// after another (mult_seq 0) or overlapping (1).
void ExpectTheListedItems(const std::vector<Example>& examples, std::int16_t mult_seq) {
  for (const auto& example : examples) {
    SCOPED_TRACE(example.name);
    EXPECT_EQ(BuildItems(example.text, ReadSettings(kLettersMode, example.seq_length,
                                                    example.word_sep, mult_seq)),
              example.letters);
    EXPECT_EQ(BuildItems(example.text,
                         ReadSettings(kWordsMode, example.seq_length, example.word_sep, mult_seq)),
              example.words);
    // The reference is held to the same table.
    EXPECT_EQ(test::ReferenceReadAuto(example.text, example.seq_length, 1, example.word_sep,
                                      mult_seq != 0),
              example.letters);
    EXPECT_EQ(test::ReferenceReadAuto(example.text, example.seq_length, 2, example.word_sep,
                                      mult_seq != 0),
              example.words);
  }
}

TEST(Utf8WorkedExamples, BuildPoolAndReferenceGiveTheListedItems) {
  ExpectTheListedItems(Examples(), /*mult_seq=*/0);
}

// Overlapping sequences (MultSeq 1) of characters and of words whose
// separators are characters beyond ASCII.
TEST(Utf8WorkedExamples, OverlappingSequencesOfCharacters) {
  const std::string em = kEmDash;
  const std::string thumbs = kThumbsMedium;
  const std::string nfd_e = std::string("e") + kCombiningAcute;
  const std::vector<Example> examples = {
      {"café and an emoji in letters of 2",
       "caf\xC3\xA9 " + thumbs,
       2,
       " ",
       {"ca", "af", "f\xC3\xA9", "\xC3\xA9 ", " " + thumbs},
       {"caf\xC3\xA9 " + thumbs + " "}},
      {"the é as e and a combining accent",
       "caf" + nfd_e + " " + thumbs,
       2,
       " ",
       {"ca", "af", "f" + nfd_e, nfd_e + " ", " " + thumbs},
       {"caf" + nfd_e + " " + thumbs + " "}},
      {"em dashes end words",
       "a" + em + "b" + em + "c",
       2,
       em,
       {"a" + em, em + "b", "b" + em, em + "c"},
       {"a" + em + "b" + em, "b" + em + "c" + em}},
      {"fewer characters than a sequence", thumbs + "x", 3, " ", {thumbs + "x"}, {thumbs + "x "}},
  };
  ExpectTheListedItems(examples, /*mult_seq=*/1);
}

TEST(Utf8WorkedExamples, BytesChoiceCutsBytesWithRawSeparators) {
  // "café 👍🏽" byte by byte, and the em dash's three bytes each a separator.
  const std::string text = "caf\xC3\xA9";
  EXPECT_EQ(
      BuildItems(text, ReadSettings(kLettersMode, 2, " ", /*mult_seq=*/0), EncodingChoice::Bytes),
      (Items{"ca", "f\xC3", "\xA9"}));
  EXPECT_EQ(
      BuildItems(text, ReadSettings(kLettersMode, 2, " ", /*mult_seq=*/1), EncodingChoice::Bytes),
      (Items{"ca", "af", "f\xC3", "\xC3\xA9"}));
  const std::string em = kEmDash;
  EXPECT_EQ(BuildItems(std::string(kLeftQuote) + "a", ReadSettings(kWordsMode, 1, em),
                       EncodingChoice::Bytes),
            (Items{"\xE2", "\x80",
                   "\x9C"
                   "a\xE2"}));
}

TEST(Utf8WorkedExamples, EveryItemOfAUtf8SourceIsValidUtf8) {
  std::mt19937 random(3);
  for (int round = 0; round < 300; ++round) {
    const std::string text = test::RandomUtf8(random, 1 + random() % 50);
    for (const std::int16_t mode : {kLettersMode, kWordsMode}) {
      for (const auto& item :
           BuildItems(text, ReadSettings(mode, 1 + random() % 5, " \xE2\x80\x94"))) {
        ASSERT_TRUE(CheckUtf8(item).Valid()) << Escaped(item) << " of " << Escaped(text);
      }
    }
  }
}

// ---------------------------------------------------------------------------
// Against the reference on generated texts.

const std::vector<std::string>& Separators() {
  static const std::vector<std::string> separators = {
      "",
      " ",
      " ,",
      kEmDash,
      std::string(kEmDash) + " " + kLeftQuote,
      std::string(kNoBreakSpace) + " ",
      "e",
      std::string("e") + kCombiningAcute,
      kCombiningAcute,
      kThumbsMedium,
      "\xF0\x9F\x91\x8D",
      "\xF0\x9F\x87\xAB",
      "\r\n",
      "\n",
      "\xE4\xB8\xAD,",
      "\xD8\x80",
      "\xE9",           // raw byte, not UTF-8
      ", \xFF\x80",     // raw bytes
      "\xC3\xA9\xFF",   // a character, then a byte of none
      "\xE9 \xCC\x81",  // a byte of none, a space, a lone accent
      "a b c d e",      // more distinct bytes than the vector compare takes
      "\xEF\xBB\xBF",   // byte-order mark
  };
  return separators;
}

TEST(Utf8ReaderDifferential, MatchesTheReferenceOnGeneratedUtf8Texts) {
  std::mt19937 random(20240612);
  const std::vector<std::string> extra = {kEmDash, kThumbsMedium, " ", " ", "e\xCC\x81", ", "};
  std::size_t items = 0;
  int failures = 0;
  for (int round = 0; round < 2500 && failures < 5; ++round) {
    const std::string& word_sep = Separators()[random() % Separators().size()];
    const std::string text = test::RandomUtf8(random, random() % 80, extra);
    const auto seq_length =
        static_cast<std::int16_t>(round % 5 == 0 ? 1 + random() % 100 : 1 + random() % 6);
    for (const std::int16_t mode : {kLettersMode, kWordsMode}) {
      const auto mult_seq = static_cast<std::int16_t>(round % 2);
      const Items expected =
          test::ReferenceReadAuto(text, seq_length, mode, word_sep, mult_seq != 0);
      const Items built = BuildItems(text, ReadSettings(mode, seq_length, word_sep, mult_seq));
      items += expected.size();
      if (built != expected) {
        ADD_FAILURE() << "MultSeq " << mult_seq << " mode " << mode << " SeqLength " << seq_length
                      << " WordSep " << Escaped(word_sep) << "\n text " << Escaped(text)
                      << "\n expected " << Escaped(expected) << "\n got " << Escaped(built);
        ++failures;
      }
    }
  }
  EXPECT_GT(items, 40000u);
}

TEST(Utf8ReaderDifferential, AlmostUtf8TextsAreCutAsBytes) {
  std::mt19937 random(77);
  int failures = 0;
  for (int round = 0; round < 1500 && failures < 5; ++round) {
    const std::string& word_sep = Separators()[random() % Separators().size()];
    const std::string text = test::AlmostUtf8(random, test::RandomUtf8(random, random() % 40));
    ASSERT_FALSE(CheckUtf8(text).Valid()) << Escaped(text);
    const auto seq_length = static_cast<std::int16_t>(1 + random() % 6);
    for (const std::int16_t mode : {kLettersMode, kWordsMode}) {
      const auto mult_seq = static_cast<std::int16_t>(round % 2);
      const Items expected = test::ReferenceReadCharacters(
          text, test::ReferenceEncoding::EightBit, seq_length, mode, word_sep, mult_seq != 0);
      const Items built = BuildItems(text, ReadSettings(mode, seq_length, word_sep, mult_seq));
      if (built != expected) {
        ADD_FAILURE() << "MultSeq " << mult_seq << " mode " << mode << " WordSep "
                      << Escaped(word_sep) << "\n text " << Escaped(text) << "\n expected "
                      << Escaped(expected) << "\n got " << Escaped(built);
        ++failures;
      }
      // In letters mode every byte is one letter.
      if (mode == kLettersMode && seq_length == 1) {
        EXPECT_EQ(built.size(), text.size());
      }
    }
  }
}

TEST(Utf8ReaderDifferential, LongTextAcrossManyBlocksAndItems) {
  std::mt19937 random(8);
  std::string text;
  while (text.size() < 300000) text += test::RandomUtf8(random, 40, {" ", " ", "\xE2\x80\x94"});
  for (const auto& [mode, seq_length, word_sep, mult_seq] :
       std::vector<std::tuple<std::int16_t, std::int16_t, std::string, std::int16_t>>{
           {kLettersMode, 1, " ", 0},
           {kLettersMode, 100, " ", 0},
           {kWordsMode, 4, " ", 0},
           {kWordsMode, 1, std::string(" ") + kEmDash, 0},
           {kLettersMode, 100, " ", 1},
           {kWordsMode, 4, std::string(" ") + kEmDash, 1}}) {
    SCOPED_TRACE("mode " + std::to_string(mode) + " SeqLength " + std::to_string(seq_length) +
                 " MultSeq " + std::to_string(mult_seq));
    EXPECT_EQ(test::FirstDifference(
                  BuildItems(text, ReadSettings(mode, seq_length, word_sep, mult_seq)),
                  test::ReferenceReadAuto(text, seq_length, mode, word_sep, mult_seq != 0)),
              "");
  }
}

// Long texts are shared out between two threads in parts; with parts of a
// few blocks, texts of some kilobytes go that way, with characters and
// separators across the parts' edges, and one separator longer than a part.
TEST(Utf8ReaderDifferential, SharedOutInPartsGivesTheSameItems) {
  std::string long_mark = "e";
  for (int i = 0; i < 40; ++i) long_mark += kCombiningAcute;  // 81 bytes, one character
  std::vector<std::string> separators = Separators();
  separators.push_back(long_mark);
  separators.push_back(" " + long_mark);
  // A space that a prepended mark at the end of the part before joins:
  // no separator.
  std::string joined_across;
  for (int i = 0; i < 20; ++i) {
    joined_across += std::string(62, 'a') + "\xD8\x80" + " " + std::string(63, 'b');
  }
  std::mt19937 random(515);
  int failures = 0;
  for (int round = 0; round < 120 && failures < 5; ++round) {
    const std::string& word_sep =
        round == 0 ? std::string(" ") : separators[random() % separators.size()];
    std::string text = round == 0 ? joined_across : std::string();
    const std::size_t target = 200 + random() % 6000;
    while (text.size() < target) {
      text += test::RandomUtf8(random, 20, {" ", " ", kEmDash, long_mark, kThumbsMedium});
    }
    const auto seq_length = static_cast<std::int16_t>(1 + random() % 5);
    const auto mult_seq = static_cast<std::int16_t>(round % 2);
    const GenerationSettings settings = ReadSettings(kWordsMode, seq_length, word_sep, mult_seq);
    const Items expected =
        test::ReferenceReadAuto(text, seq_length, kWordsMode, word_sep, mult_seq != 0);
    // The two threads race for the parts, so each cut may split them
    // differently: every size of part is cut more than once.
    for (const std::size_t part_bytes : {64, 64, 64, 128, 128, 200, 200, 1024, 1024}) {
      const Items built =
          PoolItems(BuildPool(test::MakeBuffer(text, word_sep.size()), settings, TextEncoding::Utf8,
                              CheckUtf8(text).ascii_only, WordCutSharing{0, part_bytes}));
      if (built != expected) {
        ADD_FAILURE() << "parts of " << part_bytes << " SeqLength " << seq_length << " WordSep "
                      << Escaped(word_sep) << "\n first difference "
                      << test::FirstDifference(built, expected);
        ++failures;
      }
    }
  }
}

// A source long enough for the program's own sharing (parts of 1 MiB, two
// threads racing for them) gives the items of one thread.
TEST(Utf8ReaderDifferential, ALongSourceSharedOutGivesTheItemsOfOneThread) {
  std::mt19937 random(33);
  std::string chunk;
  while (chunk.size() < (std::size_t{1} << 20) + 4099) {
    chunk += test::RandomUtf8(random, 40, {" ", " ", " ", kEmDash, kThumbsMedium});
  }
  std::string text;
  while (text.size() < (std::size_t{33} << 20)) text += chunk;
  const GenerationSettings settings =
      ReadSettings(kWordsMode, 3, std::string(" ") + kEmDash, /*mult_seq=*/0);
  const auto cut = [&](const WordCutSharing& sharing) {
    return BuildPool(test::MakeBuffer(text, 8), settings, TextEncoding::Utf8, false, sharing);
  };
  const SequencePool shared = cut(WordCutSharing{});
  const SequencePool alone = cut(WordCutSharing{std::numeric_limits<std::size_t>::max()});
  ASSERT_EQ(shared.Size(), alone.Size());
  ASSERT_GT(alone.Size(), 100000u);
  std::size_t differences = 0;
  for (std::size_t i = 0; i < alone.Size(); ++i) {
    if (shared.Item(i) != alone.Item(i) && ++differences <= 3) {
      ADD_FAILURE() << "item " << i << ": " << Escaped(std::string(shared.Item(i))) << " against "
                    << Escaped(std::string(alone.Item(i)));
    }
  }
  EXPECT_EQ(differences, 0u);
}

// ---------------------------------------------------------------------------
// The Read command's choice of encoding.

class EncodingChoiceTest : public ::testing::Test {
 protected:
  std::filesystem::path Source(std::string_view text) {
    const auto path = dir_ / "source.txt";
    test::WriteFile(path, text);
    return path;
  }
  ReadOutcome Read(std::string_view text, EncodingChoice choice) {
    return ReadSource(session_, Source(text), reporter_, choice);
  }

  test::TempDir dir_;
  Session session_;
  test::RecordingReporter reporter_;
};

TEST_F(EncodingChoiceTest, Utf8ChoiceRefusesAnInvalidSourceNamingTheOffset) {
  session_.settings = ReadSettings(kLettersMode, 1);
  ASSERT_EQ(Read("abc", EncodingChoice::Auto), ReadOutcome::Read);
  ASSERT_EQ(session_.pool.Size(), 3u);
  EXPECT_EQ(Read("caf\xC3\xA9 \xE9t\xC3\xA9", EncodingChoice::Utf8), ReadOutcome::Failed);
  EXPECT_EQ(reporter_.events, (std::vector<std::string>{"beep", "ErrorIO"}));
  ASSERT_EQ(reporter_.details.size(), 1u);
  EXPECT_NE(reporter_.details[0].find("starts at byte 6"), std::string::npos)
      << reporter_.details[0];
  EXPECT_TRUE(session_.pool.Empty());
}

// A long source is read and checked in two parts at once, split at a
// multiple of 2 MiB near its middle (20 MiB in 40): a sequence across the
// split is whole, one cut short there or a stray byte past it is named.
TEST_F(EncodingChoiceTest, ALongSourceIsCheckedAcrossTheSplitOfItsRead) {
  session_.settings = ReadSettings(kWordsMode, 4);
  constexpr std::size_t kSplit = std::size_t{20} << 20;
  std::string text(std::size_t{40} << 20, 'a');
  for (std::size_t i = 100; i < text.size(); i += 100) text[i] = ' ';
  const auto put = [&](std::size_t at, std::string_view bytes) {
    std::string damaged = text;
    damaged.replace(at, bytes.size(), bytes);
    return damaged;
  };
  struct Case {
    std::size_t at;
    std::string bytes;
    std::optional<std::size_t> invalid;
  };
  for (const auto& c : std::vector<Case>{
           {kSplit - 1, kEmDash, std::nullopt},
           {kSplit - 2, kEmDash, std::nullopt},
           {kSplit - 3, kThumbsMedium, std::nullopt},
           {kSplit - 2, "\xE2\x80", kSplit - 2},  // cut short by the 'a' after the split
           {kSplit, "\x80", kSplit},              // stray, right after the split
           {kSplit + 3, "\xC3", kSplit + 3},
           {kSplit - 1, "\xC3\xA9\x80", kSplit + 1},
           {text.size() - 2, "\xE2\x80", text.size() - 2},  // cut short by the end
       }) {
    SCOPED_TRACE(c.at);
    reporter_.events.clear();
    reporter_.details.clear();
    const ReadOutcome outcome = Read(put(c.at, c.bytes), EncodingChoice::Utf8);
    if (!c.invalid) {
      ASSERT_EQ(outcome, ReadOutcome::Read);
      EXPECT_EQ(session_.pool.Encoding(), TextEncoding::Utf8);
      continue;
    }
    ASSERT_EQ(outcome, ReadOutcome::Failed);
    ASSERT_EQ(reporter_.details.size(), 1u);
    EXPECT_NE(reporter_.details[0].find("starts at byte " + std::to_string(*c.invalid)),
              std::string::npos)
        << reporter_.details[0];
  }
}

TEST_F(EncodingChoiceTest, EachChoiceSetsThePoolsEncoding) {
  session_.settings = ReadSettings(kLettersMode, 1);
  struct Case {
    std::string text;
    EncodingChoice choice;
    TextEncoding encoding;
    std::size_t items;
  };
  for (const auto& c : std::vector<Case>{
           {"caf\xC3\xA9", EncodingChoice::Auto, TextEncoding::Utf8, 4},
           {"caf\xC3\xA9", EncodingChoice::Utf8, TextEncoding::Utf8, 4},
           {"caf\xC3\xA9", EncodingChoice::Bytes, TextEncoding::RawBytes, 5},
           {"caf\xE9", EncodingChoice::Auto, TextEncoding::EightBit, 4},
           {"plain", EncodingChoice::Auto, TextEncoding::Utf8, 5},
       }) {
    ASSERT_EQ(Read(c.text, c.choice), ReadOutcome::Read) << Escaped(c.text);
    EXPECT_EQ(session_.pool.Encoding(), c.encoding) << Escaped(c.text);
    EXPECT_EQ(session_.pool.Size(), c.items) << Escaped(c.text);
  }
  EXPECT_TRUE(reporter_.events.empty());
}

TEST_F(EncodingChoiceTest, ALongFirstSeparatorClosesTheLastWordWhole) {
  const std::string family =
      "\xF0\x9F\x91\xA9\xE2\x80\x8D\xF0\x9F\x91\xA9\xE2\x80\x8D\xF0\x9F\x91\xA7";
  session_.settings = ReadSettings(kWordsMode, 1, family);
  ASSERT_EQ(Read("a\xC3\xA9" + family + "b", EncodingChoice::Auto), ReadOutcome::Read);
  EXPECT_EQ(PoolItems(session_.pool), (Items{"a\xC3\xA9" + family, "b" + family}));
}

// ---------------------------------------------------------------------------
// Separators as characters.

TEST(IsSeparatorChar, ComparesWholeCharactersOfTheSourcesEncoding) {
  struct Case {
    std::string c;
    std::string word_sep;
    TextEncoding source;
    bool expected;
  };
  const std::string em = kEmDash;
  for (const auto& c : std::vector<Case>{
           {em, " " + em, TextEncoding::Utf8, true},
           {kLeftQuote, em, TextEncoding::Utf8, false},
           {"\xE2", em, TextEncoding::Utf8, false},
           {"e", "e\xCC\x81", TextEncoding::Utf8, false},
           {"e\xCC\x81", "e\xCC\x81", TextEncoding::Utf8, true},
           {"\x97", em, TextEncoding::EightBit, true},
           {"\xE2", em, TextEncoding::EightBit, false},
           {"\xE2", em, TextEncoding::RawBytes, true},
           {"\xE9", "\xC3\xA9", TextEncoding::EightBit, true},
           {"\xE9", "\xE9", TextEncoding::EightBit, true},
           {"", " ", TextEncoding::Utf8, false},
           {" ", "", TextEncoding::EightBit, false},
       }) {
    EXPECT_EQ(IsSeparatorChar(c.c, c.word_sep, c.source), c.expected)
        << Escaped(c.c) << " in " << Escaped(c.word_sep);
  }
}

// The 8-bit byte of every code point of the first plane against the
// system's converter (as the reference asks it).
TEST(EightBitByteFor, AgreesWithTheSystemsWindows1252Converter) {
  std::size_t mapped = 0;
  for (char32_t cp = 0; cp < 0x10000; ++cp) {
    if (cp >= 0xD800 && cp <= 0xDFFF) continue;
    const std::optional<unsigned char> ours = EightBitByteFor(cp);
    const std::optional<char> reference = test::ReferenceEightBitByte(test::EncodeUtf8(cp));
    ASSERT_EQ(ours.has_value(), reference.has_value())
        << "U+" << std::hex << static_cast<unsigned>(cp) << " "
        << (reference ? static_cast<unsigned>(static_cast<unsigned char>(*reference)) : 0u);
    if (ours) {
      ASSERT_EQ(*ours, static_cast<unsigned char>(*reference));
      ++mapped;
    }
  }
  EXPECT_EQ(mapped, 256u + 27u);
}

}  // namespace
}  // namespace vorpel
