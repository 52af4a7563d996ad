#include "descriptor_sink.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <csignal>
#include <string>

#include "posix_file.h"
#include "vorpel_test/assertions.h"
#include "vorpel_test/child_process.h"
#include "vorpel_test/engine_doubles.h"
#include "vorpel_test/files.h"
#include "vorpel_test/temp_dir.h"
#include "vorpel_test/text_generator.h"

namespace vorpel {
namespace {

using test::Succeeded;
using test::TempDir;

FileStatus WriteText(ByteSink& sink, std::string text) {
  return sink.Write(std::span<char>(text.data(), text.size()));
}

TEST(DescriptorSink, BlocksArriveInOrderAndTheDescriptorStaysOpen) {
  TempDir dir;
  FileDescriptor fd(::open((dir / "out").c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0600));
  ASSERT_TRUE(fd.IsOpen());
  {
    DescriptorSink sink(fd.get(), "out");
    for (const char* block : {"first ", "", "second ", "third"}) {
      ASSERT_TRUE(Succeeded(WriteText(sink, block)));
    }
  }
  // The sink does not own the descriptor: the file can still be written.
  EXPECT_EQ(::write(fd.get(), "!", 1), 1);
  ASSERT_FALSE(fd.Close());
  EXPECT_EQ(test::ReadFile(dir / "out"), "first second third!");
}

TEST(DescriptorSink, FailureIsNamedAfterTheShownName) {
  // A descriptor has no path: the message names what the user knows it
  // as. Run in a child, where SIGPIPE is ignored as in the batch command.
  const int code = test::RunInChild([] {
    std::signal(SIGPIPE, SIG_IGN);
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC) != 0) return 10;
    ::close(fds[0]);
    DescriptorSink sink(fds[1], "standard output");
    const FileStatus status = WriteText(sink, "lost");
    if (!status) return 1;
    if (status->code != std::errc::broken_pipe) return 2;
    return status->Describe().rfind("standard output: ", 0) == 0 ? 0 : 3;
  });
  EXPECT_EQ(code, 0) << "1: accepted, 2: wrong error, 3: wrong name";
}

}  // namespace
}  // namespace vorpel
