#pragma once

#include <QMainWindow>
#include <filesystem>
#include <functional>
#include <string_view>

#include "dialog_registry.h"
#include "session.h"
#include "window_reporter.h"
#include "write_pipeline.h"

class QCheckBox;
class QLineEdit;
class QPushButton;

namespace vorpel {

// What the main window does to the world outside the windows; the program
// takes the defaults, tests put in their own.
struct WindowHooks {
  std::function<void()> beep;         // default: the system beep
  std::filesystem::path temp_path;    // the capitalization route's file; empty: the user's own
  std::function<void()> end_program;  // default: leave the event loop
  // Told of every error the window reports, with its detail (the path or the
  // number text as the engine received it), just before the dialog shows.
  std::function<void(ErrorKind, std::string_view detail)> error_reported;
};

// The start-up window: the two paths, the number of sequences, the
// overwrite switch, Read and Write, and the menus. Making it loads every
// dialog (the Options dialog first, which puts the default options in
// force) and initialises the fields; closing it ends the program. The two
// path fields complete file names as the user types and take a file dropped
// on them; a file dropped anywhere else on the window goes to txtFrom.
class MainWindow final : public QMainWindow {
  Q_OBJECT
 public:
  explicit MainWindow(Session& session, WindowHooks hooks = {});
  ~MainWindow() override;
  Q_DISABLE_COPY_MOVE(MainWindow)

  DialogRegistry& Dialogs() { return dialogs_; }

 protected:
  void closeEvent(QCloseEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dragMoveEvent(QDragMoveEvent* event) override;
  void dropEvent(QDropEvent* event) override;

 private:
  void BuildMenus();
  void SetUpPathEntry();
  void LoadForms();
  void InitMain();

  void OnReadClicked();
  void OnWriteClicked();
  void OnOWriteClicked();
  void OnOptionsClicked();

  Session& session_;
  WindowHooks hooks_;
  DialogRegistry dialogs_;
  WindowReporter reporter_;
  QLineEdit* txt_from_ = nullptr;
  QLineEdit* txt_to_ = nullptr;
  QLineEdit* txt_no_seq_ = nullptr;
  QCheckBox* cbx_owrite_ = nullptr;
};

}  // namespace vorpel
