#include "write_pipeline.h"

#include <new>

#include "capitalization_fix.h"
#include "file_reading.h"
#include "numeric_text.h"
#include "sequence_writer.h"

namespace vorpel {

bool IsRefusedTarget(const std::filesystem::path& target, bool replaces_existing) {
  return target.empty() || (FileExists(target) && !replaces_existing);
}

WriteCheck ValidateWrite(const Session& session, const WriteRequest& request, Reporter& reporter) {
  bool refused = false;
  if (!IsNumericText(request.number_text)) {
    ReportError(reporter, ErrorKind::NFN, request.number_text);
    refused = true;
  } else if (!ToInt16(request.number_text)) {
    // Numeric, but the rounded count does not fit the 16-bit setting.
    ReportError(reporter, ErrorKind::NR, request.number_text);
    refused = true;
  }
  if (session.pool.Empty()) {
    ReportError(reporter, ErrorKind::R);
    refused = true;
  }
  if (IsRefusedTarget(request.target, ReplacesExistingTarget(session.settings))) {
    ReportError(reporter, ErrorKind::CO, request.target.string());
    refused = true;
  }
  return refused ? WriteCheck::Refused : WriteCheck::Passed;
}

namespace {

FileStatus WriteTarget(const Session& session, const WriteRequest& request,
                       const WriteCommandOptions& options) {
  const GenerationSettings& settings = session.settings;
  if (!FixesCapitals(settings)) {
    return WriteSequences(session.pool, request.target, settings.NoSeq,
                          ReplacesExistingTarget(settings),
                          WriterOptions{options.seed, LinkPolicy::Follow});
  }
  std::filesystem::path temp_path = options.temp_path;
  if (temp_path.empty()) {
    if (auto error = TempFilePath(temp_path)) return error;
  }
  // The intermediate file is scratch, read back through its own
  // descriptor: it needs no sync, only the target does.
  FileDescriptor drawn;
  WriterOptions writer_options{options.seed, LinkPolicy::Replace, NewFileMode::Private, &drawn,
                               Durability::Scratch};
  if (auto error = WriteSequences(session.pool, temp_path, settings.NoSeq, true, writer_options)) {
    return error;
  }
  if (options.between_steps) options.between_steps();
  return FixCapitalization(drawn, temp_path.native(), request.target, SentenceEndMarks,
                           settings.WordSep, session.pool.ItemEncoding());
}

}  // namespace

WriteOutcome RunWriteCommand(Session& session, const WriteRequest& request, Reporter& reporter,
                             const WriteCommandOptions& options) {
  FileStatus status;
  try {
    if (ValidateWrite(session, request, reporter) == WriteCheck::Refused) {
      return WriteOutcome::Refused;
    }
    session.settings.NoSeq = *ToInt16(request.number_text);
    status = WriteTarget(session, request, options);
  } catch (const std::bad_alloc&) {
    status = OutOfMemoryError(request.target.native());
  }
  if (!status) return WriteOutcome::Written;
  ReportFileError(reporter, *status);
  return WriteOutcome::Failed;
}

}  // namespace vorpel
