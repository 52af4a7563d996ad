#pragma once

#include <iosfwd>
#include <string_view>

#include "cli_options.h"
#include "reporter.h"

namespace vorpel {

// Prints each error as the dialog's fixed message followed by its detail
// (the path, or "path: reason"), one line each. There is no beep.
class StreamReporter final : public Reporter {
 public:
  explicit StreamReporter(std::ostream& err) : err_(err) {}
  void Beep() override {}
  void ShowError(ErrorKind dialog, std::string_view detail) override;

 private:
  std::ostream& err_;
};

// Runs one batch command: checks the sources and the target, reads each
// source on its own into one pool, draws options.count sequences and writes
// them to the target file (replaced atomically) or, for "-", to output_fd,
// with the capitalization fix applied on the way when it is on. With
// options.list it prints the pool to output_fd instead. Errors go to err.
// Returns kExitSuccess or kExitFailure.
int RunCommand(const CliOptions& options, int output_fd, std::ostream& err);

// The whole program: parse, then run with standard output and error.
int CliMain(int argc, const char* const* argv);

}  // namespace vorpel
