#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <string_view>

#include "reporter.h"
#include "session.h"
#include "temp_file_path.h"

namespace vorpel {

// Bytes that end a sentence for the capitalization fix.
inline constexpr char SentenceEndMarks[] = ".!?_";

// What the Write command reads from the main window.
struct WriteRequest {
  std::string_view number_text;  // txtNoSeq, as typed
  std::filesystem::path target;  // txtTo, as typed
};

// True when a Write may not go to target: an empty path, or an existing
// file that may not be replaced.
bool IsRefusedTarget(const std::filesystem::path& target, bool replaces_existing);

// What the checks of a Write found.
enum class WriteCheck {
  Passed,   // the Write may go ahead
  Refused,  // at least one check failed and was reported
};

// Runs every check of a Write, in order, each failure reported with a beep
// and its dialog: the number text (ErrorNFN when not numeric, ErrorNR when
// it rounds outside -32768..32767), the pool (ErrorR when empty), the
// target (ErrorCO when empty, or an existing file while OWrite is 0).
WriteCheck ValidateWrite(const Session& session, const WriteRequest& request, Reporter& reporter);

struct WriteCommandOptions {
  // The intermediate file; empty for the user's own (TempFilePath).
  std::filesystem::path temp_path;
  std::optional<std::uint64_t> seed;  // for reproducible tests
  // Called on the capitalization route between the drawing and the fix,
  // for tests that play a second program replacing the intermediate file.
  std::function<void()> between_steps;
};

enum class WriteOutcome {
  Refused,  // a check failed; nothing changed
  Failed,   // a file could not be written: ErrorIO reported, old files kept
  Written,  // the target holds the new text
};

// The Write command: validates, sets NoSeq, then writes the target straight
// (FixCap not 1) or through the intermediate file and the capitalization
// fix (FixCap 1). Without a usable place for the user's intermediate file
// the capitalization route is refused with ErrorIO, nothing written. The
// intermediate file is replaced by one of mode 0600,
// and the fix reads the text back through the descriptor the drawing
// wrote it with: another program replacing the file meanwhile changes
// nothing in this Write's target. A failure, running out of memory
// included, is reported with ErrorIO and leaves the pool and the target
// as they were.
WriteOutcome RunWriteCommand(Session& session, const WriteRequest& request, Reporter& reporter,
                             const WriteCommandOptions& options = {});

}  // namespace vorpel
