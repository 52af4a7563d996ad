#pragma once

// The UTF-8 check 64 bytes at a time with AVX2, for the processors that
// have it; utf8_check.cpp asks HaveAvx2 and finishes with the plain check.

#include <cstddef>

#if defined(__x86_64__) || defined(__i386__)
#define VORPEL_UTF8_CHECK_AVX2 1
#endif

namespace vorpel::detail {

#if defined(VORPEL_UTF8_CHECK_AVX2)
// Whether the processor running the program has AVX2.
bool HaveAvx2();

// Returns the offset of the first 64-byte block in which an error shows,
// or the offset where the whole blocks end when none does. ascii is
// cleared when a byte above 0x7F is met. Needs AVX2.
std::size_t Avx2FirstSuspectBlock(const unsigned char* text, std::size_t size, bool& ascii);
#endif

}  // namespace vorpel::detail
