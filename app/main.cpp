// The desktop program: one session, the main window, the event loop.

#include <QApplication>
#include <csignal>

#include "look.h"
#include "main_window.h"
#include "session.h"

int main(int argc, char* argv[]) {
#ifdef SIGXFSZ
  // Past a file-size limit a write then fails with an error the program
  // reports (and cleans up after) instead of killing the process.
  std::signal(SIGXFSZ, SIG_IGN);
#endif
  QApplication app(argc, argv);
  QApplication::setApplicationName(QStringLiteral("Vorpel"));
  // Lets the desktop match the window to its desktop entry and icon.
  QGuiApplication::setDesktopFileName(QStringLiteral("org.example.Vorpel"));
  vorpel::ApplyLook(app);

  vorpel::Session session;
  vorpel::MainWindow window(session);
  window.show();
  return QApplication::exec();
}
