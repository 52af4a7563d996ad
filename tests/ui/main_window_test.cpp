// The main window: start-up, Read, the overwrite switch, the menus and the
// end of the program.

#include <QAction>
#include <QMenu>

#include "vorpel_test/window_test.h"

namespace vorpel::test {
namespace {

const QStringList kAllDialogs{"Options",     "ErrorFNE", "ErrorOC", "ErrorNFN",    "ErrorCO",
                              "ErrorR",      "ErrorNR",  "ErrorIO", "AboutAuthor", "AboutCorvane",
                              "AboutVorpel", "License",  "Done"};

using MainWindowTest = WindowTest;

TEST_F(MainWindowTest, StartUp_EmptyPaths128SequencesDefaultOptionsNoDialogShown) {
  EXPECT_EQ(Field("txtFrom")->text(), "");
  EXPECT_EQ(Field("txtTo")->text(), "");
  EXPECT_EQ(Field("txtNoSeq")->text(), "128");
  EXPECT_FALSE(MainControl<QCheckBox>("cbxOWrite")->isChecked());

  const GenerationSettings& settings = session_.settings;
  EXPECT_EQ(settings.OWrite, 0);
  EXPECT_EQ(settings.NoSeq, 128);
  EXPECT_EQ(settings.WordSep, " ");
  EXPECT_EQ(settings.SeqLength, 4);
  EXPECT_EQ(settings.UnitMode, 2);
  EXPECT_EQ(settings.MultSeq, 1);
  EXPECT_EQ(settings.FixCap, 1);

  EXPECT_TRUE(main_->isVisible());
  EXPECT_EQ(main_->windowTitle(), "Main");
  EXPECT_TRUE(ShownDialogs().isEmpty()) << ShownDialogs().join(' ').toStdString();
  for (const QString& name : kAllDialogs) {
    EXPECT_EQ(WindowsNamed(name).size(), 1) << name.toStdString() << " loaded once, hidden";
  }
  EXPECT_EQ(beeps_, 0);
}

TEST_F(MainWindowTest, EditingTheNumber_ChangesNoSeqOnlyOnWrite) {
  Type(Field("txtNoSeq"), "7");
  EXPECT_EQ(session_.settings.NoSeq, 128);
}

TEST_F(MainWindowTest, ReadMissingSource_OneBeepErrorFNEAndThePoolKept) {
  WriteBytes(Path("source.txt"), "one two three four five six seven eight nine ");
  session_.settings.MultSeq = 0;
  ReadSource(Path("source.txt"));
  ASSERT_EQ(session_.pool.Size(), 3u);
  EXPECT_EQ(beeps_, 0);
  EXPECT_TRUE(ShownDialogs().isEmpty()) << "a successful Read shows nothing";

  ReadSource(Path("missing.txt"));
  EXPECT_EQ(beeps_, 1);
  EXPECT_EQ(ShownDialogs(), QStringList{"ErrorFNE"});
  EXPECT_EQ(session_.pool.Size(), 3u);
  EXPECT_EQ(session_.pool.Item(0), "one two three four ");

  // An empty path, and a folder, name no file either.
  ReadSource("");
  ReadSource(dir_.path());
  EXPECT_EQ(beeps_, 3);
  EXPECT_EQ(WindowsNamed("ErrorFNE").size(), 1);
  EXPECT_EQ(session_.pool.Size(), 3u);
}

TEST_F(MainWindowTest, Read_RunsUnderTheWaitCursorAndRestoresIt) {
  ReadSource(Path("missing.txt"));
  ASSERT_EQ(beep_cursors_.size(), 1u);
  EXPECT_EQ(beep_cursors_[0], Qt::WaitCursor);
  EXPECT_EQ(QApplication::overrideCursor(), nullptr);
}

TEST_F(MainWindowTest, Read_TakesThePathExactlyAsTyped) {
  // Spaces inside and at the ends, and letters outside ASCII.
  const QString name = QString::fromUtf8(" Grüße aus Köln.txt ");
  WriteBytes(Path(name), "a b c d e ");
  ReadSource(Path(name));
  EXPECT_EQ(beeps_, 0);
  EXPECT_EQ(session_.pool.Size(), 2u);

  // The same path without its trailing blank names no file.
  ReadSource(Path(name.chopped(1)));
  EXPECT_EQ(beeps_, 1);
}

TEST_F(MainWindowTest, OverwriteBox_EachChangeFlipsOWrite) {
  auto* box = MainControl<QCheckBox>("cbxOWrite");
  Click(box);
  EXPECT_TRUE(box->isChecked());
  EXPECT_EQ(session_.settings.OWrite, 1);
  Click(box);
  EXPECT_FALSE(box->isChecked());
  EXPECT_EQ(session_.settings.OWrite, 0);

  // The keyboard changes it as well.
  box->setFocus();
  QTest::keyClick(box, Qt::Key_Space);
  EXPECT_EQ(session_.settings.OWrite, 1);

  // The switch flips the setting, it does not copy the box: a value other
  // than 0 and 1 is left alone.
  session_.settings.OWrite = 5;
  Click(box);
  EXPECT_EQ(session_.settings.OWrite, 5);
}

TEST_F(MainWindowTest, InfoMenu_ShowsEachDialogModelessAndOnce) {
  const std::pair<const char*, const char*> items[] = {{"I_A_Vorpel", "AboutVorpel"},
                                                       {"I_A_Corvane", "AboutCorvane"},
                                                       {"I_A_Author", "AboutAuthor"},
                                                       {"I_License", "License"}};
  for (const auto& [item, dialog] : items) {
    Trigger(item);
    Trigger(item);
    EXPECT_TRUE(IsShown(dialog)) << item;
    EXPECT_EQ(WindowsNamed(dialog).size(), 1) << item;
  }
  EXPECT_EQ(ShownDialogs(), (QStringList{"AboutAuthor", "AboutCorvane", "AboutVorpel", "License"}));
  EXPECT_TRUE(main_->isVisible());
  EXPECT_FALSE(Window("AboutVorpel")->isModal());

  auto* info = main_->findChild<QAction*>("I_Info");
  ASSERT_NE(info, nullptr);
  EXPECT_FALSE(info->isEnabled());
  EXPECT_TRUE(info->isVisible());
}

TEST_F(MainWindowTest, Menus_NestAsTheMenuBarReads) {
  const auto items = [this](const char* menu) {
    QStringList captions;
    for (QAction* action : main_->findChild<QMenu*>(menu)->actions()) {
      captions.push_back(action->text());
    }
    return captions;
  };
  EXPECT_EQ(items("M_File"), QStringList{"&Exit"});
  EXPECT_EQ(items("M_Options"), QStringList{"&Options..."});
  EXPECT_EQ(items("M_Info"), (QStringList{"&About", "&Info", "&License"}));
  EXPECT_EQ(items("I_About"), (QStringList{"&Vorpel", "&Corvane", "&Author"}));
  for (QAction* action : main_->findChildren<QAction*>()) {
    EXPECT_TRUE(action->shortcut().isEmpty()) << action->objectName().toStdString();
  }
}

TEST_F(MainWindowTest, FileExit_EndsTheProgramWithEveryDialog) {
  Trigger("O_Options");
  Trigger("I_A_Vorpel");
  ReadSource(Path("missing.txt"));
  ASSERT_EQ(ShownDialogs().size(), 3);

  Trigger("F_Exit");
  EXPECT_EQ(program_ends_, 1);
  EXPECT_FALSE(main_->isVisible());
  EXPECT_TRUE(ShownDialogs().isEmpty()) << ShownDialogs().join(' ').toStdString();
}

TEST_F(MainWindowTest, ClosingMain_EndsTheProgramWithoutAsking) {
  Trigger("I_A_Author");
  EXPECT_TRUE(main_->close()) << "the close is never refused";
  EXPECT_EQ(program_ends_, 1);
  EXPECT_TRUE(ShownDialogs().isEmpty());
}

}  // namespace
}  // namespace vorpel::test
