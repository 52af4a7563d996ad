#pragma once

#include <QLatin1String>

#include "reporter.h"

namespace vorpel {

// The names by which the dialog registry knows the program's own dialogs;
// each is also the dialog's Qt object name.
inline constexpr QLatin1String kOptionsDialogName("Options");
inline constexpr QLatin1String kDoneDialogName("Done");
inline constexpr QLatin1String kLicenseDialogName("License");
inline constexpr QLatin1String kAboutAuthorDialogName("AboutAuthor");
inline constexpr QLatin1String kAboutCorvaneDialogName("AboutCorvane");
inline constexpr QLatin1String kAboutVorpelDialogName("AboutVorpel");

// The error dialog that shows an error the engine reports: "ErrorFNE",
// "ErrorNFN", ...
constexpr QLatin1String DialogName(ErrorKind error) {
  switch (error) {
    case ErrorKind::FNE: return QLatin1String("ErrorFNE");
    case ErrorKind::NFN: return QLatin1String("ErrorNFN");
    case ErrorKind::CO: return QLatin1String("ErrorCO");
    case ErrorKind::OC: return QLatin1String("ErrorOC");
    case ErrorKind::R: return QLatin1String("ErrorR");
    case ErrorKind::NR: return QLatin1String("ErrorNR");
    case ErrorKind::IO: return QLatin1String("ErrorIO");
  }
  return QLatin1String();
}

}  // namespace vorpel
