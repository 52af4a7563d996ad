#pragma once

#include <algorithm>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <stop_token>

#include "byte_buffer.h"
#include "run_beside.h"

namespace vorpel {

// How the word ends of a long UTF-8 text are shared out between two
// threads: texts of minimum_size bytes or more, on a machine where a
// second thread pays (SecondThreadPays), in parts of part_bytes (at least
// 64; taken down to a multiple of 64). The items are the same either way;
// tests take small parts to go the shared way on short texts.
struct WordCutSharing {
  std::size_t minimum_size = kSecondThreadMinimum;
  std::size_t part_bytes = std::size_t{1} << 20;
};

// The word ends a second thread found, a word of bits per block of 64
// bytes of the parts it took: the parts from `from` to the end.
struct SharedWordEnds {
  bool used = false;
  std::size_t from = 0;
  std::size_t parts = 0;          // the text's parts
  std::size_t lowest_second = 0;  // the lowest part the second may take
  std::size_t region = 0;         // the lowest byte its parts could start at
  // A word of bits per block, written only for the parts taken: its pages
  // are touched first by the thread that fills them (in huge pages where
  // the system has them, as the text's are).
  ByteBuffer ends;
  std::size_t last_separator_end = 0;

  // Cuts a text of size bytes into parts of part bytes and sets aside the
  // memory for the second thread's word ends: at most a bit per byte of
  // the parts from a quarter of the way in. False when there is nothing
  // to share (fewer than two parts, or more than 32 bits count) or no
  // memory for it: then one thread does it all, without the memory.
  bool SetOut(std::size_t size, std::size_t part);

  std::uint64_t& At(std::size_t base) {
    return reinterpret_cast<std::uint64_t*>(ends.data())[(base - region) / 64];
  }
  void Mark(std::size_t last_byte) {
    At(last_byte) |= std::uint64_t{1} << ((last_byte - region) % 64);
  }
};

// The parts of a text, claimed one at a time by two threads until they
// meet: the first claims them from the start, the second from the end,
// going no lower than the part lowest_back.
class PartClaims {
 public:
  PartClaims(std::size_t parts, std::size_t lowest_back)
      : bounds_(parts), lowest_back_(lowest_back) {}

  std::optional<std::size_t> FromStart() { return Claim(true); }
  std::optional<std::size_t> FromEnd() { return Claim(false); }
  // The first part not claimed from the start.
  std::size_t Front() const { return static_cast<std::size_t>(bounds_.load() >> 32); }

 private:
  std::optional<std::size_t> Claim(bool from_start);

  // The next part from the start (high half) and the end of the parts
  // left (low half), changed together.
  std::atomic<std::uint64_t> bounds_;
  std::size_t lowest_back_;
};

// The second thread's share: parts claimed from the end, their word ends
// found by a finder of its own and kept in shared, until no part is left
// or stop is asked for.
template <typename Finder>
void FindSharedParts(Finder finder, PartClaims& claims, SharedWordEnds& shared, std::size_t size,
                     std::size_t part, const std::stop_token& stop) {
  while (!stop.stop_requested()) {
    const std::optional<std::size_t> taken = claims.FromEnd();
    if (!taken) break;
    const std::size_t begin = *taken * part;
    const std::size_t end = std::min(size, begin + part);
    finder.StartAt(begin);
    for (std::size_t base = begin; base < end; base += 64) shared.At(base) = finder.Block(base);
    // Its later parts are done already.
    if (const auto pending = finder.TakePending()) shared.Mark(*pending);
  }
  shared.last_separator_end = finder.LastSeparatorEnd();
}

// Shares the finding of a text's word ends with a second thread. This
// thread takes parts from the start and hands each to take_part(begin,
// end), in order; the second takes parts from the end, with a finder of
// its own from make_finder, and keeps their word ends, until the two
// meet. This thread also cuts the items, and goes slower, so they meet
// before the middle; the second goes no lower than a quarter of the way
// in, which bounds the memory it keeps (a bit per byte of its parts). On a
// busy machine, where the second gets little time, this thread takes more
// parts; where no second thread can start, it takes them all. Unused
// (nothing taken) when there is nothing to share or no memory for it.
template <typename TakePart, typename MakeFinder>
SharedWordEnds ShareWordEnds(std::size_t size, std::size_t part_bytes, TakePart take_part,
                             MakeFinder make_finder) {
  SharedWordEnds shared;
  const std::size_t part = part_bytes / 64 * 64;
  if (!shared.SetOut(size, part)) return {};
  PartClaims claims(shared.parts, shared.lowest_second);
  RunBeside(
      [&](const std::stop_token& stop) {
        FindSharedParts(make_finder(), claims, shared, size, part, stop);
      },
      [&] {
        while (const std::optional<std::size_t> taken = claims.FromStart()) {
          take_part(*taken * part, std::min(size, (*taken + 1) * part));
        }
      });
  shared.used = true;
  shared.from = std::min(size, claims.Front() * part);
  return shared;
}

}  // namespace vorpel
