// The text boxes have no length limit: a pasted text of 100,000 characters
// reaches the engine whole, in every field of the main window and of the
// Options dialog. (A one-line text box of the toolkit cuts at 32,767.)

#include <QClipboard>
#include <QLabel>
#include <string>
#include <utility>
#include <vector>

#include "vorpel_test/window_test.h"

namespace vorpel::test {
namespace {

constexpr int kLength = 100'000;

// The main window with every error report recorded with its detail.
class LongTextTest : public WindowTest {
 protected:
  void SetUp() override {
    ASSERT_TRUE(dir_.isValid());
    WindowHooks hooks;
    hooks.beep = [this] { ++beeps_; };
    hooks.temp_path = QFile::encodeName(TempPath()).toStdString();
    hooks.end_program = [this] { ++program_ends_; };
    hooks.error_reported = [this](ErrorKind error, std::string_view detail) {
      reports_.emplace_back(error, std::string(detail));
    };
    main_ = std::make_unique<MainWindow>(session_, std::move(hooks));
    main_->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(main_.get()));
  }

  // Replaces the box's text with text through the clipboard, as a paste.
  static void Paste(QLineEdit* box, const QString& text) {
    ASSERT_NE(box, nullptr);
    QApplication::clipboard()->setText(text);
    ASSERT_EQ(QApplication::clipboard()->text().size(), text.size());
    box->setFocus();
    box->selectAll();
    QTest::keyClick(box, Qt::Key_V, Qt::ControlModifier);
  }

  QLineEdit* OptionsField(const char* name) {
    return Control<QLineEdit>(QStringLiteral("Options"), QString::fromLatin1(name));
  }

  std::vector<std::pair<ErrorKind, std::string>> reports_;
};

// n characters: the digits 0 to 9 over and over, then a final mark, so that
// a cut anywhere shows.
QString Numbered(int n, QChar last) {
  QString text;
  text.reserve(n);
  for (int i = 0; i < n - 1; ++i) text.push_back(QChar(u'0' + i % 10));
  text.push_back(last);
  return text;
}

TEST_F(LongTextTest, EveryTextBoxOfTheWindows_TakesAPastedTextWhole) {
  Trigger("O_Options");
  const QString text = Numbered(kLength, u'!');
  std::vector<QLineEdit*> boxes;
  for (QWidget* window : {static_cast<QWidget*>(main_.get()), Window("Options")}) {
    for (QLineEdit* box : window->findChildren<QLineEdit*>()) boxes.push_back(box);
  }
  ASSERT_EQ(boxes.size(), 5u) << "txtFrom, txtTo, txtNoSeq, txtSeqLength, txtWordSep";
  for (QLineEdit* box : boxes) {
    SCOPED_TRACE(box->objectName().toStdString());
    Paste(box, text);
    EXPECT_EQ(box->text().size(), kLength);
    EXPECT_EQ(box->text(), text);
    // Typing at the end goes on past the old limit.
    box->end(false);
    QTest::keyClick(box, 'z');
    EXPECT_EQ(box->text().size(), kLength + 1);
  }
  Window("Options")->hide();
}

TEST_F(LongTextTest, OptionsFields_ReachTheSettingsWhole) {
  Trigger("O_Options");
  // Separator characters in plain ASCII, one byte each.
  QString separator;
  for (int i = 0; i < kLength; ++i) separator.push_back(QChar(u' ' + i % 95));
  Paste(OptionsField("txtWordSep"), separator);
  // 99,999 zeros and a 7: cut at 32,767 it would read 0.
  Paste(OptionsField("txtSeqLength"), QString(kLength - 1, u'0') + u'7');
  Click(Control<QPushButton>(QStringLiteral("Options"), QStringLiteral("btnOK")));

  EXPECT_EQ(beeps_, 0);
  EXPECT_FALSE(IsShown("Options"));
  EXPECT_EQ(session_.settings.WordSep.size(), static_cast<std::size_t>(kLength));
  EXPECT_EQ(session_.settings.WordSep, separator.toStdString());
  EXPECT_EQ(session_.settings.SeqLength, 7);
}

TEST_F(LongTextTest, NumberOfSequences_ReachesTheWriteWhole) {
  WriteBytes(Path("source.txt"), "go.");
  ReadSource(Path("source.txt"));
  ASSERT_EQ(session_.pool.Size(), 1u);
  // 99,999 zeros and a 5: cut at 32,767 it would write nothing.
  Paste(Field("txtNoSeq"), QString(kLength - 1, u'0') + u'5');
  session_.settings.FixCap = 0;
  Type(Field("txtTo"), Path("target.txt"));
  Click(MainControl<QPushButton>("btnWrite"));
  EXPECT_EQ(beeps_, 0);
  EXPECT_EQ(session_.settings.NoSeq, 5);
  EXPECT_EQ(ReadBytes(Path("target.txt")), "go. go. go. go. go. ");
}

// No file system takes a path this long, but the engine must be asked
// about the whole of it: the report names it whole.
QString LongPath(const QString& folder) {
  return folder + QLatin1Char('/') + Numbered(kLength - static_cast<int>(folder.size()) - 1, u'x');
}

TEST_F(LongTextTest, SourcePath_ReachesReadWhole) {
  const QString path = LongPath(dir_.path());
  ASSERT_EQ(path.size(), kLength);
  Paste(Field("txtFrom"), path);
  Click(MainControl<QPushButton>("btnRead"));
  ASSERT_EQ(reports_.size(), 1u);
  EXPECT_EQ(reports_[0].first, ErrorKind::FNE);
  EXPECT_EQ(reports_[0].second.size(), static_cast<std::size_t>(kLength));
  EXPECT_EQ(reports_[0].second, QFile::encodeName(path).toStdString());
  EXPECT_EQ(ShownDialogs(), QStringList{"ErrorFNE"});
}

TEST_F(LongTextTest, TargetPath_ReachesWriteWhole_AndTheErrorDialogReadsItAloudWhole) {
  WriteBytes(Path("source.txt"), "go.");
  ReadSource(Path("source.txt"));
  session_.settings.FixCap = 0;
  const QString path = LongPath(dir_.path());
  Paste(Field("txtTo"), path);
  Click(MainControl<QPushButton>("btnWrite"));

  ASSERT_EQ(ShownDialogs(), QStringList{"ErrorIO"});
  ASSERT_EQ(reports_.size(), 1u);
  EXPECT_EQ(reports_[0].first, ErrorKind::IO);
  const std::string detail = QFile::encodeName(path).toStdString() + ": File name too long";
  EXPECT_EQ(reports_[0].second, detail);

  auto* label = Control<QLabel>("ErrorIO", "lblText");
  const QString shown = QStringLiteral("The file could not be read or written.\n") + path +
                        QStringLiteral(": File name too long");
  EXPECT_EQ(label->text(), shown);
  // The accessible name is the whole message, not its first sentence.
  EXPECT_EQ(label->accessibleName(), QString(shown).replace(u'\n', u' '));
}

TEST_F(LongTextTest, ErrorDialogWithADetail_ItsAccessibleNameFollowsEachMessage) {
  WriteBytes(Path("source.txt"), "go.");
  ReadSource(Path("source.txt"));
  session_.settings.FixCap = 0;
  auto* label = Control<QLabel>("ErrorIO", "lblText");
  const QString first_name = label->accessibleName();
  EXPECT_EQ(first_name, label->text()) << "before any detail";

  // A folder where the file is wanted fails the Write, even as root.
  ASSERT_TRUE(QDir(dir_.path()).mkpath(QStringLiteral("folder")));
  Click(MainControl<QCheckBox>("cbxOWrite"));
  for (const char* name : {"folder", "missing/target.txt"}) {
    SCOPED_TRACE(name);
    Type(Field("txtTo"), Path(QString::fromLatin1(name)));
    Click(MainControl<QPushButton>("btnWrite"));
    ASSERT_TRUE(IsShown("ErrorIO"));
    EXPECT_TRUE(label->text().contains(u'\n'));
    EXPECT_TRUE(label->accessibleName().contains(Path(QString::fromLatin1(name)) + ": "))
        << label->accessibleName().toStdString();
    EXPECT_EQ(label->accessibleName(), QString(label->text()).replace(u'\n', u' '));
  }
}

}  // namespace
}  // namespace vorpel::test
