// How the windows look: captions, client areas, frames, tab order, and
// that every caption and message fits its rectangle without running into
// another control's.

#include <QLabel>
#include <QStyle>
#include <QStyleOptionButton>

#include "error_dialog.h"
#include "vorpel_test/window_test.h"

namespace vorpel::test {
namespace {

struct WindowCase {
  const char* name;
  const char* caption;
  QSize client;  // pixels
  bool fixed;
  bool minimize;
  bool maximize;
};

const WindowCase kWindows[] = {
    {"Main", "Main", {216, 178}, false, true, true},
    {"Options", "Options", {278, 161}, false, true, false},
    {"ErrorFNE", "ErrorFNE", {217, 77}, true, false, false},
    {"ErrorNFN", "ErrorNFN", {217, 63}, true, false, false},
    {"ErrorCO", "Error C. O.", {150, 95}, true, false, false},
    {"ErrorOC", "Error 0. C.", {211, 98}, true, false, false},
    {"ErrorR", "Error R", {211, 88}, true, false, false},
    {"ErrorNR", "Error N. R.", {217, 77}, true, false, false},
    {"ErrorIO", "Error I. O.", {417, 97}, true, false, false},
    {"Done", "Done", {116, 39}, false, true, true},
    {"License", "License", {313, 81}, false, true, false},
    {"AboutAuthor", "About Author", {313, 77}, false, true, false},
    {"AboutCorvane", "About Corvane Software", {420, 149}, false, true, false},
    {"AboutVorpel", "About Vorpel", {388, 124}, false, true, true},
};

class LayoutTest : public WindowTest {
 protected:
  // Every window shown, the file error dialog with a typical message.
  void ShowEverything() {
    auto* io = qobject_cast<ErrorDialog*>(main_->Dialogs().Load("ErrorIO"));
    ASSERT_NE(io, nullptr);
    io->SetMessage(
        "The file could not be read or written.\n"
        "/home/someone/Documents/stories/cut-up.txt: Permission denied");
    for (const WindowCase& window : kWindows) {
      if (QString(window.name) != "Main") main_->Dialogs().Show(window.name);
    }
  }

  // The area the controls live in: below the menu bar for Main.
  static QWidget* Client(QWidget* window) {
    if (auto* main = qobject_cast<QMainWindow*>(window)) return main->centralWidget();
    return window;
  }
};

TEST_F(LayoutTest, Windows_CaptionClientAreaAndFrame) {
  ShowEverything();
  for (const WindowCase& expected : kWindows) {
    SCOPED_TRACE(expected.name);
    QWidget* window = Window(expected.name);
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(window->windowTitle(), expected.caption);
    EXPECT_EQ(Client(window)->size(), expected.client);
    const bool fixed = window->minimumSize() == window->maximumSize();
    EXPECT_EQ(fixed, expected.fixed);
    const Qt::WindowFlags flags = window->windowFlags();
    EXPECT_EQ(flags.testFlag(Qt::WindowMinimizeButtonHint), expected.minimize);
    EXPECT_EQ(flags.testFlag(Qt::WindowMaximizeButtonHint), expected.maximize);
    EXPECT_TRUE(flags.testFlag(Qt::WindowCloseButtonHint));
    EXPECT_FALSE(flags.testFlag(Qt::WindowContextHelpButtonHint));
  }
}

TEST_F(LayoutTest, SizableWindows_KeepTheirControlsInPlace) {
  auto* read = MainControl<QPushButton>("btnRead");
  const QRect before = read->geometry();
  main_->resize(main_->size() + QSize(120, 80));
  QCoreApplication::processEvents();
  EXPECT_EQ(read->geometry(), before);
  main_->resize(QSize(100, 90));
  QCoreApplication::processEvents();
  EXPECT_EQ(read->geometry(), before);
}

TEST_F(LayoutTest, ErrorDialogs_ShowTheirMessages) {
  const std::pair<const char*, const char*> messages[] = {
      {"ErrorFNE", "The file you are trying to read doesn't exist."},
      {"ErrorNFN", "The number of words must be an integer."},
      {"ErrorCO", "You are trying to write to an invalid source."},
      {"ErrorOC", "At least one of the fields in the Options Dialog is not valid."},
      {"ErrorR", "You must read a file before you can write to one."},
      {"ErrorNR", "The number of sequences must lie between -32768 and 32767."},
  };
  for (const auto& [dialog, message] : messages) {
    const QList<QLabel*> labels = Window(dialog)->findChildren<QLabel*>();
    ASSERT_EQ(labels.size(), 1) << dialog;
    EXPECT_EQ(labels[0]->text(), message) << dialog;
    const QList<QPushButton*> buttons = Window(dialog)->findChildren<QPushButton*>();
    ASSERT_EQ(buttons.size(), 1) << dialog;
    EXPECT_EQ(buttons[0]->text(), "OK") << dialog;
    EXPECT_TRUE(buttons[0]->isDefault()) << dialog;
  }
}

// The controls that take the focus, in the order Tab visits them.
QStringList TabOrder(QWidget* window) {
  QStringList names;
  for (QWidget* widget = window->nextInFocusChain(); widget != window;
       widget = widget->nextInFocusChain()) {
    if (window->isAncestorOf(widget) && (widget->focusPolicy() & Qt::TabFocus) &&
        !widget->objectName().isEmpty()) {
      names.push_back(widget->objectName());
    }
  }
  return names;
}

TEST_F(LayoutTest, TabOrder_FollowsTheTables) {
  EXPECT_EQ(TabOrder(main_.get()),
            (QStringList{"txtFrom", "txtTo", "cbxOWrite", "btnRead", "btnWrite", "txtNoSeq"}));
  EXPECT_EQ(TabOrder(Window("Options")),
            (QStringList{"btnOK", "btnCancel", "rbtLetters", "rbtWords", "cbxMultSeq",
                         "txtSeqLength", "txtWordSep", "cbxFixCap"}));
  for (QLabel* label : main_->findChildren<QLabel*>()) {
    EXPECT_EQ(label->focusPolicy(), Qt::NoFocus) << label->objectName().toStdString();
  }
}

// Where a control's caption is drawn, and the rectangle it has for it, in
// the control's own coordinates. Empty when the control shows no text.
struct TextPlace {
  QRect needed;
  QRect available;
};

TextPlace PlaceOfText(QWidget* widget, const QRect& visible) {
  const QFontMetrics metrics = widget->fontMetrics();
  if (auto* label = qobject_cast<QLabel*>(widget)) {
    if (label->text().isEmpty()) return {};
    const int flags =
        static_cast<int>(label->alignment()) | (label->wordWrap() ? Qt::TextWordWrap : 0);
    const QRect area = label->contentsRect() & visible;
    return {metrics.boundingRect(area, flags, label->text()), area};
  }
  auto* button = qobject_cast<QAbstractButton*>(widget);
  if (button == nullptr || button->text().isEmpty()) return {};
  QStyleOptionButton option;
  option.initFrom(button);
  option.text = button->text();
  // Push buttons centre their caption; check boxes and radio buttons put it
  // after the indicator.
  QStyle::SubElement contents = QStyle::SE_PushButtonContents;
  int alignment = Qt::AlignCenter;
  if (qobject_cast<QCheckBox*>(button)) contents = QStyle::SE_CheckBoxContents;
  if (qobject_cast<QRadioButton*>(button)) contents = QStyle::SE_RadioButtonContents;
  if (contents != QStyle::SE_PushButtonContents) alignment = Qt::AlignLeft | Qt::AlignVCenter;
  const QRect area = button->style()->subElementRect(contents, &option, button) & visible;
  const QRect needed = metrics.boundingRect(area, alignment | Qt::TextShowMnemonic, button->text());
  return {needed, area};
}

TEST_F(LayoutTest, EveryCaptionAndMessage_FitsItsRectangle) {
  ShowEverything();
  int checked = 0;
  for (const WindowCase& window_case : kWindows) {
    QWidget* client = Client(Window(window_case.name));
    for (QWidget* widget : client->findChildren<QWidget*>()) {
      if (!widget->isVisibleTo(client)) continue;
      // Only the part inside the client area can show text.
      const QRect visible = QRect(widget->mapFrom(client, QPoint(0, 0)), client->size());
      const TextPlace place = PlaceOfText(widget, visible & widget->rect());
      if (place.available.isNull()) continue;
      ++checked;
      EXPECT_TRUE(place.available.contains(place.needed))
          << window_case.name << "/" << widget->objectName().toStdString() << ": needs "
          << place.needed.width() << "x" << place.needed.height() << ", has "
          << place.available.width() << "x" << place.available.height();
    }
  }
  EXPECT_EQ(checked, 44) << "every captioned control was measured";
}

TEST_F(LayoutTest, NoControlRunsIntoAnother) {
  ShowEverything();
  for (const WindowCase& window_case : kWindows) {
    QWidget* client = Client(Window(window_case.name));
    // What each visible control covers on the screen, in client coordinates:
    // boxes, buttons and pictures their rectangle, labels their text, check
    // boxes and radio buttons their indicator and text.
    std::vector<std::pair<QString, QRect>> covered;
    for (QWidget* widget : client->findChildren<QWidget*>()) {
      const bool divider =
          qobject_cast<QFrame*>(widget) != nullptr && qobject_cast<QLabel*>(widget) == nullptr;
      if (!widget->isVisibleTo(client) || divider) continue;
      QRect area = widget->rect();
      if (qobject_cast<QLabel*>(widget) && !qobject_cast<QLabel*>(widget)->text().isEmpty()) {
        area = PlaceOfText(widget, widget->rect()).needed;
      } else if (qobject_cast<QCheckBox*>(widget) || qobject_cast<QRadioButton*>(widget)) {
        const TextPlace text = PlaceOfText(widget, widget->rect());
        area = QRect(QPoint(0, 0), QPoint(text.needed.right(), widget->height() - 1));
      }
      area.translate(widget->mapTo(client, QPoint(0, 0)));
      EXPECT_TRUE(client->rect().contains(area))
          << window_case.name << "/" << widget->objectName().toStdString()
          << " reaches outside the client area";
      for (const auto& [other, other_area] : covered) {
        EXPECT_FALSE(area.intersects(other_area))
            << window_case.name << ": " << widget->objectName().toStdString() << " runs into "
            << other.toStdString();
      }
      covered.emplace_back(widget->objectName(), area);
    }
  }
}

}  // namespace
}  // namespace vorpel::test
