// File faults as the user of the windows meets them: the disk filling up
// during a Write, an intermediate file that cannot be replaced, a source
// that exists but cannot be read. Each shows ErrorIO with the path and the
// system's reason, keeps the old files and leaves no partial file.

#include <sys/socket.h>
#include <sys/un.h>

#include <QDir>
#include <QLabel>
#include <cstring>

#include "fault_conditions.h"
#include "vorpel_test/files.h"
#include "vorpel_test/window_test.h"

namespace vorpel::test {
namespace {

namespace fs = std::filesystem;

constexpr char kMessage[] = "The file could not be read or written.\n";

// The source: 200,000 bytes of words. Read in letters of 100, every draw
// writes 100 bytes.
QByteArray SourceText() {
  QByteArray text;
  const char* words[] = {"one ", "two. ", "three ", "four! ", "five ", "six? ", "seven\n"};
  for (int i = 0; text.size() < 200000; ++i) text += words[(i * 5 + i / 7) % 7];
  text.truncate(200000);
  return text;
}

class WindowFaultTest : public WindowTest {
 protected:
  void ReadInLettersOfHundred() {
    session_.settings.UnitMode = kLettersMode;
    session_.settings.SeqLength = 100;
    WriteBytes(Path("source.txt"), SourceText());
    ReadSource(Path("source.txt"));
    ASSERT_EQ(session_.pool.Size(), 2000u);
    ASSERT_EQ(beeps_, 0);
  }
  QString ErrorIOText() {
    auto* label = Control<QLabel>("ErrorIO", "lblText");
    return label == nullptr ? QString() : label->text();
  }
  // The folder's atomic-writer files, none expected after any Write.
  std::vector<std::string> Strays(const QString& folder) {
    return StrayFiles(QFile::encodeName(folder).toStdString());
  }
  void TickOverwrite() {
    Click(MainControl<QCheckBox>("cbxOWrite"));
    ASSERT_EQ(session_.settings.OWrite, 1);
  }
};

struct LimitCase {
  const char* name;
  std::int16_t fix_cap;
  bool intermediate_fails;  // else the target
};

void PrintTo(const LimitCase& value, std::ostream* out) { *out << value.name; }

class FileSizeLimitTest : public WindowFaultTest,
                          public ::testing::WithParamInterface<LimitCase> {};

// The process may write files of 64 KiB at most; the Write asks for
// 200,000 bytes. On the capitalization route the intermediate file is
// written first, so it is the one that fails, and the target is never
// opened; both keep the text of the earlier Write.
TEST_P(FileSizeLimitTest, DiskFillsDuringWrite_ErrorIOAndEveryOldFileKept) {
  ReadInLettersOfHundred();
  session_.settings.FixCap = GetParam().fix_cap;
  const QString target = Path("target.txt");
  Write("3", target);
  ASSERT_EQ(beeps_, 0);
  const QByteArray old_target = ReadBytes(target);
  const QByteArray old_intermediate = ReadBytes(TempPath());
  ASSERT_EQ(old_target.size(), 300);
  TickOverwrite();
  Click(Control<QPushButton>("Done", "btnDone"));

  {
    const ScopedFileSizeLimit limit(64 * 1024);
    ASSERT_TRUE(limit.ok());
    Write("2000", target);
  }

  EXPECT_EQ(beeps_, 1);
  EXPECT_EQ(ShownDialogs(), QStringList{"ErrorIO"});
  const QString failed = GetParam().intermediate_fails ? TempPath() : target;
  EXPECT_EQ(ErrorIOText(), kMessage + failed + ": File too large");
  EXPECT_EQ(ReadBytes(target), old_target);
  EXPECT_EQ(ReadBytes(TempPath()), old_intermediate);
  EXPECT_EQ(Strays(dir_.path()), std::vector<std::string>{});
  EXPECT_EQ(session_.settings.NoSeq, 2000);

  // Nothing is left in a bad state: the next Write that fits works.
  Click(Control<QPushButton>("ErrorIO", "btnOK"));
  Write("5", target);
  EXPECT_EQ(beeps_, 1);
  EXPECT_EQ(ReadBytes(target).size(), 500);
  EXPECT_EQ(ShownDialogs(), QStringList{"Done"});
}

INSTANTIATE_TEST_SUITE_P(Routes, FileSizeLimitTest,
                         ::testing::Values(LimitCase{"Direct", 0, false},
                                           LimitCase{"Capitalization", 1, true}),
                         [](const ::testing::TestParamInfo<LimitCase>& info) {
                           return info.param.name;
                         });

class SmallDiskTest : public WindowFaultTest, public ::testing::WithParamInterface<LimitCase> {};

// A real file system of 128 KiB holds the old target. On the
// capitalization route the intermediate file lies elsewhere and takes the
// whole new text; the copy to the target then finds the disk full.
TEST_P(SmallDiskTest, TargetDiskFills_ErrorIOOldTargetKeptSpaceGivenBack) {
  SmallFileSystem small(QFile::encodeName(Path("small")).toStdString(), 128 * 1024);
  if (!small.Mounted()) GTEST_SKIP() << "no small file system here: " << small.Why();
  ReadInLettersOfHundred();
  session_.settings.FixCap = GetParam().fix_cap;
  const QString target = Path("small/target.txt");
  const QByteArray old_target(60 * 1000, 'X');
  WriteBytes(target, old_target);
  const std::uint64_t free_before = small.FreeBytes();
  TickOverwrite();

  Write("2000", target);

  EXPECT_EQ(beeps_, 1);
  EXPECT_EQ(ShownDialogs(), QStringList{"ErrorIO"});
  EXPECT_EQ(ErrorIOText(), kMessage + target + ": No space left on device");
  EXPECT_EQ(ReadBytes(target), old_target);
  EXPECT_EQ(Strays(Path("small")), std::vector<std::string>{});
  EXPECT_EQ(small.FreeBytes(), free_before);
  if (GetParam().fix_cap == 1) {
    EXPECT_EQ(ReadBytes(TempPath()).size(), 200000) << "the drawn text, before the fix";
  } else {
    EXPECT_FALSE(QFile::exists(TempPath()));
  }
}

INSTANTIATE_TEST_SUITE_P(Routes, SmallDiskTest,
                         ::testing::Values(LimitCase{"Direct", 0, false},
                                           LimitCase{"Capitalization", 1, false}),
                         [](const ::testing::TestParamInfo<LimitCase>& info) {
                           return info.param.name;
                         });

struct PlantedCase {
  const char* name;
  bool folder;  // else a file without write permission
  const char* reason;
};

void PrintTo(const PlantedCase& value, std::ostream* out) { *out << value.name; }

class PlantedIntermediateTest : public WindowFaultTest,
                                public ::testing::WithParamInterface<PlantedCase> {};

// Something that cannot be replaced sits at the intermediate path. The
// capitalization route is refused with ErrorIO naming it; the target and
// the planted thing stay as they were. The direct route does not use the
// intermediate file and still works.
TEST_P(PlantedIntermediateTest, CapitalizationRouteRefused_TargetUntouched_DirectRouteWorks) {
  const QString temp = TempPath();
  const QString inside = temp + "/kept.txt";
  if (GetParam().folder) {
    ASSERT_TRUE(QDir().mkdir(temp));
    WriteBytes(inside, "inside the folder");
  } else {
    WriteBytes(temp, "read-only text");
    ASSERT_TRUE(QFile::setPermissions(temp, QFile::ReadOwner | QFile::ReadGroup));
  }
  WriteBytes(Path("source.txt"), "go.");
  ReadSource(Path("source.txt"));
  const QString target = Path("target.txt");
  WriteBytes(target, "old text");
  TickOverwrite();
  session_.settings.FixCap = 1;

  Write("3", target);

  EXPECT_EQ(beeps_, 1);
  EXPECT_EQ(ShownDialogs(), QStringList{"ErrorIO"});
  EXPECT_EQ(ErrorIOText(), kMessage + temp + ": " + GetParam().reason);
  EXPECT_EQ(ReadBytes(target), "old text");
  if (GetParam().folder) {
    EXPECT_EQ(ReadBytes(inside), "inside the folder");
  } else {
    EXPECT_EQ(ReadBytes(temp), "read-only text");
    EXPECT_EQ(PermissionsOf(QFile::encodeName(temp).toStdString()), fs::perms(0440));
  }
  EXPECT_EQ(Strays(dir_.path()), std::vector<std::string>{});

  session_.settings.FixCap = 0;
  Write("3", target);
  EXPECT_EQ(beeps_, 1);
  EXPECT_EQ(ReadBytes(target), "go. go. go. ");
}

INSTANTIATE_TEST_SUITE_P(Planted, PlantedIntermediateTest,
                         ::testing::Values(PlantedCase{"Folder", true, "Is a directory"},
                                           PlantedCase{"ReadOnlyFile", false, "Permission denied"}),
                         [](const ::testing::TestParamInfo<PlantedCase>& info) {
                           return info.param.name;
                         });

// A socket exists as a file but cannot be opened for reading, whoever
// runs the program: Read shows ErrorIO with the path and the reason, and
// the pool, emptied before the opening, is empty.
TEST_F(WindowFaultTest, SourceExistsButCannotBeOpened_ErrorIOAndEmptyPool) {
  WriteBytes(Path("source.txt"), "go.");
  ReadSource(Path("source.txt"));
  ASSERT_EQ(session_.pool.Size(), 1u);

  const QByteArray socket_path = QFile::encodeName(Path("socket"));
  const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
  ASSERT_GE(fd, 0);
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  ASSERT_LT(static_cast<std::size_t>(socket_path.size()), sizeof address.sun_path);
  std::memcpy(address.sun_path, socket_path.constData(),
              static_cast<std::size_t>(socket_path.size()));
  ASSERT_EQ(::bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address), 0);

  ReadSource(Path("socket"));
  ::close(fd);

  EXPECT_EQ(beeps_, 1);
  EXPECT_EQ(ShownDialogs(), QStringList{"ErrorIO"});
  EXPECT_EQ(ErrorIOText(), kMessage + Path("socket") + ": No such device or address");
  EXPECT_EQ(session_.pool.Size(), 0u);

  // A Write now is refused for want of a read, as after an empty source.
  Write("3", Path("target.txt"));
  EXPECT_EQ(beeps_, 2);
  EXPECT_TRUE(IsShown("ErrorR"));
  EXPECT_FALSE(QFile::exists(Path("target.txt")));
}

}  // namespace
}  // namespace vorpel::test
