// The Options dialog: filled on every opening, committed only by a valid
// OK, left alone by Cancel, reset by its next Load after a frame close.

#include <QPointer>

#include "vorpel_test/window_test.h"

namespace vorpel::test {
namespace {

class OptionsDialogTest : public WindowTest {
 protected:
  void Open() { Trigger("O_Options"); }
  QWidget* Dialog() { return Window("Options"); }
  template <typename T>
  T* Get(const char* name) {
    return Control<T>("Options", QString::fromLatin1(name));
  }
  QLineEdit* Length() { return Get<QLineEdit>("txtSeqLength"); }
  QLineEdit* Separator() { return Get<QLineEdit>("txtWordSep"); }
  QRadioButton* Letters() { return Get<QRadioButton>("rbtLetters"); }
  QRadioButton* Words() { return Get<QRadioButton>("rbtWords"); }
  QCheckBox* MultSeq() { return Get<QCheckBox>("cbxMultSeq"); }
  QCheckBox* FixCap() { return Get<QCheckBox>("cbxFixCap"); }
  void PressOk() { Click(Get<QPushButton>("btnOK")); }
  void PressCancel() { Click(Get<QPushButton>("btnCancel")); }

  // What the fields show: unit, length, separator, the two boxes.
  std::string Fields() {
    const char* unit = Letters()->isChecked() ? (Words()->isChecked() ? "both" : "Letters")
                                              : (Words()->isChecked() ? "Words" : "none");
    return std::string(unit) + " [" + Length()->text().toStdString() + "] [" +
           Separator()->text().toStdString() + "] " + (MultSeq()->isChecked() ? "M" : "-") +
           (FixCap()->isChecked() ? "F" : "-");
  }
  // The five option settings in the same form.
  std::string Settings() const {
    const GenerationSettings& s = session_.settings;
    return std::string(s.UnitMode == 1   ? "Letters"
                       : s.UnitMode == 2 ? "Words"
                                         : "?") +
           " [" + std::to_string(s.SeqLength) + "] [" + s.WordSep + "] " +
           (s.MultSeq == 1 ? "M" : "-") + (s.FixCap == 1 ? "F" : "-");
  }

  // Changes every field away from the defaults.
  void EditEveryField() {
    Click(Letters());
    Type(Length(), "9");
    Type(Separator(), ",;");
    Click(MultSeq());
    Click(FixCap());
    ASSERT_EQ(Fields(), "Letters [9] [,;] --");
  }
};

TEST_F(OptionsDialogTest, FreshStart_ShowsTheDefaultsModeless) {
  Open();
  ASSERT_TRUE(IsShown("Options"));
  EXPECT_EQ(Fields(), "Words [4] [ ] MF");
  EXPECT_FALSE(Dialog()->isModal());
  EXPECT_TRUE(main_->isEnabled());
}

TEST_F(OptionsDialogTest, Ok_CommitsEveryFieldAndHides) {
  Open();
  Click(Letters());
  Type(Length(), "99.5");
  Type(Separator(), "");
  Click(MultSeq());
  Click(FixCap());
  PressOk();
  EXPECT_FALSE(IsShown("Options"));
  EXPECT_EQ(beeps_, 0);
  EXPECT_EQ(Settings(), "Letters [100] [] --");
  EXPECT_EQ(session_.settings.MultSeq, 0);
  EXPECT_EQ(session_.settings.FixCap, 0);

  // Opening again shows what was committed, and sets no default.
  Open();
  EXPECT_EQ(Fields(), "Letters [100] [] --");
  EXPECT_EQ(Settings(), "Letters [100] [] --");
}

TEST_F(OptionsDialogTest, Separator_IsTakenAsUtf8) {
  Open();
  Type(Separator(), QString::fromUtf8("é-"));
  PressOk();
  EXPECT_EQ(session_.settings.WordSep, "\xC3\xA9-");
  Open();
  EXPECT_EQ(Separator()->text(), QString::fromUtf8("é-"));
}

struct LengthCase {
  const char* text;
  bool accepted;
  std::int16_t stored;  // when accepted
};

void PrintTo(const LengthCase& value, std::ostream* out) { *out << '"' << value.text << '"'; }

class OptionsLengthTest : public OptionsDialogTest,
                          public ::testing::WithParamInterface<LengthCase> {};

TEST_P(OptionsLengthTest, AcceptsZeroToHundredBeforeRounding) {
  const LengthCase& length = GetParam();
  Open();
  Type(Length(), length.text);
  Click(MultSeq());  // a valid change beside the length
  PressOk();
  if (length.accepted) {
    EXPECT_EQ(beeps_, 0);
    EXPECT_FALSE(IsShown("Options"));
    EXPECT_EQ(session_.settings.SeqLength, length.stored);
    EXPECT_EQ(session_.settings.MultSeq, 0);
  } else {
    EXPECT_EQ(beeps_, 1);
    EXPECT_EQ(ShownDialogs(), (QStringList{"ErrorOC", "Options"}));
    EXPECT_EQ(Settings(), "Words [4] [ ] MF") << "not even the valid field is committed";
    EXPECT_EQ(Fields(), "Words [" + std::string(length.text) + "] [ ] -F")
        << "the dialog keeps what was entered";
  }
}

INSTANTIATE_TEST_SUITE_P(
    Lengths, OptionsLengthTest,
    ::testing::Values(LengthCase{"100", true, 100}, LengthCase{"99.5", true, 100},
                      LengthCase{"2.5", true, 2}, LengthCase{"0", true, 0},
                      LengthCase{" 7 ", true, 7}, LengthCase{"1e2", true, 100},
                      LengthCase{"100.4", false, 0}, LengthCase{"-0.4", false, 0},
                      LengthCase{"-1", false, 0}, LengthCase{"", false, 0},
                      LengthCase{"abc", false, 0}, LengthCase{"101", false, 0}),
    [](const ::testing::TestParamInfo<LengthCase>& info) { return CaseName(info.param.text); });

TEST_F(OptionsDialogTest, SecondFailedOk_SecondBeepSameErrorOC) {
  Open();
  Type(Length(), "x");
  PressOk();
  PressOk();
  EXPECT_EQ(beeps_, 2);
  EXPECT_EQ(WindowsNamed("ErrorOC").size(), 1);
  EXPECT_EQ(Window("ErrorOC")->windowTitle(), "Error 0. C.");

  // Corrected, the same dialog accepts.
  Type(Length(), "5");
  PressOk();
  EXPECT_EQ(session_.settings.SeqLength, 5);
  EXPECT_EQ(beeps_, 2);
}

TEST_F(OptionsDialogTest, Cancel_ChangesNoSettingAndKeepsTheTypedTextUntilTheNextOpening) {
  Open();
  const QPointer<QWidget> dialog = Dialog();
  EditEveryField();
  PressCancel();
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  EXPECT_FALSE(IsShown("Options"));
  EXPECT_EQ(Dialog(), dialog.data()) << "hidden, not discarded";
  EXPECT_EQ(Settings(), "Words [4] [ ] MF");
  EXPECT_EQ(Fields(), "Letters [9] [,;] --") << "the hidden dialog keeps the edits";

  Open();
  EXPECT_EQ(Fields(), "Words [4] [ ] MF");
}

TEST_F(OptionsDialogTest, ChoosingAUnit_ReachesUnitModeOnlyThroughOk) {
  Open();
  Click(Letters());
  EXPECT_TRUE(Letters()->isChecked());
  EXPECT_FALSE(Words()->isChecked());
  EXPECT_EQ(session_.settings.UnitMode, 2);
  Click(Letters());  // a click on the selected button keeps it selected
  EXPECT_TRUE(Letters()->isChecked());
  EXPECT_EQ(session_.settings.UnitMode, 2);

  PressOk();
  EXPECT_EQ(session_.settings.UnitMode, 1);
  Open();
  Click(Words());
  EXPECT_EQ(session_.settings.UnitMode, 1);
  PressCancel();
  Open();
  EXPECT_EQ(Fields(), "Letters [4] [ ] MF");
}

TEST_F(OptionsDialogTest, OpeningWhileOpen_ReplacesTheEditsWithTheSettings) {
  Open();
  EditEveryField();
  Open();
  EXPECT_EQ(WindowsNamed("Options").size(), 1);
  EXPECT_TRUE(IsShown("Options"));
  EXPECT_EQ(Fields(), "Words [4] [ ] MF");
}

TEST_F(OptionsDialogTest, FrameClose_NextOpeningLoadsItAgainWithTheDefaults) {
  Open();
  EditEveryField();
  PressOk();
  ASSERT_EQ(Settings(), "Letters [9] [,;] --");

  Open();
  ASSERT_TRUE(Dialog()->close());
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  EXPECT_EQ(Dialog(), nullptr) << "closing through the frame discards the dialog";
  EXPECT_EQ(Settings(), "Letters [9] [,;] --") << "the settings keep their values until then";

  Open();
  EXPECT_EQ(Settings(), "Words [4] [ ] MF");
  EXPECT_EQ(Fields(), "Words [4] [ ] MF");
  EXPECT_EQ(WindowsNamed("Options").size(), 1);
}

TEST_F(OptionsDialogTest, FrameCloseThenOpenAtOnce_MakesOneNewDialog) {
  Open();
  QWidget* first = Dialog();
  first->close();
  Open();  // before the discarded one is deleted
  EXPECT_TRUE(IsShown("Options"));
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  EXPECT_EQ(WindowsNamed("Options").size(), 1);
  EXPECT_TRUE(IsShown("Options"));
}

TEST_F(OptionsDialogTest, Keys_EnterPressesOkEscapePressesCancel) {
  Open();
  Type(Length(), "6");
  PressKey(Dialog(), Qt::Key_Return);
  EXPECT_FALSE(IsShown("Options"));
  EXPECT_EQ(session_.settings.SeqLength, 6);

  Open();
  Type(Length(), "7");
  PressKey(Dialog(), Qt::Key_Escape);
  EXPECT_FALSE(IsShown("Options"));
  EXPECT_EQ(session_.settings.SeqLength, 6);
  EXPECT_EQ(Length()->text(), "7");
}

}  // namespace
}  // namespace vorpel::test
