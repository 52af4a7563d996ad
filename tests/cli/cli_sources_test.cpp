// Several sources and --list, through the real program: the pool of
// several sources, each judged on its own, what is left on disk when one
// is missing, and the listing.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "listing_reader.h"
#include "random_draw.h"
#include "run_cli.h"
#include "source_reader.h"
#include "vorpel_test/chi_square.h"
#include "vorpel_test/engine_doubles.h"
#include "vorpel_test/files.h"
#include "vorpel_test/printing.h"
#include "vorpel_test/temp_dir.h"
#include "vorpel_test/text_generator.h"
#include "vorpel_test/utf8_texts.h"

namespace vorpel::test {
namespace {
namespace fs = std::filesystem;
using Items = std::vector<std::string>;

constexpr char kMissing[] = "The file you are trying to read doesn't exist.";
constexpr char kInvalidTarget[] = "You are trying to write to an invalid source.";
constexpr char kFileFailed[] = "The file could not be read or written.";

bool Contains(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

// The text drawn for seed from items, listed in pool order by hand: one
// draw below the pool's size per sequence, as the writer makes them.
std::string Drawn(const Items& items, std::uint64_t seed, int count) {
  RandomDraw draw(seed);
  std::string text;
  for (int i = 0; i < count; ++i) text += items[draw.Below(items.size())];
  return text;
}

class CliSources : public ::testing::Test {
 protected:
  ChildResult Run(const std::vector<std::string>& args, const ChildSetup& setup = {}) {
    return RunCli(args, dir_.path(), setup);
  }
  TempDir dir_;
};

// Worked by hand: two sources cut on their own, items in the order given;
// a spanning item such as "two three " never appears. Cut one after
// another, or by default overlapping, one starting at every unit of each
// source, which the listing says.
TEST_F(CliSources, TwoSources_ItemsOfBothInOrder) {
  WriteFile(dir_ / "a.txt", "one two");
  WriteFile(dir_ / "b.txt", "three four five");
  const struct {
    std::vector<std::string> options;
    Items items;
    const char* listed_as;
  } cases[] = {
      {{"-l", "2", "--no-overlap"}, {"one two ", "three four ", "five "}, "sequences"},
      {{"-l", "1", "--no-overlap"}, {"one ", "two ", "three ", "four ", "five "}, "sequences"},
      {{"-u", "letters", "-l", "3", "--no-overlap"},
       {"one", " tw", "o", "thr", "ee ", "fou", "r f", "ive"},
       "sequences"},
      {{"-l", "2"}, {"one two ", "three four ", "four five "}, "overlapping sequences"},
      {{"-l", "3", "--no-overlap", "--overlap"},
       {"one two ", "three four five "},
       "overlapping sequences"},
      {{"-u", "letters", "-l", "5"},
       {"one t", "ne tw", "e two", "three", "hree ", "ree f", "ee fo", "e fou", " four", "four ",
        "our f", "ur fi", "r fiv", " five"},
       "overlapping sequences"},
  };
  for (const auto& c : cases) {
    std::vector<std::string> args = c.options;
    args.insert(args.end(), {"--seed", "5", "-n", "300", "--no-fix-caps", "a.txt", "b.txt", "-"});
    const ChildResult result = Run(args);
    ASSERT_EQ(result.exit_code, 0) << result.err;
    EXPECT_EQ(result.out, Drawn(c.items, 5, 300)) << ::testing::PrintToString(c.options);
    // The listing shows the same items.
    args = c.options;
    args.insert(args.end(), {"--list", "a.txt", "b.txt"});
    const ChildResult listed = Run(args);
    ASSERT_EQ(listed.exit_code, 0) << listed.err;
    std::string expected;
    for (const std::string& item : c.items) expected += item + "\n";
    expected +=
        std::to_string(c.items.size()) + " " + c.listed_as + "; a.txt: UTF-8; b.txt: UTF-8\n";
    EXPECT_EQ(listed.out, expected);
    EXPECT_EQ(listed.err, "");
  }
}

// A UTF-8 source and a Latin-1 one: the first cut into whole characters,
// the second byte by byte, and each named with its own encoding.
TEST_F(CliSources, Utf8AndLatin1Sources_EachJudgedOnItsOwn) {
  WriteFile(dir_ / "utf8.txt",
            "\xC3\xA9"
            "e\xCC\x81\xF0\x9F\x91\x8D");
  WriteFile(dir_ / "latin1.txt", "\xE9t\xE9");
  const ChildResult listed = Run({"--list", "-u", "letters", "-l", "1", "utf8.txt", "latin1.txt"});
  ASSERT_EQ(listed.exit_code, 0) << listed.err;
  EXPECT_EQ(listed.out,
            "\xC3\xA9\n"
            "e\xCC\x81\n"
            "\xF0\x9F\x91\x8D\n"
            "\\xE9\n"
            "t\n"
            "\\xE9\n"
            "6 sequences; utf8.txt: UTF-8; latin1.txt: 8-bit\n");
  const Items items = {"\xC3\xA9", "e\xCC\x81", "\xF0\x9F\x91\x8D", "\xE9", "t", "\xE9"};
  const ChildResult drawn =
      Run({"-u", "letters", "-l", "1", "-n", "200", "--seed", "9", "utf8.txt", "latin1.txt", "-"});
  ASSERT_EQ(drawn.exit_code, 0) << drawn.err;
  // Only "t" is a letter a-z, and it is capitalized only as the first
  // character of the text.
  std::string expected = Drawn(items, 9, 200);
  if (expected.front() == 't') expected.front() = 'T';
  EXPECT_TRUE(drawn.out == expected) << Escaped(drawn.out.substr(0, 40));
}

// The capitalization fix reads the text as UTF-8 only when every source
// is UTF-8. With an em dash as the separator, the UTF-8 reading skips the
// dash after a full stop and capitalizes the word after it; the 8-bit
// reading takes the dash's first byte for the character after the full
// stop, which is no letter, so nothing is capitalized.
TEST_F(CliSources, CapitalizationFix_AsUtf8OnlyWhenEverySourceIs) {
  WriteFile(dir_ / "utf8.txt", "go.\xE2\x80\x94now\xE2\x80\x94");
  WriteFile(dir_ / "ascii.txt", "so.\xE2\x80\x94on\xE2\x80\x94");
  WriteFile(dir_ / "latin1.txt", "caf\xE9\x97");
  const std::string dash_then_n = ".\xE2\x80\x94N";
  const std::string dash_then_lower_n = ".\xE2\x80\x94n";
  const std::vector<std::string> options = {"-l", "1",   "-s",     "\xE2\x80\x94",
                                            "-n", "400", "--seed", "3"};

  std::vector<std::string> args = options;
  args.insert(args.end(), {"utf8.txt", "ascii.txt", "-"});
  const ChildResult utf8_only = Run(args);
  ASSERT_EQ(utf8_only.exit_code, 0) << utf8_only.err;
  EXPECT_TRUE(Contains(utf8_only.out, dash_then_n));
  EXPECT_FALSE(Contains(utf8_only.out, dash_then_lower_n));

  args = options;
  args.insert(args.end(), {"utf8.txt", "latin1.txt", "-"});
  const ChildResult mixed = Run(args);
  ASSERT_EQ(mixed.exit_code, 0) << mixed.err;
  EXPECT_TRUE(Contains(mixed.out, dash_then_lower_n));
  EXPECT_FALSE(Contains(mixed.out, dash_then_n));
  // The Latin-1 source is cut on its Windows-1252 dash, 0x97: its one item
  // is the whole of it.
  EXPECT_TRUE(Contains(mixed.out, "af\xE9\x97"));
}

TEST_F(CliSources, MissingSource_NamedAndNothingWritten) {
  WriteFile(dir_ / "a.txt", "some words here");
  const struct {
    const char* what;
    std::vector<std::string> args;
    std::vector<std::string> missing;
  } cases[] = {
      {"second missing", {"a.txt", "gone.txt", "out.txt"}, {"gone.txt"}},
      {"first missing", {"gone.txt", "a.txt", "out.txt"}, {"gone.txt"}},
      {"two missing", {"gone1.txt", "a.txt", "gone2.txt", "out.txt"}, {"gone1.txt", "gone2.txt"}},
      {"with overwrite", {"-f", "a.txt", "gone.txt", "out.txt"}, {"gone.txt"}},
      {"to standard output", {"a.txt", "gone.txt", "-"}, {"gone.txt"}},
  };
  for (const bool target_exists : {false, true}) {
    for (const auto& c : cases) {
      if (target_exists) {
        WriteFile(dir_ / "out.txt", "keep me");
      } else {
        fs::remove(dir_ / "out.txt");
      }
      const ChildResult result = Run(c.args);
      EXPECT_EQ(result.exit_code, 1) << c.what;
      for (const std::string& name : c.missing) {
        EXPECT_TRUE(Contains(result.err, std::string(kMissing) + " " + name + "\n"))
            << c.what << ": " << result.err;
      }
      EXPECT_FALSE(Contains(result.err, std::string(kMissing) + " a.txt")) << c.what;
      EXPECT_EQ(result.out, "") << c.what;
      if (target_exists) {
        EXPECT_EQ(ReadFile(dir_ / "out.txt"), "keep me") << c.what;
      } else {
        EXPECT_FALSE(fs::exists(dir_ / "out.txt")) << c.what;
      }
      EXPECT_TRUE(StrayFiles(dir_.path()).empty()) << c.what;
    }
  }
  // Every problem at once: the missing sources and the refused target.
  WriteFile(dir_ / "out.txt", "keep me");
  const ChildResult both = Run({"a.txt", "gone.txt", "out.txt"});
  EXPECT_EQ(both.exit_code, 1);
  EXPECT_EQ(both.err,
            std::string(kMissing) + " gone.txt\n" + std::string(kInvalidTarget) + " out.txt\n");
  // --list prints nothing at all.
  const ChildResult listed = Run({"--list", "a.txt", "gone.txt"});
  EXPECT_EQ(listed.exit_code, 1);
  EXPECT_EQ(listed.out, "");
  EXPECT_EQ(listed.err, std::string(kMissing) + " gone.txt\n");
}

TEST_F(CliSources, OperandCounts_BadArgumentsExitTwo) {
  WriteFile(dir_ / "a.txt", "some words");
  for (const auto& args : std::vector<std::vector<std::string>>{
           {}, {"a.txt"}, {"-f", "a.txt"}, {"--list"}, {"--list", "-l", "2"}}) {
    const ChildResult result = Run(args);
    EXPECT_EQ(result.exit_code, 2) << ::testing::PrintToString(args);
    EXPECT_TRUE(Contains(result.err, "Usage: vorpel-cli [OPTIONS] SOURCE... TARGET\n"))
        << result.err;
    EXPECT_TRUE(Contains(result.err, "vorpel-cli --list [OPTIONS] SOURCE...\n")) << result.err;
    EXPECT_EQ(result.out, "");
    EXPECT_EQ(dir_.Names(), std::vector<std::string>{"a.txt"});
  }
}

TEST_F(CliSources, EmptySources_TheirOwnWordsNamingThem) {
  WriteFile(dir_ / "e1.txt", "");
  WriteFile(dir_ / "e2.txt", "");
  WriteFile(dir_ / "a.txt", "words");
  const struct {
    std::vector<std::string> args;
    std::string err;
  } cases[] = {
      {{"e1.txt", "out.txt"}, "No sequences to draw: the source is empty. e1.txt\n"},
      {{"e1.txt", "e2.txt", "out.txt"},
       "No sequences to draw: the sources are empty. e1.txt e2.txt\n"},
      {{"-l", "0", "a.txt", "e1.txt", "out.txt"},
       "No sequences to draw: the length is 0. a.txt e1.txt\n"},
      {{"--list", "-l", "0", "a.txt"}, "No sequences to list: the length is 0. a.txt\n"},
  };
  for (const auto& c : cases) {
    const ChildResult result = Run(c.args);
    EXPECT_EQ(result.exit_code, 1) << ::testing::PrintToString(c.args);
    EXPECT_EQ(result.err, c.err);
    EXPECT_EQ(result.out, "");
    EXPECT_FALSE(fs::exists(dir_ / "out.txt"));
  }
  // An empty source gives nothing to the pool of several.
  const ChildResult drawn = Run({"-l", "1", "-n", "3", "e1.txt", "a.txt", "e2.txt", "-"});
  EXPECT_EQ(drawn.exit_code, 0) << drawn.err;
  EXPECT_EQ(drawn.out, "Words words words ");
  // Listing an empty pool is no failure.
  const ChildResult listed = Run({"--no-overlap", "--list", "e1.txt", "e2.txt"});
  EXPECT_EQ(listed.exit_code, 0) << listed.err;
  EXPECT_EQ(listed.out, "0 sequences; e1.txt: UTF-8; e2.txt: UTF-8\n");
}

// --mix equal: a source of 1,000 sequences and one of 10 get about half the
// draws each; with one source that has sequences it gives the bytes of
// --mix pool; --list does not use it.
TEST_F(CliSources, MixEqual_EverySourceWithSequencesGetsTheSameShare) {
  WriteFile(dir_ / "big.txt", std::string(1000, 'a'));
  WriteFile(dir_ / "small.txt", "0123456789");
  WriteFile(dir_ / "empty.txt", "");
  const auto run = [&](std::vector<std::string> args) {
    args.insert(args.begin(), {"-u", "letters", "-l", "1", "--no-fix-caps", "--seed", "8"});
    const ChildResult result = Run(args);
    EXPECT_EQ(result.exit_code, 0) << result.err;
    return result.out;
  };
  const auto small_share = [](const std::string& text) {
    return std::count_if(text.begin(), text.end(), [](char c) { return c != 'a'; });
  };
  const std::string equal =
      run({"--mix", "equal", "-n", "20000", "big.txt", "empty.txt", "small.txt", "-"});
  ASSERT_EQ(equal.size(), 20000u);
  EXPECT_GT(small_share(equal), 9650);  // 10,000 expected, standard deviation about 71
  EXPECT_LT(small_share(equal), 10350);
  std::vector<int> digits(10);
  for (const char c : equal) {
    if (c != 'a') ++digits[static_cast<std::size_t>(c - '0')];
  }
  EXPECT_LT(ChiSquareAgainstUniform(digits), 30.0);  // 9 degrees of freedom; p below 0.0005
  EXPECT_EQ(run({"--mix", "equal", "-n", "20000", "big.txt", "empty.txt", "small.txt", "-"}),
            equal);
  const std::string pool = run({"-n", "20000", "big.txt", "small.txt", "-"});
  EXPECT_LT(small_share(pool), 270);  // 198 expected

  EXPECT_EQ(run({"--mix", "equal", "-n", "500", "small.txt", "empty.txt", "-"}),
            run({"--mix", "pool", "-n", "500", "small.txt", "empty.txt", "-"}));
  EXPECT_EQ(run({"--mix", "equal", "--list", "big.txt", "small.txt"}),
            run({"--list", "big.txt", "small.txt"}));
}

// The listing of the real program read back gives the engine's items for
// each source, on texts with every kind of byte; the drawing options do
// not change it.
TEST_F(CliSources, List_ReadBackGivesThePoolsItems) {
  std::mt19937 random(3);
  const std::string utf8 = RandomUtf8(random, 3000);
  const std::string binary = MakeText(20000, 4, BinaryWords());
  const std::string mixed = MakeText(20000, 5, MixedText());
  WriteFile(dir_ / "utf8.txt", utf8);
  WriteFile(dir_ / "binary.txt", binary);
  WriteFile(dir_ / "mixed.txt", mixed);
  for (const auto& [options, overlap] : std::vector<std::pair<std::vector<std::string>, bool>>{
           {{"-l", "1"}, false},
           {{"-l", "3", "-s", " \\t\\\\"}, false},
           {{"-u", "letters", "-l", "2"}, false},
           {{"-l", "3", "-s", " \\t\\\\"}, true},
           {{"-u", "letters", "-l", "2"}, true}}) {
    std::vector<std::string> args = options;
    args.insert(args.end(), {overlap ? "--overlap" : "--no-overlap", "--list", "utf8.txt",
                             "binary.txt", "mixed.txt"});
    const ChildResult result = Run(args);
    ASSERT_EQ(result.exit_code, 0) << result.err;
    EXPECT_EQ(result.err, "");

    GenerationSettings settings;
    settings.SetDefaultOptions();
    settings.MultSeq = overlap ? 1 : 0;
    settings.UnitMode = options[0] == "-u" ? kLettersMode : kWordsMode;
    settings.SeqLength = static_cast<std::int16_t>(std::stoi(options[options[0] == "-u" ? 3 : 1]));
    if (options.size() > 2 && options[2] == "-s") settings.WordSep = " \t\\";
    Items expected;
    std::vector<std::string> encodings;
    for (const std::string* text : {&utf8, &binary, &mixed}) {
      const SequencePool pool = BuildPool(MakeBuffer(*text), settings);
      const Items items = PoolItems(pool);
      expected.insert(expected.end(), items.begin(), items.end());
      encodings.push_back(pool.Encoding() == TextEncoding::Utf8 ? "UTF-8" : "8-bit");
    }
    ASSERT_EQ(encodings, (std::vector<std::string>{"UTF-8", "8-bit", "8-bit"}));

    const ReadBackListing read = ReadListing(result.out);
    ASSERT_EQ(read.error, "") << ::testing::PrintToString(options);
    EXPECT_EQ(FirstDifference(read.items, expected), "") << ::testing::PrintToString(options);
    EXPECT_EQ(read.last_line, std::to_string(expected.size()) + (overlap ? " overlapping" : "") +
                                  " sequences; utf8.txt: UTF-8; binary.txt: 8-bit; mixed.txt: "
                                  "8-bit");

    // -n, --seed, --fix-caps and -f leave the listing as it is.
    args.insert(args.begin(), {"-n", "5", "--seed", "1", "--fix-caps", "-f"});
    EXPECT_TRUE(Run(args).out == result.out) << ::testing::PrintToString(options);
  }
}

TEST_F(CliSources, List_EncodingBytesIsNamedAndEscapedByteByByte) {
  WriteFile(dir_ / "u.txt", "\xC3\xA9t\xC3\xA9");
  const ChildResult result = Run({"--list", "--encoding", "bytes", "-l", "1", "u.txt"});
  ASSERT_EQ(result.exit_code, 0) << result.err;
  EXPECT_EQ(result.out, "\\xC3\\xA9t\\xC3\\xA9 \n1 sequence; u.txt: bytes\n");
}

TEST_F(CliSources, List_StandardOutputFull_Reported) {
  WriteFile(dir_ / "a.txt", "some words here");
  ChildSetup setup;
  setup.stdout_path = "/dev/full";
  const ChildResult result = Run({"--list", "a.txt"}, setup);
  EXPECT_EQ(result.exit_code, 1);
  EXPECT_EQ(result.err, std::string(kFileFailed) + " standard output: No space left on device\n");
}

}  // namespace
}  // namespace vorpel::test
