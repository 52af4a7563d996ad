#include "cli_command.h"

#include <unistd.h>

#include <iostream>
#include <new>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "atomic_file_writer.h"
#include "capitalization_fix.h"
#include "descriptor_sink.h"
#include "file_reading.h"
#include "pool_listing.h"
#include "random_draw.h"
#include "sequence_writer.h"
#include "session.h"
#include "source_reader.h"
#include "write_pipeline.h"

namespace vorpel {
namespace {

constexpr char kStandardOutput[] = "-";
constexpr char kStandardOutputName[] = "standard output";

// The batch command's own words for sources that give nothing to draw,
// where the window, which keeps the pool between commands, asks for a Read.
constexpr char kEmptySource[] = "No sequences to draw: the source is empty.";
constexpr char kEmptySources[] = "No sequences to draw: the sources are empty.";
constexpr char kZeroLength[] = "No sequences to draw: the length is 0.";
constexpr char kZeroLengthList[] = "No sequences to list: the length is 0.";

// Prints message followed by the names of the sources, one line.
void PrintAboutSources(std::ostream& err, const char* message,
                       const std::vector<std::string>& sources) {
  err << message;
  for (const std::string& source : sources) err << ' ' << source;
  err << '\n' << std::flush;
}

// Reports every source that does not exist; true when one was missing.
bool ReportMissingSources(const std::vector<std::string>& sources, Reporter& reporter) {
  bool missing = false;
  for (const std::string& source : sources) {
    if (!FileExists(source)) {
      ReportError(reporter, ErrorKind::FNE, source);
      missing = true;
    }
  }
  return missing;
}

// Reads each source on its own, in order, into a pool of its own: each is
// judged on its own for its encoding, and a word cut off by a source's end
// is closed there. False (reported) when one could not be read.
bool ReadSources(Session& session, const CliOptions& options, Reporter& reporter,
                 std::vector<SequencePool>& parts, const char*& at) {
  parts.reserve(options.sources.size());
  for (const std::string& source : options.sources) {
    at = source.c_str();
    if (ReadSource(session, source, reporter, options.encoding) != ReadOutcome::Read) return false;
    parts.push_back(std::move(session.pool));
  }
  return true;
}

// The settings of the command line, for the reader and the writer.
void ApplySettings(const CliOptions& options, GenerationSettings& settings) {
  settings.SetDefaultOptions();
  settings.UnitMode = options.unit_mode;
  settings.SeqLength = options.seq_length;
  settings.WordSep = options.word_sep;
  settings.MultSeq = options.overlap ? 1 : 0;
  settings.FixCap = options.fix_caps ? 1 : 0;
  settings.OWrite = options.overwrite ? 1 : 0;
  settings.NoSeq = 0;  // the count is 64-bit here and travels on its own
}

// --list: reads every source, then prints the items of all of them and a
// last line on the sources; nothing is printed unless every source was read.
int RunListSteps(const CliOptions& options, int output_fd, std::ostream& err, const char*& at) {
  StreamReporter reporter(err);
  Session session;
  ApplySettings(options, session.settings);
  if (ReportMissingSources(options.sources, reporter)) return kExitFailure;
  // A length of 0 reads no source, so there would be no encoding to show.
  if (session.settings.SeqLength <= 0) {
    PrintAboutSources(err, kZeroLengthList, options.sources);
    return kExitFailure;
  }
  std::vector<SequencePool> parts;
  if (!ReadSources(session, options, reporter, parts, at)) return kExitFailure;
  at = kStandardOutputName;
  DescriptorSink output(output_fd, kStandardOutputName);
  // Sequences of one unit each are the same either way, and overlap nothing.
  const bool overlapping = CutsOverlapping(session.settings) && session.settings.SeqLength > 1;
  if (auto error = WritePoolListing(parts, options.sources, output, overlapping)) {
    if (error->path.empty()) error->path = at;
    ReportFileError(reporter, *error);
    return kExitFailure;
  }
  return kExitSuccess;
}

// Prints the file-error message for memory that ran out while working on
// path, without asking for any memory itself.
void PrintOutOfMemory(std::ostream& err, const char* path) {
  err << DialogMessage(ErrorKind::IO) << ' ';
  if (*path != '\0') err << path << ": ";
  err << "Cannot allocate memory\n" << std::flush;
}

// The command's steps. at names the file being worked on, for the message
// when memory runs out in a place that cannot report it itself.
int RunSteps(const CliOptions& options, int output_fd, std::ostream& err, const char*& at) {
  if (options.list) return RunListSteps(options, output_fd, err, at);
  StreamReporter reporter(err);
  Session session;
  GenerationSettings& settings = session.settings;
  ApplySettings(options, settings);

  // Every check runs before anything is read, so a refused command costs
  // nothing and reports all its problems at once.
  const bool to_output_fd = options.target == kStandardOutput;
  bool refused = ReportMissingSources(options.sources, reporter);
  if (!to_output_fd && IsRefusedTarget(options.target, ReplacesExistingTarget(settings))) {
    ReportError(reporter, ErrorKind::CO, options.target);
    refused = true;
  }
  if (refused) return kExitFailure;
  // A folder, a missing folder or a read-only file is reported before the
  // long read; the target's new file itself is made only once the source
  // has been read, so a source that never comes (a pipe nobody writes to)
  // leaves nothing behind.
  if (!to_output_fd) {
    if (auto error = CheckTarget(options.target, LinkPolicy::Follow)) {
      ReportFileError(reporter, *error);
      return kExitFailure;
    }
  }

  {
    std::vector<SequencePool> parts;
    if (!ReadSources(session, options, reporter, parts, at)) return kExitFailure;
    // The fix reads the drawn text as UTF-8 only when every source was.
    session.pool = SequencePool::Join(std::move(parts));
  }
  if (session.pool.Empty()) {
    const char* message = settings.SeqLength <= 0       ? kZeroLength
                          : options.sources.size() == 1 ? kEmptySource
                                                        : kEmptySources;
    PrintAboutSources(err, message, options.sources);
    return kExitFailure;
  }

  at = to_output_fd ? kStandardOutputName : options.target.c_str();
  // The new file replaces the target only at the commit; on any failure,
  // or when the process is ended before, it is gone.
  AtomicFileWriter file;
  DescriptorSink output(output_fd, kStandardOutputName);
  ByteSink* sink = &output;
  if (!to_output_fd) {
    if (auto error = file.Open(options.target, LinkPolicy::Follow)) {
      ReportFileError(reporter, *error);
      return kExitFailure;
    }
    sink = &file;
  }
  std::optional<CapitalizingSink> fixer;
  if (FixesCapitals(settings)) {
    fixer.emplace(*sink, settings.WordSep, SentenceEndMarks, session.pool.ItemEncoding());
    sink = &*fixer;
  }
  // The clock is asked only when no seed is given.
  RandomDraw draw(options.seed ? *options.seed : ClockSeed());
  if (auto error = DrawSequences(session.pool, options.count, draw, *sink, options.mix)) {
    if (error->path.empty()) error->path = at;
    ReportFileError(reporter, *error);
    return kExitFailure;
  }
  if (fixer) {
    if (auto error = fixer->Finish()) {
      ReportFileError(reporter, *error);
      return kExitFailure;
    }
  }
  if (!to_output_fd) {
    if (auto error = file.Commit()) {
      ReportFileError(reporter, *error);
      return kExitFailure;
    }
  }
  return kExitSuccess;
}

}  // namespace

void StreamReporter::ShowError(ErrorKind dialog, std::string_view detail) {
  err_ << DialogMessage(dialog);
  if (!detail.empty()) err_ << ' ' << detail;
  err_ << '\n' << std::flush;
}

int RunCommand(const CliOptions& options, int output_fd, std::ostream& err) {
  const char* at = "";
  try {
    return RunSteps(options, output_fd, err, at);
  } catch (const std::bad_alloc&) {
    // Whatever was being written is gone with the writer's destructor.
    PrintOutOfMemory(err, at);
    return kExitFailure;
  }
}

int CliMain(int argc, const char* const* argv) {
  try {
    const ParseOutcome parsed = ParseArguments(argc, argv, std::cout, std::cerr);
    if (!parsed.options) return parsed.exit_code;
    return RunCommand(*parsed.options, STDOUT_FILENO, std::cerr);
  } catch (const std::bad_alloc&) {
    PrintOutOfMemory(std::cerr, "");
    return kExitFailure;
  }
}

}  // namespace vorpel
