#include "info_dialogs.h"

#include <QPushButton>
#include <array>
#include <span>

#include "control_table.h"
#include "dialog_names.h"
#include "picture_box.h"
#include "pictures.h"
#include "qt_text.h"

namespace vorpel {

struct InfoDialogSpec {
  QLatin1String name;
  const char* caption;
  int client_width, client_height;  // twips
  bool maximize_button;
  const char* button_name;  // the one button, which hides the dialog
  std::span<const ControlSpec> controls;
};

namespace {

using enum ControlKind;

constexpr std::array<ControlSpec, 1> kDoneControls{{
    {"btnDone", Button, "OK", 360, 120, 975, 375, 0},
}};

constexpr std::array<ControlSpec, 2> kLicenseControls{{
    {"lblText", Label,
     "Vorpel is free software under the MIT License: you may use, copy, change and share it. "
     "It comes with no warranty. The full terms are in the file LICENSE.",
     120, 240, 3135, 975, 0},
    {"Ok", Button, "Ok", 3360, 120, 1215, 375, 1},
}};

constexpr std::array<ControlSpec, 3> kAboutAuthorControls{{
    {"lblText", Label, "To find out about the author, you can visit the web site:", 120, 240, 3135,
     495, 0},
    {"lblWebSite", Label, "     https://vorpel.example.org/", 120, 720, 3135, 255, 1},
    {"Ok", Button, "Ok", 3360, 120, 1215, 375, 2},
}};

// Label3's rectangle reaches below the client area; its one line lies well
// inside.
constexpr std::array<ControlSpec, 6> kAboutCorvaneControls{{
    {"Ok", Button, "Ok", 4440, 120, 1215, 375, 0},
    {"icnCorvane", Picture, kMakerPicturePath, 240, 240, 720, 720, 1},
    {"lblWebPage", Label,
     "To find out more about Corvane Software and about other programs made by Corvane Software "
     "you can visit our web site. Our website can be reached from the web site: ",
     1080, 120, 3135, 975, 2},
    {"lblGetWebPage", Label,
     " Or, we will send you the current URL of Corvane Software's home pae if you send an e-mail "
     "to:",
     1080, 1200, 3255, 735, 3},
    {"lblSiteAddress", Label, "      https://corvane.example.org/", 1080, 960, 3135, 255, 4},
    {"Label3", Label, "      corvane@example.org", 1080, 1920, 2535, 1455, 5},
}};

// The two pictures share one square; only one is visible at a time.
constexpr std::array<ControlSpec, 7> kAboutVorpelControls{{
    {"lblName", Label, "Vorpel version 1.0", 1200, 240, 3135, 255, 0},
    {"lblAuthor", Label, "by the Vorpel developers", 1200, 720, 3135, 255, 1},
    {"lblCopywrite", Label, "Copyright 2026 the Vorpel developers", 1200, 480, 3135, 255, 2},
    {"Ok", Button, "Ok", 4440, 120, 1215, 375, 3},
    {"icnVorpel", Picture, kProductPicturePath, 240, 240, 720, 720, 4},
    {"icnCorvane", Picture, kMakerPicturePath, 240, 240, 720, 720, 5},
    {"lblComments", Label,
     "If you have any comments or thoughts on this program, please send them to "
     "vorpel@example.org",
     1200, 1080, 3135, 615, 6},
}};

constexpr InfoDialogSpec kDone{kDoneDialogName, "Done", 1740, 585, true, "btnDone", kDoneControls};
constexpr InfoDialogSpec kLicense{kLicenseDialogName, "License", 4695, 1215, false, "Ok",
                                  kLicenseControls};
constexpr InfoDialogSpec kAboutAuthor{
    kAboutAuthorDialogName, "About Author", 4695, 1155, false, "Ok", kAboutAuthorControls};
constexpr InfoDialogSpec kAboutCorvane{
    kAboutCorvaneDialogName, "About Corvane Software", 6300, 2235, false, "Ok",
    kAboutCorvaneControls};
constexpr InfoDialogSpec kAboutVorpel{
    kAboutVorpelDialogName, "About Vorpel", 5820, 1860, true, "Ok", kAboutVorpelControls};

const InfoDialogSpec& SpecOf(InfoDialogKind kind) {
  switch (kind) {
    case InfoDialogKind::AboutAuthor: return kAboutAuthor;
    case InfoDialogKind::AboutCorvane: return kAboutCorvane;
    case InfoDialogKind::AboutVorpel: return kAboutVorpel;
    case InfoDialogKind::License: return kLicense;
    case InfoDialogKind::Done: return kDone;
  }
  return kDone;
}

}  // namespace

QString InfoDialogName(InfoDialogKind kind) { return SpecOf(kind).name; }

FormDialog* CreateInfoDialog(InfoDialogKind kind) {
  switch (kind) {
    case InfoDialogKind::AboutVorpel: return new AboutVorpelDialog();
    case InfoDialogKind::AboutCorvane: {
      auto* dialog = new InfoDialog(kAboutCorvane);
      // The Load step: the picture is hidden at design.
      dialog->findChild<PictureBox*>(QStringLiteral("icnCorvane"))->show();
      return dialog;
    }
    case InfoDialogKind::Done: {
      auto* dialog = new InfoDialog(kDone);
      // Shown after every Write, it comes up on top but leaves the keyboard
      // with the main window, so the next number can be typed at once; a
      // click into it gives it the keyboard, and Enter then hides it.
      dialog->setAttribute(Qt::WA_ShowWithoutActivating);
      return dialog;
    }
    default: return new InfoDialog(SpecOf(kind));
  }
}

InfoDialog::InfoDialog(const InfoDialogSpec& spec)
    : FormDialog(spec.name, ToQString(spec.caption), spec.client_width, spec.client_height,
                 {FrameStyle::Sizable, spec.maximize_button}) {
  BuildControls(this, spec.controls);
  // The maker picture is hidden at design; the Load steps of the About
  // dialogs show the picture each starts with.
  for (PictureBox* picture : findChildren<PictureBox*>()) {
    picture->hide();
    picture->setAccessibleName(picture->objectName() == QLatin1String("icnVorpel")
                                   ? QStringLiteral("Vorpel picture")
                                   : QStringLiteral("Corvane Software picture"));
  }
  auto* button = findChild<QPushButton*>(ToQString(spec.button_name));
  SetDefaultButton(button);
  connect(button, &QPushButton::clicked, this, &QWidget::hide);
}

AboutVorpelDialog::AboutVorpelDialog() : InfoDialog(kAboutVorpel) {
  icn_vorpel_ = findChild<PictureBox*>(QStringLiteral("icnVorpel"));
  icn_corvane_ = findChild<PictureBox*>(QStringLiteral("icnCorvane"));
  connect(icn_vorpel_, &PictureBox::Clicked, this, &AboutVorpelDialog::OnVorpelPictureClicked);
  connect(icn_corvane_, &PictureBox::Clicked, this, &AboutVorpelDialog::OnCorvanePictureClicked);

  // The Load step.
  about_icon_state_ = 0;
  icn_corvane_->hide();
  icn_vorpel_->show();
}

void AboutVorpelDialog::OnVorpelPictureClicked() {
  if (about_icon_state_ != 0) return;
  icn_vorpel_->hide();
  icn_corvane_->show();
  about_icon_state_ = 1;
}

void AboutVorpelDialog::OnCorvanePictureClicked() {
  if (about_icon_state_ != 1) return;
  icn_corvane_->hide();
  icn_vorpel_->show();
  about_icon_state_ = 0;
}

}  // namespace vorpel
