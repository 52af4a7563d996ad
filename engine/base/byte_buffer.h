#pragma once

#include <cstddef>

namespace vorpel {

// A growable block of raw bytes, uninitialised until written. Large blocks
// grow in place where the system allows, so reading a big file never holds
// two copies of it.
//
// Example:
//
//     ByteBuffer buffer;
//     buffer.Reserve(5);
//     std::memcpy(buffer.data(), "bytes", 5);
//     buffer.Resize(5);
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

  // Makes room for at least capacity bytes, keeping the content. Throws
  // std::bad_alloc when the memory cannot be had.
  void Reserve(std::size_t capacity);

  // Sets the size; requires new_size <= capacity().
  void Resize(std::size_t new_size) { size_ = new_size; }

  // Empties the buffer and frees its memory.
  void Clear();

 private:
  char* data_ = nullptr;
  std::size_t size_ = 0;
  std::size_t capacity_ = 0;
};

}  // namespace vorpel
