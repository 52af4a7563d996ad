// The Write button from end to end: the checks with their beeps and
// dialogs, the number of sequences, both routes, and file errors.

#include <QCheckBox>
#include <QLabel>
#include <QRadioButton>
#include <set>

#include "vorpel_test/window_test.h"

namespace vorpel::test {
namespace {

// "go." read in words mode makes the one item "go. " (the word cut off by
// the end of the source is closed by the separator), so every written text
// is known in advance.
constexpr char kSource[] = "go.";
constexpr char kItem[] = "go. ";

class WriteCommandTest : public WindowTest {
 protected:
  void ReadTheSource() {
    WriteBytes(Path("source.txt"), kSource);
    ReadSource(Path("source.txt"));
    ASSERT_EQ(session_.pool.Size(), 1u);
    ASSERT_EQ(session_.pool.Item(0), kItem);
  }
  QString ErrorIOText() { return Control<QLabel>("ErrorIO", "lblText")->text(); }
};

TEST_F(WriteCommandTest, EveryCheckFails_ThreeBeepsEachBeforeItsDialog_TwiceStillOneCopyEach) {
  session_.settings.FixCap = 1;
  Write("", "");
  EXPECT_EQ(beeps_, 3);
  EXPECT_EQ(shown_at_beeps_, (std::vector<QStringList>{{}, {"ErrorNFN"}, {"ErrorNFN", "ErrorR"}}));
  EXPECT_EQ(ShownDialogs(), (QStringList{"ErrorCO", "ErrorNFN", "ErrorR"}));
  EXPECT_EQ(session_.settings.NoSeq, 128);
  EXPECT_FALSE(QFile::exists(TempPath()));
  EXPECT_EQ(beep_cursors_.front(), Qt::WaitCursor);

  Click(MainControl<QPushButton>("btnWrite"));
  EXPECT_EQ(beeps_, 6);
  for (const char* dialog : {"ErrorNFN", "ErrorR", "ErrorCO"}) {
    EXPECT_EQ(WindowsNamed(dialog).size(), 1) << dialog;
  }
  EXPECT_EQ(ShownDialogs(), (QStringList{"ErrorCO", "ErrorNFN", "ErrorR"}));
  EXPECT_EQ(QApplication::overrideCursor(), nullptr);
}

TEST_F(WriteCommandTest, EmptyTargetTwiceWhileErrorCOIsOpen_TwoBeepsOneDialog) {
  ReadTheSource();
  Write("3", "");
  Write("3", "");
  EXPECT_EQ(beeps_, 2);
  EXPECT_EQ(ShownDialogs(), QStringList{"ErrorCO"});
  EXPECT_EQ(WindowsNamed("ErrorCO").size(), 1);
}

struct RouteCase {
  const char* name;
  std::int16_t fix_cap;
  bool target_exists;
  bool overwrite;
  QByteArray target_after;  // expected content of the target
  bool temp_written;        // the intermediate file holds the drawn text
  bool refused;             // ErrorCO, nothing written
};

void PrintTo(const RouteCase& value, std::ostream* out) { *out << '"' << value.name << '"'; }

class WriteRoutesTest : public WriteCommandTest, public ::testing::WithParamInterface<RouteCase> {};

TEST_P(WriteRoutesTest, WritesTheTargetOrRefusesAnExistingOne) {
  const RouteCase& route = GetParam();
  ReadTheSource();
  session_.settings.FixCap = route.fix_cap;
  if (route.target_exists) WriteBytes(Path("target.txt"), "old text");
  if (route.overwrite) Click(MainControl<QCheckBox>("cbxOWrite"));

  Write("3", Path("target.txt"));

  EXPECT_EQ(ReadBytes(Path("target.txt")), route.target_after);
  EXPECT_EQ(QFile::exists(TempPath()), route.temp_written);
  if (route.temp_written) {
    EXPECT_EQ(ReadBytes(TempPath()), "go. go. go. ") << "the text as drawn, before the fix";
  }
  EXPECT_EQ(session_.settings.NoSeq, route.refused ? 128 : 3);
  EXPECT_EQ(beeps_, route.refused ? 1 : 0);
  EXPECT_EQ(ShownDialogs(), route.refused ? QStringList{"ErrorCO"} : QStringList{"Done"});
}

INSTANTIATE_TEST_SUITE_P(
    BothRoutes, WriteRoutesTest,
    ::testing::Values(
        RouteCase{"Direct_NewTarget", 0, false, false, "go. go. go. ", false, false},
        RouteCase{"Direct_ExistingTarget_Refused", 0, true, false, "old text", false, true},
        RouteCase{"Direct_ExistingTarget_Overwrite", 0, true, true, "go. go. go. ", false, false},
        RouteCase{"Direct_NewTarget_Overwrite", 0, false, true, "go. go. go. ", false, false},
        RouteCase{"Fix_NewTarget", 1, false, false, "Go. Go. Go. ", true, false},
        RouteCase{"Fix_ExistingTarget_Refused", 1, true, false, "old text", false, true},
        RouteCase{"Fix_ExistingTarget_Overwrite", 1, true, true, "Go. Go. Go. ", true, false},
        RouteCase{"OtherFixCapValue_IsTheDirectRoute", 2, false, false, "go. go. go. ", false,
                  false}),
    [](const ::testing::TestParamInfo<RouteCase>& info) { return info.param.name; });

struct NumberCase {
  const char* text;
  std::int16_t no_seq;
};

void PrintTo(const NumberCase& value, std::ostream* out) { *out << '"' << value.text << '"'; }

class WriteNumberTest : public WriteCommandTest,
                        public ::testing::WithParamInterface<NumberCase> {};

TEST_P(WriteNumberTest, RoundsTheNumberTextIntoNoSeq) {
  ReadTheSource();
  session_.settings.FixCap = 0;
  Write(GetParam().text, Path("target.txt"));
  EXPECT_EQ(beeps_, 0);
  EXPECT_EQ(session_.settings.NoSeq, GetParam().no_seq);
  ASSERT_TRUE(QFile::exists(Path("target.txt")));
  const int items = std::max<int>(GetParam().no_seq, 0);
  EXPECT_EQ(ReadBytes(Path("target.txt")), QByteArray(kItem).repeated(items));
}

INSTANTIATE_TEST_SUITE_P(Numbers, WriteNumberTest,
                         ::testing::Values(NumberCase{"12.5", 12}, NumberCase{"13.5", 14},
                                           NumberCase{" 7 ", 7}, NumberCase{"1e1", 10},
                                           NumberCase{"0", 0}, NumberCase{"-5", -5}),
                         [](const ::testing::TestParamInfo<NumberCase>& info) {
                           return CaseName(info.param.text);
                         });

struct RefusedNumberCase {
  const char* text;
  const char* dialog;
};

void PrintTo(const RefusedNumberCase& value, std::ostream* out) {
  *out << '"' << value.text << '"';
}

class WriteRefusedNumberTest : public WriteCommandTest,
                               public ::testing::WithParamInterface<RefusedNumberCase> {};

TEST_P(WriteRefusedNumberTest, OneBeepOneDialogNothingWritten) {
  ReadTheSource();
  Write(GetParam().text, Path("target.txt"));
  EXPECT_EQ(beeps_, 1);
  EXPECT_EQ(ShownDialogs(), QStringList{GetParam().dialog});
  EXPECT_EQ(session_.settings.NoSeq, 128);
  EXPECT_FALSE(QFile::exists(Path("target.txt")));
  EXPECT_FALSE(QFile::exists(TempPath()));
}

INSTANTIATE_TEST_SUITE_P(
    Numbers, WriteRefusedNumberTest,
    ::testing::Values(RefusedNumberCase{"abc", "ErrorNFN"}, RefusedNumberCase{"", "ErrorNFN"},
                      RefusedNumberCase{"12abc", "ErrorNFN"}, RefusedNumberCase{"0x10", "ErrorNFN"},
                      RefusedNumberCase{"40000", "ErrorNR"}, RefusedNumberCase{"-32769", "ErrorNR"},
                      RefusedNumberCase{"1e6", "ErrorNR"}),
    [](const ::testing::TestParamInfo<RefusedNumberCase>& info) {
      return CaseName(info.param.text);
    });

TEST_F(WriteCommandTest, SecondWrite_DrawsFromTheSamePoolAndShowsOneDone) {
  ReadTheSource();
  session_.settings.FixCap = 0;
  Write("1", Path("first.txt"));
  Write("2", Path("second.txt"));
  EXPECT_EQ(ReadBytes(Path("second.txt")), "go. go. ");
  EXPECT_EQ(WindowsNamed("Done").size(), 1);
  EXPECT_EQ(ShownDialogs(), QStringList{"Done"});
}

// Letters of 3 of "abcdef" chosen in the Options dialog: with Multiple
// Sequences ticked, as it starts, a Read and a Write give the overlapping
// sequences "abc" "bcd" "cde" "def"; cleared, the runs "abc" "def".
TEST_F(WriteCommandTest, MultipleSequencesTicked_OverlappingSequencesCleared_RunsOneAfterAnother) {
  WriteBytes(Path("source.txt"), "abcdef");
  for (const bool ticked : {true, false}) {
    SCOPED_TRACE(ticked ? "ticked" : "cleared");
    Trigger("O_Options");
    Click(Control<QRadioButton>("Options", "rbtLetters"));
    Type(Control<QLineEdit>("Options", "txtSeqLength"), QStringLiteral("3"));
    auto* multiple = Control<QCheckBox>("Options", "cbxMultSeq");
    if (multiple->isChecked() != ticked) Click(multiple);
    auto* fix = Control<QCheckBox>("Options", "cbxFixCap");
    if (fix->isChecked()) Click(fix);
    Click(Control<QPushButton>("Options", "btnOK"));
    ASSERT_EQ(session_.settings.MultSeq, ticked ? 1 : 0);

    ReadSource(Path("source.txt"));
    const std::set<QByteArray> items = ticked ? std::set<QByteArray>{"abc", "bcd", "cde", "def"}
                                              : std::set<QByteArray>{"abc", "def"};
    ASSERT_EQ(session_.pool.Size(), items.size());
    const QString target = Path(ticked ? "ticked.txt" : "cleared.txt");
    Write("200", target);
    const QByteArray written = ReadBytes(target);
    ASSERT_EQ(written.size(), 600);
    std::set<QByteArray> drawn;
    for (qsizetype at = 0; at < written.size(); at += 3) drawn.insert(written.mid(at, 3));
    EXPECT_EQ(drawn, items);  // each of the few items comes up among 200 draws
  }
  EXPECT_EQ(beeps_, 0);
}

TEST_F(WriteCommandTest, TargetWithNonAsciiName_IsWrittenUnderThatName) {
  ReadTheSource();
  session_.settings.FixCap = 1;
  const QString name = QString::fromUtf8("ausgabe für dich.txt");
  Write("2", Path(name));
  EXPECT_EQ(ReadBytes(Path(name)), "Go. Go. ");
}

TEST_F(WriteCommandTest, FileError_ShowsErrorIOWithPathAndReason_ReplacedOnEachShow) {
  ReadTheSource();
  session_.settings.FixCap = 0;
  const QString missing_folder = Path("no such folder/target.txt");
  Write("3", missing_folder);
  EXPECT_EQ(beeps_, 1);
  EXPECT_EQ(ShownDialogs(), QStringList{"ErrorIO"});
  const QString prefix = "The file could not be read or written.\n" + missing_folder + ": ";
  EXPECT_TRUE(ErrorIOText().startsWith(prefix)) << ErrorIOText().toStdString();
  EXPECT_GT(ErrorIOText().size(), prefix.size()) << "the system's reason follows the path";
  EXPECT_EQ(Window("ErrorIO")->windowTitle(), "Error I. O.");

  // A folder where the target file should be passes the checks and fails
  // in the writing.
  Write("3", dir_.path());
  EXPECT_EQ(beeps_, 2);
  EXPECT_EQ(WindowsNamed("ErrorIO").size(), 1);
  EXPECT_TRUE(ErrorIOText().startsWith("The file could not be read or written.\n" + dir_.path()))
      << ErrorIOText().toStdString();
  EXPECT_FALSE(ErrorIOText().contains(missing_folder));
  EXPECT_FALSE(IsShown("Done"));
}

}  // namespace
}  // namespace vorpel::test
