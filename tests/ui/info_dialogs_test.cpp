// The information and error dialogs as the user handles them: their
// buttons and keys, the picture swap of AboutVorpel, and the fresh copy
// after a frame close.

#include "info_dialogs.h"

#include <QLabel>

#include "picture_box.h"
#include "vorpel_test/window_test.h"

namespace vorpel::test {
namespace {

using DialogsTest = WindowTest;

// Which picture AboutVorpel shows: "product", "maker", or what went wrong.
std::string AboutVorpelPicture() {
  auto* product = Control<PictureBox>("AboutVorpel", "icnVorpel");
  auto* maker = Control<PictureBox>("AboutVorpel", "icnCorvane");
  if (product == nullptr || maker == nullptr) return "missing";
  if (product->isVisible() == maker->isVisible()) return "both or neither";
  return product->isVisible() ? "product" : "maker";
}

std::int16_t AboutIconState() {
  return static_cast<AboutVorpelDialog*>(Window("AboutVorpel"))->AboutIconState();
}

TEST_F(DialogsTest, AboutVorpel_PictureClicksSwapProductAndMaker) {
  Trigger("I_A_Vorpel");
  ASSERT_EQ(AboutVorpelPicture(), "product");
  EXPECT_EQ(AboutIconState(), 0);
  EXPECT_EQ(Control<PictureBox>("AboutVorpel", "icnVorpel")->geometry(),
            Control<PictureBox>("AboutVorpel", "icnCorvane")->geometry());

  Click(Control<PictureBox>("AboutVorpel", "icnVorpel"));
  EXPECT_EQ(AboutVorpelPicture(), "maker");
  EXPECT_EQ(AboutIconState(), 1);
  // A click that reaches the hidden picture changes nothing.
  Click(Control<PictureBox>("AboutVorpel", "icnVorpel"));
  EXPECT_EQ(AboutVorpelPicture(), "maker");

  Click(Control<PictureBox>("AboutVorpel", "icnCorvane"));
  EXPECT_EQ(AboutVorpelPicture(), "product");
  EXPECT_EQ(AboutIconState(), 0);
}

TEST_F(DialogsTest, AboutVorpel_HidingKeepsThePictureFrameCloseStartsAgain) {
  Trigger("I_A_Vorpel");
  Click(Control<PictureBox>("AboutVorpel", "icnVorpel"));
  Click(Control<QPushButton>("AboutVorpel", "Ok"));
  EXPECT_FALSE(IsShown("AboutVorpel"));
  Trigger("I_A_Vorpel");
  EXPECT_EQ(AboutVorpelPicture(), "maker");

  Window("AboutVorpel")->close();
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  EXPECT_TRUE(WindowsNamed("AboutVorpel").isEmpty());
  Trigger("I_A_Vorpel");
  EXPECT_EQ(AboutVorpelPicture(), "product");
  EXPECT_EQ(AboutIconState(), 0);
}

TEST_F(DialogsTest, AboutCorvane_ShowsItsPictureFromTheFirstShowing) {
  Trigger("I_A_Corvane");
  auto* picture = Control<PictureBox>("AboutCorvane", "icnCorvane");
  ASSERT_NE(picture, nullptr);
  EXPECT_TRUE(picture->isVisible());
  EXPECT_EQ(picture->pixmap().size(), QSize(48, 48));
  EXPECT_EQ(Control<PictureBox>("AboutVorpel", "icnVorpel")->pixmap().size(), QSize(48, 48));
}

TEST_F(DialogsTest, EveryInfoDialogButton_HidesItsOwnDialogOnly) {
  const std::pair<const char*, const char*> dialogs[] = {{"AboutVorpel", "Ok"},
                                                         {"AboutCorvane", "Ok"},
                                                         {"AboutAuthor", "Ok"},
                                                         {"License", "Ok"},
                                                         {"Done", "btnDone"}};
  for (const auto& [dialog, button] : dialogs) main_->Dialogs().Show(dialog);
  for (const auto& [dialog, button] : dialogs) {
    const qsizetype before = ShownDialogs().size();
    Click(Control<QPushButton>(dialog, button));
    EXPECT_FALSE(IsShown(dialog)) << dialog;
    EXPECT_EQ(ShownDialogs().size(), before - 1) << dialog;
  }
}

// Every dialog with one button: Enter presses it; with no cancel button,
// Escape does nothing.
class OneButtonDialogTest : public WindowTest, public ::testing::WithParamInterface<const char*> {};

TEST_P(OneButtonDialogTest, EnterHidesEscapeDoesNothing) {
  const char* name = GetParam();
  QWidget* dialog = main_->Dialogs().Show(name);
  ASSERT_NE(dialog, nullptr);
  PressKey(dialog, Qt::Key_Escape);
  EXPECT_TRUE(IsShown(name));
  PressKey(dialog, Qt::Key_Return);
  EXPECT_FALSE(IsShown(name));
  EXPECT_EQ(WindowsNamed(name).size(), 1) << "hidden, not discarded";
}

INSTANTIATE_TEST_SUITE_P(Dialogs, OneButtonDialogTest,
                         ::testing::Values("ErrorFNE", "ErrorNFN", "ErrorCO", "ErrorOC", "ErrorR",
                                           "ErrorNR", "ErrorIO", "AboutAuthor", "AboutCorvane",
                                           "AboutVorpel", "License", "Done"),
                         [](const ::testing::TestParamInfo<const char*>& info) {
                           return std::string(info.param);
                         });

TEST_F(DialogsTest, ErrorDialog_FrameCloseDiscardsItTheNextReportMakesItAgain) {
  ReadSource(Path("missing.txt"));
  ASSERT_TRUE(IsShown("ErrorFNE"));
  Window("ErrorFNE")->close();
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  EXPECT_TRUE(WindowsNamed("ErrorFNE").isEmpty());

  ReadSource(Path("missing.txt"));
  EXPECT_EQ(beeps_, 2);
  EXPECT_TRUE(IsShown("ErrorFNE"));
  EXPECT_EQ(Control<QLabel>("ErrorFNE", "lblText")->text(),
            "The file you are trying to read doesn't exist.");
}

}  // namespace
}  // namespace vorpel::test
