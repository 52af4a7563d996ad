#pragma once

#include <cstddef>
#include <filesystem>
#include <functional>
#include <memory>
#include <span>
#include <string_view>

#include "byte_buffer.h"
#include "file_error.h"
#include "posix_file.h"

namespace vorpel {

// True when something that is not a folder exists at path (links are
// followed). False for an empty path, a folder and a dangling link: the
// test the Read command and the overwrite check make before touching a file.
bool FileExists(const std::filesystem::path& path);

// Reads the whole file at path into out, leaving at least spare bytes of
// capacity after the content (the reader closes a last word there).
// Regular files and pipes are read, or regular files only (see
// SourceFiles); folders and devices are refused. On failure out is left
// empty.
//
// Example:
//
//     ByteBuffer text;
//     if (FileStatus error = ReadWholeFile("source.txt", text, 1)) ...
FileStatus ReadWholeFile(const std::filesystem::path& path, ByteBuffer& out, std::size_t spare = 0,
                         SourceFiles accepted = SourceFiles::FilesAndPipes);

// Sees the content of a file as it is read, a piece at a time, each right
// after it has been read (pieces of at most 256 KiB, so that they are
// still in the processor's cache, or of at most one part of a huge page
// where a long file is read part by part): a check of the whole text then
// costs little more than the read.
//
// A long regular file is read in two parts at once where a second thread
// pays (SecondThreadPays). An observer that can see the second part from
// another thread gives, from Midway, the observer of the part from that
// offset on; once both parts are read, and the second is kept, Join hands
// it back. Otherwise (Midway gives null) the second part is shown to
// Observe after the first, in order.
//
// An exception thrown by Observe, on either thread, ends the read once
// both parts have stopped, and reaches the caller as it would from one
// thread.
class ReadObserver {
 public:
  ReadObserver() = default;
  ReadObserver(const ReadObserver&) = delete;
  ReadObserver& operator=(const ReadObserver&) = delete;
  virtual ~ReadObserver() = default;

  virtual void Observe(std::string_view piece) = 0;
  virtual std::unique_ptr<ReadObserver> Midway(std::size_t /*offset*/) { return nullptr; }
  virtual void Join(ReadObserver& /*second*/) {}
};

// As above, and shows each piece of the content to observer.
FileStatus ReadWholeFile(const std::filesystem::path& path, ByteBuffer& out, std::size_t spare,
                         ReadObserver& observer, SourceFiles accepted = SourceFiles::FilesAndPipes);

// Calls consume with consecutive blocks of the file's content, each at most
// block_size bytes and writable so a filter can work in place. Stops at the
// first error, its own or consume's. With follow_links false a symbolic
// link at path is refused.
FileStatus ForEachBlock(const std::filesystem::path& path, bool follow_links,
                        std::size_t block_size,
                        const std::function<FileStatus(std::span<char>)>& consume);

// The same over an open descriptor, from its current offset to its end;
// read errors name shown_path.
FileStatus ForEachBlock(int fd, std::string_view shown_path, std::size_t block_size,
                        const std::function<FileStatus(std::span<char>)>& consume);

}  // namespace vorpel
