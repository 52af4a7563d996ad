#include "cli_command.h"

#include <unistd.h>

#include <iostream>
#include <optional>

#include "atomic_file_writer.h"
#include "capitalization.h"
#include "descriptor_sink.h"
#include "file_reading.h"
#include "random_draw.h"
#include "sequence_writer.h"
#include "session.h"
#include "source_reader.h"
#include "write_pipeline.h"

namespace vorpel {
namespace {

constexpr char kStandardOutput[] = "-";

void ReportFileError(Reporter& reporter, const FileError& error) {
  ReportError(reporter, ErrorKind::IO, error.Describe());
}

}  // namespace

void StreamReporter::ShowError(ErrorKind dialog, std::string_view detail) {
  err_ << DialogMessage(dialog);
  if (!detail.empty()) err_ << ' ' << detail;
  err_ << '\n' << std::flush;
}

int RunCommand(const CliOptions& options, int output_fd, std::ostream& err) {
  StreamReporter reporter(err);
  Session session;
  GenerationSettings& settings = session.settings;
  settings.SetDefaultOptions();
  settings.UnitMode = options.unit_mode;
  settings.SeqLength = options.seq_length;
  settings.WordSep = options.word_sep;
  settings.FixCap = options.fix_caps ? 1 : 0;
  settings.OWrite = options.overwrite ? 1 : 0;
  settings.NoSeq = 0;  // the count is 64-bit here and travels on its own

  // Every check runs before anything is read, so a refused command costs
  // nothing and reports all its problems at once.
  const bool to_output_fd = options.target == kStandardOutput;
  bool refused = false;
  if (!FileExists(options.source)) {
    ReportError(reporter, ErrorKind::FNE, options.source);
    refused = true;
  }
  if (!to_output_fd && IsRefusedTarget(options.target, settings.OWrite)) {
    ReportError(reporter, ErrorKind::CO, options.target);
    refused = true;
  }
  if (refused) return kExitFailure;

  // The target's new file is made before the long read, so a folder, a
  // missing folder or a read-only file is reported at once. It replaces
  // the target only at the commit; on any failure it is removed.
  AtomicFileWriter file;
  DescriptorSink output(output_fd, "standard output");
  ByteSink* sink = &output;
  if (!to_output_fd) {
    if (auto error = file.Open(options.target, LinkPolicy::Follow)) {
      ReportFileError(reporter, *error);
      return kExitFailure;
    }
    sink = &file;
  }

  if (ReadSource(session, options.source, reporter, options.encoding) != ReadOutcome::Read) {
    return kExitFailure;
  }
  if (session.pool.Empty()) {
    ReportError(reporter, ErrorKind::R, options.source);
    return kExitFailure;
  }

  std::optional<CapitalizingSink> fixer;
  if (settings.FixCap == 1) {
    fixer.emplace(*sink, settings.WordSep, SentenceEndMarks, session.pool.ItemEncoding());
    sink = &*fixer;
  }
  // The clock is asked only when no seed is given.
  RandomDraw draw(options.seed ? *options.seed : ClockSeed());
  if (auto error = DrawSequences(session.pool, options.count, draw, *sink)) {
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

int CliMain(int argc, const char* const* argv) {
  const ParseOutcome parsed = ParseArguments(argc, argv, std::cout, std::cerr);
  if (!parsed.options) return parsed.exit_code;
  return RunCommand(*parsed.options, STDOUT_FILENO, std::cerr);
}

}  // namespace vorpel
