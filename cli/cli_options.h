#pragma once

#include <cstdint>
#include <iosfwd>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "generation_settings.h"
#include "sequence_writer.h"
#include "source_reader.h"

namespace vorpel {

// What one run of the batch command does, as given on its command line.
struct CliOptions {
  std::int16_t unit_mode = kWordsMode;
  std::int16_t seq_length = 4;
  std::string word_sep = " ";
  std::int64_t count = 128;
  bool overlap = true;  // one sequence starting at every unit
  Mix mix = Mix::Pool;  // how the draws share out among the sources
  bool fix_caps = true;
  bool overwrite = false;
  std::optional<std::uint64_t> seed;  // none: seeded from the clock
  EncodingChoice encoding = EncodingChoice::Auto;
  std::vector<std::string> sources;  // one or more, in the order given
  std::string target;                // "-" is standard output; empty with list
  bool list = false;                 // print the pool instead of drawing from it
};

// The exit codes of the batch command.
inline constexpr int kExitSuccess = 0;
inline constexpr int kExitFailure = 1;  // refused, or a file could not be read or written
inline constexpr int kExitBadArguments = 2;

struct ParseOutcome {
  std::optional<CliOptions> options;  // set when the command is to run
  int exit_code = kExitSuccess;       // otherwise: how the process ends
};

// Parses the command line (argv[0] is the program's name). The operands
// are SOURCE... TARGET, or SOURCE... alone with --list. --help and
// --version print to out and end with exit code 0; bad arguments (an
// operand too few among them) print the reason and the usage text to err
// and end with exit code 2.
ParseOutcome ParseArguments(int argc, const char* const* argv, std::ostream& out,
                            std::ostream& err);

// The separator text with the escapes \n, \r, \t and \\ replaced by the
// bytes they stand for; nullopt when text holds any other backslash.
std::optional<std::string> DecodeEscapes(std::string_view text);

// The largest count the batch command draws.
inline constexpr std::int64_t kMaxCount = INT64_MAX;

// -l: a numeric text (IsNumericText) whose number, before rounding, lies
// in 0..100, rounded half to even as ToInt16 does; nullopt otherwise.
std::optional<std::int16_t> ParseLength(std::string_view text);

// -n: a numeric text rounded half to even, at most kMaxCount; 0 or a
// negative count draws nothing. nullopt otherwise.
std::optional<std::int64_t> ParseCount(std::string_view text);

// A decimal number made of digits only (no sign, no blanks, no base
// prefix; leading zeros allowed) that is at most max; nullopt otherwise.
std::optional<std::uint64_t> ParseDecimal(std::string_view text, std::uint64_t max);

}  // namespace vorpel
