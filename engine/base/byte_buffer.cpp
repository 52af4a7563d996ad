#include "byte_buffer.h"

#include <sys/mman.h>

#include <cerrno>
#include <cstdint>
#include <new>
#include <utility>

#include "page_advice.h"
#include "system_memory.h"

namespace vorpel {
namespace {

// The block is an anonymous mapping, which grows by remapping, never by
// copying. It asks for huge pages where they come without waiting
// (page_advice.h): a source of hundreds of megabytes is then faulted in
// 2 MiB at a time, not a base page at a time, unless free memory is too
// scattered for that.

std::size_t RoundUpToPage(std::size_t size) {
  const std::size_t page = PageSize();
  return (size + page - 1) & ~(page - 1);
}

// A new mapping of size bytes (a multiple of the page size). One of a
// huge page or more starts on a huge page boundary, so that all of it but
// its last part can have huge pages: the system does not align a mapping
// whose size is not a multiple of the huge page size, and an unaligned one
// loses a huge page at each end.
void* MapBlock(std::size_t size) {
  const std::size_t huge = page_advice::ThisSystem().size;
  if (huge == 0 || size < huge) {
    return ::mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  }
  // More than needed, then the unaligned ends given back.
  const std::size_t reserved = size + huge - PageSize();
  void* raw = ::mmap(nullptr, reserved, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  if (raw == MAP_FAILED) return raw;
  const auto start = reinterpret_cast<std::uintptr_t>(raw);
  const std::size_t before = (huge - start % huge) % huge;
  char* const aligned = static_cast<char*>(raw) + before;
  if (before > 0) ::munmap(raw, before);
  const std::size_t after = reserved - before - size;
  if (after > 0) ::munmap(aligned + size, after);
  return aligned;
}

}  // namespace

ByteBuffer::~ByteBuffer() {
  if (data_ != nullptr) ::munmap(data_, capacity_);
}

ByteBuffer::ByteBuffer(ByteBuffer&& other) noexcept
    : data_(std::exchange(other.data_, nullptr)),
      size_(std::exchange(other.size_, 0)),
      capacity_(std::exchange(other.capacity_, 0)) {}

ByteBuffer& ByteBuffer::operator=(ByteBuffer&& other) noexcept {
  if (this != &other) {
    ByteBuffer old(std::move(*this));
    data_ = std::exchange(other.data_, nullptr);
    size_ = std::exchange(other.size_, 0);
    capacity_ = std::exchange(other.capacity_, 0);
  }
  return *this;
}

void ByteBuffer::Reserve(std::size_t capacity) {
  if (capacity <= capacity_) return;
  const std::size_t mapped = RoundUpToPage(capacity);
  void* block =
      data_ == nullptr ? MapBlock(mapped) : ::mremap(data_, capacity_, mapped, MREMAP_MAYMOVE);
  if (block == MAP_FAILED && data_ != nullptr && errno == EFAULT) {
    // A block that asked for huge pages for only a part of it is several
    // mappings to the system, which mremap cannot move as one. One advice
    // for the whole makes it one mapping again; the pages already there
    // stay as they are.
    ::madvise(data_, capacity_, MADV_NOHUGEPAGE);
    block = ::mremap(data_, capacity_, mapped, MREMAP_MAYMOVE);
  }
  if (block == MAP_FAILED) throw std::bad_alloc();
  // Only the new part: the old one keeps the pages it has.
  const std::size_t kept = data_ == nullptr ? 0 : capacity_;
  page_advice::AdviseRegion(static_cast<char*>(block) + kept, mapped - kept);
  data_ = static_cast<char*>(block);
  capacity_ = mapped;
}

void ByteBuffer::Clear() { *this = ByteBuffer(); }

}  // namespace vorpel
