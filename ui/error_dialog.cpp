#include "error_dialog.h"

#include <QLabel>
#include <QPushButton>
#include <array>

#include "control_table.h"

namespace vorpel {
namespace {

struct ErrorLayout {
  ErrorDialog dialog;
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
    ErrorLayout{ErrorDialog::FNE, "ErrorFNE", 3255, 1155, "lblText", 120, 120, 3015, 495, "btnOK",
                1080, 720, 1215, 375},
    ErrorLayout{ErrorDialog::NFN, "ErrorNFN", 3255, 945, "lblText", 120, 120, 3015, 255, "btnOK",
                1080, 480, 1215, 375},
    ErrorLayout{ErrorDialog::CO, "Error C. O.", 2250, 1425, "lblErrorMessage", 240, 240, 1695, 495,
                "lblOK", 360, 840, 1335, 375},
    ErrorLayout{ErrorDialog::OC, "Error 0. C.", 3165, 1470, "lblErrorMessage", 120, 240, 2895, 495,
                "lblOK", 840, 960, 1335, 375},
    ErrorLayout{ErrorDialog::R, "Error R", 3165, 1320, "lblErrorMessage", 120, 240, 2895, 375,
                "lblOK", 840, 840, 1335, 375},
    ErrorLayout{ErrorDialog::NR, "Error N. R.", 3255, 1155, "lblText", 120, 120, 3015, 495, "btnOK",
                1080, 720, 1215, 375},
    ErrorLayout{ErrorDialog::IO, "Error I. O.", 6255, 1455, "lblText", 120, 120, 6015, 795, "btnOK",
                2520, 960, 1215, 375},
};

QString FromUtf8(std::string_view text) {
  return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

const ErrorLayout& LayoutOf(ErrorDialog dialog) {
  for (const ErrorLayout& layout : kLayouts) {
    if (layout.dialog == dialog) return layout;
  }
  return kLayouts.front();
}

}  // namespace

ErrorWindow::ErrorWindow(ErrorDialog dialog)
    : FormDialog(FromUtf8(DialogName(dialog)), QString::fromUtf8(LayoutOf(dialog).caption),
                 LayoutOf(dialog).client_width, LayoutOf(dialog).client_height,
                 {FrameStyle::FixedSingle}) {
  const ErrorLayout& layout = LayoutOf(dialog);
  const std::string message(DialogMessage(dialog));
  const std::array<ControlSpec, 2> controls{
      ControlSpec{layout.label_name, ControlKind::Label, message.c_str(), layout.label_left,
                  layout.label_top, layout.label_width, layout.label_height, 0},
      ControlSpec{layout.button_name, ControlKind::Button, "OK", layout.button_left,
                  layout.button_top, layout.button_width, layout.button_height, 1},
  };
  BuildControls(this, controls);

  message_ = findChild<QLabel*>(QString::fromLatin1(layout.label_name));
  auto* ok = findChild<QPushButton*>(QString::fromLatin1(layout.button_name));
  SetDefaultButton(ok);
  connect(ok, &QPushButton::clicked, this, &QWidget::hide);
}

void ErrorWindow::SetMessage(const QString& message) { message_->setText(message); }

}  // namespace vorpel
