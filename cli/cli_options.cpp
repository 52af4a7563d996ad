#include "cli_options.h"

#include <CLI/CLI.hpp>
#include <charconv>
#include <limits>
#include <ostream>
#include <string_view>
#include <utility>
#include <vector>

#include "numeric_text.h"

namespace vorpel {
namespace {

constexpr std::uint64_t kMaxSeed = std::numeric_limits<std::uint64_t>::max();

// Refuses every text that is not a decimal number of at most max. CLI11's
// own integer conversion would read "010" as octal, "0x10" as hexadecimal
// and clamp an overflowing number silently.
CLI::Validator DecimalAtMost(std::uint64_t max) {
  return CLI::Validator(
      [max](std::string& text) -> std::string {
        if (ParseDecimal(text, max)) return {};
        return "'" + text + "' is not a whole number from 0 to " + std::to_string(max);
      },
      "", "decimal");
}

// The length as the Options dialog takes it: a number in the window's
// notation that lies in 0..100 before it is rounded.
CLI::Validator SequenceLength() {
  return CLI::Validator(
      [](std::string& text) -> std::string {
        if (ParseLength(text)) return {};
        return "'" + text + "' is not a number from 0 to 100";
      },
      "", "length");
}

// The count as the window's number field takes it, beyond its 16 bits.
CLI::Validator SequenceCount() {
  return CLI::Validator(
      [](std::string& text) -> std::string {
        if (ParseCount(text)) return {};
        if (IsNumericText(text)) {
          return "'" + text + "' is out of range (at most " + std::to_string(kMaxCount) + ")";
        }
        return "'" + text + "' is not a number";
      },
      "", "count");
}

CLI::Validator SeparatorEscapes() {
  return CLI::Validator(
      [](std::string& text) -> std::string {
        auto decoded = DecodeEscapes(text);
        if (!decoded) {
          return "'" + text + "' holds a backslash that is not one of \\n \\r \\t \\\\";
        }
        text = std::move(*decoded);
        return {};
      },
      "", "escapes");
}

// The two forms of the command line. CLI11 would show the one list of
// operands it parses as a single positional.
constexpr char kUsage[] =
    "Usage: vorpel-cli [OPTIONS] SOURCE... TARGET\n"
    "  or:  vorpel-cli --list [OPTIONS] SOURCE...\n";

constexpr char kPositionals[] =
    "Positionals:\n"
    "  SOURCE...                 The source text files, each read whole and\n"
    "                            cut on its own\n"
    "  TARGET                    The file to write, or - for standard output\n"
    "                            (none with --list)\n";

// Shows the negated flag without CLI11's "{false}" mark, and the operands
// as SOURCE... TARGET.
class HelpFormatter final : public CLI::Formatter {
 public:
  std::string make_option_name(const CLI::Option* option, bool positional) const override {
    std::string name = CLI::Formatter::make_option_name(option, positional);
    const std::string mark = "{false}";
    if (const auto at = name.find(mark); at != std::string::npos) name.erase(at, mark.size());
    return name;
  }
  std::string make_usage(const CLI::App* /*app*/, std::string /*name*/) const override {
    return kUsage;
  }
  std::string make_positionals(const CLI::App* /*app*/) const override {
    return std::string("\n") + kPositionals;
  }
};

constexpr char kDescription[] =
    "Cuts SOURCE into sequences of letters or words, then writes COUNT\n"
    "sequences drawn at random (with replacement) back to back to TARGET.\n"
    "A sequence is a run of LENGTH consecutive units of the source, in source\n"
    "order. They overlap, one starting at every unit (n units give\n"
    "n - LENGTH + 1 sequences, a source of fewer units one sequence of all of\n"
    "them); with --no-overlap they follow one another and the last may be\n"
    "shorter. A word runs up to and including the next separator character,\n"
    "and a word cut off by the end of the source is closed by the first\n"
    "separator character. Several sources are each cut on their own with the\n"
    "same options, and each is judged on its own for its encoding: the pool\n"
    "holds the sequences of all of them, in the order given, and no sequence\n"
    "spans two sources. With --list the pool is printed instead of drawn from.\n";

constexpr char kFooter[] =
    "The capitalization fix turns into a capital the first letter of the text\n"
    "and the first character after each sentence end (. ! ? _) that is not a\n"
    "separator, when it is a letter a-z; it reads the text as UTF-8 only when\n"
    "every SOURCE is UTF-8. TARGET is replaced only once the whole text is\n"
    "written: if anything fails, an existing TARGET stays whole.\n"
    "\n"
    "--list prints one sequence a line, so that every line is one sequence\n"
    "and nothing is lost: a backslash as \\\\, line feed, carriage return and\n"
    "tab as \\n \\r \\t, every other control byte, and every byte from 0x80\n"
    "up that is not part of a whole UTF-8 character (all of an 8-bit\n"
    "SOURCE's), as \\xHH (two upper-case hex digits); UTF-8 characters as\n"
    "they are. A last line gives the number of sequences and each SOURCE's\n"
    "name, escaped alike, and encoding: '3 sequences; a.txt: UTF-8; b.txt:\n"
    "8-bit' (or bytes, for --encoding bytes); '3 overlapping sequences; ...'\n"
    "when they overlap (a length of 2 or more without --no-overlap).\n"
    "\n"
    "Numbers: -l and -n are taken as the window takes them: blanks around,\n"
    "a sign, a decimal point and an exponent are allowed (' 7 ', '+5',\n"
    "'12.5', '1e3'), and the number is rounded to the nearest whole one, a\n"
    "half to the even one (12.5 gives 12, 13.5 gives 14). -l must lie in 0\n"
    "to 100 before rounding (99.5 gives 100, 100.4 is refused). -n of 0 or\n"
    "less writes an empty TARGET; -n may go up to 9223372036854775807,\n"
    "where the window stops at 32767.\n"
    "\n"
    "Exit status: 0 on success (only --list prints anything); 1 when the\n"
    "command fails: a missing SOURCE (each one is named; nothing is written),\n"
    "sources without sequences (empty, or a length of 0; --list shows an\n"
    "empty pool, but refuses a length of 0), an existing TARGET without -f,\n"
    "a file that cannot be read or written, or memory that runs out (the\n"
    "message and the path go to standard error); 2 for bad arguments.";

// CLI11 reads "--separator=" as the option without a value and then takes
// the next argument as its value. Handing it "--separator" and "" keeps the
// empty value. Returned in reverse order, as CLI11's parse wants it.
std::vector<std::string> SplitEmptyLongValues(int argc, const char* const* argv) {
  std::vector<std::string> args;
  bool options_ended = false;
  for (int i = 1; i < argc; ++i) {
    const std::string_view arg = argv[i];
    if (arg == "--") options_ended = true;
    if (!options_ended && arg.size() > 3 && arg.starts_with("--") && arg.ends_with('=') &&
        arg.find('=') == arg.size() - 1) {
      args.emplace_back(arg.substr(0, arg.size() - 1));
      args.emplace_back();
    } else {
      args.emplace_back(arg);
    }
  }
  return {args.rbegin(), args.rend()};
}

}  // namespace

std::optional<std::string> DecodeEscapes(std::string_view text) {
  std::string decoded;
  decoded.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '\\') {
      decoded.push_back(text[i]);
      continue;
    }
    if (++i == text.size()) return std::nullopt;  // a backslash at the end
    switch (text[i]) {
      case 'n': decoded.push_back('\n'); break;
      case 'r': decoded.push_back('\r'); break;
      case 't': decoded.push_back('\t'); break;
      case '\\': decoded.push_back('\\'); break;
      default: return std::nullopt;
    }
  }
  return decoded;
}

std::optional<std::int16_t> ParseLength(std::string_view text) {
  if (!IsNumberInRange(text, 0, 100)) return std::nullopt;
  return ToInt16(text);
}

std::optional<std::int64_t> ParseCount(std::string_view text) {
  const auto count = ToInt64(text);
  if (!count || *count > kMaxCount) return std::nullopt;
  return count;
}

std::optional<std::uint64_t> ParseDecimal(std::string_view text, std::uint64_t max) {
  if (text.empty()) return std::nullopt;
  for (const char c : text) {
    if (c < '0' || c > '9') return std::nullopt;
  }
  std::uint64_t value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error != std::errc() || end != text.data() + text.size() || value > max) return std::nullopt;
  return value;
}

ParseOutcome ParseArguments(int argc, const char* const* argv, std::ostream& out,
                            std::ostream& err) {
  CLI::App app(kDescription, "vorpel-cli");
  app.formatter(std::make_shared<HelpFormatter>());
  app.get_formatter()->column_width(28);
  app.footer(kFooter);
  app.failure_message(CLI::FailureMessage::help);
  app.set_version_flag("--version", std::string("vorpel-cli ") + VORPEL_VERSION,
                       "Print the version and exit");

  CliOptions options;
  std::string unit = "words";
  std::string length_text = "4";
  std::string count_text = "128";
  std::string seed_text;

  app.add_option("-u,--unit", unit,
                 "Kind of unit: one letter (one character) or\none word (default words)")
      ->check(CLI::IsMember({"letters", "words"}).description(""))
      ->type_name("letters|words");
  app.add_option("-l,--length", length_text,
                 "Units per sequence, 0 to 100 (default 4). A\n"
                 "length of 0 cuts no sequences, so nothing can\n"
                 "be drawn")
      ->check(SequenceLength())
      ->type_name("N");
  app.add_option("-s,--separator", options.word_sep,
                 "Word separator, UTF-8 text: each character of\n"
                 "TEXT ends a word (default one space); in an\n"
                 "8-bit source a character matches its Latin-1\n"
                 "or Windows-1252 byte. The escapes \\n \\r\n"
                 "\\t \\\\ are understood. TEXT may be empty: the\n"
                 "whole source is then one word. A byte that is\n"
                 "no UTF-8 matches only in an 8-bit source, but\n"
                 "as the first separator it closes a last word")
      ->transform(SeparatorEscapes())
      ->type_name("TEXT");
  app.add_option("-n,--count", count_text,
                 "Sequences to draw (default 128; at most\n"
                 "9223372036854775807; 0 or less: none)")
      ->check(SequenceCount())
      ->type_name("N");
  app.add_flag("--overlap,!--no-overlap", options.overlap,
               "Overlapping sequences, one starting at every\n"
               "unit (default, as the window's Multiple\n"
               "Sequences box ticked), or sequences one after\n"
               "another (the box clear)")
      ->multi_option_policy(CLI::MultiOptionPolicy::TakeLast);
  std::string mix = "pool";
  app.add_option("--mix", mix,
                 "How the draws share out among several\n"
                 "SOURCEs (default pool). pool: every sequence\n"
                 "of the pool equally likely, so a long SOURCE\n"
                 "gives most of them. equal: first one of the\n"
                 "SOURCEs that have sequences, each equally\n"
                 "likely, then one of its sequences. With one\n"
                 "SOURCE both give the same bytes. --list does\n"
                 "not use it")
      ->check(CLI::IsMember({"pool", "equal"}).description(""))
      ->type_name("pool|equal")
      ->multi_option_policy(CLI::MultiOptionPolicy::TakeLast);
  app.add_flag("--fix-caps,!--no-fix-caps", options.fix_caps,
               "Fix the capitals of sentence starts as the\ntext is written, or not (default on)")
      ->multi_option_policy(CLI::MultiOptionPolicy::TakeLast);
  app.add_flag("-f,--overwrite", options.overwrite,
               "Replace an existing TARGET (default: refuse\nand exit 1)");
  CLI::Option* seed_option = app.add_option("--seed", seed_text,
                                            "Seed of the draws, 0 to 18446744073709551615:\n"
                                            "the same seed, source and options give the\n"
                                            "same bytes on every platform (default: a new\n"
                                            "seed from the clock on every run)")
                                 ->check(DecimalAtMost(kMaxSeed))
                                 ->type_name("N");
  std::string encoding = "auto";
  app.add_option("--encoding", encoding,
                 "How each SOURCE's bytes stand for characters\n"
                 "(default auto). auto: a source that is\n"
                 "valid UTF-8 is read as UTF-8, where a\n"
                 "character is what a reader sees as one (a\n"
                 "letter with its accents, an emoji with its\n"
                 "skin tone), CR and LF apart; any other\n"
                 "source as 8-bit text, one\n"
                 "byte a character. utf-8: refuse a source\n"
                 "that is not valid UTF-8. bytes: one byte a\n"
                 "character, and the separator's bytes as\n"
                 "given")
      ->check(CLI::IsMember({"auto", "utf-8", "bytes"}).description(""))
      ->type_name("auto|utf-8|bytes");
  app.add_flag("--list", options.list,
               "Print the pool, one sequence a line, escaped,\n"
               "and a last line with the number of sequences\n"
               "and each SOURCE's encoding, instead of\n"
               "drawing from it (see below); -n, --seed,\n"
               "--mix, --fix-caps and -f do not apply");
  // SOURCE... TARGET, or SOURCE... with --list: one list, split below.
  std::vector<std::string> operands;
  app.add_option("SOURCE", operands)->type_name("");

  try {
    app.parse(SplitEmptyLongValues(argc, argv));
    if (options.list) {
      if (operands.empty()) throw CLI::ValidationError("SOURCE", "--list needs a SOURCE");
    } else {
      if (operands.size() < 2) {
        throw CLI::ValidationError("SOURCE... TARGET", "a SOURCE and a TARGET are needed");
      }
      options.target = std::move(operands.back());
      operands.pop_back();
    }
    options.sources = std::move(operands);
  } catch (const CLI::ParseError& error) {
    const int code = app.exit(error, out, err);
    return {std::nullopt, code == 0 ? kExitSuccess : kExitBadArguments};
  }

  // Every text below has passed its check, so the conversions succeed.
  options.unit_mode = unit == "letters" ? kLettersMode : kWordsMode;
  options.encoding = encoding == "utf-8"   ? EncodingChoice::Utf8
                     : encoding == "bytes" ? EncodingChoice::Bytes
                                           : EncodingChoice::Auto;
  options.mix = mix == "equal" ? Mix::Equal : Mix::Pool;
  options.seq_length = *ParseLength(length_text);
  options.count = *ParseCount(count_text);
  if (seed_option->count() > 0) options.seed = *ParseDecimal(seed_text, kMaxSeed);
  return {std::move(options), kExitSuccess};
}

}  // namespace vorpel
