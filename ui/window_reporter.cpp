#include "window_reporter.h"

#include <QByteArray>
#include <QFile>

#include "error_dialog.h"

namespace vorpel {

void WindowReporter::Beep() {
  if (beep_) beep_();
}

void WindowReporter::ShowError(ErrorDialog dialog, std::string_view detail) {
  const std::string_view name = DialogName(dialog);
  const QString dialog_name = QString::fromLatin1(name.data(), static_cast<qsizetype>(name.size()));
  if (dialog == ErrorDialog::IO) {
    // The detail is "path: reason", the path in the file system's encoding.
    const std::string_view message = DialogMessage(dialog);
    const QString text =
        QString::fromUtf8(message.data(), static_cast<qsizetype>(message.size())) +
        QLatin1Char('\n') +
        QFile::decodeName(QByteArray(detail.data(), static_cast<qsizetype>(detail.size())));
    if (auto* window = qobject_cast<ErrorWindow*>(dialogs_.Load(dialog_name))) {
      window->SetMessage(text);
    }
  }
  dialogs_.Show(dialog_name);
}

}  // namespace vorpel
