#include "write_pipeline.h"

#include "capitalization.h"
#include "file_reading.h"
#include "numeric_text.h"
#include "sequence_writer.h"

namespace vorpel {

bool IsRefusedTarget(const std::filesystem::path& target, std::int16_t owrite) {
  return target.empty() || (FileExists(target) && owrite == 0);
}

bool ValidateWrite(const Session& session, const WriteRequest& request, Reporter& reporter) {
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
  if (IsRefusedTarget(request.target, session.settings.OWrite)) {
    ReportError(reporter, ErrorKind::CO, request.target.string());
    refused = true;
  }
  return refused;
}

WriteOutcome RunWriteCommand(Session& session, const WriteRequest& request, Reporter& reporter,
                             const WriteCommandOptions& options) {
  if (ValidateWrite(session, request, reporter)) return WriteOutcome::Refused;
  const bool overwrite = session.settings.OWrite == 1;
  GenerationSettings& settings = session.settings;
  settings.NoSeq = *ToInt16(request.number_text);

  FileStatus status;
  if (settings.FixCap == 1) {
    WriterOptions writer_options{options.seed, LinkPolicy::Replace};
    status = WriteSequences(session.pool, options.temp_path, settings.NoSeq, true, writer_options);
    if (!status) {
      status = FixCapitalization(options.temp_path, request.target, SentenceEndMarks,
                                 settings.WordSep, session.pool.ItemEncoding());
    }
  } else {
    status = WriteSequences(session.pool, request.target, settings.NoSeq, overwrite,
                            WriterOptions{options.seed, LinkPolicy::Follow});
  }
  if (status) {
    ReportError(reporter, ErrorKind::IO, status->Describe());
    return WriteOutcome::Failed;
  }
  return WriteOutcome::Written;
}

}  // namespace vorpel
