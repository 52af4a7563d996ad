#pragma once

#include <cstdint>

#include "form_dialog.h"

namespace vorpel {

class PictureBox;

// The information dialogs: fixed text, one button that hides the dialog.
enum class InfoDialogKind { AboutAuthor, AboutCorvane, AboutVorpel, License, Done };

// The dialog's object name: "AboutAuthor", ..., "Done".
QString InfoDialogName(InfoDialogKind kind);

// Makes the dialog, hidden, with its Load step run.
FormDialog* CreateInfoDialog(InfoDialogKind kind);

// A dialog's caption, frame and controls; the tables are in info_dialogs.cpp.
struct InfoDialogSpec;

// Done, License, AboutAuthor and AboutCorvane: a table of controls and a
// button that hides them.
class InfoDialog : public FormDialog {
  Q_OBJECT
 public:
  explicit InfoDialog(const InfoDialogSpec& spec);
  Q_DISABLE_COPY_MOVE(InfoDialog)
};

// AboutVorpel: a click on the picture swaps the product picture for the
// maker picture and back.
class AboutVorpelDialog final : public InfoDialog {
  Q_OBJECT
 public:
  AboutVorpelDialog();
  Q_DISABLE_COPY_MOVE(AboutVorpelDialog)

  // 0 while the product picture is shown, 1 while the maker picture is.
  std::int16_t AboutIconState() const { return about_icon_state_; }

 private:
  void OnVorpelPictureClicked();
  void OnCorvanePictureClicked();

  std::int16_t about_icon_state_ = 0;
  PictureBox* icn_vorpel_ = nullptr;
  PictureBox* icn_corvane_ = nullptr;
};

}  // namespace vorpel
