#include "vorpel_test/window_test.h"

#include <QAction>
#include <QKeyEvent>
#include <algorithm>
#include <cctype>

namespace vorpel::test {

QList<QWidget*> WindowsNamed(const QString& name) {
  QList<QWidget*> found;
  for (QWidget* widget : QApplication::topLevelWidgets()) {
    if (widget->objectName() == name) found.push_back(widget);
  }
  return found;
}

QWidget* Window(const QString& name) {
  const QList<QWidget*> found = WindowsNamed(name);
  return found.isEmpty() ? nullptr : found.front();
}

bool IsShown(const QString& name) {
  const QList<QWidget*> found = WindowsNamed(name);
  return std::any_of(found.begin(), found.end(), [](QWidget* w) { return w->isVisible(); });
}

QStringList ShownDialogs() {
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

void Click(QWidget* widget) {
  ASSERT_NE(widget, nullptr);
  QPoint where = widget->rect().center();
  if (qobject_cast<QCheckBox*>(widget) || qobject_cast<QRadioButton*>(widget)) {
    where = QPoint(7, widget->height() / 2);
  }
  QTest::mouseClick(widget, Qt::LeftButton, Qt::NoModifier, where);
}

void Type(QLineEdit* box, const QString& text) {
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

void PressKey(QWidget* window, Qt::Key key) {
  ASSERT_NE(window, nullptr);
  QWidget* target = window->focusWidget() != nullptr ? window->focusWidget() : window;
  QTest::keyClick(target, key);
}

void WriteBytes(const QString& path, const QByteArray& bytes) {
  QFile file(path);
  ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
  ASSERT_EQ(file.write(bytes), bytes.size());
}

QByteArray ReadBytes(const QString& path) {
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly)) return {};
  return file.readAll();
}

std::string CaseName(std::string_view text) {
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

void WindowTest::SetUp() {
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

void WindowTest::TearDown() {
  main_.reset();
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  QStringList left;
  for (QWidget* widget : QApplication::topLevelWidgets()) {
    left.push_back(widget->objectName() + QLatin1Char('/') +
                   QString::fromLatin1(widget->metaObject()->className()));
  }
  EXPECT_TRUE(left.isEmpty()) << "left behind: " << left.join(QLatin1String(", ")).toStdString();
}

void WindowTest::Trigger(const char* action_name) {
  auto* action = main_->findChild<QAction*>(QString::fromLatin1(action_name));
  ASSERT_NE(action, nullptr) << action_name;
  action->trigger();
}

void WindowTest::ReadSource(const QString& path) {
  Type(Field("txtFrom"), path);
  Click(MainControl<QPushButton>("btnRead"));
}

void WindowTest::Write(const QString& number, const QString& target) {
  Type(Field("txtNoSeq"), number);
  Type(Field("txtTo"), target);
  Click(MainControl<QPushButton>("btnWrite"));
}

}  // namespace vorpel::test
