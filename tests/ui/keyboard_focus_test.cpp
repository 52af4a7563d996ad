// Where the keyboard goes: the Options dialog's radio pair is one Tab stop
// entered at its selected button, and the Done dialog comes up after a
// Write without taking the keyboard from the main window.

#include "vorpel_test/window_test.h"

namespace vorpel::test {
namespace {

class KeyboardFocusTest : public WindowTest {
 protected:
  static QWidget* Focused() { return QApplication::focusWidget(); }
  static QString FocusedName() {
    return Focused() == nullptr ? QStringLiteral("(none)") : Focused()->objectName();
  }

  // Makes window the active window and puts the focus on its control first.
  // The window system's pending news arrive first: the offscreen platform
  // reports every completion list it showed as activated.
  static void FocusIn(QWidget* window, const char* first) {
    QCoreApplication::processEvents();
    window->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(window));
    auto* start = window->findChild<QWidget*>(QString::fromLatin1(first));
    ASSERT_NE(start, nullptr) << first;
    start->setFocus(Qt::TabFocusReason);
    ASSERT_EQ(Focused(), start);
  }

  // The controls the focus visits, the first included, pressing key steps
  // times.
  static std::string Walk(QKeyCombination key, int steps) {
    QStringList visited{FocusedName()};
    for (int i = 0; i < steps; ++i) {
      QTest::keyClick(Focused(), key.key(), key.keyboardModifiers());
      visited.push_back(FocusedName());
    }
    return visited.join(QLatin1Char(' ')).toStdString();
  }

  QWidget* Options() { return Window(QStringLiteral("Options")); }
  QRadioButton* Radio(const char* name) {
    return Control<QRadioButton>(QStringLiteral("Options"), QString::fromLatin1(name));
  }
  // "Letters", "Words", or what is wrong with the pair.
  std::string Selected() {
    const bool letters = Radio("rbtLetters")->isChecked();
    const bool words = Radio("rbtWords")->isChecked();
    if (letters == words) return letters ? "both" : "none";
    return letters ? "Letters" : "Words";
  }
};

struct UnitCase {
  std::int16_t unit_mode;
  const char* selected;  // the button's name
  const char* unit;      // "Letters" or "Words"
};

class OptionsTabCycleTest : public KeyboardFocusTest,
                            public ::testing::WithParamInterface<UnitCase> {};

TEST_P(OptionsTabCycleTest, TabAndShiftTabEnterThePairAtTheSelectedButtonAndSelectNothing) {
  const UnitCase& unit = GetParam();
  session_.settings.UnitMode = unit.unit_mode;
  Trigger("O_Options");
  ASSERT_EQ(Selected(), unit.unit);
  const std::string radio = unit.selected;

  FocusIn(Options(), "btnOK");
  EXPECT_EQ(Walk(Qt::Key_Tab, 7),
            "btnOK btnCancel " + radio + " cbxMultSeq txtSeqLength txtWordSep cbxFixCap btnOK");
  EXPECT_EQ(Walk(Qt::Key_Tab, 7),
            "btnOK btnCancel " + radio + " cbxMultSeq txtSeqLength txtWordSep cbxFixCap btnOK")
      << "a second round goes the same way";
  EXPECT_EQ(Walk(Qt::ShiftModifier | Qt::Key_Tab, 7),
            "btnOK cbxFixCap txtWordSep txtSeqLength cbxMultSeq " + radio + " btnCancel btnOK");
  EXPECT_EQ(Walk(Qt::Key_Backtab, 7),
            "btnOK cbxFixCap txtWordSep txtSeqLength cbxMultSeq " + radio + " btnCancel btnOK");
  EXPECT_EQ(Selected(), unit.unit) << "moving the focus selects nothing";

  // Space on the button Tab entered keeps the unit.
  FocusIn(Options(), "btnCancel");
  QTest::keyClick(Focused(), Qt::Key_Tab);
  ASSERT_EQ(FocusedName().toStdString(), radio);
  QTest::keyClick(Focused(), Qt::Key_Space);
  EXPECT_EQ(Selected(), unit.unit);
  EXPECT_EQ(session_.settings.UnitMode, unit.unit_mode);
  Options()->hide();
}

INSTANTIATE_TEST_SUITE_P(Units, OptionsTabCycleTest,
                         ::testing::Values(UnitCase{1, "rbtLetters", "Letters"},
                                           UnitCase{2, "rbtWords", "Words"}),
                         [](const ::testing::TestParamInfo<UnitCase>& info) {
                           return std::string(info.param.unit);
                         });

TEST_F(KeyboardFocusTest, ArrowKeysMoveWithinThePair_TabThenEntersAtTheNewSelection) {
  Trigger("O_Options");
  FocusIn(Options(), "rbtWords");
  // An exclusive pair: the arrow moves the focus and the selection together.
  QTest::keyClick(Focused(), Qt::Key_Up);
  EXPECT_EQ(FocusedName(), "rbtLetters");
  EXPECT_EQ(Selected(), "Letters");
  QTest::keyClick(Focused(), Qt::Key_Up);
  EXPECT_EQ(FocusedName(), "rbtLetters") << "the pair's end stops the arrow";
  EXPECT_EQ(Walk(Qt::Key_Tab, 1), "rbtLetters cbxMultSeq");
  EXPECT_EQ(Walk(Qt::Key_Backtab, 2), "cbxMultSeq rbtLetters btnCancel");
  EXPECT_EQ(Walk(Qt::Key_Tab, 1), "btnCancel rbtLetters");
  QTest::keyClick(Focused(), Qt::Key_Down);
  EXPECT_EQ(FocusedName(), "rbtWords");
  EXPECT_EQ(Selected(), "Words");
  EXPECT_EQ(Walk(Qt::Key_Backtab, 1), "rbtWords btnCancel");
  // The choice reaches UnitMode only through OK.
  EXPECT_EQ(session_.settings.UnitMode, 2);
  Options()->hide();
}

TEST_F(KeyboardFocusTest, FocusOnTheUnselectedButton_TabLeavesAndReturnsAtTheSelection) {
  Trigger("O_Options");
  // A press on Letters released off it focuses Letters without selecting it.
  FocusIn(Options(), "rbtLetters");
  ASSERT_EQ(Selected(), "Words");
  EXPECT_EQ(Walk(Qt::Key_Tab, 1), "rbtLetters cbxMultSeq");
  EXPECT_EQ(Walk(Qt::Key_Backtab, 2), "cbxMultSeq rbtWords btnCancel");
  EXPECT_EQ(Walk(Qt::Key_Tab, 1), "btnCancel rbtWords");
  EXPECT_EQ(Selected(), "Words");
  Options()->hide();
}

TEST_F(KeyboardFocusTest, OpeningAgain_TheFocusInThePairFollowsTheRefilledSelection) {
  Trigger("O_Options");
  FocusIn(Options(), "rbtWords");
  QTest::keyClick(Focused(), Qt::Key_Up);
  ASSERT_EQ(Selected(), "Letters");
  Trigger("O_Options");  // the settings still say Words
  EXPECT_EQ(Selected(), "Words");
  EXPECT_EQ(FocusedName(), "rbtWords");
  QTest::keyClick(Focused(), Qt::Key_Space);
  EXPECT_EQ(Selected(), "Words");
  Options()->hide();
}

// Done after a Write: on the screen, the main window still active and its
// field still taking the keys.
class DoneFocusTest : public KeyboardFocusTest {
 protected:
  void SetUp() override {
    KeyboardFocusTest::SetUp();
    WriteBytes(Path("source.txt"), "one two three four five six seven eight ");
    session_.settings.MultSeq = 0;
    ReadSource(Path("source.txt"));
    ASSERT_EQ(session_.pool.Size(), 2u);
    Click(MainControl<QCheckBox>("cbxOWrite"));
    Type(Field("txtTo"), Path("target.txt"));
  }
};

TEST_F(DoneFocusTest, AfterAWrite_TheNumberFieldKeepsTheKeyboard) {
  FocusIn(main_.get(), "txtNoSeq");
  Type(Field("txtNoSeq"), "3");
  MainControl<QPushButton>("btnWrite")->click();  // as a shortcut would
  ASSERT_TRUE(IsShown("Done"));
  EXPECT_TRUE(QFile::exists(Path("target.txt")));
  EXPECT_EQ(QApplication::activeWindow(), main_.get());
  EXPECT_EQ(FocusedName(), "txtNoSeq");

  // The next count goes straight into the field, and the next Write too.
  QTest::keyClick(Focused(), Qt::Key_Backspace);
  QTest::keyClick(Focused(), '5');
  EXPECT_EQ(Field("txtNoSeq")->text(), "5");
  MainControl<QPushButton>("btnWrite")->click();
  EXPECT_EQ(session_.settings.NoSeq, 5);
  EXPECT_EQ(WindowsNamed("Done").size(), 1);
  EXPECT_EQ(QApplication::activeWindow(), main_.get());
  EXPECT_EQ(Focused(), Field("txtNoSeq"));
  EXPECT_EQ(beeps_, 0);
}

TEST_F(DoneFocusTest, WriteButtonClicked_KeepsTheFocusOnIt) {
  FocusIn(main_.get(), "txtNoSeq");
  Click(MainControl<QPushButton>("btnWrite"));
  ASSERT_TRUE(IsShown("Done"));
  EXPECT_EQ(QApplication::activeWindow(), main_.get());
  EXPECT_EQ(FocusedName(), "btnWrite");
  QTest::keyClick(Focused(), Qt::Key_Tab);
  EXPECT_EQ(FocusedName(), "txtNoSeq") << "Tab goes on in the main window";
}

TEST_F(DoneFocusTest, ClickedInto_EnterHidesIt) {
  Click(MainControl<QPushButton>("btnWrite"));
  QWidget* done = Window("Done");
  ASSERT_TRUE(IsShown("Done"));
  // What a click into it does. The request goes to the window system
  // itself and is repeated until Done is the active window: an activation
  // of the main window still on its way (the offscreen platform activates
  // every window it shows) would otherwise win, and QWidget::activateWindow
  // asks nothing while the main window, Done's transient parent, is active.
  ASSERT_NE(done->windowHandle(), nullptr);
  ASSERT_TRUE(QTest::qWaitFor([done] {
    if (QApplication::activeWindow() == done) return true;
    done->windowHandle()->requestActivate();
    return false;
  }));
  EXPECT_EQ(FocusedName(), "btnDone");
  QTest::keyClick(Focused(), Qt::Key_Return);
  EXPECT_FALSE(IsShown("Done"));
}

TEST_F(DoneFocusTest, ErrorDialogs_StillComeUpActive) {
  // Unlike Done, an error wants the user's attention: its Enter puts it
  // away.
  FocusIn(main_.get(), "txtNoSeq");
  Type(Field("txtNoSeq"), "x");
  MainControl<QPushButton>("btnWrite")->click();
  ASSERT_EQ(ShownDialogs(), QStringList{"ErrorNFN"});
  EXPECT_TRUE(QTest::qWaitForWindowActive(Window("ErrorNFN")));
}

}  // namespace
}  // namespace vorpel::test
