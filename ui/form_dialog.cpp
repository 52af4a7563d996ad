#include "form_dialog.h"

#include <QCloseEvent>
#include <QPushButton>

#include "look.h"

namespace vorpel {

FormDialog::FormDialog(const QString& name, const QString& caption, int client_width,
                       int client_height, FormFrame frame)
    : QDialog(nullptr) {
  setObjectName(name);
  setWindowTitle(caption);
  setAttribute(Qt::WA_DeleteOnClose);
  setModal(false);

  Qt::WindowFlags flags = Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                          Qt::WindowCloseButtonHint;
  const QSize client = TwipsSize(client_width, client_height);
  if (frame.style == FrameStyle::FixedSingle) {
    setWindowFlags(Qt::Dialog | flags | Qt::MSWindowsFixedSizeDialogHint);
    setFixedSize(client);
  } else {
    flags |= Qt::WindowMinimizeButtonHint;
    if (frame.maximize_button) flags |= Qt::WindowMaximizeButtonHint;
    setWindowFlags(Qt::Window | flags);
    resize(client);
  }
}

void FormDialog::SetDefaultButton(QPushButton* button) { button->setDefault(true); }

void FormDialog::reject() {
  if (cancel_button_ != nullptr) cancel_button_->click();
}

void FormDialog::closeEvent(QCloseEvent* event) {
  // Never refused; WA_DeleteOnClose then discards the dialog.
  event->accept();
  emit FrameClosed();
}

}  // namespace vorpel
