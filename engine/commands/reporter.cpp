#include "reporter.h"

#include <new>
#include <string>

namespace vorpel {

std::string_view DialogMessage(ErrorKind error) {
  switch (error) {
    case ErrorKind::FNE: return "The file you are trying to read doesn't exist.";
    case ErrorKind::NFN: return "The number of words must be an integer.";
    case ErrorKind::CO: return "You are trying to write to an invalid source.";
    case ErrorKind::OC: return "At least one of the fields in the Options Dialog is not valid.";
    case ErrorKind::R: return "You must read a file before you can write to one.";
    case ErrorKind::NR: return "The number of sequences must lie between -32768 and 32767.";
    case ErrorKind::IO: return "The file could not be read or written.";
  }
  return {};
}

void ReportError(Reporter& reporter, ErrorKind error, std::string_view detail) {
  reporter.Beep();
  reporter.ShowError(error, detail);
}

void ReportFileError(Reporter& reporter, const FileError& error) {
  std::string detail;
  try {
    detail = error.Describe();
  } catch (const std::bad_alloc&) {
    ReportError(reporter, ErrorKind::IO, "Cannot allocate memory");
    return;
  }
  ReportError(reporter, ErrorKind::IO, detail);
}

}  // namespace vorpel
