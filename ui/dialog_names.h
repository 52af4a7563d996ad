#pragma once

#include <QLatin1String>

namespace vorpel {

// The names by which the dialog registry knows the program's own dialogs;
// each is also the dialog's Qt object name. The error dialogs are named by
// the engine (DialogName).
inline constexpr QLatin1String kOptionsDialogName("Options");
inline constexpr QLatin1String kDoneDialogName("Done");
inline constexpr QLatin1String kLicenseDialogName("License");
inline constexpr QLatin1String kAboutAuthorDialogName("AboutAuthor");
inline constexpr QLatin1String kAboutCorvaneDialogName("AboutCorvane");
inline constexpr QLatin1String kAboutVorpelDialogName("AboutVorpel");

}  // namespace vorpel
