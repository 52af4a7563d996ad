#pragma once

#include <cstddef>
#include <filesystem>
#include <functional>
#include <span>
#include <string>

#include "file_error.h"

namespace vorpel {

// True when something that is not a folder exists at path (links are
// followed). False for an empty path, a folder and a dangling link.
bool FileExists(const std::filesystem::path& path);

// A growable block of raw bytes, uninitialised until written. Large blocks
// grow in place where the system allows, so reading a big file never holds
// two copies of it.
class ByteBuffer {
 public:
  ByteBuffer() = default;
  ~ByteBuffer();
  ByteBuffer(ByteBuffer&& other) noexcept;
  ByteBuffer& operator=(ByteBuffer&& other) noexcept;
  ByteBuffer(const ByteBuffer&) = delete;
  ByteBuffer& operator=(const ByteBuffer&) = delete;

  char* data() { return data_; }
  const char* data() const { return data_; }
  std::size_t size() const { return size_; }
  std::size_t capacity() const { return capacity_; }

  // Throws std::bad_alloc when the memory cannot be had.
  void Reserve(std::size_t capacity);
  // Requires new_size <= capacity().
  void Resize(std::size_t new_size) { size_ = new_size; }
  void Clear();  // frees the memory

 private:
  char* data_ = nullptr;
  std::size_t size_ = 0;
  std::size_t capacity_ = 0;
};

// Reads the whole file at path into out, leaving at least spare bytes of
// capacity after the content. Regular files and pipes are read; folders and
// devices are refused. On failure out is left empty.
FileStatus ReadWholeFile(const std::filesystem::path& path, ByteBuffer& out, std::size_t spare = 0);

// Calls consume with consecutive blocks of the file's content (each at most
// block_size bytes, writable so a filter can work in place). Stops at the
// first error, its own or consume's. With follow_links false a symbolic
// link at path is refused.
FileStatus ForEachBlock(const std::filesystem::path& path, bool follow_links,
                        std::size_t block_size,
                        const std::function<FileStatus(std::span<char>)>& consume);

// Where bytes go: a file, standard output, a filter in front of either.
// Write may change the bytes of block (filters work in place).
class ByteSink {
 public:
  virtual ~ByteSink() = default;
  virtual FileStatus Write(std::span<char> block) = 0;
};

enum class LinkPolicy {
  Follow,   // a link at the target: replace the file it points to
  Replace,  // a link at the target is replaced itself, never followed
};

// Replaces a file atomically: the bytes go to a new file in the target's
// folder, which is renamed over the target by Commit. Until Commit
// succeeds the old target is untouched; a writer destroyed without a
// successful Commit removes its new file. An existing target keeps its
// permission bits (and its owner, where the system allows). A read-only
// target, a folder or a device is refused.
class AtomicFileWriter final : public ByteSink {
 public:
  AtomicFileWriter() = default;
  ~AtomicFileWriter() override;
  AtomicFileWriter(const AtomicFileWriter&) = delete;
  AtomicFileWriter& operator=(const AtomicFileWriter&) = delete;

  FileStatus Open(const std::filesystem::path& target, LinkPolicy links);
  FileStatus Write(std::span<char> block) override;
  FileStatus Commit();

 private:
  void Discard();
  FileError Error(std::error_code code) const;

  std::string shown_path_;            // the target as given, for messages
  std::filesystem::path final_path_;  // the file that is replaced
  std::filesystem::path temp_path_;   // the new file until Commit
  int fd_ = -1;
  bool committed_ = false;
};

}  // namespace vorpel
