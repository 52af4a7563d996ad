#include "error_dialog.h"

#include <QLabel>
#include <QPushButton>
#include <array>

#include "control_table.h"
#include "dialog_names.h"
#include "qt_text.h"

namespace vorpel {
namespace {

struct ErrorLayout {
  ErrorKind error;
  const char* caption;
  int client_width, client_height;
  const char* label_name;
  int label_left, label_top, label_width, label_height;
  const char* button_name;  // a button, whatever its prefix says
  int button_left, button_top, button_width, button_height;
};

// Twips. The last two dialogs follow the pattern of ErrorFNE; the file error
// dialog is wider and taller, for a path and the system's reason.
constexpr std::array kLayouts{
    ErrorLayout{ErrorKind::FNE, "ErrorFNE", 3255, 1155, "lblText", 120, 120, 3015, 495, "btnOK",
                1080, 720, 1215, 375},
    ErrorLayout{ErrorKind::NFN, "ErrorNFN", 3255, 945, "lblText", 120, 120, 3015, 255, "btnOK",
                1080, 480, 1215, 375},
    ErrorLayout{ErrorKind::CO, "Error C. O.", 2250, 1425, "lblErrorMessage", 240, 240, 1695, 495,
                "lblOK", 360, 840, 1335, 375},
    ErrorLayout{ErrorKind::OC, "Error 0. C.", 3165, 1470, "lblErrorMessage", 120, 240, 2895, 495,
                "lblOK", 840, 960, 1335, 375},
    ErrorLayout{ErrorKind::R, "Error R", 3165, 1320, "lblErrorMessage", 120, 240, 2895, 375,
                "lblOK", 840, 840, 1335, 375},
    ErrorLayout{ErrorKind::NR, "Error N. R.", 3255, 1155, "lblText", 120, 120, 3015, 495, "btnOK",
                1080, 720, 1215, 375},
    ErrorLayout{ErrorKind::IO, "Error I. O.", 6255, 1455, "lblText", 120, 120, 6015, 795, "btnOK",
                2520, 960, 1215, 375},
};

const ErrorLayout& LayoutOf(ErrorKind error) {
  for (const ErrorLayout& layout : kLayouts) {
    if (layout.error == error) return layout;
  }
  return kLayouts.front();
}

}  // namespace

ErrorDialog::ErrorDialog(ErrorKind error)
    : FormDialog(DialogName(error), ToQString(LayoutOf(error).caption),
                 LayoutOf(error).client_width, LayoutOf(error).client_height,
                 {FrameStyle::FixedSingle}) {
  const ErrorLayout& layout = LayoutOf(error);
  const std::string message(DialogMessage(error));
  const std::array<ControlSpec, 2> controls{
      ControlSpec{layout.label_name, ControlKind::Label, message.c_str(), layout.label_left,
                  layout.label_top, layout.label_width, layout.label_height, 0},
      ControlSpec{layout.button_name, ControlKind::Button, "OK", layout.button_left,
                  layout.button_top, layout.button_width, layout.button_height, 1},
  };
  BuildControls(this, controls);

  message_ = findChild<QLabel*>(ToQString(layout.label_name));
  auto* ok = findChild<QPushButton*>(ToQString(layout.button_name));
  SetDefaultButton(ok);
  connect(ok, &QPushButton::clicked, this, &QWidget::hide);
}

void ErrorDialog::SetMessage(const QString& message) {
  message_->setText(message);
  // A screen reader reads the whole message, the path and the system's
  // reason on the second line included.
  message_->setAccessibleName(QString(message).replace(QLatin1Char('\n'), QLatin1Char(' ')));
}

}  // namespace vorpel
