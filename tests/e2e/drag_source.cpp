// A drag source for the real-window test: a small window that, pressed and
// dragged with the pointer, offers one file as a text/uri-list (copy, move
// or link), as a file manager does, over the X drag and drop protocol.
//
//   vorpel_e2e_drag_source PATH
//
// Once the drag ends it prints what the drop target took ("copy", "move",
// "link" or "ignore"), hides its window, and exits a little later.

#include <QApplication>
#include <QDrag>
#include <QMimeData>
#include <QMouseEvent>
#include <QTimer>
#include <QUrl>
#include <QWidget>
#include <cstdio>

namespace {

class DragSource final : public QWidget {
 public:
  explicit DragSource(QString path) : path_(std::move(path)) {
    setWindowTitle(QStringLiteral("vorpel-drag-source"));
    resize(120, 60);
  }

 protected:
  void mousePressEvent(QMouseEvent* event) override { pressed_at_ = event->position().toPoint(); }

  void mouseMoveEvent(QMouseEvent* event) override {
    if (!(event->buttons() & Qt::LeftButton) || dragging_) return;
    if ((event->position().toPoint() - pressed_at_).manhattanLength() <
        QApplication::startDragDistance()) {
      return;
    }
    dragging_ = true;
    auto* drag = new QDrag(this);
    auto* mime = new QMimeData;
    mime->setUrls({QUrl::fromLocalFile(path_)});
    drag->setMimeData(mime);
    const Qt::DropAction done =
        drag->exec(Qt::CopyAction | Qt::MoveAction | Qt::LinkAction, Qt::CopyAction);
    const char* name = done == Qt::CopyAction   ? "copy"
                       : done == Qt::MoveAction ? "move"
                       : done == Qt::LinkAction ? "link"
                                                : "ignore";
    std::printf("%s\n", name);
    std::fflush(stdout);
    hide();
    // The target asks this program for the data once the drop has arrived,
    // which can be after the drag has ended here: serve it a while longer.
    QTimer::singleShot(3000, qApp, &QApplication::quit);
  }

 private:
  QString path_;
  QPoint pressed_at_;
  bool dragging_ = false;
};

}  // namespace

int main(int argc, char* argv[]) {
  QApplication app(argc, argv);
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s PATH\n", argv[0]);
    return 2;
  }
  DragSource source(QString::fromLocal8Bit(argv[1]));
  source.show();
  return QApplication::exec();
}
