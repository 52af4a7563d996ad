// A seeded random walk through the windows, as a restless user would go:
// clicks on every button, check box, radio button and menu item, keys
// (Enter, Escape, Tab, Space), typing into every field (short, very long
// and binary text), dialogs closed through their frames, the program ended
// and started again, and Read and Write of real small files. A model of
// what the user must see runs beside it, and after every step the windows
// are checked against it:
// - at most one copy of each dialog exists, and the dialogs a command
//   reported are shown;
// - the settings are what the Options rules, the overwrite box and the
//   Write command made them, and lie in their ranges;
// - a Read leaves the pool holding the items of the literal reference
//   reader on the file as it was (overlapping sequences while the Multiple
//   Sequences box is ticked, runs one after another while it is clear), or
//   keeps it when the file is missing;
// - every file a Write produces is a concatenation of pool items, with the
//   literal capitalization fix applied to the intermediate file when the
//   fix is on; a refused or failed Write changes no file and leaves no
//   partial file.
// STRESS_STEPS and STRESS_SEED in the environment set the length and the
// seed of the walk.

#include <QAction>
#include <QDir>
#include <QLabel>
#include <QMenu>
#include <array>
#include <cstdlib>
#include <deque>
#include <fstream>
#include <iostream>
#include <map>
#include <random>
#include <unordered_set>

#include "byte_buffer.h"
#include "file_reading.h"
#include "info_dialogs.h"
#include "numeric_text.h"
#include "option_rules.h"
#include "source_reader.h"
#include "vorpel_test/engine_doubles.h"
#include "vorpel_test/printing.h"
#include "vorpel_test/reference_algorithms.h"
#include "vorpel_test/temp_dir.h"
#include "vorpel_test/text_generator.h"
#include "vorpel_test/utf8_reference.h"
#include "vorpel_test/window_test.h"

namespace vorpel::test {
namespace {

namespace fs = std::filesystem;
using Items = std::vector<std::string>;

constexpr char kIoMessage[] = "The file could not be read or written.\n";
constexpr std::uintmax_t kLargestSourceRead = 128 * 1024;
constexpr std::uint64_t kLargestWrite = 1024 * 1024;

std::uint64_t EnvironmentNumber(const char* name, std::uint64_t fallback) {
  const char* text = std::getenv(name);
  if (text == nullptr || *text == '\0') return fallback;
  return std::strtoull(text, nullptr, 10);
}

std::string Utf8(const QString& text) { return text.toUtf8().toStdString(); }
fs::path PathOf(const QString& text) { return QFile::encodeName(text).toStdString(); }
QString Printable(const QString& text) {
  return text.size() > 60 ? text.left(60) + QStringLiteral("...(%1)").arg(text.size()) : text;
}

// The content of a regular file (links followed); nullopt for anything else.
std::optional<std::string> ReadAll(const fs::path& path) {
  std::error_code ignored;
  if (!fs::is_regular_file(path, ignored)) return std::nullopt;
  std::ifstream in(path, std::ios::binary);
  if (!in) return std::nullopt;
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// Whether text is a concatenation of items, and if so the fewest and the
// most items any such cutting uses.
struct Cutting {
  bool whole = false;
  std::int64_t fewest = 0;
  std::int64_t most = 0;
};

Cutting CutIntoItems(std::string_view text, const Items& items) {
  std::array<std::vector<std::string_view>, 256> by_first_byte;
  std::unordered_set<std::string_view> seen;
  for (const std::string& item : items) {
    if (!item.empty() && seen.insert(item).second) {
      by_first_byte[static_cast<unsigned char>(item.front())].push_back(item);
    }
  }
  constexpr std::int64_t kUnreached = -1;
  std::vector<std::int64_t> fewest(text.size() + 1, kUnreached);
  std::vector<std::int64_t> most(text.size() + 1, kUnreached);
  fewest[0] = most[0] = 0;
  for (std::size_t at = 0; at < text.size(); ++at) {
    if (fewest[at] == kUnreached) continue;
    for (const std::string_view item : by_first_byte[static_cast<unsigned char>(text[at])]) {
      if (text.substr(at, item.size()) != item) continue;
      const std::size_t next = at + item.size();
      if (fewest[next] == kUnreached || fewest[next] > fewest[at] + 1)
        fewest[next] = fewest[at] + 1;
      most[next] = std::max(most[next], most[at] + 1);
    }
  }
  return {fewest.back() != kUnreached, fewest.back(), most.back()};
}

// Where the writer's new file would be refused or fail: a folder, a
// missing folder, a name too long, a file without write permission.
bool WriteMustFail(fs::path path) {
  std::error_code ignored;
  for (int depth = 0; depth < 40 && fs::is_symlink(fs::symlink_status(path, ignored)); ++depth) {
    const fs::path link = fs::read_symlink(path, ignored);
    path = link.is_absolute() ? link : path.parent_path() / link;
  }
  if (path.filename().string().size() > 255) return true;
  const fs::path folder = path.parent_path().empty() ? fs::path(".") : path.parent_path();
  if (!fs::is_directory(folder, ignored)) return true;
  const fs::file_status status = fs::symlink_status(path, ignored);
  if (fs::is_directory(status)) return true;
  constexpr fs::perms kWrite =
      fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write;
  return fs::is_regular_file(status) && (status.permissions() & kWrite) == fs::perms::none;
}

// The dialogs of the program and the one button of each dialog that has
// a single button.
const std::map<QString, QString>& SingleButtons() {
  static const std::map<QString, QString> buttons{
      {"ErrorFNE", "btnOK"},  {"ErrorNFN", "btnOK"}, {"ErrorCO", "lblOK"}, {"ErrorOC", "lblOK"},
      {"ErrorR", "lblOK"},    {"ErrorNR", "btnOK"},  {"ErrorIO", "btnOK"}, {"AboutAuthor", "Ok"},
      {"AboutCorvane", "Ok"}, {"AboutVorpel", "Ok"}, {"License", "Ok"},    {"Done", "btnDone"}};
  return buttons;
}

GenerationSettings StartUpSettings() {
  GenerationSettings settings;
  settings.SetDefaultOptions();
  settings.OWrite = 0;
  settings.NoSeq = 128;
  return settings;
}

// What the windows must show, kept beside them.
struct Model {
  GenerationSettings settings = StartUpSettings();
  Items pool;
  test::ReferenceEncoding pool_encoding = test::ReferenceEncoding::EightBit;
  std::int16_t about_icon_state = 0;  // of AboutVorpel, while it exists
};

// How the user presses a button: with the mouse, with Space while it has
// the focus, or with Enter in its window.
enum class How { Mouse, Space, Enter };

class WindowStressTest : public WindowTest {
 protected:
  void SetUp() override {
    WindowTest::SetUp();
    work_ = Path("work");
    ASSERT_TRUE(QDir().mkpath(work_ + "/folder"));
    // Typed names are relative to the work folder. Random names never
    // hold a slash and the few fixed ones with a slash stay inside it, so
    // nothing is written elsewhere. The intermediate file lies one folder
    // up, where no typed name reaches.
    working_dir_ = std::make_unique<WorkingDirectory>(PathOf(work_));
    MakeFiles();
  }
  void TearDown() override {
    working_dir_.reset();
    WindowTest::TearDown();
  }

  void MakeFiles() {
    const std::size_t sizes[] = {0, 1, 60, 400, 1500, 4000};
    for (std::size_t i = 0; i < std::size(sizes); ++i) {
      WriteBytes(SourceName(i),
                 QByteArray::fromStdString(MakeText(sizes[i], random_, BinaryWords())));
    }
    WriteBytes("locked.txt", "read only");
    ASSERT_TRUE(QFile::setPermissions("locked.txt", QFile::ReadOwner | QFile::ReadGroup));
    fs::create_symlink("s3.txt", "link.txt");
    fs::create_symlink("ghost.txt", "dangling");
  }
  static QString SourceName(std::size_t i) { return QStringLiteral("s%1.txt").arg(i); }

  // ---------------------------------------------------------------- texts

  std::uint64_t Below(std::uint64_t bound) { return random_() % bound; }
  bool Chance(int percent) { return Below(100) < static_cast<std::uint64_t>(percent); }
  template <typename T, std::size_t N>
  const T& Pick(const T (&choices)[N]) {
    return choices[Below(N)];
  }

  // Any characters but the slash (and NUL, which no keyboard gives):
  // control characters, Latin-1, other scripts, symbols.
  QString BinaryText(int length) {
    QString text;
    for (int i = 0; i < length; ++i) {
      char16_t code = 0;
      switch (Below(4)) {
        case 0: code = static_cast<char16_t>(1 + Below(31)); break;
        case 1: code = static_cast<char16_t>(32 + Below(224)); break;
        case 2: code = static_cast<char16_t>(0x100 + Below(0xD000)); break;
        default: code = static_cast<char16_t>(0xE000 + Below(0x1FFE)); break;
      }
      if (code == u'/') code = u'%';
      text += QChar(code);
    }
    return text;
  }

  QString LongText(int length) {
    QString text;
    for (int i = 0; i < length; ++i) text += QChar(static_cast<char16_t>('a' + Below(26)));
    return text;
  }

  QString PathText() {
    const auto roll = Below(100);
    if (roll < 30) return SourceName(Below(6));
    if (roll < 42) return QStringLiteral("t%1.txt").arg(Below(8));
    if (roll < 50) return QStringLiteral("new%1.txt").arg(++fresh_names_);
    if (roll < 55) return Path("work/") + SourceName(Below(6));
    if (roll < 75) {
      static constexpr const char* kOthers[] = {
          "folder",   "folder/inner.txt", "locked.txt", "link.txt",
          "dangling", "missing/x.txt",    "",           "   ",
          ".",        "s3.txt ",          "S1.TXT"};
      return QString::fromUtf8(Pick(kOthers));
    }
    if (roll < 80) return LongText(static_cast<int>(200 + Below(400)));
    return BinaryText(static_cast<int>(1 + Below(24)));
  }

  QString NumberText() {
    static constexpr const char* kNumbers[] = {
        "0",  "1",     "2",      "3",    "5",    "8",     "13",  "21",  "40",   "64",
        "-5", "2.5",   "3.5",    "12.5", " 7 ",  "1e1",   "1e2", "250", "abc",  "",
        "  ", "40000", "-32769", "1e6",  "0x10", "12abc", "+4",  "4.",  ".5e1", "32767"};
    if (Chance(4)) return LongText(static_cast<int>(100 + Below(3000)));
    if (Chance(4)) return BinaryText(static_cast<int>(1 + Below(30)));
    return QString::fromUtf8(Pick(kNumbers));
  }

  QString SeqLengthText() {
    static constexpr const char* kLengths[] = {
        "0",    "1",   "1",   "2",  "2",     "3",    "4",   "5", "7",   "12",  "100",
        "99.5", "2.5", "101", "-1", "100.4", "-0.4", "abc", "",  " 3 ", "1e1", "3e0"};
    if (Chance(3)) return LongText(static_cast<int>(100 + Below(2000)));
    if (Chance(3)) return BinaryText(static_cast<int>(1 + Below(20)));
    return QString::fromUtf8(Pick(kLengths));
  }

  QString WordSepText() {
    static constexpr const char* kSeparators[] = {" ",   " ",   " ,", "",    ".", "e",
                                                  " \t", "xyz", ",",  " .!", "_", "\xc3\xa9 "};
    if (Chance(5)) return LongText(static_cast<int>(50 + Below(500)));
    if (Chance(10)) return BinaryText(static_cast<int>(1 + Below(6)));
    return QString::fromUtf8(Pick(kSeparators));
  }

  // Replaces (or extends) the text of a box by typing. Plain short text
  // comes key by key; other text comes as one key event that carries it,
  // as an input method delivers it.
  void TypeInto(QLineEdit* box, const QString& text) {
    box->setFocus();
    if (!Chance(10)) {
      QTest::keyClick(box, Qt::Key_A, Qt::ControlModifier);
      QTest::keyClick(box, Qt::Key_Backspace);
    }
    const bool plain = text.size() <= 40 && std::all_of(text.begin(), text.end(), [](QChar c) {
                         return c.unicode() >= 32 && c.unicode() < 127;
                       });
    if (plain) {
      QTest::keyClicks(box, text);
    } else if (!text.isEmpty()) {
      QKeyEvent press(QEvent::KeyPress, Qt::Key_unknown, Qt::NoModifier, text);
      QKeyEvent release(QEvent::KeyRelease, Qt::Key_unknown, Qt::NoModifier, text);
      QApplication::sendEvent(box, &press);
      QApplication::sendEvent(box, &release);
    }
  }

  // -------------------------------------------------------------- the walk

  void Settle() {
    QCoreApplication::processEvents();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  }

  void Fault(const std::string& what) {
    if (fault_.empty()) fault_ = what;
  }
  void Expect(bool holds, const std::string& what) {
    if (!holds) Fault(what);
  }

  FormDialog* Dialog(const QString& name) { return main_->Dialogs().Find(name); }
  bool Shown(const QString& name) {
    FormDialog* dialog = Dialog(name);
    return dialog != nullptr && dialog->isVisible();
  }
  template <typename T>
  T* In(const QString& window, const char* name) {
    QWidget* top = window == QLatin1String("Main") ? static_cast<QWidget*>(main_.get())
                                                   : static_cast<QWidget*>(Dialog(window));
    return top == nullptr ? nullptr : top->findChild<T*>(QString::fromLatin1(name));
  }
  void ClickOn(QWidget* widget) {
    if (widget == nullptr) return Fault("no such control");
    Click(widget);
  }
  void Press(QWidget* button, How how) {
    if (button == nullptr) return Fault("no such button");
    if (how == How::Mouse) return Click(button);
    if (how == How::Space) return QTest::keyClick(button, Qt::Key_Space);
    QWidget* window = button->window();
    QTest::keyClick(window->focusWidget() != nullptr ? window->focusWidget() : window,
                    Qt::Key_Return);
  }
  static const char* Suffix(How how) {
    return how == How::Mouse ? "" : how == How::Space ? "-Space" : "-Enter";
  }

  void Note(const QString& action) {
    ++counts_[action.section(QLatin1Char(' '), 0, 0)];
    recent_.push_back(action);
    if (recent_.size() > 25) recent_.pop_front();
  }

  void CheckBeeps(int expected, const char* after) {
    Expect(beeps_ - beeps_before_ == expected, std::string(after) + ": " +
                                                   std::to_string(beeps_ - beeps_before_) +
                                                   " beeps, expected " + std::to_string(expected));
  }

  // The program ends (File > Exit or the main window's frame) and is
  // started again, with a new session, on the same files.
  void EndAndStartAgain(bool through_menu) {
    const int ends = program_ends_;
    if (through_menu) {
      Trigger("F_Exit");
    } else {
      main_->close();
    }
    Settle();
    Expect(program_ends_ == ends + 1, "the program did not end");
    Expect(!main_->isVisible() && ShownDialogs().isEmpty(), "windows stayed open at the end");
    main_.reset();
    Settle();
    Expect(QApplication::topLevelWidgets().isEmpty(), "windows left after the end");
    session_ = Session();
    WindowHooks hooks;
    hooks.beep = [this] { ++beeps_; };
    hooks.temp_path = PathOf(TempPath());
    hooks.end_program = [this] { ++program_ends_; };
    main_ = std::make_unique<MainWindow>(session_, std::move(hooks));
    main_->show();
    model_ = Model();
  }

  void PressRead(How how) {
    const QString text = Field("txtFrom")->text();
    const fs::path path = PathOf(text);
    const bool exists = FileExists(path);
    std::error_code ignored;
    if (exists && fs::file_size(path, ignored) > kLargestSourceRead) {
      // Too large to check quickly: the user types another source.
      Note("type-txtFrom (instead of reading a large file)");
      return TypeInto(Field("txtFrom"), SourceName(Below(6)));
    }
    Note(QStringLiteral("btnRead%1 %2").arg(Suffix(how), Printable(text)));
    Items expected = model_.pool;
    test::ReferenceEncoding encoding = model_.pool_encoding;
    if (exists) {
      expected.clear();
      encoding = test::ReferenceEncoding::EightBit;
      if (model_.settings.SeqLength > 0) {
        const std::optional<std::string> bytes = ReadAll(path);
        if (!bytes) return Fault("the model could not read " + path.string());
        expected = test::ReferenceReadAuto(*bytes, model_.settings.SeqLength,
                                           model_.settings.UnitMode, model_.settings.WordSep,
                                           /*overlapping=*/model_.settings.MultSeq != 0);
        if (!test::ReferenceFirstInvalidUtf8(*bytes)) encoding = test::ReferenceEncoding::Utf8;
      }
    }
    Press(MainControl<QPushButton>("btnRead"), how);
    ++outcomes_[!exists ? "read-missing" : expected.empty() ? "read-empty" : "read-items"];
    CheckBeeps(exists ? 0 : 1, "Read");
    if (!exists) Expect(Shown("ErrorFNE"), "a missing source did not show ErrorFNE");
    const Items got = PoolItems(session_.pool);
    Expect(got == expected, "Read: " + FirstDifference(got, expected));
    model_.pool = std::move(expected);
    model_.pool_encoding = encoding;
  }

  std::size_t LongestItem() const {
    std::size_t longest = 0;
    for (const std::string& item : model_.pool) longest = std::max(longest, item.size());
    return longest;
  }

  void PressWrite(How how) {
    const std::string number = Utf8(Field("txtNoSeq")->text());
    const QString target_text = Field("txtTo")->text();
    const fs::path target = PathOf(target_text);
    const fs::path intermediate = PathOf(TempPath());
    GenerationSettings& settings = model_.settings;

    const std::optional<std::int16_t> count = ToInt16(number);
    const bool bad_number = !IsNumericText(number) || !count;
    const bool no_pool = model_.pool.empty();
    const bool bad_target = target_text.isEmpty() || (FileExists(target) && settings.OWrite == 0);
    const int failed_checks = int{bad_number} + int{no_pool} + int{bad_target};
    if (failed_checks == 0 &&
        static_cast<std::uint64_t>(std::max<std::int16_t>(*count, 0)) * LongestItem() >
            kLargestWrite) {
      Note("type-txtNoSeq (instead of a large Write)");
      return TypeInto(Field("txtNoSeq"), QStringLiteral("3"));
    }
    Note(QStringLiteral("btnWrite%1 %2").arg(Suffix(how), Printable(target_text)));
    const bool must_fail = failed_checks == 0 && WriteMustFail(target);
    const std::optional<std::string> old_target = ReadAll(target);
    const std::optional<std::string> old_intermediate = ReadAll(intermediate);
    const std::int16_t old_no_seq = session_.settings.NoSeq;

    Press(MainControl<QPushButton>("btnWrite"), how);

    const auto unchanged = [](const std::optional<std::string>& before, const fs::path& path) {
      return ReadAll(path) == before;
    };
    if (failed_checks > 0) {
      ++outcomes_["write-refused"];
      CheckBeeps(failed_checks, "refused Write");
      Expect(!bad_number || Shown(IsNumericText(number) ? "ErrorNR" : "ErrorNFN"),
             "the number's dialog is not shown");
      Expect(!no_pool || Shown("ErrorR"), "ErrorR is not shown");
      Expect(!bad_target || Shown("ErrorCO"), "ErrorCO is not shown");
      Expect(session_.settings.NoSeq == old_no_seq, "a refused Write changed NoSeq");
      Expect(unchanged(old_target, target), "a refused Write changed the target");
      Expect(unchanged(old_intermediate, intermediate), "a refused Write changed the intermediate");
    } else {
      settings.NoSeq = *count;
      if (must_fail) {
        ++outcomes_["write-failed"];
        CheckBeeps(1, "failed Write");
        Expect(Shown("ErrorIO"), "a failed Write did not show ErrorIO");
        auto* label = In<QLabel>("ErrorIO", "lblText");
        Expect(label != nullptr && label->text().startsWith(kIoMessage + target_text + ": "),
               "ErrorIO does not name the target");
        Expect(unchanged(old_target, target), "a failed Write changed the target");
      } else {
        ++outcomes_[settings.FixCap == 1 ? "written-fixed" : "written-direct"];
        CheckBeeps(0, "Write");
        Expect(Shown("Done"), "a Write that succeeded did not show Done");
        CheckWritten(target, intermediate, old_intermediate);
      }
    }
    for (const QString& folder : {work_, work_ + "/folder", dir_.path()}) {
      const auto strays = QDir(folder).entryList({".vorpel-*"}, QDir::Files | QDir::Hidden);
      Expect(strays.isEmpty(), "a partial file was left in " + Utf8(folder));
    }
  }

  void CheckWritten(const fs::path& target, const fs::path& intermediate,
                    const std::optional<std::string>& old_intermediate) {
    const GenerationSettings& settings = model_.settings;
    const std::optional<std::string> written = ReadAll(target);
    if (!written) return Fault("the target was not written: " + target.string());
    std::string drawn = *written;
    if (settings.FixCap == 1) {
      const std::optional<std::string> raw = ReadAll(intermediate);
      if (!raw) return Fault("no intermediate file after a Write with the fix on");
      drawn = *raw;
      Expect(*written == test::ReferenceFixIn(drawn, settings.WordSep, SentenceEndMarks,
                                              model_.pool_encoding),
             "the target is not the fixed intermediate file");
    } else {
      Expect(ReadAll(intermediate) == old_intermediate,
             "a Write without the fix changed the intermediate file");
    }
    const Cutting cutting = CutIntoItems(drawn, model_.pool);
    const std::int64_t drawn_count = std::max<std::int64_t>(settings.NoSeq, 0);
    Expect(cutting.whole, "the written text is not made of pool items: " +
                              Escaped(std::string_view(drawn).substr(0, 200)));
    Expect(cutting.fewest <= drawn_count && drawn_count <= cutting.most,
           "the written text cannot hold " + std::to_string(drawn_count) + " items (" +
               std::to_string(cutting.fewest) + " to " + std::to_string(cutting.most) + ")");
  }

  void ToggleOverwrite(How how) {
    Note(QStringLiteral("cbxOWrite%1").arg(Suffix(how)));
    auto* box = MainControl<QCheckBox>("cbxOWrite");
    const bool was = box->isChecked();
    Press(box, how);
    Expect(box->isChecked() != was, "the overwrite box did not change");
    model_.settings.OWrite = static_cast<std::int16_t>(1 - model_.settings.OWrite);
  }

  void OpenOptions() {
    Note("O_Options");
    if (Dialog("Options") == nullptr) model_.settings.SetDefaultOptions();
    Trigger("O_Options");
    Expect(Shown("Options"), "Options... did not show the dialog");
    const GenerationSettings& s = model_.settings;
    Expect(
        In<QLineEdit>("Options", "txtSeqLength")->text() == QString::number(s.SeqLength) &&
            In<QLineEdit>("Options", "txtWordSep")->text() == QString::fromStdString(s.WordSep) &&
            In<QRadioButton>("Options", "rbtLetters")->isChecked() == (s.UnitMode == 1) &&
            In<QRadioButton>("Options", "rbtWords")->isChecked() == (s.UnitMode == 2) &&
            In<QCheckBox>("Options", "cbxMultSeq")->isChecked() == (s.MultSeq == 1) &&
            In<QCheckBox>("Options", "cbxFixCap")->isChecked() == (s.FixCap == 1),
        "the Options dialog does not show the settings");
  }

  // OK, or Enter on OK: commits every field when all are valid, else
  // reports ErrorOC and changes nothing.
  void PressOptionsOk(QPushButton* ok, How how) {
    const QString seq_length = In<QLineEdit>("Options", "txtSeqLength")->text();
    const QString word_sep = In<QLineEdit>("Options", "txtWordSep")->text();
    const bool letters = In<QRadioButton>("Options", "rbtLetters")->isChecked();
    const bool words = In<QRadioButton>("Options", "rbtWords")->isChecked();
    const bool mult_seq = In<QCheckBox>("Options", "cbxMultSeq")->isChecked();
    const bool fix_cap = In<QCheckBox>("Options", "cbxFixCap")->isChecked();
    GenerationSettings& s = model_.settings;
    // Any text is a valid separator.
    const bool valid =
        IsValidSeqLength(Utf8(seq_length)) && IsValidUnitMode(letters, words, s.UnitMode);
    Note(QStringLiteral("Options-OK%1 %2").arg(Suffix(how), Printable(seq_length)));
    Press(ok, how);
    ++outcomes_[valid ? "options-committed" : "options-refused"];
    if (!valid) {
      CheckBeeps(1, "invalid Options");
      Expect(Shown("ErrorOC") && Shown("Options"), "invalid Options: not ErrorOC beside Options");
      return;
    }
    CheckBeeps(0, "Options OK");
    Expect(!Shown("Options"), "OK did not hide the Options dialog");
    s.MultSeq = mult_seq ? 1 : 0;
    s.FixCap = fix_cap ? 1 : 0;
    s.UnitMode = letters ? kLettersMode : kWordsMode;
    s.SeqLength = *ToInt16(Utf8(seq_length));
    s.WordSep = Utf8(word_sep);
  }

  // The button Enter presses in a dialog: the focused push button, else
  // the default one.
  static QPushButton* EnterButton(QWidget* dialog) {
    if (auto* focused = qobject_cast<QPushButton*>(dialog->focusWidget())) return focused;
    for (QPushButton* button : dialog->findChildren<QPushButton*>()) {
      if (button->isDefault() && button->isVisible()) return button;
    }
    return nullptr;
  }

  // A click on an Options dialog button other than OK, or a key on it.
  void PressOptionsButton(QPushButton* button, How how) {
    if (button->objectName() == QLatin1String("btnOK")) return PressOptionsOk(button, how);
    Note(QStringLiteral("btnCancel%1").arg(Suffix(how)));
    Press(button, how);
    Expect(!Shown("Options"), "Cancel did not hide the Options dialog");
  }

  void OptionsStep() {
    FormDialog* options = Dialog("Options");
    const auto roll = Below(100);
    if (roll < 14) {
      PressOptionsOk(In<QPushButton>("Options", "btnOK"), How::Mouse);
    } else if (roll < 20) {
      PressOptionsButton(In<QPushButton>("Options", "btnCancel"), How::Mouse);
    } else if (roll < 30) {
      const bool letters = Chance(50);
      const char* name = letters ? "rbtLetters" : "rbtWords";
      Note(name);
      ClickOn(In<QRadioButton>("Options", name));
      Expect(In<QRadioButton>("Options", "rbtLetters")->isChecked() == letters &&
                 In<QRadioButton>("Options", "rbtWords")->isChecked() == !letters,
             "the radio pair does not show the choice");
    } else if (roll < 42) {
      const char* name = Chance(50) ? "cbxMultSeq" : "cbxFixCap";
      Note(name);
      auto* box = In<QCheckBox>("Options", name);
      const bool was = box->isChecked();
      ClickOn(box);
      Expect(box->isChecked() != was, "an Options check box did not change");
    } else if (roll < 62) {
      Note("type-txtSeqLength");
      TypeInto(In<QLineEdit>("Options", "txtSeqLength"), SeqLengthText());
    } else if (roll < 78) {
      Note("type-txtWordSep");
      TypeInto(In<QLineEdit>("Options", "txtWordSep"), WordSepText());
    } else if (roll < 84) {
      if (QPushButton* button = EnterButton(options)) {
        PressOptionsButton(button, How::Enter);
      } else {
        Note("Options-Enter-nothing");
        PressKey(options, Qt::Key_Return);
      }
    } else if (roll < 88) {
      Note("Options-Escape");
      PressKey(options, Qt::Key_Escape);
      Expect(!Shown("Options"), "Escape did not cancel the Options dialog");
    } else if (roll < 95) {
      KeysIn(options);
    } else {
      Note("frame-close-Options");
      options->close();
      Settle();
      Expect(Dialog("Options") == nullptr, "the frame did not discard the Options dialog");
    }
  }

  // Tab, or Space on the focused control: a check box or radio button
  // takes the key as a click; in a text box it is typed.
  void KeysIn(QWidget* window) {
    QWidget* focused = window->focusWidget();
    if (Chance(50) || focused == nullptr) {
      Note("Tab");
      PressKey(window, Qt::Key_Tab);
      return;
    }
    if (focused == MainControl<QCheckBox>("cbxOWrite")) return ToggleOverwrite(How::Space);
    if (focused == MainControl<QPushButton>("btnRead")) return PressRead(How::Space);
    if (focused == MainControl<QPushButton>("btnWrite")) return PressWrite(How::Space);
    if (auto* button = qobject_cast<QPushButton*>(focused);
        button != nullptr && window->objectName() == QLatin1String("Options")) {
      return PressOptionsButton(button, How::Space);
    }
    auto* check = qobject_cast<QAbstractButton*>(focused);
    const bool radio = qobject_cast<QRadioButton*>(focused) != nullptr;
    const bool was = check != nullptr && check->isChecked();
    Note("Space");
    QTest::keyClick(focused, Qt::Key_Space);
    if (check != nullptr && check->isCheckable()) {
      Expect(radio ? check->isChecked() : check->isChecked() != was,
             "Space did not change the focused box");
    }
  }

  void SingleButtonStep(const QString& name) {
    FormDialog* dialog = Dialog(name);
    const auto roll = Below(100);
    if (name == QLatin1String("AboutVorpel") && roll < 30) {
      auto* vorpel = In<QWidget>(name, "icnVorpel");
      auto* corvane = In<QWidget>(name, "icnCorvane");
      Note("AboutVorpel-picture");
      ClickOn(model_.about_icon_state == 0 ? vorpel : corvane);
      model_.about_icon_state = static_cast<std::int16_t>(1 - model_.about_icon_state);
      Expect(vorpel->isVisible() == (model_.about_icon_state == 0) &&
                 corvane->isVisible() == (model_.about_icon_state == 1),
             "the About picture did not swap");
      return;
    }
    if (roll < 50) {
      Note("click-" + name + "-" + SingleButtons().at(name));
      ClickOn(In<QPushButton>(name, SingleButtons().at(name).toLatin1().constData()));
      Expect(!Shown(name), "its button did not hide " + Utf8(name));
    } else if (roll < 65) {
      Note("Enter-" + name);
      PressKey(dialog, Qt::Key_Return);
      Expect(!Shown(name), "Enter did not hide " + Utf8(name));
    } else if (roll < 75) {
      Note("Escape-" + name);
      PressKey(dialog, Qt::Key_Escape);
      Expect(Shown(name), "Escape hid " + Utf8(name));
    } else if (roll < 80) {
      KeysIn(dialog);
    } else {
      Note("frame-close-" + name);
      dialog->close();
      Settle();
      Expect(Dialog(name) == nullptr, "the frame did not discard " + Utf8(name));
    }
  }

  void ShowFromMenu(const char* item, const QString& dialog) {
    Note(item);
    if (dialog == QLatin1String("AboutVorpel") && Dialog(dialog) == nullptr) {
      model_.about_icon_state = 0;
    }
    Trigger(item);
    Expect(Shown(dialog), std::string(item) + " did not show " + Utf8(dialog));
  }

  void MainStep() {
    const auto roll = Below(1000);
    if (roll < 140) {
      Note("type-txtFrom");
      TypeInto(Field("txtFrom"), PathText());
    } else if (roll < 280) {
      Note("type-txtTo");
      TypeInto(Field("txtTo"), PathText());
    } else if (roll < 380) {
      Note("type-txtNoSeq");
      TypeInto(Field("txtNoSeq"), NumberText());
    } else if (roll < 520) {
      PressRead(How::Mouse);
    } else if (roll < 700) {
      PressWrite(How::Mouse);
    } else if (roll < 760) {
      ToggleOverwrite(How::Mouse);
    } else if (roll < 820) {
      OpenOptions();
    } else if (roll < 900) {
      static constexpr std::pair<const char*, const char*> kItems[] = {
          {"I_A_Vorpel", "AboutVorpel"},
          {"I_A_Corvane", "AboutCorvane"},
          {"I_A_Author", "AboutAuthor"},
          {"I_License", "License"}};
      const auto& [item, dialog] = Pick(kItems);
      ShowFromMenu(item, QString::fromLatin1(dialog));
    } else if (roll < 910) {
      Note("I_Info");
      const QStringList before = ShownDialogs();
      Trigger("I_Info");
      Expect(ShownDialogs() == before, "the inactive Info item did something");
    } else if (roll < 950) {
      KeysIn(main_.get());
    } else if (roll < 970) {
      Note(Chance(50) ? "Main-Enter" : "Main-Escape");
      PressKey(main_.get(), Chance(50) ? Qt::Key_Return : Qt::Key_Escape);
    } else if (roll < 973) {
      Note("F_Exit");
      EndAndStartAgain(true);
    } else if (roll < 975) {
      Note("frame-close-Main");
      EndAndStartAgain(false);
    } else {
      Note("type-txtFrom");
      TypeInto(Field("txtFrom"), SourceName(Below(6)));
    }
  }

  void Step() {
    beeps_before_ = beeps_;
    QStringList open = ShownDialogs();
    // Mostly the main window; an open dialog gets a turn now and then.
    if (!open.isEmpty() && Chance(45)) {
      const QString name =
          open[static_cast<qsizetype>(Below(static_cast<std::uint64_t>(open.size())))];
      if (name == QLatin1String("Options")) {
        OptionsStep();
      } else if (SingleButtons().count(name) != 0) {
        SingleButtonStep(name);
      } else {
        Fault("an unknown window is shown: " + Utf8(name));
      }
    } else {
      MainStep();
    }
    Settle();
    CheckEveryStep();
  }

  void CheckEveryStep() {
    std::map<QString, int> copies;
    for (QWidget* widget : QApplication::topLevelWidgets()) {
      if (!widget->objectName().isEmpty()) ++copies[widget->objectName()];
    }
    for (const auto& [name, count] : copies) {
      Expect(count == 1, std::to_string(count) + " copies of " + Utf8(name));
    }
    Expect(main_->isVisible(), "the main window is not shown");
    Expect(QApplication::overrideCursor() == nullptr, "the wait cursor stayed");
    const GenerationSettings& s = session_.settings;
    Expect(s.SeqLength >= 0 && s.SeqLength <= 100, "SeqLength out of range");
    Expect(s.UnitMode == 1 || s.UnitMode == 2, "UnitMode out of range");
    Expect((s.MultSeq == 0 || s.MultSeq == 1) && (s.FixCap == 0 || s.FixCap == 1),
           "MultSeq or FixCap out of range");
    Expect(s.OWrite == 0 || s.OWrite == 1, "OWrite out of range");
    Expect(MainControl<QCheckBox>("cbxOWrite")->isChecked() == (s.OWrite == 1),
           "OWrite differs from the overwrite box");
    const GenerationSettings& m = model_.settings;
    Expect(s.NoSeq == m.NoSeq && s.SeqLength == m.SeqLength && s.UnitMode == m.UnitMode &&
               s.MultSeq == m.MultSeq && s.FixCap == m.FixCap && s.WordSep == m.WordSep &&
               s.OWrite == m.OWrite,
           "the settings differ from what the user did");
    Expect(session_.pool.Size() == model_.pool.size(), "the pool changed outside a Read");
    if (auto* about = qobject_cast<AboutVorpelDialog*>(Dialog("AboutVorpel"))) {
      Expect(about->AboutIconState() == model_.about_icon_state, "AboutIconState is wrong");
    }
  }

  std::string Report(std::uint64_t step) const {
    std::string text = "step " + std::to_string(step) + " (STRESS_SEED=" + std::to_string(seed_) +
                       "): " + fault_ + "\nlast actions:";
    for (const QString& action : recent_) text += "\n  " + Utf8(action);
    return text;
  }

  QString work_;
  std::unique_ptr<WorkingDirectory> working_dir_;
  std::uint64_t seed_ = EnvironmentNumber("STRESS_SEED", 20240611);
  std::mt19937_64 random_{seed_};
  Model model_;
  int beeps_before_ = 0;
  std::string fault_;
  std::map<QString, int> counts_;
  std::map<std::string, int> outcomes_;
  int fresh_names_ = 0;
  std::deque<QString> recent_;
};

TEST_F(WindowStressTest, RandomWalk_EveryStepKeepsTheWindowsAndFilesRight) {
  const std::uint64_t steps = EnvironmentNumber("STRESS_STEPS", 10000);
  std::uint64_t step = 0;
  for (; step < steps && fault_.empty(); ++step) Step();
  ASSERT_EQ(fault_, "") << Report(step - 1);

  // The walk reached every control and every kind of outcome.
  for (const char* action : {"type-txtFrom",
                             "type-txtTo",
                             "type-txtNoSeq",
                             "btnRead",
                             "btnWrite",
                             "cbxOWrite",
                             "O_Options",
                             "I_A_Vorpel",
                             "I_A_Corvane",
                             "I_A_Author",
                             "I_License",
                             "I_Info",
                             "F_Exit",
                             "frame-close-Main",
                             "Options-OK",
                             "btnCancel",
                             "rbtLetters",
                             "rbtWords",
                             "cbxMultSeq",
                             "cbxFixCap",
                             "type-txtSeqLength",
                             "type-txtWordSep",
                             "Options-Escape",
                             "frame-close-Options",
                             "AboutVorpel-picture",
                             "Tab",
                             "Space",
                             "click-ErrorFNE-btnOK",
                             "click-ErrorCO-lblOK",
                             "click-ErrorNFN-btnOK",
                             "click-ErrorR-lblOK",
                             "click-Done-btnDone",
                             "frame-close-Done",
                             "Enter-Done",
                             "Escape-Done"}) {
    if (steps >= 10000) {
      EXPECT_GT(counts_[QString::fromLatin1(action)], 0) << action << " was never done";
    }
  }
  for (const char* outcome :
       {"read-missing", "read-empty", "read-items", "write-refused", "write-failed",
        "written-fixed", "written-direct", "options-committed", "options-refused"}) {
    if (steps >= 10000) {
      EXPECT_GT(outcomes_[outcome], 0) << outcome << " never happened";
    }
  }
  RecordProperty("steps", static_cast<int>(step));
  RecordProperty("beeps", beeps_);
  std::cout << "stress: " << step << " steps, seed " << seed_ << ", " << beeps_ << " beeps, "
            << program_ends_ << " restarts;";
  for (const auto& [outcome, count] : outcomes_) std::cout << ' ' << outcome << ' ' << count;
  std::cout << '\n';
}

}  // namespace
}  // namespace vorpel::test
