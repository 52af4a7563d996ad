#include "window_reporter.h"

#include "dialog_names.h"
#include "error_dialog.h"
#include "qt_text.h"

namespace vorpel {

void WindowReporter::Beep() {
  if (beep_) beep_();
}

void WindowReporter::ShowError(ErrorKind error, std::string_view detail) {
  if (reported_) reported_(error, detail);
  const QString dialog_name = DialogName(error);
  if (error == ErrorKind::IO) {
    // The detail is "path: reason", the path in the file system's encoding.
    const QString text =
        ToQString(DialogMessage(error)) + QLatin1Char('\n') + FromFileSystemBytes(detail);
    if (auto* dialog = qobject_cast<ErrorDialog*>(dialogs_.Load(dialog_name))) {
      dialog->SetMessage(text);
    }
  }
  dialogs_.Show(dialog_name);
}

}  // namespace vorpel
