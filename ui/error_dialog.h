#pragma once

#include "form_dialog.h"
#include "reporter.h"

class QLabel;

namespace vorpel {

// One of the error dialogs: a fixed message and an OK button that hides
// the dialog. Enter presses OK; Escape does nothing.
class ErrorDialog final : public FormDialog {
  Q_OBJECT
 public:
  explicit ErrorDialog(ErrorKind error);
  Q_DISABLE_COPY_MOVE(ErrorDialog)

  // Replaces the message (the file error dialog names the file each time).
  void SetMessage(const QString& message);

 private:
  QLabel* message_ = nullptr;
};

}  // namespace vorpel
