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
#include <QKeyEvent>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QTest>
#include <algorithm>
#include <cctype>
#include <memory>
#include <string>
#include <string_view>

#include "main_window.h"
#include "session.h"

namespace vorpel::test {

// Top-level windows with this object name, shown or hidden.
inline QList<QWidget*> WindowsNamed(const QString& name) {
  QList<QWidget*> found;
  for (QWidget* widget : QApplication::topLevelWidgets()) {
    if (widget->objectName() == name) found.push_back(widget);
  }
  return found;
}

inline QWidget* Window(const QString& name) {
  const QList<QWidget*> found = WindowsNamed(name);
  return found.isEmpty() ? nullptr : found.front();
}

inline bool IsShown(const QString& name) {
  const QList<QWidget*> found = WindowsNamed(name);
  return std::any_of(found.begin(), found.end(), [](QWidget* w) { return w->isVisible(); });
}

// Object names of the visible top-level windows other than Main, sorted.
inline QStringList ShownDialogs() {
  QStringList names;
  for (QWidget* widget : QApplication::topLevelWidgets()) {
    if (widget->isVisible() && widget->objectName() != QLatin1String("Main") &&
        !widget->objectName().isEmpty()) {
      names.push_back(widget->objectName());
    }
  }
  names.sort();
  return names;
}

template <typename T>
T* Control(const QString& window, const QString& name) {
  QWidget* top = Window(window);
  return top == nullptr ? nullptr : top->findChild<T*>(name);
}

// A click where the user would click: on the indicator of a check box or
// radio button (the middle of a wide one can be empty space), else in the
// middle.
inline void Click(QWidget* widget) {
  ASSERT_NE(widget, nullptr);
  QPoint where = widget->rect().center();
  if (qobject_cast<QCheckBox*>(widget) || qobject_cast<QRadioButton*>(widget)) {
    where = QPoint(7, widget->height() / 2);
  }
  QTest::mouseClick(widget, Qt::LeftButton, Qt::NoModifier, where);
}

// Replaces the text of a box by typing, as a user does. Characters beyond
// ASCII, which have no key code of their own, come as key events that
// carry only their text, as from a keyboard layout that has them.
inline void Type(QLineEdit* box, const QString& text) {
  ASSERT_NE(box, nullptr);
  box->setFocus();
  box->selectAll();
  QTest::keyClick(box, Qt::Key_Delete);
  for (const QChar character : text) {
    if (character.unicode() < 128) {
      QTest::keyClick(box, character.toLatin1());
    } else {
      QKeyEvent press(QEvent::KeyPress, Qt::Key_unknown, Qt::NoModifier, QString(character));
      QKeyEvent release(QEvent::KeyRelease, Qt::Key_unknown, Qt::NoModifier, QString(character));
      QApplication::sendEvent(box, &press);
      QApplication::sendEvent(box, &release);
    }
  }
  ASSERT_EQ(box->text(), text);
}

// A key pressed in the window's focused control, or in the window.
inline void PressKey(QWidget* window, Qt::Key key) {
  ASSERT_NE(window, nullptr);
  QWidget* target = window->focusWidget() != nullptr ? window->focusWidget() : window;
  QTest::keyClick(target, key);
}

inline void WriteBytes(const QString& path, const QByteArray& bytes) {
  QFile file(path);
  ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
  ASSERT_EQ(file.write(bytes), bytes.size());
}

inline QByteArray ReadBytes(const QString& path) {
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly)) return {};
  return file.readAll();
}

// A test name for a typed text: letters and digits kept, everything else
// spelled out ("12.5" gives "12_dot_5", "" gives "empty").
inline std::string CaseName(std::string_view text) {
  std::string name;
  for (const char c : text) {
    if (std::isalnum(static_cast<unsigned char>(c))) {
      name += c;
    } else if (c == '.') {
      name += "_dot_";
    } else if (c == '-') {
      name += "minus_";
    } else if (c == ' ') {
      name += "_blank_";
    } else {
      name += '_';
    }
  }
  return name.empty() ? "empty" : name;
}

class WindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(dir_.isValid());
    WindowHooks hooks;
    hooks.beep = [this] {
      ++beeps_;
      const QCursor* cursor = QApplication::overrideCursor();
      beep_cursors_.push_back(cursor == nullptr ? Qt::ArrowCursor : cursor->shape());
      shown_at_beeps_.push_back(ShownDialogs());
    };
    hooks.temp_path = QFile::encodeName(TempPath()).toStdString();
    hooks.end_program = [this] { ++program_ends_; };
    main_ = std::make_unique<MainWindow>(session_, std::move(hooks));
    main_->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(main_.get()));
  }

  void TearDown() override {
    main_.reset();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QStringList left;
    for (QWidget* widget : QApplication::topLevelWidgets()) {
      left.push_back(widget->objectName() + QLatin1Char('/') +
                     QString::fromLatin1(widget->metaObject()->className()));
    }
    EXPECT_TRUE(left.isEmpty()) << "left behind: " << left.join(QLatin1String(", ")).toStdString();
  }

  QString Path(const QString& name) const { return dir_.filePath(name); }
  QString TempPath() const { return dir_.filePath(QStringLiteral("%Vorpel.temp%")); }

  template <typename T>
  T* MainControl(const char* name) {
    return main_->findChild<T*>(QString::fromLatin1(name));
  }
  QLineEdit* Field(const char* name) { return MainControl<QLineEdit>(name); }

  void Trigger(const char* action_name) {
    auto* action = main_->findChild<QAction*>(QString::fromLatin1(action_name));
    ASSERT_NE(action, nullptr) << action_name;
    action->trigger();
  }

  // Types the source path and presses Read.
  void ReadSource(const QString& path) {
    Type(Field("txtFrom"), path);
    Click(MainControl<QPushButton>("btnRead"));
  }

  // Types the number and the target and presses Write.
  void Write(const QString& number, const QString& target) {
    Type(Field("txtNoSeq"), number);
    Type(Field("txtTo"), target);
    Click(MainControl<QPushButton>("btnWrite"));
  }

  QTemporaryDir dir_;
  Session session_;
  std::unique_ptr<MainWindow> main_;
  int beeps_ = 0;
  std::vector<Qt::CursorShape> beep_cursors_;  // the cursor at each beep
  std::vector<QStringList> shown_at_beeps_;    // the dialogs shown at each beep
  int program_ends_ = 0;
};

}  // namespace vorpel::test
