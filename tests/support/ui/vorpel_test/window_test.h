#pragma once

// Shared helpers of the window tests: a fixture that starts the program's
// main window on its own session, with a beep counter, a private folder for
// every file (the intermediate file included) and a recorded end of the
// program; and small helpers that find windows and controls by object name
// and drive them as a user would.

#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QTest>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "main_window.h"
#include "session.h"

namespace vorpel::test {

// Top-level windows with this object name, shown or hidden.
QList<QWidget*> WindowsNamed(const QString& name);

// The first top-level window with this object name, or null.
QWidget* Window(const QString& name);

// Whether a window with this object name is shown.
bool IsShown(const QString& name);

// Object names of the visible top-level windows other than Main, sorted.
QStringList ShownDialogs();

// The control of that object name in the window of that object name, or null.
template <typename T>
T* Control(const QString& window, const QString& name) {
  QWidget* top = Window(window);
  return top == nullptr ? nullptr : top->findChild<T*>(name);
}

// A click where the user would click: on the indicator of a check box or
// radio button (the middle of a wide one can be empty space), else in the
// middle.
void Click(QWidget* widget);

// Replaces the text of a box by typing, as a user does. Characters beyond
// ASCII, which have no key code of their own, come as key events that
// carry only their text, as from a keyboard layout that has them.
void Type(QLineEdit* box, const QString& text);

// A key pressed in the window's focused control, or in the window.
void PressKey(QWidget* window, Qt::Key key);

void WriteBytes(const QString& path, const QByteArray& bytes);

// The file's bytes; empty when it cannot be read.
QByteArray ReadBytes(const QString& path);

// A test name for a typed text: letters and digits kept, everything else
// spelled out ("12.5" gives "12_dot_5", "" gives "empty").
std::string CaseName(std::string_view text);

class WindowTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  QString Path(const QString& name) const { return dir_.filePath(name); }
  QString TempPath() const { return dir_.filePath(QStringLiteral("%Vorpel.temp%")); }

  template <typename T>
  T* MainControl(const char* name) {
    return main_->findChild<T*>(QString::fromLatin1(name));
  }
  QLineEdit* Field(const char* name) { return MainControl<QLineEdit>(name); }

  void Trigger(const char* action_name);

  // Types the source path and presses Read.
  void ReadSource(const QString& path);

  // Types the number and the target and presses Write.
  void Write(const QString& number, const QString& target);

  QTemporaryDir dir_;
  Session session_;
  std::unique_ptr<MainWindow> main_;
  int beeps_ = 0;
  std::vector<Qt::CursorShape> beep_cursors_;  // the cursor at each beep
  std::vector<QStringList> shown_at_beeps_;    // the dialogs shown at each beep
  int program_ends_ = 0;
};

}  // namespace vorpel::test
