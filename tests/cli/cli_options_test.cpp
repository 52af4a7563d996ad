#include "cli_options.h"

#include <gtest/gtest.h>

#include <limits>
#include <sstream>
#include <string>
#include <vector>

#include "numeric_text.h"
#include "option_rules.h"

namespace vorpel {
namespace {

struct Parsed {
  ParseOutcome outcome;
  std::string out;
  std::string err;
};

Parsed Parse(std::vector<std::string> args) {
  args.insert(args.begin(), "vorpel-cli");
  std::vector<const char*> argv;
  for (const std::string& arg : args) argv.push_back(arg.c_str());
  std::ostringstream out, err;
  Parsed parsed;
  parsed.outcome = ParseArguments(static_cast<int>(argv.size()), argv.data(), out, err);
  parsed.out = out.str();
  parsed.err = err.str();
  return parsed;
}

TEST(ParseArguments, Defaults_MatchTheProgramsStartUpSettings) {
  const Parsed parsed = Parse({"in.txt", "out.txt"});
  ASSERT_TRUE(parsed.outcome.options);
  const CliOptions& options = *parsed.outcome.options;
  EXPECT_EQ(options.unit_mode, kWordsMode);
  EXPECT_EQ(options.seq_length, 4);
  EXPECT_EQ(options.word_sep, " ");
  EXPECT_EQ(options.count, 128);
  EXPECT_TRUE(options.fix_caps);
  EXPECT_FALSE(options.overwrite);
  EXPECT_FALSE(options.seed);
  EXPECT_EQ(options.sources, std::vector<std::string>{"in.txt"});
  EXPECT_EQ(options.target, "out.txt");
  EXPECT_FALSE(options.list);
  EXPECT_TRUE(options.overlap);  // the Multiple Sequences box starts ticked
  EXPECT_EQ(options.mix, Mix::Pool);
  EXPECT_EQ(parsed.out + parsed.err, "");
}

TEST(ParseArguments, EveryOption_ShortAndLongForms) {
  const Parsed parsed = Parse({"-u", "letters", "-l", "100", "-s", ",;", "-n", "0", "--no-fix-caps",
                               "-f", "--seed", "18446744073709551615", "a", "-"});
  ASSERT_TRUE(parsed.outcome.options) << parsed.err;
  const CliOptions& options = *parsed.outcome.options;
  EXPECT_EQ(options.unit_mode, kLettersMode);
  EXPECT_EQ(options.seq_length, 100);
  EXPECT_EQ(options.word_sep, ",;");
  EXPECT_EQ(options.count, 0);
  EXPECT_FALSE(options.fix_caps);
  EXPECT_TRUE(options.overwrite);
  EXPECT_EQ(options.seed, std::numeric_limits<std::uint64_t>::max());
  EXPECT_EQ(options.target, "-");

  const Parsed long_forms =
      Parse({"--unit=words", "--length=0", "--separator=", "--count=9223372036854775807",
             "--overwrite", "--seed=0", "a", "b"});
  ASSERT_TRUE(long_forms.outcome.options) << long_forms.err;
  EXPECT_EQ(long_forms.outcome.options->unit_mode, kWordsMode);
  EXPECT_EQ(long_forms.outcome.options->seq_length, 0);
  EXPECT_EQ(long_forms.outcome.options->word_sep, "");
  EXPECT_EQ(long_forms.outcome.options->count, std::numeric_limits<std::int64_t>::max());
  EXPECT_TRUE(long_forms.outcome.options->overwrite);
  EXPECT_EQ(long_forms.outcome.options->seed, 0u);
}

TEST(ParseArguments, EmptyValueAfterEquals_IsAnEmptyValue) {
  const Parsed separator = Parse({"--separator=", "-n", "5", "a", "b"});
  ASSERT_TRUE(separator.outcome.options) << separator.err;
  EXPECT_EQ(separator.outcome.options->word_sep, "");
  EXPECT_EQ(separator.outcome.options->count, 5);
  // An empty number is refused, not filled from the next argument.
  EXPECT_EQ(Parse({"--count=", "5", "a", "b"}).outcome.exit_code, kExitBadArguments);
  // After "--" every argument is a positional, taken as it is.
  const Parsed positional = Parse({"--", "--odd=", "b"});
  ASSERT_TRUE(positional.outcome.options) << positional.err;
  EXPECT_EQ(positional.outcome.options->sources, std::vector<std::string>{"--odd="});
}

// The last operand is TARGET; every one before it is a SOURCE, in order.
// With --list every operand is a SOURCE and there is no TARGET.
TEST(ParseArguments, Operands_SourcesThenTargetOrSourcesAloneWithList) {
  const struct {
    std::vector<std::string> args;
    std::vector<std::string> sources;
    std::string target;
    bool list;
  } cases[] = {
      {{"a", "b"}, {"a"}, "b", false},
      {{"a", "b", "c"}, {"a", "b"}, "c", false},
      {{"a", "b", "c", "-"}, {"a", "b", "c"}, "-", false},
      {{"a", "-n", "5", "b", "c"}, {"a", "b"}, "c", false},  // options between operands
      {{"a", "a", "out"}, {"a", "a"}, "out", false},         // a source twice
      {{"--list", "a"}, {"a"}, "", true},
      {{"a", "b", "--list"}, {"a", "b"}, "", true},
      {{"--list", "--", "-x", "b"}, {"-x", "b"}, "", true},
      {{"--", "-a", "-b", "-"}, {"-a", "-b"}, "-", false},
  };
  for (const auto& c : cases) {
    const Parsed parsed = Parse(c.args);
    ASSERT_TRUE(parsed.outcome.options) << ::testing::PrintToString(c.args) << parsed.err;
    EXPECT_EQ(parsed.outcome.options->sources, c.sources) << ::testing::PrintToString(c.args);
    EXPECT_EQ(parsed.outcome.options->target, c.target) << ::testing::PrintToString(c.args);
    EXPECT_EQ(parsed.outcome.options->list, c.list) << ::testing::PrintToString(c.args);
  }
}

TEST(ParseArguments, NumbersAreDecimal_LeadingZerosAreNotOctal) {
  const Parsed parsed = Parse({"-l", "010", "-n", "0008", "--seed", "00", "a", "b"});
  ASSERT_TRUE(parsed.outcome.options) << parsed.err;
  EXPECT_EQ(parsed.outcome.options->seq_length, 10);
  EXPECT_EQ(parsed.outcome.options->count, 8);
  EXPECT_EQ(parsed.outcome.options->seed, 0u);
}

// The notation and the rounding of the window's number field: blanks,
// signs, fractions and exponents, a half going to the even neighbour.
TEST(ParseArguments, NumbersTakeTheWindowsNotationAndRounding) {
  const struct {
    const char* count;
    std::int64_t value;
  } counts[] = {
      {"12.5", 12},
      {"13.5", 14},
      {" 7 ", 7},
      {"+5", 5},
      {"1e3", 1000},
      {"2.5E-1", 0},
      {"0", 0},
      {"-5", -5},  // draws nothing: an empty target, as in the window
      {"-0.5", 0},
      {"-2.5", -2},
      {"40000", 40000},  // beyond the window's 32767
      {"9223372036854775806.5", 9223372036854775806},
      {"9223372036854775807.4", std::numeric_limits<std::int64_t>::max()},
      {"-9223372036854775808", std::numeric_limits<std::int64_t>::min()},
  };
  for (const auto& c : counts) {
    const Parsed parsed = Parse({"-n", c.count, "a", "b"});
    ASSERT_TRUE(parsed.outcome.options) << c.count << ": " << parsed.err;
    EXPECT_EQ(parsed.outcome.options->count, c.value) << c.count;
  }
  const struct {
    const char* length;
    std::int16_t value;
  } lengths[] = {
      {"99.5", 100},  // compared before rounding, as in the Options dialog
      {"100", 100},  {"1e2", 100}, {"4.5", 4}, {"5.5", 6},  {" 3 ", 3},
      {"+2", 2},     {"-0", 0},    {"0.4", 0}, {"010", 10},
  };
  for (const auto& c : lengths) {
    const Parsed parsed = Parse({"-l", c.length, "a", "b"});
    ASSERT_TRUE(parsed.outcome.options) << c.length << ": " << parsed.err;
    EXPECT_EQ(parsed.outcome.options->seq_length, c.value) << c.length;
  }
}

// -l follows the Options dialog's own check word for word, and -n the
// window's conversion: one rule, two front ends.
TEST(ParseArguments, LengthAndCountAgreeWithTheWindowsChecks) {
  for (const char* text : {"0", "-0", "4", "100", "99.5", " 50 ", "1e2", "100.4", "-0.4", "101",
                           "-1", "abc", "", "1e3", "0x10", "7.49999", "100.0000001"}) {
    EXPECT_EQ(ParseLength(text).has_value(), IsValidSeqLength(text)) << "\"" << text << "\"";
    if (IsValidSeqLength(text)) {
      EXPECT_EQ(ParseLength(text), ToInt16(text)) << text;
    }
  }
  for (const char* text : {"0", "128", "12.5", "-3.5", " 7 ", "+5", "1e3", "32767", "32767.5",
                           "-32768", "abc", "", "0x10"}) {
    if (ToInt16(text)) {
      EXPECT_EQ(ParseCount(text), *ToInt16(text)) << text;
    } else if (!IsNumericText(text)) {
      EXPECT_EQ(ParseCount(text), std::nullopt) << text;
    }
  }
}

TEST(ParseArguments, CapsFlags_TheLastOneWins) {
  const struct {
    std::vector<std::string> flags;
    bool fix_caps;
  } cases[] = {
      {{}, true},
      {{"--fix-caps"}, true},
      {{"--no-fix-caps"}, false},
      {{"--fix-caps", "--no-fix-caps"}, false},
      {{"--no-fix-caps", "--fix-caps"}, true},
  };
  for (const auto& c : cases) {
    std::vector<std::string> args = c.flags;
    args.insert(args.end(), {"a", "b"});
    const Parsed parsed = Parse(args);
    ASSERT_TRUE(parsed.outcome.options) << parsed.err;
    EXPECT_EQ(parsed.outcome.options->fix_caps, c.fix_caps) << ::testing::PrintToString(c.flags);
  }
}

TEST(ParseArguments, OverlapFlagsTheLastOneWins_MixByName) {
  const struct {
    std::vector<std::string> args;
    bool overlap;
    Mix mix;
  } cases[] = {
      {{"--no-overlap"}, false, Mix::Pool},
      {{"--overlap"}, true, Mix::Pool},
      {{"--overlap", "--no-overlap"}, false, Mix::Pool},
      {{"--no-overlap", "--overlap"}, true, Mix::Pool},
      {{"--mix", "equal"}, true, Mix::Equal},
      {{"--mix=pool"}, true, Mix::Pool},
      {{"--mix", "equal", "--mix", "pool", "--no-overlap"}, false, Mix::Pool},
  };
  for (const auto& c : cases) {
    std::vector<std::string> args = c.args;
    args.insert(args.end(), {"a", "b"});
    const Parsed parsed = Parse(args);
    ASSERT_TRUE(parsed.outcome.options) << parsed.err;
    EXPECT_EQ(parsed.outcome.options->overlap, c.overlap) << ::testing::PrintToString(c.args);
    EXPECT_EQ(parsed.outcome.options->mix, c.mix) << ::testing::PrintToString(c.args);
  }
}

TEST(ParseArguments, SeparatorEscapes_Decoded) {
  const struct {
    std::string given;
    std::string decoded;
  } cases[] = {
      {"", ""},          {" ", " "},     {"\\n", "\n"},    {"\\r\\n", "\r\n"},
      {"\\t", "\t"},     {"\\\\", "\\"}, {"\\\\n", "\\n"},  // an escaped backslash, then a plain n
      {" ,\\t", " ,\t"}, {"x", "x"},
  };
  for (const auto& c : cases) {
    const Parsed parsed = Parse({"-s", c.given, "a", "b"});
    ASSERT_TRUE(parsed.outcome.options) << c.given << ": " << parsed.err;
    EXPECT_EQ(parsed.outcome.options->word_sep, c.decoded) << c.given;
  }
}

TEST(ParseArguments, BadArguments_ExitTwoWithTheUsageOnStandardError) {
  const std::vector<std::vector<std::string>> cases = {
      {},
      {"only-source"},
      {"-f", "only-source"},
      {"--list"},
      {"--list", "-l", "2"},
      {"--bogus", "a", "b"},
      {"-u", "sentences", "a", "b"},
      {"-u", "Letters", "a", "b"},
      {"-l", "101", "a", "b"},
      {"-l", "-1", "a", "b"},
      {"-l", "100.4", "a", "b"},
      {"-l", "-0.4", "a", "b"},
      {"-l", "1e3", "a", "b"},
      {"-l", "", "a", "b"},
      {"-l", "four", "a", "b"},
      {"a", "b", "-l"},  // no number after -l
      {"-n", "0x10", "a", "b"},
      {"-n", "12abc", "a", "b"},
      {"-n", "1,000", "a", "b"},
      {"-n", "inf", "a", "b"},
      {"-n", "   ", "a", "b"},
      {"-n", "9223372036854775808", "a", "b"},
      {"-n", "9223372036854775807.5", "a", "b"},  // the even neighbour is 2^63
      {"-n", "99999999999999999999999", "a", "b"},
      {"-n", "-9223372036854775809", "a", "b"},
      {"-n", "1e19", "a", "b"},
      {"--seed", "-1", "a", "b"},
      {"--seed", "18446744073709551616", "a", "b"},
      {"--seed", "abc", "a", "b"},
      {"--seed", "", "a", "b"},
      {"-s", "\\q", "a", "b"},
      {"-s", "a\\", "a", "b"},
      {"-s", "\\", "a", "b"},
      {"--fix-caps=maybe", "a", "b"},
      {"--mix", "half", "a", "b"},
      {"--mix", "Equal", "a", "b"},
      {"--mix=", "a", "b"},
  };
  for (const auto& args : cases) {
    const Parsed parsed = Parse(args);
    EXPECT_FALSE(parsed.outcome.options) << ::testing::PrintToString(args);
    EXPECT_EQ(parsed.outcome.exit_code, kExitBadArguments) << ::testing::PrintToString(args);
    EXPECT_NE(parsed.err.find("Usage: vorpel-cli [OPTIONS] SOURCE... TARGET"), std::string::npos)
        << ::testing::PrintToString(args) << parsed.err;
    EXPECT_EQ(parsed.out, "") << ::testing::PrintToString(args);
  }
}

TEST(ParseArguments, Encoding_AutoByDefaultAndEachChoiceByName) {
  EXPECT_EQ(Parse({"in.txt", "out.txt"}).outcome.options->encoding, EncodingChoice::Auto);
  const std::vector<std::pair<std::string, EncodingChoice>> cases = {
      {"auto", EncodingChoice::Auto},
      {"utf-8", EncodingChoice::Utf8},
      {"bytes", EncodingChoice::Bytes}};
  for (const auto& [name, choice] : cases) {
    const Parsed parsed = Parse({"--encoding", name, "in.txt", "out.txt"});
    ASSERT_TRUE(parsed.outcome.options) << name << parsed.err;
    EXPECT_EQ(parsed.outcome.options->encoding, choice) << name;
  }
  for (const std::string bad : {"latin1", "UTF8", ""}) {
    const Parsed parsed = Parse({"--encoding", bad, "in.txt", "out.txt"});
    EXPECT_FALSE(parsed.outcome.options) << bad;
    EXPECT_EQ(parsed.outcome.exit_code, kExitBadArguments) << bad;
  }
}

TEST(ParseArguments, Help_ExplainsEveryOptionOnStandardOutput) {
  const Parsed parsed = Parse({"--help"});
  EXPECT_FALSE(parsed.outcome.options);
  EXPECT_EQ(parsed.outcome.exit_code, kExitSuccess);
  EXPECT_EQ(parsed.err, "");
  for (const char* name :
       {"SOURCE... TARGET", "--list [OPTIONS] SOURCE...", "--list ", "-u,--unit letters|words",
        "-l,--length N", "-s,--separator TEXT", "-n,--count N", "--fix-caps,--no-fix-caps",
        "-f,--overwrite", "--seed N", "--version", "\\n \\r", "standard output", "Exit status",
        "--overlap,--no-overlap", "--mix pool|equal", "overlapping sequences"}) {
    EXPECT_NE(parsed.out.find(name), std::string::npos) << name << " missing from\n" << parsed.out;
  }
}

TEST(ParseArguments, Version_PrintsNameAndVersion) {
  const Parsed parsed = Parse({"--version"});
  EXPECT_FALSE(parsed.outcome.options);
  EXPECT_EQ(parsed.outcome.exit_code, kExitSuccess);
  EXPECT_EQ(parsed.out, "vorpel-cli " VORPEL_EXPECTED_VERSION "\n");
}

TEST(ParseDecimal, DigitsOnlyUpToTheLimit) {
  EXPECT_EQ(ParseDecimal("0", 5), 0u);
  EXPECT_EQ(ParseDecimal("5", 5), 5u);
  EXPECT_EQ(ParseDecimal("6", 5), std::nullopt);
  EXPECT_EQ(ParseDecimal("18446744073709551615", std::numeric_limits<std::uint64_t>::max()),
            std::numeric_limits<std::uint64_t>::max());
  EXPECT_EQ(ParseDecimal("18446744073709551616", std::numeric_limits<std::uint64_t>::max()),
            std::nullopt);
  for (const char* bad : {"", "-0", "+1", " 1", "1 ", "1.0", "0x1", "1e2", "\xd9\xa1"}) {
    EXPECT_EQ(ParseDecimal(bad, 100), std::nullopt) << bad;
  }
}

}  // namespace
}  // namespace vorpel
