#pragma once

#include <QDialog>

class QPushButton;

namespace vorpel {

enum class FrameStyle {
  FixedSingle,  // fixed size, close button only
  Sizable,      // resizable, close and minimize buttons
};

struct FormFrame {
  FrameStyle style;
  bool maximize_button = false;  // Sizable only
};

// A modeless dialog of the program. Its own buttons hide it; closing it
// through its frame discards it (it deletes itself and emits FrameClosed
// first, so its owner can make a fresh one on the next show). Escape does
// nothing unless the dialog has a cancel button, which it then presses.
class FormDialog : public QDialog {
  Q_OBJECT
 public:
  // client_width and client_height in twips.
  FormDialog(const QString& name, const QString& caption, int client_width, int client_height,
             FormFrame frame);
  Q_DISABLE_COPY_MOVE(FormDialog)

  void SetDefaultButton(QPushButton* button);
  void SetCancelButton(QPushButton* button) { cancel_button_ = button; }

  // Escape.
  void reject() override;

 signals:
  void FrameClosed();

 protected:
  void closeEvent(QCloseEvent* event) override;

 private:
  QPushButton* cancel_button_ = nullptr;
};

}  // namespace vorpel
