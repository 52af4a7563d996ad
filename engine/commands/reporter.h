#pragma once

#include <string_view>

#include "file_error.h"

namespace vorpel {

// The errors the program reports, one error dialog each. Each has one fixed
// message; the window layer gives the dialogs their captions and layout.
enum class ErrorKind {
  FNE,  // source file missing
  NFN,  // number of sequences not numeric
  CO,   // invalid target
  OC,   // invalid field in the Options dialog
  R,    // nothing read yet
  NR,   // number of sequences out of the 16-bit range
  IO,   // a file could not be read or written
};

// The error dialog's fixed message, e.g. "The file you are trying to read doesn't
// exist." for ErrorFNE.
std::string_view DialogMessage(ErrorKind error);

// How the engine tells the user about a refused or failed command: one beep,
// then one error dialog. The window layer implements it with the system beep
// and its dialogs; the batch command prints to standard error; tests record.
class Reporter {
 public:
  virtual ~Reporter() = default;
  virtual void Beep() = 0;
  // detail: what the fixed message is about (the path, the number text, or
  // for ErrorIO "path: system reason"). Dialogs with a fixed text may
  // ignore it.
  virtual void ShowError(ErrorKind error, std::string_view detail) = 0;
};

// Beep, then show the dialog: the one way the engine reports an error.
void ReportError(Reporter& reporter, ErrorKind error, std::string_view detail = {});

// Beep, then ErrorIO with "path: reason". When memory is too short even
// for that text, the detail is the reason alone, which needs none.
void ReportFileError(Reporter& reporter, const FileError& error);

}  // namespace vorpel
