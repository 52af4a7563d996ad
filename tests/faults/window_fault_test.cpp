// File faults as the user of the windows meets them: the disk filling up
// during a Write, an intermediate file that cannot be replaced, a source
// that exists but cannot be read. Each shows ErrorIO with the path and the
// system's reason, keeps the old files and leaves no partial file.

#include <fcntl.h>
#include <malloc.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>

#include <QDir>
#include <QLabel>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <functional>
#include <future>
#include <thread>
#include <utility>
#include <vector>

#include "fault_conditions.h"
#include "vorpel_test/child_process.h"
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
    session_.settings.MultSeq = 0;
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

// A named pipe that no program writes to, a terminal with nobody typing,
// a device: the window's Read refuses them at once, without reading, with
// ErrorIO naming what the source is, and the pool is empty.
TEST_F(WindowFaultTest, SourceThatIsNoRegularFile_RefusedAtOnceNamingWhatItIs) {
  const QString fifo = Path("pipe");
  ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
  int terminal = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
  ASSERT_GE(terminal, 0);
  ASSERT_EQ(::grantpt(terminal), 0);
  ASSERT_EQ(::unlockpt(terminal), 0);
  const QString terminal_path = QString::fromLocal8Bit(::ptsname(terminal));
  struct Case {
    QString path;
    const char* reason;
    std::function<void()> release;  // ends a wait on the source
  };
  const Case cases[] = {
      {fifo, "Is a named pipe (FIFO), not a regular file",
       [&] { ::close(::open(QFile::encodeName(fifo).constData(), O_RDWR | O_CLOEXEC)); }},
      {terminal_path, "Is a terminal (character device), not a regular file",
       [&] { ::close(std::exchange(terminal, -1)); }},
      {QStringLiteral("/dev/zero"), "Is a character device, not a regular file", [] {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.path.toStdString());
    WriteBytes(Path("source.txt"), "go.");
    ReadSource(Path("source.txt"));
    ASSERT_EQ(session_.pool.Size(), 1u);
    const int beeps = beeps_;
    // A Read that waits on its source is set free after a few seconds, so
    // that the test fails instead of hanging.
    std::promise<void> read_done;
    bool released = false;
    std::thread deadline([&, done = read_done.get_future()] {
      if (done.wait_for(std::chrono::seconds(5)) == std::future_status::timeout) {
        released = true;
        c.release();
      }
    });
    ReadSource(c.path);
    read_done.set_value();
    deadline.join();
    EXPECT_FALSE(released) << "the Read waited on its source";
    EXPECT_EQ(beeps_, beeps + 1);
    EXPECT_EQ(ShownDialogs(), QStringList{"ErrorIO"});
    EXPECT_EQ(ErrorIOText().toStdString(), (kMessage + c.path + ": " + c.reason).toStdString());
    EXPECT_EQ(session_.pool.Size(), 0u);
    Click(Control<QPushButton>("ErrorIO", "btnOK"));
  }
  if (terminal >= 0) ::close(terminal);
}

#if !defined(__SANITIZE_ADDRESS__)
// The address space this process maps now, from /proc/self/statm.
rlim_t MappedBytes() {
  std::ifstream statm("/proc/self/statm");
  rlim_t pages = 0;
  statm >> pages;
  return pages * static_cast<rlim_t>(::sysconf(_SC_PAGESIZE));
}

bool SetSoftAddressLimit(rlim_t limit) {
  rlimit value{};
  ::getrlimit(RLIMIT_AS, &value);
  value.rlim_cur = limit;
  return ::setrlimit(RLIMIT_AS, &value) == 0;
}

class OutOfMemoryTest : public WindowFaultTest, public ::testing::WithParamInterface<LimitCase> {};

// Write is pressed with too little memory left for the writer's block: the
// window shows ErrorIO with the reason, the old target is whole, nothing
// is left behind, and with memory back the same window writes as ever from
// the same pool. The window runs in a child of the test, which alone lives
// under the limit.
TEST_P(OutOfMemoryTest, WriteWithoutMemory_ErrorIOThenTheWindowGoesOn) {
  ReadInLettersOfHundred();
  session_.settings.FixCap = GetParam().fix_cap;
  const QString target = Path("target.txt");
  const QByteArray old_target(5000, 'O');
  WriteBytes(target, old_target);
  TickOverwrite();
  Type(Field("txtNoSeq"), QStringLiteral("3000"));
  Type(Field("txtTo"), target);
  const std::size_t pool_size = session_.pool.Size();
  const QString reason = QStringLiteral(": Cannot allocate memory");
  const QStringList named = {kMessage + target + reason, kMessage + TempPath() + reason};

  const int code = RunInChild([&] {
    // Large blocks from new mappings, as in a fresh process.
    ::mallopt(M_MMAP_THRESHOLD, 128 * 1024);
    ::malloc_trim(0);
    if (!SetSoftAddressLimit(MappedBytes() + 512 * 1024)) return 90;
    // Free memory the process holds already would serve the writer's block
    // without a new mapping: it is taken up, in pieces of 256 KiB, leaving
    // smaller ones for the window's own needs.
    std::vector<void*> taken;
    taken.reserve(4096);
    while (taken.size() < taken.capacity()) {
      void* piece = std::malloc(256 * 1024);
      if (piece == nullptr) break;
      taken.push_back(piece);
    }
    QTest::mouseClick(MainControl<QPushButton>("btnWrite"), Qt::LeftButton);
    for (void* piece : taken) std::free(piece);
    if (!SetSoftAddressLimit(RLIM_INFINITY)) return 91;
    if (beeps_ != 1) return 1;
    if (ShownDialogs() != QStringList{"ErrorIO"}) return 2;
    if (!named.contains(ErrorIOText())) return 3;
    if (ReadBytes(target) != old_target) return 4;
    if (!Strays(dir_.path()).empty()) return 5;
    if (session_.pool.Size() != pool_size) return 6;
    QTest::mouseClick(Control<QPushButton>("ErrorIO", "btnOK"), Qt::LeftButton);
    QTest::mouseClick(MainControl<QPushButton>("btnWrite"), Qt::LeftButton);
    if (beeps_ != 1 || ShownDialogs() != QStringList{"Done"}) return 7;
    if (ReadBytes(target).size() != 300000) return 8;
    return 0;
  });
  EXPECT_EQ(code, 0) << "1: not one beep, 2: not ErrorIO alone, 3: not the reason, 4: old target "
                        "changed, 5: a file left, 6: the pool changed, 7/8: the next Write did not "
                        "work, 9x: the limit, 128+: a signal";
}

INSTANTIATE_TEST_SUITE_P(Routes, OutOfMemoryTest,
                         ::testing::Values(LimitCase{"Direct", 0, false},
                                           LimitCase{"Capitalization", 1, true}),
                         [](const ::testing::TestParamInfo<LimitCase>& info) {
                           return info.param.name;
                         });
#endif

}  // namespace
}  // namespace vorpel::test
