// Renders every window and dialog of the program to PNG, as it looks after
// start-up (the main window with two example paths typed in), and fails
// when a picture cannot be saved. ctest runs it as a smoke test; for the
// pictures themselves, build the target vorpel_window_pictures or run
//
//     QT_QPA_PLATFORM=offscreen vorpel_render_windows_smoke OUTPUT_FOLDER
//
// Window frames belong to the window system and are not drawn.

#include <QApplication>
#include <QDir>
#include <QLineEdit>
#include <QTemporaryDir>
#include <cstdio>

#include "error_dialog.h"
#include "file_error.h"
#include "look.h"
#include "main_window.h"
#include "picture_box.h"
#include "session.h"

namespace {

bool Save(QWidget* window, const QDir& folder, const QString& name) {
  window->show();
  QCoreApplication::processEvents();
  const QString path = folder.filePath(name + QStringLiteral(".png"));
  if (!window->grab().save(path)) {
    std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
    return false;
  }
  std::printf("%s\n", qPrintable(path));
  return true;
}

}  // namespace

int main(int argc, char* argv[]) {
  QApplication app(argc, argv);
  vorpel::ApplyLook(app);
  const QDir folder(argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("window-pictures"));
  if (!folder.mkpath(QStringLiteral("."))) {
    std::fprintf(stderr, "cannot make %s\n", qPrintable(folder.path()));
    return 1;
  }

  QTemporaryDir scratch;
  vorpel::Session session;
  vorpel::WindowHooks hooks;
  hooks.beep = [] {};
  hooks.temp_path =
      QFile::encodeName(scratch.filePath(QStringLiteral("%Vorpel.temp%"))).toStdString();
  hooks.end_program = [] {};
  vorpel::MainWindow main_window(session, std::move(hooks));
  main_window.findChild<QLineEdit*>(QStringLiteral("txtFrom"))
      ->setText(QStringLiteral("story.txt"));
  main_window.findChild<QLineEdit*>(QStringLiteral("txtTo"))->setText(QStringLiteral("cut-up.txt"));

  vorpel::DialogRegistry& dialogs = main_window.Dialogs();
  if (auto* io = qobject_cast<vorpel::ErrorDialog*>(dialogs.Load(QStringLiteral("ErrorIO")))) {
    io->SetMessage(QStringLiteral(
        "The file could not be read or written.\n/home/someone/cut-up.txt: Permission denied"));
  }

  bool ok = Save(&main_window, folder, QStringLiteral("Main"));
  main_window.findChild<QAction*>(QStringLiteral("O_Options"))->trigger();
  for (const char* name :
       {"Options", "ErrorFNE", "ErrorNFN", "ErrorCO", "ErrorOC", "ErrorR", "ErrorNR", "ErrorIO",
        "Done", "License", "AboutAuthor", "AboutCorvane", "AboutVorpel"}) {
    ok = Save(dialogs.Show(QString::fromLatin1(name)), folder, QString::fromLatin1(name)) && ok;
  }
  // The longest reason a Write gives: a cache folder that is not the user's own.
  if (auto* io = qobject_cast<vorpel::ErrorDialog*>(dialogs.Find(QStringLiteral("ErrorIO")))) {
    const std::string reason = make_error_code(vorpel::FileErrc::NotOwnFolder).message();
    io->SetMessage(
        QStringLiteral("The file could not be read or written.\n/home/someone/.cache/vorpel: ") +
        QString::fromStdString(reason));
    ok = Save(io, folder, QStringLiteral("ErrorIO-not-own-folder")) && ok;
  }
  // AboutVorpel after a click on its picture.
  QWidget* about = dialogs.Find(QStringLiteral("AboutVorpel"));
  emit about->findChild<vorpel::PictureBox*>(QStringLiteral("icnVorpel"))->Clicked();
  ok = Save(about, folder, QStringLiteral("AboutVorpel-maker-picture")) && ok;
  return ok ? 0 : 1;
}
