#include "reporter.h"

namespace vorpel {

std::string_view DialogName(ErrorDialog dialog) {
  switch (dialog) {
    case ErrorDialog::FNE: return "ErrorFNE";
    case ErrorDialog::NFN: return "ErrorNFN";
    case ErrorDialog::CO: return "ErrorCO";
    case ErrorDialog::OC: return "ErrorOC";
    case ErrorDialog::R: return "ErrorR";
    case ErrorDialog::NR: return "ErrorNR";
    case ErrorDialog::IO: return "ErrorIO";
  }
  return {};
}

std::string_view DialogMessage(ErrorDialog dialog) {
  switch (dialog) {
    case ErrorDialog::FNE: return "The file you are trying to read doesn't exist.";
    case ErrorDialog::NFN: return "The number of words must be an integer.";
    case ErrorDialog::CO: return "You are trying to write to an invalid source.";
    case ErrorDialog::OC: return "At least one of the fields in the Options Dialog is not valid.";
    case ErrorDialog::R: return "You must read a file before you can write to one.";
    case ErrorDialog::NR: return "The number of sequences must lie between -32768 and 32767.";
    case ErrorDialog::IO: return "The file could not be read or written.";
  }
  return {};
}

void ReportError(Reporter& reporter, ErrorDialog dialog, std::string_view detail) {
  reporter.Beep();
  reporter.ShowError(dialog, detail);
}

}  // namespace vorpel
