#pragma once

#include <QLabel>

class QMouseEvent;

namespace vorpel {

// A picture that reports a click on it: a press and a release of the left
// button, both on the picture.
class PictureBox final : public QLabel {
  Q_OBJECT
 public:
  explicit PictureBox(QWidget* parent) : QLabel(parent) {}
  Q_DISABLE_COPY_MOVE(PictureBox)

 signals:
  void Clicked();

 protected:
  void mousePressEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;

 private:
  bool pressed_ = false;
};

}  // namespace vorpel
