// Keyboard use and accessible names: Tab walks every window's controls in
// their given order, the menu access keys open their menus, and every
// control tells a screen reader what it is.
#include <QAbstractButton>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>

#include "vorpel_test/window_test.h"

namespace vorpel::test {
namespace {

class AccessibilityTest : public WindowTest {
 protected:
  // The object names the focus visits, starting at first and pressing Tab
  // steps times.
  std::string TabWalk(QWidget* window, const QString& first, int steps) {
    QApplication::setActiveWindow(window);
    window->activateWindow();
    EXPECT_TRUE(QTest::qWaitForWindowActive(window));
    auto* start = window->findChild<QWidget*>(first);
    EXPECT_NE(start, nullptr);
    start->setFocus(Qt::TabFocusReason);
    QStringList visited{QApplication::focusWidget()->objectName()};
    for (int i = 0; i < steps; ++i) {
      QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
      visited.push_back(QApplication::focusWidget()->objectName());
    }
    return visited.join(QLatin1Char(' ')).toStdString();
  }

  // The object names of controls in window without an accessible name.
  static std::string Unnamed(QWidget* window) {
    QStringList unnamed;
    for (QWidget* control : window->findChildren<QWidget*>()) {
      const bool is_control = qobject_cast<QAbstractButton*>(control) ||
                              qobject_cast<QLineEdit*>(control) || qobject_cast<QLabel*>(control);
      // Qt's own helpers (the menu bar's overflow button) are named qt_*.
      const bool own = !control->objectName().startsWith(QLatin1String("qt_"));
      if (is_control && own && control->accessibleName().isEmpty()) {
        unnamed.push_back(control->objectName());
      }
    }
    return unnamed.join(QLatin1Char(' ')).toStdString();
  }
};

TEST_F(AccessibilityTest, Tab_WalksTheMainWindowInItsOrderAndWrapsAround) {
  EXPECT_EQ(TabWalk(main_.get(), QStringLiteral("txtFrom"), 6),
            "txtFrom txtTo cbxOWrite btnRead btnWrite txtNoSeq txtFrom");
}

TEST_F(AccessibilityTest, Tab_WalksTheOptionsDialogInItsOrder) {
  Trigger("O_Options");
  QWidget* options = Window(QStringLiteral("Options"));
  ASSERT_NE(options, nullptr);
  // The radio pair is one Tab stop, entered at its selected button (Words,
  // by default); the arrow keys move within it.
  EXPECT_EQ(TabWalk(options, QStringLiteral("btnOK"), 6),
            "btnOK btnCancel rbtWords cbxMultSeq txtSeqLength txtWordSep cbxFixCap");
  options->hide();
}

TEST_F(AccessibilityTest, MenuAccessKeys_OpenTheirMenus) {
  const struct {
    Qt::Key key;
    const char* menu;
  } cases[] = {{Qt::Key_F, "M_File"}, {Qt::Key_O, "M_Options"}, {Qt::Key_I, "M_Info"}};
  for (const auto& c : cases) {
    QApplication::setActiveWindow(main_.get());
    ASSERT_TRUE(QTest::qWaitForWindowActive(main_.get()));
    auto* menu = main_->findChild<QMenu*>(QString::fromLatin1(c.menu));
    ASSERT_NE(menu, nullptr) << c.menu;
    QTest::keyClick(main_.get(), c.key, Qt::AltModifier);
    EXPECT_TRUE(QTest::qWaitFor([menu] { return menu->isVisible(); }, 2000)) << c.menu;
    QTest::keyClick(menu, Qt::Key_Escape);
    menu->hide();
  }
}

TEST_F(AccessibilityTest, AltFThenE_EndsTheProgram) {
  QApplication::setActiveWindow(main_.get());
  ASSERT_TRUE(QTest::qWaitForWindowActive(main_.get()));
  QTest::keyClick(main_.get(), Qt::Key_F, Qt::AltModifier);
  auto* file = main_->findChild<QMenu*>(QStringLiteral("M_File"));
  ASSERT_TRUE(QTest::qWaitFor([file] { return file->isVisible(); }, 2000));
  QTest::keyClick(file, Qt::Key_E);
  EXPECT_TRUE(QTest::qWaitFor([this] { return program_ends_ == 1; }, 2000));
}

TEST_F(AccessibilityTest, EveryControlOfEveryWindow_HasAnAccessibleName) {
  for (const char* item : {"O_Options", "I_A_Vorpel", "I_A_Corvane", "I_A_Author", "I_License"}) {
    Trigger(item);
  }
  EXPECT_EQ(Unnamed(main_.get()), "");
  for (QWidget* window : QApplication::topLevelWidgets()) {
    if (window == main_.get() || window->objectName().isEmpty()) continue;
    EXPECT_EQ(Unnamed(window), "") << window->objectName().toStdString();
    window->hide();
  }
}

TEST_F(AccessibilityTest, TextBoxes_AreNamedByTheLabelBesideThem) {
  EXPECT_EQ(Field("txtFrom")->accessibleName(), QStringLiteral("From"));
  EXPECT_EQ(Field("txtTo")->accessibleName(), QStringLiteral("To"));
  EXPECT_EQ(Field("txtNoSeq")->accessibleName(), QStringLiteral("Sequences"));
  EXPECT_EQ(MainControl<QCheckBox>("cbxOWrite")->accessibleName(),
            QStringLiteral("Overwrite Existing File"));
  Trigger("O_Options");
  EXPECT_EQ(
      Control<QLineEdit>(QStringLiteral("Options"), QStringLiteral("txtWordSep"))->accessibleName(),
      QStringLiteral("Word Seperator"));
  Window(QStringLiteral("Options"))->hide();
}

}  // namespace
}  // namespace vorpel::test
