#include "utf8_text.h"

#include <utf8proc.h>

#include <algorithm>
#include <array>
#include <bit>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <system_error>
#include <thread>
#include <tuple>

#include "byte_scan.h"

#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>
#define VORPEL_X86 1
#endif

namespace vorpel {
namespace {

// ------------------------------------------------------------ validation

// The length of the well-formed sequence at p (at most end - p bytes
// looked at), or 0 when the bytes there are no well-formed sequence.
std::size_t WellFormedLength(const unsigned char* p, const unsigned char* end) {
  const unsigned char lead = p[0];
  if (lead < 0x80) return 1;
  const std::size_t available = static_cast<std::size_t>(end - p);
  // The allowed range of the second byte depends on the first; the others
  // are plain continuation bytes.
  unsigned char low = 0x80;
  unsigned char high = 0xBF;
  std::size_t length = 0;
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3;
    if (lead == 0xE0) low = 0xA0;   // overlong below
    if (lead == 0xED) high = 0x9F;  // surrogates above
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4;
    if (lead == 0xF0) low = 0x90;   // overlong below
    if (lead == 0xF4) high = 0x8F;  // beyond U+10FFFF above
  } else {
    return 0;  // a continuation byte, C0, C1 or F5..FF
  }
  if (available < length) return 0;
  if (p[1] < low || p[1] > high) return 0;
  for (std::size_t k = 2; k < length; ++k) {
    if (!IsUtf8Continuation(p[k])) return 0;
  }
  return length;
}

// The offset of the first invalid sequence in [p, end), or the size when
// there is none. ascii is cleared when a byte above 0x7F is met.
std::size_t ScalarFirstInvalid(const unsigned char* begin, const unsigned char* end, bool& ascii) {
  const unsigned char* p = begin;
  while (p < end) {
    // Eight ASCII bytes at a time.
    while (end - p >= 8) {
      std::uint64_t word;
      std::memcpy(&word, p, 8);
      if ((word & 0x8080808080808080u) != 0) break;
      p += 8;
    }
    if (p == end) break;
    if (*p < 0x80) {
      ++p;
      continue;
    }
    ascii = false;
    const std::size_t length = WellFormedLength(p, end);
    if (length == 0) return static_cast<std::size_t>(p - begin);
    p += length;
  }
  return static_cast<std::size_t>(end - begin);
}

// Where scalar checking may resume near offset at: the first byte at or
// after at - 3 that is no continuation byte. Everything before it has been
// found valid, so starting there sees every sequence that reaches at.
std::size_t ResumePoint(const unsigned char* text, std::size_t at) {
  std::size_t from = at >= 3 ? at - 3 : 0;
  while (from < at && IsUtf8Continuation(text[from])) ++from;
  return from;
}

#if defined(VORPEL_X86)
// Validation 64 bytes at a time with AVX2, after the lookup method of
// Keiser and Lemire ("Validating UTF-8 In Less Than One Instruction Per
// Byte", 2021): three table lookups on the high and low nibbles of each
// byte and the one before it classify every two-byte pattern; a check of
// the bytes two and three back covers the longer sequences.

// Error kinds, one bit each; a pair of bytes is wrong when all three
// lookups agree on some bit.
constexpr char kTooShort = 1 << 0;   // lead, then no continuation
constexpr char kTooLong = 1 << 1;    // ASCII, then a continuation
constexpr char kOverlong3 = 1 << 2;  // E0 80..9F
constexpr char kTooLarge = 1 << 3;   // F4 90..BF, F5..FF
constexpr char kSurrogate = 1 << 4;  // ED A0..BF
constexpr char kOverlong2 = 1 << 5;  // C0, C1
constexpr char kTooLarge1000 = 1 << 6;
constexpr char kOverlong4 = 1 << 6;                  // F0 80..8F
constexpr char kTwoConts = static_cast<char>(0x80);  // a continuation after a continuation
constexpr char kCarry = kTooShort | kTooLong | kTwoConts;
constexpr char kLarge = kTooLarge | kTooLarge1000;

// The same 16 entries in both halves, as the byte shuffle looks up per half.
#define VORPEL_TABLE16(...) _mm256_broadcastsi128_si256(_mm_setr_epi8(__VA_ARGS__))

struct Avx2Tables {
  __m256i byte1_high;
  __m256i byte1_low;
  __m256i byte2_high;
};

__attribute__((target("avx2"))) inline __m256i Avx2Errors(const Avx2Tables& tables, __m256i input,
                                                          __m256i previous) {
  const __m256i low_nibble = _mm256_set1_epi8(0x0F);
  const __m256i shifted = _mm256_permute2x128_si256(previous, input, 0x21);
  const __m256i prev1 = _mm256_alignr_epi8(input, shifted, 15);
  const __m256i prev2 = _mm256_alignr_epi8(input, shifted, 14);
  const __m256i prev3 = _mm256_alignr_epi8(input, shifted, 13);
  const __m256i b1h = _mm256_shuffle_epi8(
      tables.byte1_high, _mm256_and_si256(_mm256_srli_epi16(prev1, 4), low_nibble));
  const __m256i b1l = _mm256_shuffle_epi8(tables.byte1_low, _mm256_and_si256(prev1, low_nibble));
  const __m256i b2h = _mm256_shuffle_epi8(
      tables.byte2_high, _mm256_and_si256(_mm256_srli_epi16(input, 4), low_nibble));
  const __m256i special = _mm256_and_si256(_mm256_and_si256(b1h, b1l), b2h);
  // Bytes that must be the second or third continuation of a sequence.
  const __m256i third = _mm256_subs_epu8(prev2, _mm256_set1_epi8(static_cast<char>(0xE0 - 1)));
  const __m256i fourth = _mm256_subs_epu8(prev3, _mm256_set1_epi8(static_cast<char>(0xF0 - 1)));
  const __m256i must_continue =
      _mm256_cmpgt_epi8(_mm256_or_si256(third, fourth), _mm256_setzero_si256());
  return _mm256_xor_si256(
      _mm256_and_si256(must_continue, _mm256_set1_epi8(static_cast<char>(0x80))), special);
}

// Returns the offset of the first 64-byte block in which an error shows,
// or the offset where the whole blocks end when none does. ascii is
// cleared when a byte above 0x7F is met.
__attribute__((target("avx2"))) std::size_t Avx2FirstSuspectBlock(const unsigned char* text,
                                                                  std::size_t size, bool& ascii) {
  Avx2Tables tables;
  tables.byte1_high =
      VORPEL_TABLE16(kTooLong, kTooLong, kTooLong, kTooLong, kTooLong, kTooLong, kTooLong, kTooLong,
                     kTwoConts, kTwoConts, kTwoConts, kTwoConts, kTooShort | kOverlong2, kTooShort,
                     kTooShort | kOverlong3 | kSurrogate, kTooShort | kLarge | kOverlong4);
  tables.byte1_low = VORPEL_TABLE16(
      kCarry | kOverlong3 | kOverlong2 | kOverlong4, kCarry | kOverlong2, kCarry, kCarry,
      kCarry | kTooLarge, kCarry | kLarge, kCarry | kLarge, kCarry | kLarge, kCarry | kLarge,
      kCarry | kLarge, kCarry | kLarge, kCarry | kLarge, kCarry | kLarge,
      kCarry | kLarge | kSurrogate, kCarry | kLarge, kCarry | kLarge);
  tables.byte2_high = VORPEL_TABLE16(
      kTooShort, kTooShort, kTooShort, kTooShort, kTooShort, kTooShort, kTooShort, kTooShort,
      kTooLong | kOverlong2 | kTwoConts | kOverlong3 | kTooLarge1000 | kOverlong4,
      kTooLong | kOverlong2 | kTwoConts | kOverlong3 | kTooLarge,
      kTooLong | kOverlong2 | kTwoConts | kSurrogate | kTooLarge,
      kTooLong | kOverlong2 | kTwoConts | kSurrogate | kTooLarge, kTooShort, kTooShort, kTooShort,
      kTooShort);
  // A block that ends inside a sequence: its last three bytes above these.
  const __m256i open_floor =
      _mm256_setr_epi8(-1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1,
                       -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, static_cast<char>(0xF0 - 1),
                       static_cast<char>(0xE0 - 1), static_cast<char>(0xC0 - 1));

  __m256i previous = _mm256_setzero_si256();
  std::size_t offset = 0;
  bool seen_high = false;
  for (; offset + 64 <= size; offset += 64) {
    const __m256i a = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(text + offset));
    const __m256i b = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(text + offset + 32));
    if (_mm256_movemask_epi8(_mm256_or_si256(a, b)) == 0) {
      // All ASCII: only a sequence left open by the block before can be
      // wrong here.
      const __m256i open = _mm256_subs_epu8(previous, open_floor);
      if (!_mm256_testz_si256(open, open)) break;
      previous = b;
      continue;
    }
    seen_high = true;
    const __m256i error =
        _mm256_or_si256(Avx2Errors(tables, a, previous), Avx2Errors(tables, b, a));
    if (!_mm256_testz_si256(error, error)) break;
    previous = b;
  }
  if (seen_high) ascii = false;
  return offset;
}
#undef VORPEL_TABLE16

bool HaveAvx2() {
  static const bool have = __builtin_cpu_supports("avx2");
  return have;
}
#endif

// First invalid offset in a complete text (a sequence cut by the end is
// invalid), or the size.
std::size_t FirstInvalid(const unsigned char* text, std::size_t size, bool& ascii) {
  std::size_t from = 0;
#if defined(VORPEL_X86)
  if (HaveAvx2()) {
    const std::size_t suspect = Avx2FirstSuspectBlock(text, size, ascii);
    from = ResumePoint(text, suspect);
  }
#endif
  return from + ScalarFirstInvalid(text + from, text + size, ascii);
}

}  // namespace

Utf8Check CheckUtf8(std::string_view text) {
  Utf8Check result;
  const auto* bytes = reinterpret_cast<const unsigned char*>(text.data());
  bool ascii = true;
  const std::size_t invalid = FirstInvalid(bytes, text.size(), ascii);
  if (invalid < text.size()) result.first_invalid = invalid;
  result.ascii_only = ascii;
  return result;
}

Utf8Checker Utf8Checker::Midway(std::size_t offset) {
  Utf8Checker checker;
  checker.taking_head_ = true;
  checker.consumed_ = offset;
  return checker;
}

void Utf8Checker::Join(const Utf8Checker& next) {
  // The continuation bytes at the start of the next part end the sequence
  // this one leaves open, or are stray.
  Feed(std::string_view(next.head_.data(), next.head_size_));
  if (first_invalid_) return;
  if (carry_size_ > 0) {
    first_invalid_ = consumed_;  // cut short where the next part begins
    return;
  }
  first_invalid_ = next.first_invalid_;
  ascii_only_ = ascii_only_ && next.ascii_only_;
  consumed_ = next.consumed_;
  carry_ = next.carry_;
  carry_size_ = next.carry_size_;
}

void Utf8Checker::Feed(std::string_view piece) {
  while (taking_head_ && !piece.empty()) {
    if (head_size_ == head_.size() || !IsUtf8Continuation(static_cast<unsigned char>(piece[0]))) {
      taking_head_ = false;
      break;
    }
    head_[head_size_++] = piece[0];
    piece.remove_prefix(1);
    ++consumed_;
    ascii_only_ = false;
  }
  if (first_invalid_ || piece.empty()) return;
  const auto* bytes = reinterpret_cast<const unsigned char*>(piece.data());
  std::size_t used = 0;
  // First complete the sequence the last piece left open.
  while (carry_size_ > 0 && used < piece.size()) {
    const auto lead = static_cast<unsigned char>(carry_[0]);
    const std::size_t wanted = SequenceLength(lead);
    if (!IsUtf8Continuation(bytes[used])) {
      first_invalid_ = consumed_;
      return;
    }
    carry_[carry_size_++] = piece[used++];
    if (carry_size_ == wanted) {
      const auto* carried = reinterpret_cast<const unsigned char*>(carry_.data());
      if (WellFormedLength(carried, carried + carry_size_) != carry_size_) {
        first_invalid_ = consumed_;
        return;
      }
      consumed_ += carry_size_;
      carry_size_ = 0;
    }
  }
  if (used == piece.size()) return;

  // Keep back a sequence that this piece leaves open (a lead byte in the
  // last three bytes whose sequence needs more bytes than are there).
  std::size_t end = piece.size();
  for (std::size_t back = 1; back <= 3 && back <= end - used; ++back) {
    const unsigned char byte = bytes[end - back];
    if (IsUtf8Continuation(byte)) continue;
    if (byte >= 0xC2 && byte <= 0xF4 && SequenceLength(byte) > back) end -= back;
    break;
  }
  const std::size_t invalid = FirstInvalid(bytes + used, end - used, ascii_only_);
  if (invalid < end - used) {
    first_invalid_ = consumed_ + invalid;
    return;
  }
  consumed_ += end - used;
  for (std::size_t k = end; k < piece.size(); ++k) {
    carry_[carry_size_++] = piece[k];
    ascii_only_ = false;
  }
}

Utf8Check Utf8Checker::Finish() const {
  Utf8Check result;
  result.ascii_only = ascii_only_;
  if (first_invalid_) {
    result.first_invalid = first_invalid_;
  } else if (carry_size_ > 0) {
    result.first_invalid = consumed_;  // a sequence cut short by the end
  }
  return result;
}

std::size_t Utf8SequenceAt(std::string_view text) {
  if (text.empty()) return kCutShort;
  const auto* bytes = reinterpret_cast<const unsigned char*>(text.data());
  const std::size_t length = WellFormedLength(bytes, bytes + text.size());
  if (length != 0 || text.size() >= 4) return length;
  // Too few bytes to tell: a prefix of a sequence when the bytes there
  // complete to one with continuation bytes that every lead byte accepts.
  std::array<unsigned char, 4> padded = {bytes[0], 0xBF, 0xBF, 0xBF};
  if (bytes[0] == 0xF4) padded[1] = 0x8F;
  if (bytes[0] == 0xED) padded[1] = 0x9F;
  std::memcpy(padded.data(), bytes, text.size());
  return WellFormedLength(padded.data(), padded.data() + 4) > text.size() ? kCutShort : 0;
}

std::string EncodeUtf8(char32_t cp) {
  std::string out;
  if (cp < 0x80) {
    out.push_back(static_cast<char>(cp));
  } else if (cp < 0x800) {
    out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  } else if (cp < 0x10000) {
    out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
    out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  } else {
    out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
    out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  }
  return out;
}

// ------------------------------------------------------------ characters

namespace {

// The learning of new States and classes, and what lies behind a State.
std::mutex learning;

// What a State stands for: the library's state value, and whether the last
// code point was CR (for our one rule, CR and LF as two characters).
struct StateMeaning {
  utf8proc_int32_t library_state = 0;
  bool after_cr = false;
};
// The meaning of each State, read and written under the lock only; 0 is
// no State. state_count counts the entries taken, 0 included once the
// start is known; class_count the classes given.
std::array<StateMeaning, 128> state_meanings;
std::size_t state_count = 0;
std::size_t class_count = 0;

// The Indic conjunct property of a code point where the library has one
// (from utf8proc 2.9 on, which reads it for the rule that keeps a conjunct
// of consonants joined by a virama together); 0 for older versions.
template <typename Property>
unsigned IndicConjunctBreak(const Property& property) {
  if constexpr (requires { property.indic_conjunct_break; }) {
    return property.indic_conjunct_break;
  } else {
    return 0;
  }
}

// A library with more states or classes than the tables hold (one far
// beyond today's) cannot be cached; it is said, rather than cut wrong.
[[noreturn]] void TooMany(const char* what) {
  std::fprintf(stderr,
               "vorpel: utf8proc %s has more grapheme break %s than the cache holds; "
               "the program cannot cut characters with it\n",
               utf8proc_version(), what);
  std::abort();
}

// The State that stands for a meaning, given a number when it is new.
// Called under the lock.
GraphemeBreaks::State StateFor(StateMeaning meaning) {
  // The library reads the code point before only when its state is 0: a
  // state of 0 cannot be cached by state alone.
  if (meaning.library_state == 0) TooMany("states (a state of 0)");
  for (std::size_t id = 1; id < state_count; ++id) {
    if (state_meanings[id].library_state == meaning.library_state &&
        state_meanings[id].after_cr == meaning.after_cr) {
      return static_cast<GraphemeBreaks::State>(id);
    }
  }
  if (state_count == state_meanings.size()) TooMany("states");
  state_meanings[state_count] = meaning;
  return static_cast<GraphemeBreaks::State>(state_count++);
}

// Makes the start the first State (the number StartState gives) when no
// State is known yet. Called under the lock.
void LearnStart() {
  if (state_count != 0) return;
  state_count = 1;  // the unused 0
  // The library's state after a control character (U+0000 after U+0000),
  // where every character starts anew, as at the start of a text.
  utf8proc_int32_t library_state = 0;
  utf8proc_grapheme_break_stateful(0, 0, &library_state);
  StateFor({library_state, false});
}

}  // namespace

std::atomic<std::uint8_t> GraphemeBreaks::class_cache_[0x110000];
std::atomic<std::uint8_t> GraphemeBreaks::class_of_key_[kClassKeys];
std::atomic<std::uint8_t> GraphemeBreaks::transitions_[kStates][kClasses];
std::atomic<std::uint8_t> GraphemeBreaks::joins_ascii_[kStates];
std::atomic<std::uint8_t> GraphemeBreaks::ascii_neighbour_[kClasses];
std::atomic<GraphemeBreaks::State> GraphemeBreaks::after_ascii_[128];

std::int32_t GraphemeBreaks::LibraryState(State state) {
  static_assert(std::tuple_size_v<decltype(state_meanings)> == kStates);
  const std::lock_guard lock(learning);
  LearnStart();
  return state < state_count ? state_meanings[state].library_state : 0;
}

std::uint8_t GraphemeBreaks::LearnClass(char32_t cp) {
  // Every property of cp the library reads for the break before it and
  // the state after it, and whether cp is CR or LF, for our own rule.
  const utf8proc_property_t* property = utf8proc_get_property(static_cast<utf8proc_int32_t>(cp));
  const std::size_t boundclass = property->boundclass;
  const std::size_t indic = IndicConjunctBreak(*property);
  if (boundclass > 0xFF || indic > 3) TooMany("classes (a property beyond the table)");
  const std::size_t key =
      boundclass | indic << 8 | std::size_t{cp == U'\r'} << 10 | std::size_t{cp == U'\n'} << 11;
  static_assert(std::size_t{1} << 12 == kClassKeys);
  std::uint8_t cls = class_of_key_[key].load(std::memory_order_relaxed);
  if (cls == 0) {
    const std::lock_guard lock(learning);
    cls = class_of_key_[key].load(std::memory_order_relaxed);
    if (cls == 0) {
      if (class_count + 1 >= kClasses) TooMany("classes");
      cls = static_cast<std::uint8_t>(++class_count);
      class_of_key_[key].store(cls, std::memory_order_relaxed);
    }
  }
  class_cache_[cp].store(cls, std::memory_order_relaxed);
  return cls;
}

std::uint8_t GraphemeBreaks::LearnTransition(State state, std::uint8_t cls, char32_t cp) {
  const std::lock_guard lock(learning);
  std::uint8_t entry = transitions_[state][cls].load(std::memory_order_relaxed);
  if (entry != 0) return entry;
  LearnStart();
  // With a state other than 0 the library reads nothing of the code point
  // before, and of cp only what makes its class: cp answers for its class.
  const StateMeaning from = state_meanings[state];
  utf8proc_int32_t library_state = from.library_state;
  bool boundary =
      utf8proc_grapheme_break_stateful(0, static_cast<utf8proc_int32_t>(cp), &library_state) != 0;
  // CR and LF are two characters, as in an 8-bit text.
  if (from.after_cr && cp == U'\n') boundary = true;
  const State next = StateFor({library_state, cp == U'\r'});
  entry = static_cast<std::uint8_t>(next | (boundary ? kBreakBit : 0));
  transitions_[state][cls].store(entry, std::memory_order_relaxed);
  return entry;
}

bool GraphemeBreaks::LearnJoinsAscii(State state) {
  bool joins = false;
  for (unsigned c = 0; c < 128; ++c) {
    State after = state;
    if (!BreakBefore(after, c)) joins = true;
  }
  joins_ascii_[state].store(static_cast<std::uint8_t>(kKnownBit | (joins ? 1 : 0)),
                            std::memory_order_relaxed);
  return joins;
}

GraphemeBreaks::State GraphemeBreaks::LearnAfterAscii(unsigned char c) {
  State state = StartState();
  BreakBefore(state, c);
  after_ascii_[c].store(state, std::memory_order_relaxed);
  return state;
}

std::uint8_t GraphemeBreaks::AsciiNeighbour(char32_t cp) {
  const std::uint8_t cls = ClassOf(cp);
  const std::uint8_t known = ascii_neighbour_[cls].load(std::memory_order_relaxed);
  if (known != 0) return known;
  // Both answers depend on cp's class alone: the state after cp decides
  // for an ASCII character after it, and that is the same whatever came
  // before cp (see BreakBeforeAscii); the state after an ASCII character is
  // that character's own.
  std::uint8_t answer = kNeighbourKnown;
  State after = StartState();
  BreakBefore(after, cp);
  if (MayJoinAscii(after)) answer |= kJoinsAsciiAfter;
  for (unsigned c = 0; c < 128; ++c) {
    if (!BreakAfterAscii(static_cast<unsigned char>(c), cp)) answer |= kJoinsAsciiBefore;
  }
  ascii_neighbour_[cls].store(answer, std::memory_order_relaxed);
  return answer;
}

std::size_t CharacterEnd(std::string_view text, std::size_t begin) {
  std::size_t length = 0;
  GraphemeBreaks::State state = GraphemeBreaks::StartState();
  GraphemeBreaks::BreakBefore(state, DecodeAt(text.data() + begin, length));
  std::size_t end = begin + length;
  while (end < text.size()) {
    const char32_t cp = DecodeAt(text.data() + end, length);
    if (GraphemeBreaks::BreakBefore(state, cp)) break;
    end += length;
  }
  return end;
}

std::vector<std::string_view> SplitCharacters(std::string_view text) {
  std::vector<std::string_view> characters;
  std::size_t begin = 0;
  while (begin < text.size()) {
    const std::size_t end = CharacterEnd(text, begin);
    characters.push_back(text.substr(begin, end - begin));
    begin = end;
  }
  return characters;
}

std::size_t CharacterProbe::CharacterAt(std::size_t begin) {
  if (begin < inside_until_) return 0;
  const auto* bytes = reinterpret_cast<const unsigned char*>(text_.data());
  // Where to take the state up: the cursor, or right after the last ASCII
  // byte before begin, whichever is nearer.
  std::size_t from = begin;
  while (from > cursor_ && bytes[from - 1] >= 0x80) --from;
  GraphemeBreaks::State state = cursor_state_;
  if (from > cursor_) state = GraphemeBreaks::StateAfterAscii(bytes[from - 1]);
  if (from < cursor_) from = cursor_;
  std::size_t length = 0;
  while (from < begin) {
    GraphemeBreaks::BreakBefore(state, DecodeAt(text_.data() + from, length));
    from += length;
  }
  const bool starts = GraphemeBreaks::BreakBefore(state, DecodeAt(text_.data() + begin, length));
  std::size_t end = begin + length;
  if (!starts) {
    cursor_ = end;
    cursor_state_ = state;
    return 0;
  }
  while (end < text_.size()) {
    GraphemeBreaks::State before = state;
    if (GraphemeBreaks::BreakBefore(state, DecodeAt(text_.data() + end, length))) {
      state = before;
      break;
    }
    end += length;
  }
  cursor_ = end;
  cursor_state_ = state;
  inside_until_ = end;
  return end;
}

// ------------------------------------------------------------ letter index

namespace {

// Bit i set where the 64 bytes at p have bit 7 set (non-ASCII bytes), and
// where they are continuation bytes (10xxxxxx).
struct BlockMasks {
  std::uint64_t high;
  std::uint64_t continuation;
};

BlockMasks Masks64(const unsigned char* p) {
  const auto* bytes = reinterpret_cast<const char*>(p);
  return {HighBits64(bytes), ContinuationBits64(bytes)};
}

inline std::size_t PopCount(std::uint64_t x) { return static_cast<std::size_t>(CountBits(x)); }

// The position of the n-th set bit of word (n from 0; n < its popcount):
// a byte at a time, then a bit at a time.
inline unsigned SelectInWord(std::uint64_t word, std::size_t n) {
  unsigned shift = 0;
  for (;; shift += 8) {
    const std::size_t count = PopCount((word >> shift) & 0xFF);
    if (n < count) break;
    n -= count;
  }
  std::uint64_t byte = (word >> shift) & 0xFF;
  for (; n > 0; --n) byte &= byte - 1;
  return shift + static_cast<unsigned>(std::countr_zero(byte));
}

}  // namespace

LetterIndex LetterIndex::Build(std::string_view text) {
  LetterIndex index;
  const std::size_t size = text.size();
  index.size_ = size;
  const std::size_t word_count = size / 64 + 1;
  index.line_count_ = (word_count + kWordsPerLine - 1) / kWordsPerLine;
  index.lines_.Reserve((index.line_count_ + 1) * 64);
  const auto* bytes = reinterpret_cast<const unsigned char*>(text.data());

  // The state after each ASCII byte, asked once.
  std::array<GraphemeBreaks::State, 128> after_ascii{};
  for (unsigned char c = 0; c < 128; ++c) after_ascii[c] = GraphemeBreaks::StateAfterAscii(c);

  // Indexes lines [first, end): their bits, and in each line's rank the
  // letters before it counted from the start of line first. Returns the
  // letters of those lines. ascii_before: whether the byte before line
  // first is ASCII (at the start of the text it counts as not, so the
  // first character goes to the library).
  const auto index_lines = [&](std::size_t first, std::size_t end, std::uint64_t ascii_before) {
    GraphemeBreaks::State state = GraphemeBreaks::StartState();
    std::size_t letters = 0;
    // An ASCII byte after a code point that joins it (after a prepended
    // mark) in the next block: its bit is cleared when its block starts.
    std::size_t no_start_at = SIZE_MAX;
    unsigned char tail[64 + 4];
    for (std::size_t line = first; line < end; ++line) {
      std::uint64_t* words = index.Line(line);
      words[kWordsPerLine] = letters;
      for (std::size_t k = 0; k < kWordsPerLine; ++k) {
        const std::size_t base = (line * kWordsPerLine + k) * 64;
        if (base >= size) {
          words[k] = 0;
          continue;
        }
        const unsigned char* block = bytes + base;
        const std::size_t in_block = std::min<std::size_t>(64, size - base);
        // Within the last 68 bytes the wide decoding would read past the
        // text: those bytes are copied, padded with ASCII that is masked off.
        if (size - base < 68) {
          std::memset(tail, 'x', sizeof tail);
          std::memcpy(tail, block, size - base);
          block = tail;
        }
        const BlockMasks masks = Masks64(block);
        const std::uint64_t ascii = ~masks.high;
        const std::uint64_t ascii_prev = (ascii << 1) | ascii_before;
        // Every ASCII byte starts a character, unless the code point before
        // it joins it (a prepended mark), which the loop below catches.
        std::uint64_t starts = ascii;
        // An ASCII byte joined to a code point at the end of the block
        // before. Cleared now, before this block's own last code point may
        // name a byte of the next block.
        if (no_start_at - base < 64) starts &= ~(std::uint64_t{1} << (no_start_at - base));
        // The library decides before every code point that is not ASCII.
        std::uint64_t doubtful = masks.high & ~masks.continuation;
        while (doubtful != 0) {
          const unsigned bit = static_cast<unsigned>(std::countr_zero(doubtful));
          doubtful &= doubtful - 1;
          // After an ASCII byte the state is that byte's own; chosen without
          // a branch, as either case is common.
          const std::uint64_t after_ascii_byte = (ascii_prev >> bit) & 1u;
          const unsigned char before = bytes[base + bit - after_ascii_byte] & 0x7F;
          state = after_ascii_byte != 0 ? after_ascii[before] : state;
          const std::uint32_t word = LoadWord(reinterpret_cast<const char*>(block + bit));
          const char32_t cp = DecodeWord(word);
          // A lead byte beyond ASCII has as many leading ones as its
          // sequence has bytes.
          const auto length =
              static_cast<std::size_t>(std::countl_one(static_cast<std::uint8_t>(word)));
          starts |= std::uint64_t{GraphemeBreaks::BreakBefore(state, cp)} << bit;
          const std::size_t next = base + bit + length;
          if (GraphemeBreaks::MayJoinAscii(state) && next < size && bytes[next] < 0x80) {
            GraphemeBreaks::State after = state;
            if (!GraphemeBreaks::BreakBefore(after, bytes[next])) {
              if (next < base + 64) {
                starts &= ~(std::uint64_t{1} << (next - base));
              } else {
                no_start_at = next;
              }
            }
          }
        }
        if (in_block < 64) starts &= (std::uint64_t{1} << in_block) - 1;
        words[k] = starts;
        letters += PopCount(starts);
        ascii_before = ascii >> 63;
      }
    }
    return letters;
  };

  // A long text is indexed in two halves at once, one on another core. The
  // second half starts after an ASCII byte, where the state is that byte's
  // own whatever came before, so both halves find the same boundaries as
  // one pass would.
  constexpr std::size_t kTwoPartsFrom = std::size_t{8} << 20;
  constexpr std::size_t kLineBytes = kWordsPerLine * 64;
  std::size_t split = index.line_count_;
  if (size >= kTwoPartsFrom) {
    split = index.line_count_ / 2;
    while (split < index.line_count_ && bytes[split * kLineBytes - 1] >= 0x80) ++split;
  }
  std::size_t letters = 0;
  bool indexed = false;
  if (split < index.line_count_) {
    std::size_t second_letters = 0;
    try {
      std::thread second(
          [&] { second_letters = index_lines(split, index.line_count_, std::uint64_t{1}); });
      const std::size_t first_letters = index_lines(0, split, 0);
      second.join();
      for (std::size_t line = split; line < index.line_count_; ++line) {
        index.Line(line)[kWordsPerLine] += first_letters;
      }
      letters = first_letters + second_letters;
      indexed = true;
    } catch (const std::system_error&) {
      // No thread to be had: one pass, below.
    }
  }
  if (!indexed) letters = index_lines(0, index.line_count_, 0);
  index.Line(index.line_count_)[kWordsPerLine] = letters;
  index.letters_ = letters;

  // Hints for the search: the line holding every 1024th letter.
  const std::size_t samples = (letters >> kSampleShift) + 1;
  index.samples_.Reserve(samples * sizeof(std::uint32_t));
  auto* sample_lines = reinterpret_cast<std::uint32_t*>(index.samples_.data());
  std::size_t line = 0;
  for (std::size_t s = 0; s < samples; ++s) {
    const std::size_t letter = s << kSampleShift;
    while (line + 1 < index.line_count_ && index.Line(line + 1)[kWordsPerLine] <= letter) ++line;
    sample_lines[s] = static_cast<std::uint32_t>(line);
  }
  return index;
}

std::size_t LetterIndex::StartOf(std::size_t n) const {
  if (n >= letters_) return size_;
  const auto* sample_lines = reinterpret_cast<const std::uint32_t*>(samples_.data());
  std::size_t line = sample_lines[n >> kSampleShift];
  while (Line(line + 1)[kWordsPerLine] <= n) ++line;
  const std::uint64_t* words = Line(line);
  std::size_t remaining = n - words[kWordsPerLine];
  for (std::size_t k = 0;; ++k) {
    const std::size_t count = PopCount(words[k]);
    if (remaining < count)
      return (line * kWordsPerLine + k) * 64 + SelectInWord(words[k], remaining);
    remaining -= count;
  }
}

void LetterIndex::Prefetch(std::size_t n) const {
#if defined(__GNUC__)
  if (n >= letters_) return;
  const auto* sample_lines = reinterpret_cast<const std::uint32_t*>(samples_.data());
  __builtin_prefetch(Line(sample_lines[n >> kSampleShift]));
#else
  static_cast<void>(n);
#endif
}

}  // namespace vorpel
